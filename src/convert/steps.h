// The conversion steps the import run calls, in the order of one pass. Each
// receives the open source rows the run chose and the dossier path prefix of
// the working dossier ("...\VIDE01\VIDE01"), shows its own detail message on
// failure through ctx.showImportError and returns false.
#pragma once
#include <string>

#include "run/run_context.h"
#include "run/source.h"

namespace convert {

// Categories and payment conditions of customers and suppliers.
bool ConvertCategories(run::RunContext& ctx, const std::string& prefix);
bool ConvertPaymentCodes(run::RunContext& ctx, const std::string& prefix);

// Company parameters. `paramFile` is the working dossier's "..._PARAM.DBF".
bool WriteCompanyIdentity(run::RunContext& ctx, run::RowSet& params, const std::string& paramFile);
void WriteDossierLanguages(run::RunContext& ctx, const std::string& prefix);
std::string ReadGeneralAccountLength(run::RunContext& ctx, const std::string& prefix);
void WriteGeneralAccountLength(run::RunContext& ctx, const std::string& prefix, const std::string& length);

// The longest general account number of the source, as the run's query
// returns it (column xLenGen of the first row), before the run clamps it to 4..8.
std::string QueryGeneralAccountLength(run::RunContext& ctx);

// Master data.
bool ConvertCustomers(run::RunContext& ctx, run::RowSet& rows, const std::string& prefix);
bool ConvertSuppliers(run::RunContext& ctx, run::RowSet& rows, const std::string& prefix);
bool ConvertGeneralAccounts(run::RunContext& ctx, run::RowSet& rows, const std::string& prefix);
bool WriteBookYear(run::RunContext& ctx, run::RowSet& periods, const std::string& prefix);
bool ConvertJournals(run::RunContext& ctx, run::RowSet& rows, const std::string& prefix);

// History.
bool ImportOpeningEntries(run::RunContext& ctx, run::RowSet& rows, const std::string& prefix);
bool ImportYearDocuments(run::RunContext& ctx, run::RowSet& documents, const std::string& prefix);
void CompleteDocumentAccounts(run::RunContext& ctx, const std::string& prefix);
void CompleteCurrencyAmounts(run::RunContext& ctx, const std::string& prefix);

}  // namespace convert
