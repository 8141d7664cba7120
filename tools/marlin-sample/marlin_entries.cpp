// Book years of the sample dossier: period layout, journals, VAT codes and
// the accounting lines. Every document balances (the sum of AmntBase with
// FlagDC -1 equals the sum with FlagDC 1). A year holds, besides ordinary
// sales, purchases, general operations and bank documents:
// - opening entries in period 0 whose open items are matched later;
// - sales and purchase credit notes; VAT types 0, 1, 2, 3, 5 and 6;
//   non-deductible VAT; ten-digit document numbers;
// - purchase charges without VAT code whose account was keyed with a leading
//   blank, so that the source's text order puts an expense account among the
//   balance-sheet lines (" 612000" sorts before "6");
// - bank documents in euro and in three foreign currencies (US dollars,
//   pounds, Swiss francs, with the amount in currency on the bank line), some
//   with their counterparts stored before the bank line or with several
//   counterparts; two of the foreign journals carry codes that Kestrel's
//   French or Dutch template gives to another journal type, so they are
//   renamed; cash and internal transfers on a 580 account;
// - matching entries, one or several per line, and some of amount zero;
// - documents whose lines fall into two periods (general operations,
//   invoices, bank documents), lines of information (AcctType 0), a journal
//   used both for purchases and for sales, a journal code that Kestrel's
//   template holds with another journal type;
// - documents in the closing period in two journals.
// The newest book year is monthly, the one before quarterly, the one before
// that a single period, and so on.
#include <algorithm>
#include <cmath>
#include <deque>
#include <memory>

#include "marlin_dossier.h"
#include "report_variants.h"
#include "sample_random.h"

