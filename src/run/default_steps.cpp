// The conversion steps of the system, in the run's table. The history steps
// stay empty until they exist; the run then refuses the full import.
#include "convert/steps.h"
#include "run/steps_table.h"

namespace run {

Steps defaultSteps() {
  Steps s;
  s.categories = convert::ConvertCategories;
  s.paymentCodes = convert::ConvertPaymentCodes;
  s.companyIdentity = convert::WriteCompanyIdentity;
  s.queryGeneralAccountLength = convert::QueryGeneralAccountLength;
  s.customers = convert::ConvertCustomers;
  s.suppliers = convert::ConvertSuppliers;
  s.generalAccounts = convert::ConvertGeneralAccounts;
  s.bookYear = convert::WriteBookYear;
  s.dossierLanguages = convert::WriteDossierLanguages;
  return s;
}

}  // namespace run
