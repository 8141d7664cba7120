// The conversion steps of the system, in the run's table.
#include "convert/entries/history_steps.h"
#include "convert/master/master_steps.h"
#include "run/steps_table.h"
#include "run/year_merge.h"

namespace run {

Steps defaultSteps() {
  Steps s;
  s.categories = convert::ConvertCategories;
  s.paymentCodes = convert::ConvertPaymentCodes;
  s.companyIdentity = convert::writeCompanyIdentity;
  s.queryGeneralAccountLength = convert::queryGeneralAccountLength;
  s.customers = convert::ConvertCustomers;
  s.suppliers = convert::ConvertSuppliers;
  s.generalAccounts = convert::ConvertGeneralAccounts;
  s.bookYear = convert::writeBookYear;
  s.dossierLanguages = convert::writeDossierLanguages;
  s.journals = convert::ConvertJournals;
  s.openingEntries = convert::importOpeningEntriesFromSource;
  s.yearDocuments = convert::ImportYearDocuments;
  s.completeDocumentAccounts = convert::CompleteDocumentAccounts;
  s.completeCurrencyAmounts = convert::CompleteCurrencyAmounts;
  s.mergeYears = mergeBookYears;
  return s;
}

}  // namespace run