namespace marlin {

namespace {

using jet4::Currency;
using jet4::DateTime;
const Value kNull = std::monostate{};
Value text(const std::string& s) { return s; }
Value whole(int64_t n) { return n; }
Value money(int64_t cents) { return Currency::ofCents(cents); }

enum class Layout { Monthly, Quarterly, Single };

struct Period {
  int id;
  DateTime begin, end;
};

// A Belgian structured payment reference (+++ddd/dddd/ddddd+++).
std::string structuredReference(int64_t doc) {
  int64_t n = doc % 10000000000;
  std::string ten = std::to_string(n);
  ten = std::string(10 - ten.size(), '0') + ten;
  int64_t check = n % 97 == 0 ? 97 : n % 97;
  std::string c = (check < 10 ? "0" : "") + std::to_string(check);
  return "+++" + ten.substr(0, 3) + "/" + ten.substr(3, 4) + "/" + ten.substr(7, 3) + c + "+++";
}

int daysIn(int y, int m) {
  static const int d[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0) ? 29 : d[m - 1];
}

DateTime addDays(DateTime d, int n) {
  d.day += n;
  while (d.day > daysIn(d.year, d.month)) {
    d.day -= daysIn(d.year, d.month);
    if (++d.month > 12) d.month = 1, ++d.year;
  }
  return d;
}

Layout layoutOf(const Options& o, int year) {
  switch ((o.years - 1 - year) % 3) {
    case 0: return Layout::Monthly;
    case 1: return Layout::Quarterly;
    default: return Layout::Single;
  }
}

// Opening period, ordinary periods, closing period.
std::vector<Period> periodsOf(Layout layout, int cy) {
  std::vector<Period> p{{0, {cy, 1, 1}, {cy, 1, 1}}};
  const int step = layout == Layout::Monthly ? 1 : layout == Layout::Quarterly ? 3 : 12;
  for (int m = 1; m <= 12; m += step) {
    int last = m + step - 1;
    p.push_back({int(p.size()), {cy, m, 1}, {cy, last, daysIn(cy, last)}});
  }
  p.push_back({int(p.size()), {cy, 12, 31}, {cy, 12, 31}});
  return p;
}

struct Journal {
  const char* id;
  int type, subType;
  const char* wording;  // nullptr: no wording
  const char* account;  // financial journals
  const char* bankNum;
};
const std::vector<Journal> kJournals = {
    {"VEN", 1, 1, "Ventes", nullptr, nullptr},
    {"VENTES", 1, 1, "Ventes (ancien journal)", nullptr, nullptr},
    {"NCV", 1, 2, "Notes de crédit ventes", nullptr, nullptr},
    {"ACH", 2, 1, "Achats", nullptr, nullptr},
    {"NCA", 2, 2, "Notes de crédit achats", nullptr, nullptr},
    {"MIX", 2, 1, "Achats et ventes divers", nullptr, nullptr},
    // A purchase journal whose code Kestrel's template gives to sales credit notes.
    {"NCVEN", 2, 2, "Notes de crédit fournisseurs", nullptr, nullptr},
    {"OD", 3, 0, "Opérations diverses", nullptr, nullptr},
    {"OUV", 3, 1, "Réouverture", nullptr, nullptr},
    {"REP", 3, 2, "Report", nullptr, nullptr},
    {"VIR", 3, 3, "Virements", nullptr, nullptr},
    {"BQ1", 4, 1, "Banque KBC", "550000", "123456789002"},
    {"BQ2", 4, 1, "Banque USD", "550100", "737000123456789"},
    // Foreign-currency banks whose codes the French (OPDIV) and the Dutch
    // (DIVPOS) template give to miscellaneous operations.
    {"OPDIV", 4, 1, "Banque compte GBP", "550300", nullptr},
    {"DIVPOS", 4, 1, "Bank CHF-rekening", "550400", "310123456789"},
    {"CAI", 4, 0, nullptr, "570000", nullptr},
    {"VIRI", 4, 0, "Virements internes", "580000", nullptr},
};

// A bank journal kept in a foreign currency and its range of rates (units of
// currency per euro, in ten-thousandths).
struct ForeignBank {
  const char* journal;
  const char* currency;
  int64_t lowRate, highRate;
};
const std::vector<ForeignBank> kForeignBanks = {
    {"BQ2", "USD", 10500, 11500}, {"OPDIV", "GBP", 8300, 8800}, {"DIVPOS", "CHF", 9300, 9800}};

struct VatCode {
  const char* code;
  int type;
  int ratePermille;  // VAT rate in thousandths
  const char* wording;
};
const std::vector<VatCode> kVatCodes = {
    {"V21", 0, 210, "TVA 21 %"},      {"V06", 0, 60, "TVA 6 %"},          {"V12", 0, 120, "TVA 12 %"},
    {"V00", 1, 0, "Exonéré"},         {"ICL", 2, 0, "Intracommunautaire"}, {"EXP", 3, 0, "Exportation"},
    {"A5", 5, 210, "Cocontractant"},  {"A6", 6, 210, "Importation"},
};

// One accounting line before it gets its record id.
struct Line {
  int period = 0;
  const Journal* journal = nullptr;
  int jrnlType = 0;  // may differ from the journal's type (journal MIX)
  int64_t doc = 0;
  int validation = 0;
  DateTime date;
  bool hasDue = false;
  DateTime due;
  int acctType = 1;
  std::string acct;
  int compType = 0;
  std::string compId;
  int assocType = 0;
  std::string assocId;
  std::string comment;  // empty: null
  std::string currency;  // empty: null
  int64_t crcyCents = 0;
  int flag = -1;  // -1 debit, 1 credit
  int64_t cents = 0;
  int64_t turnover = 0, vat = 0, vatNd = 0;
  bool vatFields = false;
  const VatCode* vatCode = nullptr;
  std::vector<std::pair<int64_t, int64_t>> checks;  // (check id, amount in cents)
};

// Items waiting for their payment: the line's record id and what is left.
struct OpenItem {
  int64_t record;
  std::string party;
  int64_t left;
};

class YearGenerator {
 public:
  YearGenerator(const Dossier& d, int year, EntrySink& sink)
      : d_(d), year_(year), sink_(sink), rng_(mixSeed(d.options().seed, 100 + year)),
        periods_(periodsOf(layoutOf(d.options(), year), d.calendarYear(year))) {
    for (const Period& p : periods_) {
      int span = 0;
      for (DateTime d = p.begin; !(d == p.end); d = addDays(d, 1)) ++span;
      spans_.push_back(span);
    }
  }

