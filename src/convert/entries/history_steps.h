// The history steps the import run calls, in the order of one pass, each as
// the master-data steps: the open source rows the run chose (or its own
// queries) and the dossier path prefix; false after its own detail message.
#pragma once
#include <string>
#include <unordered_set>

#include "base/run_context.h"
#include "base/source.h"

namespace convert {

// Opening entries from the rows of the pass's opening-lines query; the run
// calls the second form, which runs that query for the pass's source form,
// on the lines of period 0 only, with the documents that have later lines
// (laterDocumentsQuery, read first) in `later`, as documentOf() names them.
bool ImportOpeningEntries(base::RunContext& ctx, base::RowSet& rows, const std::string& prefix,
                          std::unordered_set<std::string> later = {});
std::string documentOf(const base::RowSet& rows);
bool importOpeningEntriesFromSource(base::RunContext& ctx, const std::string& prefix);
// The documents of the book year from the rows of the run's document list
// (documentListQuery), each detail query run once over the whole year.
bool ImportYearDocuments(base::RunContext& ctx, base::RowSet& documents, const std::string& prefix);
// The same with the detail queries run for each document on its own, as the
// original does; any list of documents (DocFirst not needed).
bool importYearDocumentsPerDocument(base::RunContext& ctx, base::RowSet& documents, const std::string& prefix);
// Post-processing of the entry lines; false after the message when ACT is
// missing or cannot be opened.
bool CompleteDocumentAccounts(base::RunContext& ctx, const std::string& prefix);
bool CompleteCurrencyAmounts(base::RunContext& ctx, const std::string& prefix);

}  // namespace convert
