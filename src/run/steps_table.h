// The conversion steps the import run calls, as a table of calls, so that a
// run can be driven with the real steps or with recording ones in tests.
#pragma once
#include <functional>
#include <string>

#include "base/run_context.h"
#include "base/source.h"

namespace run {

struct Steps {
  using PrefixStep = std::function<bool(base::RunContext&, const std::string& prefix)>;
  using RowsStep = std::function<bool(base::RunContext&, base::RowSet& rows, const std::string& prefix)>;
  // Post-processing: false after its own message, as any step (the original
  // returned nothing and the run went on).
  using Completion = std::function<bool(base::RunContext&, const std::string& prefix)>;

  // --- Master data --------------------------------------------------------------
  PrefixStep categories;
  PrefixStep paymentCodes;
  // Company identity: parameter rows and the working dossier's "..._PARAM.DBF".
  RowsStep companyIdentity;
  // Longest general account number of the source (column xLenGen), unclamped.
  std::function<std::string(base::RunContext&)> queryGeneralAccountLength;
  RowsStep customers;
  RowsStep suppliers;
  RowsStep generalAccounts;
  RowsStep bookYear;  // period rows
  Completion dossierLanguages;

  // --- History (full import) ----------------------------------------------------
  RowsStep journals;
  PrefixStep openingEntries;  // runs its own queries for the three source forms
  RowsStep yearDocuments;     // one row per document
  Completion completeDocumentAccounts;
  Completion completeCurrencyAmounts;
  // Merges the newer year dossier VIDE{newer} into VIDE{older} in the working
  // folder and adds the second journal table; the run then puts VIDE{older} in
  // place. False after its own message.
  std::function<bool(base::RunContext&, const std::string& workingFolder, int olderIndex, int newerIndex)> mergeYears;
};

// The conversion steps of the system.
Steps defaultSteps();

}  // namespace run