  void run() {
    const int64_t total = d_.options().lines;
    opening();
    const int64_t closingLines = 4;
    const int64_t regularTotal = total - written_ - closingLines;
    const int64_t start = written_;
    while (written_ - start < regularTotal) {
      const int64_t left = regularTotal - (written_ - start);
      const int ordinary = int(periods_.size()) - 2;
      currentPeriod_ = 1 + int(std::min<int64_t>(ordinary - 1, (written_ - start) * ordinary / regularTotal));
      if (left < 10) {
        general(left <= 4 ? int(left) : int(rng_.range(2, std::min<int64_t>(4, left - 2))), false);
        continue;
      }
      int64_t r = rng_.range(0, 99);
      if (r < 24) sale(false);
      else if (r < 28) sale(true);
      else if (r < 46) purchase(false);
      else if (r < 49) purchase(true);
      else if (r < 52) mixed();
      else if (r < 64) general(int(rng_.range(2, 4)), rng_.percent(15));
      else if (r < 86) bank();
      else if (r < 92) foreignBank();
      else if (r < 97) cash();
      else transfer();
    }
    closing();
  }

 private:
  const Journal& journal(const char* id) {
    for (const Journal& j : kJournals)
      if (std::string(j.id) == id) return j;
    return kJournals.front();
  }
  const VatCode& vat(const char* code) {
    for (const VatCode& v : kVatCodes)
      if (std::string(v.code) == code) return v;
    return kVatCodes.front();
  }
  DateTime dayIn(int period) {
    DateTime d = addDays(periods_[period].begin, int(rng_.range(0, spans_[period])));
    d.hour = int(rng_.range(0, 4)) == 0 ? int(rng_.range(8, 18)) : 0;  // some dates keep the time of entry
    d.minute = d.hour ? int(rng_.range(0, 59)) : 0;
    return d;
  }
  int64_t nextDoc(const Journal& j) {
    int64_t& n = docNumbers_[&j - kJournals.data()];
    ++n;
    // Sales and purchases number their documents year + six digits.
    if (j.type == 1 || j.type == 2) return int64_t(d_.calendarYear(year_)) * 1000000 + n;
    return n;
  }
  Line header(const Journal& j, int period, int64_t doc, DateTime date) {
    Line l;
    l.period = period;
    l.journal = &j;
    l.jrnlType = j.type;
    l.doc = doc;
    l.date = date;
    return l;
  }
  // The period of the lines after the first of a document: now and then the
  // next ordinary period, so that the document lies in two periods (never in
  // the closing period, whose documents are the year-end entries).
  int laterPeriod(int period, int percent) {
    return period + 1 < int(periods_.size()) - 1 && rng_.percent(percent) ? period + 1 : period;
  }
  const Dossier::Party& customer() { return d_.customers()[rng_.range(0, int64_t(d_.customers().size()) - 1)]; }
  const Dossier::Party& supplier() { return d_.suppliers()[rng_.range(0, int64_t(d_.suppliers().size()) - 1)]; }
  int64_t amount(int64_t lo, int64_t hi) { return rng_.range(lo, hi); }

  // Writes the document: record ids in order, then the lines, then the
  // matching entries of these lines.
  void emit(std::vector<Line>& lines) {
    int64_t balance = 0;
    for (const Line& l : lines) balance += l.flag == -1 ? l.cents : -l.cents;
    if (balance != 0) throw std::logic_error("unbalanced sample document");
    std::vector<Row> checks;
    for (Line& l : lines) {
      const int64_t record = ++record_;
      sink_.historic(row(l, record));
      for (auto [id, cents] : l.checks) checks.push_back({whole(record), whole(id), money(cents)});
      if (l.period != 0 && l.assocType == 10 && l.validation == 2 && l.flag == -1 && rng_.percent(92))
        openSales_.push_back({record, l.assocId, l.cents});
      if (l.period != 0 && l.assocType == 20 && l.validation == 2 && l.flag == 1 && rng_.percent(92))
        openPurchases_.push_back({record, l.assocId, l.cents});
      if (l.period == 0 && l.assocType == 10) openSales_.push_back({record, l.assocId, l.cents});
      if (l.period == 0 && l.assocType == 20) openPurchases_.push_back({record, l.assocId, l.cents});
      ++written_;
    }
    for (const Row& c : checks) sink_.checking(c);
    while (openSales_.size() > 400) openSales_.pop_front();
    while (openPurchases_.size() > 400) openPurchases_.pop_front();
  }

