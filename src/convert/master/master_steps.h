// The master-data steps the import run calls, in the order of one pass. Each
// receives the open source rows the run chose and the dossier path prefix of
// the working dossier ("...\VIDE01\VIDE01"), shows its own detail message on
// failure through ctx.showImportError and returns false.
#pragma once
#include <string>

#include "base/run_context.h"
#include "base/source.h"

namespace convert {

// Categories and payment conditions of customers and suppliers.
bool ConvertCategories(base::RunContext& ctx, const std::string& prefix);
bool ConvertPaymentCodes(base::RunContext& ctx, const std::string& prefix);

// Company parameters. `paramFile` is the working dossier's "..._PARAM.DBF".
bool WriteCompanyIdentity(base::RunContext& ctx, base::RowSet& params, const std::string& paramFile);
bool WriteDossierLanguages(base::RunContext& ctx, const std::string& prefix);
std::string ReadGeneralAccountLength(base::RunContext& ctx, const std::string& prefix);
void WriteGeneralAccountLength(base::RunContext& ctx, const std::string& prefix, const std::string& length);

// The longest general account number of the source, as the run's query
// returns it (column xLenGen of the first row), before the run clamps it to 4..8.
std::string QueryGeneralAccountLength(base::RunContext& ctx);

// Master data.
bool ConvertCustomers(base::RunContext& ctx, base::RowSet& rows, const std::string& prefix);
bool ConvertSuppliers(base::RunContext& ctx, base::RowSet& rows, const std::string& prefix);
bool ConvertGeneralAccounts(base::RunContext& ctx, base::RowSet& rows, const std::string& prefix);
bool WriteBookYear(base::RunContext& ctx, base::RowSet& periods, const std::string& prefix);
bool ConvertJournals(base::RunContext& ctx, base::RowSet& rows, const std::string& prefix);

}  // namespace convert
