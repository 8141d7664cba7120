// The history steps the import run calls, in the order of one pass, each as
// the master-data steps: the open source rows the run chose (or its own
// queries) and the dossier path prefix; false after its own detail message.
#pragma once
#include <string>

#include "base/run_context.h"
#include "base/source.h"

namespace convert {

// Opening entries from the rows of the pass's opening-lines query; the run
// calls the second form, which runs that query for the pass's source form.
bool ImportOpeningEntries(base::RunContext& ctx, base::RowSet& rows, const std::string& prefix);
bool ImportOpeningEntriesFromSource(base::RunContext& ctx, const std::string& prefix);
// The documents of the book year, one row per document.
bool ImportYearDocuments(base::RunContext& ctx, base::RowSet& documents, const std::string& prefix);
// Post-processing of the entry lines.
void CompleteDocumentAccounts(base::RunContext& ctx, const std::string& prefix);
void CompleteCurrencyAmounts(base::RunContext& ctx, const std::string& prefix);

}  // namespace convert