  Row row(const Line& l, int64_t record) const {
    const bool eur = l.currency.empty() || l.currency == "EUR";
    const bool hasVatType = l.vatCode != nullptr;
    return {whole(0),
            whole(record),
            whole(l.period),
            whole(l.jrnlType),
            text(l.journal->id),
            whole(l.journal->subType),
            whole(l.doc),
            whole(l.validation),
            l.date,
            l.date,
            l.hasDue ? Value(l.due) : kNull,
            whole(l.acctType),
            text(l.acct),
            whole(l.compType),
            l.compId.empty() ? kNull : text(l.compId),
            whole(l.assocType),
            l.assocId.empty() ? kNull : text(l.assocId),
            l.comment.empty() ? kNull : text(l.comment),
            l.currency.empty() ? kNull : text(l.currency),
            l.currency.empty() ? kNull : text(l.currency),
            kNull,
            l.currency.empty() ? kNull : text(l.currency),
            whole(l.flag),
            money(l.cents),
            kNull,
            l.currency.empty() ? kNull : money(eur ? l.cents : l.crcyCents),
            money(l.cents),
            l.assocType ? money(l.cents) : kNull,
            l.vatFields ? money(l.turnover) : kNull,
            l.vatFields ? money(l.vat) : kNull,
            kNull,
            kNull,
            l.vatFields ? money(l.vatNd) : kNull,
            kNull,
            kNull,
            l.doc % 7 == 0 && l.validation == 2 ? text(structuredReference(l.doc)) : kNull,
            kNull,
            hasVatType ? text(l.vatCode->code) : kNull,
            hasVatType ? whole(l.vatCode->type) : kNull};
  }

  void opening() {
    const Journal& j = journal("OUV");
    const DateTime date = periods_[0].begin;
    std::vector<Line> lines;
    auto add = [&](const char* acct, int flag, int64_t cents, const char* comment) {
      Line l = header(j, 0, 1, date);
      l.acct = acct, l.flag = flag, l.cents = cents, l.comment = comment ? comment : "";
      lines.push_back(l);
      return &lines.back();
    };
    lines.reserve(8);
    add("100000", 1, 1860000, "Capital souscrit");
    add("130000", 1, amount(100000, 900000), "Réserve légale");
    int64_t open = 0;
    for (int i = 0; i < 2; ++i) {
      Line* c = add("400000", -1, amount(10000, 500000), "Report facture client");
      c->assocType = 10, c->assocId = customer().id, c->validation = 2;
      open += c->cents;
    }
    Line* s = add("440000", 1, amount(10000, 300000), "Report facture fournisseur");
    s->assocType = 20, s->assocId = supplier().id, s->validation = 2;
    open -= s->cents;
    // The bank takes what balances the opening.
    int64_t bal = 0;
    for (const Line& l : lines) bal += l.flag == -1 ? l.cents : -l.cents;
    add("550000", -1, -bal, "Solde bancaire");
    add("499000", -1, 0, nullptr)->acctType = 0;  // a line of information only
    emit(lines);
  }

  void sale(bool creditNote) {
    const Journal& j = journal(creditNote ? "NCV" : rng_.percent(90) ? "VEN" : "VENTES");
    invoice(j, j.type, creditNote);
  }
  void purchase(bool creditNote) {
    const Journal& j = journal(creditNote ? (rng_.percent(50) ? "NCA" : "NCVEN") : "ACH");
    invoice(j, j.type, creditNote);
  }
  // Journal MIX holds purchases and, now and then, sales.
  void mixed() { invoice(journal("MIX"), rng_.percent(30) ? 1 : 2, false); }

