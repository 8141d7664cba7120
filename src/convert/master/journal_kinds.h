// Kestrel's journal types (DBKTYPE of DBK and ACT) and the subtypes of its
// miscellaneous journals (DBKTYPE2), named.
#pragma once

namespace convert {

struct JournalType {
  static constexpr const char* kPurchases = "0";
  static constexpr const char* kPurchaseCreditNotes = "1";
  static constexpr const char* kSales = "2";
  static constexpr const char* kSalesCreditNotes = "3";
  static constexpr const char* kFinancial = "4";
  static constexpr const char* kMiscellaneous = "5";
  // Documents of Marlin's miscellaneous journals of subtype 1 (reopening):
  // written like invoices, and booked in a journal of this type of their own.
  static constexpr const char* kReopening = "A";
};

struct MiscellaneousSubtype {
  static constexpr const char* kReopening = "1";
  static constexpr const char* kClosing = "2";
  static constexpr const char* kTransfers = "3";
  static constexpr const char* kCarryForward = "9";  // the previous year's balances
};

}  // namespace convert
