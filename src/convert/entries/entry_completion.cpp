// Passes over a book year's ACT once its documents are in: the customer or
// supplier of an invoice on all its lines, and the currency of foreign
// financial journals on all their lines.
#include <string>

#include "base/text.h"
#include "convert/entries/entry_table.h"
#include "convert/entries/fixed_point.h"
#include "convert/entries/history_steps.h"
#include "convert/master/step_support.h"
#include "store/engine/sx.h"

namespace convert {
using namespace base;

using store::sx_GetString;

void CompleteDocumentAccounts(base::RunContext& ctx, const std::string& prefix) {
  ShowStep(ctx, "AccountRp");
  if (OpenEntryTable(ctx, prefix) == 0) return;
  std::string dbkType, dbkCode, docNumber, bookYear, period, accountRp;
  for (; !store::sx_Eof(); store::sx_Skip(1)) {
    const std::string type = sx_GetString("DBKTYPE");
    if (!(type < "4")) continue;
    const std::string docType = sx_GetString("DOCTYPE");
    if (docType == "1" || docType == "2") {
      dbkType = type;
      dbkCode = sx_GetString("DBKCODE");
      docNumber = sx_GetString("DOCNUMBER");
      bookYear = sx_GetString("BOOKYEAR");
      period = sx_GetString("PERIOD");
      accountRp = sx_GetString("ACCOUNTRP");
      ShowRecord(ctx, dbkCode + "  " + docNumber);
    } else if (docType == "3" || docType == "4") {
      if (type == dbkType && sx_GetString("DBKCODE") == dbkCode && sx_GetString("DOCNUMBER") == docNumber &&
          sx_GetString("BOOKYEAR") == bookYear && sx_GetString("PERIOD") == period &&
          Trim(sx_GetString("ACCOUNTRP")) != Trim(accountRp)) {
        store::sx_Replace("ACCOUNTRP", store::SX_TEXT, accountRp);
        ShowRecord(ctx, dbkCode + "  " + docNumber + "  " + accountRp);
      }
    }
  }
  store::sx_Close();
}

void CompleteCurrencyAmounts(base::RunContext& ctx, const std::string& prefix) {
  ShowStep(ctx, "Currency");
  if (OpenEntryTable(ctx, prefix) == 0) return;
  std::string lastCode, lastCurrency;
  Fixed4 lastRate;
  auto writeCurrency = [&](Fixed4 euro) {
    store::sx_Replace("CURRAMOUNT", store::SX_DOUBLE, (euro * lastRate).round2().toDouble());
    store::sx_Replace("CURRATE", store::SX_DOUBLE, lastRate.toDouble());
  };
  for (; !store::sx_Eof(); store::sx_Skip(1)) {
    if (sx_GetString("DBKTYPE") != "4") continue;
    const std::string code = Trim(sx_GetString("DBKCODE"));
    if (ctx.foreignCurrencyJournalList.find("|" + code + "|") == std::string::npos) continue;
    const std::string currency = Trim(sx_GetString("CURRCODE"));
    const Fixed4 euro = Fixed4::fromDouble(store::sx_GetDouble("AMOUNTEUR"));
    if (!currency.empty() && currency != "EUR") {
      const Fixed4 rate = Fixed4::fromDouble(store::sx_GetDouble("CURRATE"));
      if (code != lastCode) {
        lastCode = code;
        lastCurrency = currency;
        lastRate = rate;
      } else if (!rate.isZero()) {
        lastRate = rate;
      } else if (!lastRate.isZero()) {
        // A line of 0 euro with an amount in currency (an exchange
        // difference) keeps that amount; it only takes the rate.
        if (euro.isZero() && store::sx_GetDouble("CURRAMOUNT") != 0)
          store::sx_Replace("CURRATE", store::SX_DOUBLE, lastRate.toDouble());
        else
          writeCurrency(euro);
      }
    } else if (code == lastCode) {
      store::sx_Replace("CURRCODE", store::SX_TEXT, lastCurrency);
      writeCurrency(euro);
    }
  }
  store::sx_Close();
}

}  // namespace convert