  void invoice(const Journal& j, int jrnlType, bool creditNote) {
    const bool sales = jrnlType == 1;
    const int period = currentPeriod_;
    const DateTime date = dayIn(period);
    const int64_t doc = nextDoc(j);
    const Dossier::Party& party = sales ? customer() : supplier();
    const std::string docText = std::string(creditNote ? "NC " : "Fact. ") + std::to_string(doc);
    const int debit = (sales != creditNote) ? -1 : 1;  // side of the party line
    const int later = laterPeriod(period, 4);
    const int count = int(rng_.range(1, 3));
    std::vector<Line> lines;
    lines.reserve(count + 3);
    Line main = header(j, period, doc, date);
    main.jrnlType = jrnlType;
    main.validation = 2;
    main.acct = sales ? (rng_.percent(10) ? "400500" : "400000") : "440000";
    main.assocType = sales ? 10 : 20;
    main.assocId = party.id;
    main.flag = debit;
    main.hasDue = rng_.percent(85);
    main.due = addDays(date, 30);
    main.comment = docText;
    main.vatFields = true;
    lines.push_back(main);
    int64_t base = 0, vatTotal = 0, vatNd = 0;
    const bool foreign = !party.country.empty();
    for (int i = 0; i < count; ++i) {
      Line l = header(j, i == 0 ? period : later, doc, date);
      l.jrnlType = jrnlType;
      const VatCode* code;
      if (foreign) code = &vat(sales ? "ICL" : (rng_.percent(50) ? "A6" : "ICL"));
      else if (sales) code = &vat(rng_.pick(std::vector<const char*>{"V21", "V21", "V21", "V06", "V12", "V00", "EXP"}));
      else code = &vat(rng_.pick(std::vector<const char*>{"V21", "V21", "V06", "V00", "A5", "A6"}));
      l.vatCode = code;
      l.acct = sales ? rng_.pick(std::vector<std::string>{"700000", "700000", "701000"})
                     : rng_.pick(std::vector<std::string>{"600000", "600000", "6100", "612000", "618000"});
      l.compType = sales ? 10 : 20;
      l.compId = party.id;
      l.flag = -debit;
      l.cents = amount(500, 500000);
      l.turnover = l.cents;
      l.vatFields = true;
      int64_t v = 0;
      // Reverse-charge and import codes (5, 6) carry VAT the buyer declares;
      // here it does not change the document's balance.
      if (code->type == 0) v = (l.cents * code->ratePermille + 500) / 1000;
      l.vat = v;
      if (!sales && v > 0 && rng_.percent(20)) {
        const int64_t nd = v / 2;  // half of it not deductible: charged to the expense
        l.vatNd = nd;
        l.cents += nd;
        vatNd += nd;
        v -= nd;
      }
      l.comment = i == 0 ? docText : "";
      base += l.turnover;
      vatTotal += v;
      lines.push_back(l);
    }
    if (vatTotal > 0) {
      Line l = header(j, later, doc, date);
      l.jrnlType = jrnlType;
      l.acct = sales ? "451000" : "411000";
      l.compType = sales ? 10 : 20;
      l.compId = party.id;
      l.flag = -debit;
      l.cents = vatTotal;
      lines.push_back(l);
    }
    int64_t unTaxed = 0;
    if (!sales && !foreign && rng_.percent(8)) {
      Line l = header(j, later, doc, date);
      l.jrnlType = jrnlType;
      l.acct = " 612000";  // keyed with a leading blank
      l.compType = 20;
      l.compId = party.id;
      l.flag = -debit;
      l.cents = unTaxed = amount(100, 20000);
      l.comment = "Frais sans TVA";
      lines.push_back(l);
    }
    lines[0].cents = base + vatTotal + vatNd + unTaxed;
    lines[0].turnover = base;
    lines[0].vat = vatTotal;
    lines[0].vatNd = vatNd;
    emit(lines);
  }

