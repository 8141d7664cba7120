// Passes over a book year's ACT once its documents are in: the customer or
// supplier of an invoice on all its lines, and the currency of foreign
// financial journals on all their lines.
#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "base/text.h"
#include "convert/entries/entry_table.h"
#include "convert/entries/fixed_point.h"
#include "convert/entries/history_steps.h"
#include "convert/master/journal_kinds.h"
#include "convert/master/step_support.h"
#include "store/engine/sx.h"

namespace convert {
using namespace base;

using store::sx_GetString;

bool CompleteDocumentAccounts(base::RunContext& ctx, const std::string& prefix) {
  showStep(ctx, "AccountRp");
  if (openEntryTable(ctx, prefix) == 0) return false;
  std::string dbkType, dbkCode, docNumber, bookYear, period, accountRp;
  for (; !store::sx_Eof(); store::sx_Skip(1)) {
    const std::string type = sx_GetString("DBKTYPE");
    // Purchase and sales journals ("0" to "3") only.
    if (!(type < JournalType::kFinancial)) continue;
    const std::string docType = sx_GetString("DOCTYPE");
    if (docType == "1" || docType == "2") {
      dbkType = type;
      dbkCode = sx_GetString("DBKCODE");
      docNumber = sx_GetString("DOCNUMBER");
      bookYear = sx_GetString("BOOKYEAR");
      period = sx_GetString("PERIOD");
      accountRp = sx_GetString("ACCOUNTRP");
      showRecord(ctx, dbkCode + "  " + docNumber);
    } else if (docType == "3" || docType == "4") {
      if (type == dbkType && sx_GetString("DBKCODE") == dbkCode && sx_GetString("DOCNUMBER") == docNumber &&
          sx_GetString("BOOKYEAR") == bookYear && sx_GetString("PERIOD") == period &&
          Trim(sx_GetString("ACCOUNTRP")) != Trim(accountRp)) {
        store::sx_Replace("ACCOUNTRP", store::SX_TEXT, accountRp);
        showRecord(ctx, dbkCode + "  " + docNumber + "  " + accountRp);
      }
    }
  }
  store::sx_Close();
  return true;
}

namespace {

// One line of a foreign-currency journal as the currency pass reads it.
struct CurrencyLine {
  int32_t record = 0;
  std::string currency;  // CURRCODE, trimmed
  Fixed4 euro, amount;   // AMOUNTEUR, CURRAMOUNT
  Rate rate;
  enum class Change { None, Rate, All } change = Change::None;
};

bool foreignCurrency(const std::string& code) { return !code.empty() && code != "EUR"; }

// Completes one document of a foreign-currency journal from the rate of its
// first line in the currency. The rate never comes from another document:
// a document takes the rate of its own bank line, wherever that line stands
// in it, or keeps its lines as they are when it has none.
void completeDocument(std::vector<CurrencyLine>& lines) {
  const auto reference = std::find_if(lines.begin(), lines.end(), [](const CurrencyLine& l) {
    return foreignCurrency(l.currency) && !l.rate.isZero() && !l.euro.isZero();
  });
  if (reference == lines.end()) return;
  const std::string currency = reference->currency;
  const Fixed4 referenceEuro = reference->euro, referenceAmount = reference->amount;
  const Rate rate = reference->rate;

  CurrencyLine* largest = nullptr;
  int64_t completed = 0;
  Fixed4 total;
  bool oneCurrency = true;
  for (CurrencyLine& l : lines) {
    if (!foreignCurrency(l.currency) || l.rate.isZero()) {
      l.rate = rate;
      if (foreignCurrency(l.currency) && l.euro.isZero() && !l.amount.isZero()) {
        // A line of 0 euro with an amount in currency (an exchange
        // difference) keeps that amount; it only takes the rate.
        l.change = CurrencyLine::Change::Rate;
      } else {
        // The exact product of the euro amount and the rate (the bank line's
        // currency amount over its euro amount), rounded once to cents.
        l.currency = currency;
        l.amount = *l.euro.timesRatioInCents(referenceAmount, referenceEuro);
        l.change = CurrencyLine::Change::All;
        ++completed;
        if (!largest || std::abs(l.euro.units()) > std::abs(largest->euro.units())) largest = &l;
      }
    }
    oneCurrency = oneCurrency && l.currency == currency;
    total = total + l.amount;
  }
  // Each completed line is rounded to the cent on its own, so a document
  // with several of them can end a cent or so away from its bank line. The
  // largest completed line takes that difference, so that the document
  // balances in its currency as it does in euros. A larger difference is the
  // source's own and is left as it is.
  const int64_t halfCent = Fixed4::kScale / 200;
  if (largest && oneCurrency && std::abs(total.units()) <= completed * halfCent)
    largest->amount = largest->amount - total;
}

}  // namespace

bool CompleteCurrencyAmounts(base::RunContext& ctx, const std::string& prefix) {
  showStep(ctx, "Currency");
  if (openEntryTable(ctx, prefix) == 0) return false;
  // The lines of each document of a foreign-currency journal, by Kestrel's
  // document key (journal, book year, period, number).
  std::map<std::string, std::vector<CurrencyLine>> documents;
  for (; !store::sx_Eof(); store::sx_Skip(1)) {
    if (sx_GetString("DBKTYPE") != JournalType::kFinancial) continue;
    const std::string code = sx_GetString("DBKCODE");
    if (!ctx.journals.foreignCurrencyJournal(code)) continue;
    CurrencyLine l;
    l.record = store::sx_RecNo();
    l.currency = Trim(sx_GetString("CURRCODE"));
    l.euro = Fixed4::fromDouble(store::sx_GetDouble("AMOUNTEUR"));
    l.amount = Fixed4::fromDouble(store::sx_GetDouble("CURRAMOUNT"));
    l.rate = Rate::fromDouble(store::sx_GetDouble("CURRATE"));
    documents[code + '\x1f' + sx_GetString("BOOKYEAR") + '\x1f' + sx_GetString("PERIOD") + '\x1f' +
              sx_GetString("DOCNUMBER")]
        .push_back(l);
  }
  std::map<int32_t, const CurrencyLine*> changes;
  for (auto& [key, lines] : documents) {
    completeDocument(lines);
    for (const CurrencyLine& l : lines)
      if (l.change != CurrencyLine::Change::None) changes[l.record] = &l;
  }
  store::sx_GoTop();
  for (auto next = changes.begin(); next != changes.end() && !store::sx_Eof(); store::sx_Skip(1)) {
    if (store::sx_RecNo() != next->first) continue;
    const CurrencyLine& l = *next->second;
    if (l.change == CurrencyLine::Change::All) {
      store::sx_Replace("CURRCODE", store::SX_TEXT, l.currency);
      store::sx_Replace("CURRAMOUNT", store::SX_DOUBLE, l.amount.toDouble());
    }
    store::sx_Replace("CURRATE", store::SX_DOUBLE, l.rate.toDouble());
    ++next;
  }
  store::sx_Close();
  return true;
}

}  // namespace convert