  void general(int count, bool twoPeriods) {
    const Journal& j = journal(rng_.percent(80) ? "OD" : "VIR");
    const int period = currentPeriod_;
    const int64_t doc = nextDoc(j);
    const DateTime date = dayIn(period);
    const bool spread = twoPeriods && period + 1 < int(periods_.size()) - 1;
    std::vector<Line> lines;
    int64_t bal = 0;
    for (int i = 0; i < count; ++i) {
      Line l = header(j, spread && i % 2 ? period + 1 : period, doc, date);
      l.acct = rng_.pick(std::vector<std::string>{"499000", "612000", "618000", "130000", "6100", "4400", "640120"});
      if (i == 0 && rng_.percent(20)) {
        l.acct = "400000", l.assocType = 10, l.assocId = customer().id;
      }
      if (i + 1 < count) {
        l.flag = rng_.percent(50) ? -1 : 1;
        l.cents = amount(100, 200000);
      } else {
        l.flag = bal <= 0 ? -1 : 1;
        l.cents = bal <= 0 ? -bal : bal;
      }
      bal += l.flag == -1 ? l.cents : -l.cents;
      if (rng_.percent(70)) l.comment = spread ? "Régularisation sur deux périodes" : "Écriture de régularisation";
      lines.push_back(l);
    }
    emit(lines);
  }

  // Pays open items: in full, in two parts (several matching entries on
  // the invoice line), now and then with an extra entry of amount zero.
  void settle(Line& l, std::deque<OpenItem>& open, int assocType, int side) {
    OpenItem& item = open.front();
    const bool part = item.left > 2000 && rng_.percent(20);
    const int64_t paid = part ? item.left / 2 : item.left;
    const int64_t check = ++check_;
    l.acct = assocType == 10 ? "400000" : "440000";
    l.assocType = assocType;
    l.assocId = item.party;
    l.flag = side;
    l.cents = paid;
    l.checks.push_back({check, paid});
    extraChecks_.push_back({whole(item.record), whole(check), money(paid)});
    if (rng_.percent(3)) extraChecks_.push_back({whole(item.record), whole(++check_), money(0)});
    item.left -= paid;
    if (item.left == 0) open.pop_front();
  }

  void bank() {
    const Journal& j = journal("BQ1");
    const int period = currentPeriod_;
    const int64_t doc = nextDoc(j);
    const DateTime date = dayIn(period);
    const int later = laterPeriod(period, 4);
    const int count = int(rng_.range(1, 3));
    std::vector<Line> lines;
    lines.push_back(header(j, period, doc, date));
    int64_t bal = 0;
    for (int i = 0; i < count; ++i) {
      Line l = header(j, later, doc, date);
      l.currency = "EUR";
      const int64_t r = rng_.range(0, 9);
      if (r < 5 && !openSales_.empty()) settle(l, openSales_, 10, 1);
      else if (r < 8 && !openPurchases_.empty()) settle(l, openPurchases_, 20, -1);
      else {
        l.acct = "657000", l.flag = -1, l.cents = amount(100, 5000), l.comment = "Frais de banque";
      }
      bal += l.flag == -1 ? l.cents : -l.cents;
      lines.push_back(l);
    }
    Line& b = lines.front();
    b.acct = j.account;
    b.currency = "EUR";
    b.flag = bal <= 0 ? -1 : 1;
    b.cents = bal <= 0 ? -bal : bal;
    b.comment = "Extrait " + std::to_string(doc);
    emitWithChecks(lines);
  }

  // A statement line of a foreign-currency bank: the bank line carries the
  // amount in currency, its counterparts only euros. The counterparts are
  // now and then stored before the bank line, or several share one bank line.
  void foreignBank() {
    const ForeignBank& bank = rng_.pick(kForeignBanks);
    const Journal& j = journal(bank.journal);
    const int period = currentPeriod_;
    const int64_t doc = nextDoc(j);
    const DateTime date = dayIn(period);
    const int later = laterPeriod(period, 6);
    const bool counterpartsFirst = rng_.percent(40);
    const int count = rng_.percent(25) ? int(rng_.range(2, 3)) : 1;
    std::vector<Line> counterparts;
    int64_t bal = 0;
    for (int i = 0; i < count; ++i) {
      Line c = header(j, counterpartsFirst && i == 0 ? period : later, doc, date);
      c.currency = "EUR";
      if (!openSales_.empty() && rng_.percent(70)) settle(c, openSales_, 10, 1);
      else c.acct = "499000", c.flag = 1, c.cents = amount(1000, 90000);
      bal += c.flag == -1 ? c.cents : -c.cents;
      counterparts.push_back(c);
    }
    Line b = header(j, counterpartsFirst ? later : period, doc, date);
    b.acct = j.account;
    b.flag = bal <= 0 ? -1 : 1;
    b.cents = bal <= 0 ? -bal : bal;
    b.currency = bank.currency;
    b.crcyCents = (b.cents * rng_.range(bank.lowRate, bank.highRate) + 5000) / 10000;
    b.comment = std::string("Mouvement en ") + bank.currency;
    std::vector<Line> lines;
    if (!counterpartsFirst) lines.push_back(b);
    lines.insert(lines.end(), counterparts.begin(), counterparts.end());
    if (counterpartsFirst) lines.push_back(b);
    emitWithChecks(lines);
  }

  void cash() {
    const Journal& j = journal("CAI");
    const int period = currentPeriod_;
    const int64_t doc = nextDoc(j);
    const DateTime date = dayIn(period);
    std::vector<Line> lines{header(j, period, doc, date), header(j, period, doc, date)};
    lines[1].acct = "612000", lines[1].flag = -1, lines[1].cents = amount(100, 20000), lines[1].comment = "Timbres et fournitures";
    lines[0].acct = j.account, lines[0].flag = 1, lines[0].cents = lines[1].cents;
    emit(lines);
  }

  void transfer() {
    const Journal& j = journal("VIRI");
    const int period = currentPeriod_;
    const int64_t doc = nextDoc(j);
    const DateTime date = dayIn(period);
    std::vector<Line> lines{header(j, period, doc, date), header(j, period, doc, date), header(j, period, doc, date)};
    const int64_t cents = amount(10000, 200000);
    lines[0].acct = j.account, lines[0].flag = -1, lines[0].cents = cents, lines[0].comment = "Retrait pour la caisse";
    lines[1].acct = "550000", lines[1].flag = 1, lines[1].cents = cents;
    lines[2].acct = "570000", lines[2].flag = -1, lines[2].cents = 0, lines[2].acctType = 0;  // information only
    emit(lines);
  }

  // Two documents of the closing period, in two journals.
  void closing() {
    const int period = int(periods_.size()) - 1;
    const DateTime date = periods_.back().end;
    const int64_t result = amount(100000, 900000);
    const Journal& od = journal("OD");
    const int64_t doc1 = nextDoc(od);
    std::vector<Line> a{header(od, period, doc1, date), header(od, period, doc1, date)};
    a[0].acct = "693000", a[0].flag = -1, a[0].cents = result, a[0].comment = "Affectation du résultat";
    a[1].acct = "140000", a[1].flag = 1, a[1].cents = result;
    emit(a);
    const Journal& vir = journal("VIR");
    const int64_t doc2 = nextDoc(vir);
    std::vector<Line> b{header(vir, period, doc2, date), header(vir, period, doc2, date)};
    b[0].acct = "580000", b[0].flag = -1, b[0].cents = 50000, b[0].comment = "Virement de clôture";
    b[1].acct = "550000", b[1].flag = 1, b[1].cents = 50000;
    emit(b);
  }

  // Matching entries of the items paid by this document go out with it.
  void emitWithChecks(std::vector<Line>& lines) {
    emit(lines);
    for (const Row& c : extraChecks_) sink_.checking(c);
    extraChecks_.clear();
  }

  const Dossier& d_;
  int year_;
  EntrySink& sink_;
  Random rng_;
  std::vector<Period> periods_;
  std::vector<int> spans_;  // days from the first to the last day of each period
  int currentPeriod_ = 1;
  int64_t written_ = 0, record_ = 0, check_ = 0;
  int64_t docNumbers_[32] = {};
  std::deque<OpenItem> openSales_, openPurchases_;
  std::vector<Row> extraChecks_;
};

}  // namespace

int Dossier::calendarYear(int year) const { return kNewestCalendarYear - (options_.years - 1 - year); }

std::vector<TableData> Dossier::yearTables(int year) const {
  std::vector<TableData> out;
  TableData period{"Period",
                   {{"PeriodId", Type::Integer}, {"BeginDate", Type::DateTime}, {"EndDate", Type::DateTime},
                    {"Wording", Type::Text, 20}, {"Status", Type::Byte}},
                   {}};
  const auto periods = periodsOf(layoutOf(options_, year), calendarYear(year));
  static const char* kMonths[] = {"Janvier", "Février", "Mars",      "Avril",   "Mai",      "Juin",
                                  "Juillet", "Août",    "Septembre", "Octobre", "Novembre", "Décembre"};
  for (const Period& p : periods) {
    std::string label = p.id == 0 ? "Ouverture"
                        : &p == &periods.back() ? "Clôture"
                        : p.begin.month == p.end.month ? kMonths[p.begin.month - 1]
                        : p.end.month - p.begin.month == 2 ? "Trimestre " + std::to_string((p.begin.month + 2) / 3)
                                                            : "Exercice";
    period.rows.push_back({whole(p.id), p.begin, p.end, text(label), whole(year + 1 == options_.years ? 0 : 2)});
  }
  out.push_back(std::move(period));

  TableData journal{"journal",
                    {{"JrnlID", Type::Text, 6}, {"Type", Type::Integer}, {"SubType", Type::Integer},
                     {"Wording", Type::Text, 40}, {"AcctID", Type::Text, 10}, {"BankNum", Type::Text, 20},
                     {"LastDoc", Type::Long}},
                    {}};
  for (const Journal& j : kJournals)
    journal.rows.push_back({text(j.id), whole(j.type), whole(j.subType), j.wording ? text(j.wording) : kNull,
                            j.account ? text(j.account) : kNull, j.bankNum ? text(j.bankNum) : kNull, whole(0)});
  out.push_back(std::move(journal));

  TableData vat{"VATCode",
                {{"VATCode", Type::Text, 6}, {"VATType", Type::Integer}, {"Rate", Type::Double}, {"Wording", Type::Text, 40}},
                {}};
  for (const VatCode& v : kVatCodes)
    vat.rows.push_back({text(v.code), whole(v.type), double(v.ratePermille) / 10.0, text(v.wording)});
  out.push_back(std::move(vat));
  return out;
}

std::vector<Column> Dossier::historicColumns() {
  return {{"RecordTag", Type::Integer},      {"RecordID", Type::Long},          {"Period", Type::Integer},
          {"JrnlType", Type::Integer},       {"JrnlID", Type::Text, 6},         {"JrnlSubType", Type::Integer},
          {"Doc", Type::Long},               {"ValidationType", Type::Integer}, {"DocDate", Type::DateTime},
          {"ValueDate", Type::DateTime},     {"DueDate", Type::DateTime},       {"AcctType", Type::Integer},
          {"AcctID", Type::Text, 10},        {"CompAcctType", Type::Integer},   {"CompAcctID", Type::Text, 10},
          {"AssocAcctType", Type::Integer},  {"AssocAcctID", Type::Text, 10},   {"Comment", Type::Text, 60},
          {"CrcyID", Type::Text, 3},         {"CrcyAcctID", Type::Text, 3},     {"CrcyAssocAcctID", Type::Text, 3},
          {"CrcyChecking", Type::Text, 3},   {"FlagDC", Type::Integer},         {"AmntBase", Type::Currency},
          {"AmntBase2", Type::Currency},     {"AmntCrcy", Type::Currency},      {"AmntAcctID", Type::Currency},
          {"AmntAssocAcctID", Type::Currency}, {"TurnOverBase", Type::Currency}, {"VATAmntBase", Type::Currency},
          {"VATAmntBase2", Type::Currency},  {"VATAmntCrcy", Type::Currency},   {"VATNDAmntBase", Type::Currency},
          {"VATNDAmntBase2", Type::Currency}, {"VATNDAmntCrcy", Type::Currency}, {"VCS", Type::Text, 20},
          {"Piece", Type::Text, 20},         {"VATCode", Type::Text, 6},        {"VATType", Type::Integer}};
}

std::vector<Column> Dossier::checkingColumns() {
  return {{"HistoRecordID", Type::Long}, {"CheckID", Type::Long}, {"AmntBase", Type::Currency}};
}

void Dossier::generateEntries(int year, EntrySink& sink) const {
  if (year < 0 || year >= options_.years) throw std::out_of_range("book year");
  const std::unique_ptr<EntrySink> variant = variantSink(options_.variant, sink);
  YearGenerator(*this, year, variant ? *variant : sink).run();
}

}  // namespace marlin
