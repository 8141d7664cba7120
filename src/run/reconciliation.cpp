#include "run/reconciliation.h"

#include <cmath>
#include <cstdlib>
#include <memory>

#include "base/number_text.h"
#include "base/text.h"
#include "store/engine/table.h"

namespace run {
using namespace base;

namespace {

const char kSep = '\x1f';

std::string joined(std::initializer_list<std::string> parts) {
  std::string s;
  for (const std::string& p : parts) {
    if (!s.empty()) s += kSep;
    s += p;
  }
  return s;
}

std::vector<std::string> split(const std::string& s) {
  std::vector<std::string> parts(1);
  for (char c : s) {
    if (c == kSep)
      parts.emplace_back();
    else
      parts.back() += c;
  }
  return parts;
}

std::string companyTable(const SourceTables& t, const std::string& name) {
  return t.sql || t.prefixed ? "D_" + name : name;
}

std::string yearTable(const SourceTables& t, const std::string& name) {
  return t.sql || t.prefixed ? "A_" + t.nn + "_" + name : name;
}

bool sameDay(const Value& a, const Value& b) {
  if (a.kind == Value::Kind::DateTime && b.kind == Value::Kind::DateTime)
    return a.date.year == b.date.year && a.date.month == b.date.month && a.date.day == b.date.day;
  return Trim(a.asText()).substr(0, 10) == Trim(b.asText()).substr(0, 10);
}

// The closing period of a book year: the first period whose first and last
// days are one day (the opening period 0 excepted), else the one after the last.
std::string closingPeriod(RowSet& periods) {
  int64_t last = -1;
  for (; !periods.eof(); periods.moveNext()) {
    const int64_t id = periods.field("PeriodId").asInt();
    if (id != 0 && sameDay(periods.field("BeginDate"), periods.field("EndDate"))) return twoDigits(id);
    last = id;
  }
  return last < 0 ? std::string() : twoDigits(last + 1);
}

// Sales, purchase and reopening documents are written from their VAT
// queries (main line, VAT-coded and result lines, summed balance lines);
// general (type 3) and financial (4) documents, and unknown types, line by line.
bool vatDocument(int64_t type, int64_t subtype) { return type == 1 || type == 2 || (type == 3 && subtype == 1); }

// The dossier's journal type of a Marlin document, needed to find the journal
// a renamed code landed in.
std::string documentKind(int64_t type, int64_t subtype) {
  switch (type) {
    case 1:
      return subtype == 1 ? "2" : "3";
    case 2:
      return subtype == 1 ? "0" : "1";
    case 3:
      return subtype == 1 ? "A" : "5";
    case 4:
      return "4";
    default:
      return "5";
  }
}

std::string periodText(const Value& period, const std::string& closing) {
  if (!period.present()) return {};
  std::string p = twoDigits(period.asInt());
  return p == closing ? "99" : p;
}

std::string partyKey(const Value& type, const Value& id) {
  const int64_t t = type.asInt();
  if (t != 10 && t != 20) return {};
  return (t == 10 ? "1/" : "2/") + Trim(id.asText());
}

// Account numbers at the dossier's length: trimmed, at most 8 characters,
// padded with zeros, cut to the length.
std::string atLength(const std::string& account, int length) {
  if (Trim(account).empty()) return {};
  std::string a = Trim(Left(Trim(account), 8));
  while (charCount(a) < static_cast<size_t>(length)) a += '0';
  return Left(a, static_cast<size_t>(length));
}

// Field access of a table opened read only.
class TargetTable {
 public:
  bool open(const std::string& file, base::Bilingual& error) {
    table_ = store::Table::open(file, error, store::Table::OpenMode::ReadOnly);
    return table_ != nullptr;
  }
  uint32_t count() const { return table_->recordCount(); }
  // Moves to record `recno`; false for a deleted record.
  bool live(uint32_t recno) { return table_->go(recno) && !table_->deleted(); }
  int field(const char* name) const { return table_->fieldIndex(name); }
  std::string text(int field) const { return field < 0 ? std::string() : Trim(table_->text(field)); }
  int64_t amount(int field) const { return field < 0 ? 0 : thousandthsOf(table_->text(field)); }

 private:
  std::unique_ptr<store::Table> table_;
};

}  // namespace

int64_t thousandthsOf(const std::string& text) {
  std::string t = Trim(text, " \t");
  if (t.empty()) return 0;
  if (t.find_first_of("eE") != std::string::npos) return std::llround(readNumber(t) * 1000);
  bool negative = false;
  size_t i = 0;
  if (t[0] == '-' || t[0] == '+') negative = t[i++] == '-';
  int64_t whole = 0, fraction = 0;
  int digits = 0;
  bool point = false, roundUp = false;
  for (; i < t.size(); ++i) {
    const char c = t[i];
    if (c == '.' && !point) {
      point = true;
    } else if (c >= '0' && c <= '9') {
      if (!point) {
        whole = whole * 10 + (c - '0');
      } else if (digits < 3) {
        fraction = fraction * 10 + (c - '0');
        ++digits;
      } else if (digits == 3) {
        roundUp = c >= '5';  // halves away from zero
        ++digits;
      }
    } else {
      break;
    }
  }
  for (; digits < 3; ++digits) fraction *= 10;
  int64_t v = whole * 1000 + fraction + (roundUp ? 1 : 0);
  return negative ? -v : v;
}

int64_t thousandthsOf(const Value& value) {
  switch (value.kind) {
    case Value::Kind::Null:
      return 0;
    case Value::Kind::Integer:
      return value.integer * 1000;
    case Value::Kind::Decimal:
      return thousandthsOf(value.text);
    case Value::Kind::Text:
      return thousandthsOf(value.text);
    default:
      return std::llround(value.asDouble() * 1000);
  }
}

SourceBooks readSourceBooks(const SourceTables& t, int sourceIndex, int bookYear, bool keepsOpening) {
  SourceBooks books;
  books.sourceIndex = sourceIndex;
  books.bookYear = bookYear;
  books.keepsOpening = keepsOpening;
  {
    auto periods = t.year->query("SELECT PeriodId, BeginDate, EndDate FROM " + yearTable(t, "Period"));
    books.closingPeriod = closingPeriod(*periods);
  }
  auto lines = t.year->query(
      "SELECT RecordID, Period, JrnlID, JrnlType, JrnlSubType, Doc, AcctID, AssocAcctType, AssocAcctID, "
      "CompAcctType, CompAcctID, ValidationType, VATCode, FlagDC, AmntBase, CrcyAcctID, AmntCrcy, DocDate, "
      "ValueDate, DueDate FROM " +
      yearTable(t, "Historic") + " WHERE AcctType > 0 ORDER BY RecordID");
  // A document's lines mostly follow one another: the one of the previous
  // line is taken again without a search among all the year's documents.
  SourceDocument* last = nullptr;
  for (; !lines->eof(); lines->moveNext()) {
    const RowSet& r = *lines;
    // Each column read once: a year's half a million lines make every
    // further look-up by name count.
    const std::string period = periodText(r.field("Period"), books.closingPeriod);
    // FlagDC 1 marks a credit; the dossier holds debits positive, credits negative.
    const bool credit = r.field("FlagDC").asInt() == 1;
    int64_t amount = thousandthsOf(r.field("AmntBase"));
    if (credit) amount = -amount;
    const std::string accountText = r.field("AcctID").asText();
    const std::string account = Trim(accountText);
    const Value partyType = r.field("AssocAcctType"), partyId = r.field("AssocAcctID");
    const std::string party = partyKey(partyType, partyId);
    const Value jrnlType = r.field("JrnlType"), jrnlSubType = r.field("JrnlSubType");
    const int64_t validation = r.field("ValidationType").asInt();

    const std::string journal = r.field("JrnlID").asText(), type = jrnlType.asText(),
                      number = r.field("Doc").asText();
    if (!last || last->journal != journal || last->jrnlType != type || last->number != number)
      last = &books.documents[joined({journal, type, number})];
    SourceDocument& doc = *last;
    if (!doc.seen) {
      doc.seen = true;
      doc.journal = journal;
      doc.jrnlType = type;
      doc.jrnlSubType = jrnlSubType.asText();
      doc.number = number;
    }
    // Opening-period lines wait until it is known whether their document
    // has later lines.
    if (period == "00") {
      doc.openingAccounts[account] += amount;
      if (!party.empty()) doc.openingParties[party] += amount;
      if (!account.empty()) ++doc.openingLines;
      doc.openingBalance += amount;
    } else {
      books.accounts[account] += amount;
      if (!party.empty()) books.parties[party] += amount;
      if (!doc.later) doc.firstPeriod = period;
      doc.later = true;
      if (!doc.hasMain && validation == 2) {
        doc.hasMain = true;
        doc.mainPeriod = period;
      }
    }
    doc.balance += amount;
    if (!account.empty()) {
      const bool summed = vatDocument(jrnlType.asInt(), jrnlSubType.asInt()) && accountText < "6" &&
                          Trim(r.field("VATCode").asText()).empty() && validation == 0;
      if (summed) {
        doc.summedBalanceLines.insert(joined({period, account, r.field("CompAcctID").asText(), partyId.asText(),
                                              r.field("CompAcctType").asText(), partyType.asText(),
                                              r.field("DocDate").asText(), r.field("ValueDate").asText(),
                                              r.field("DueDate").asText()}));
      } else {
        ++doc.lines;
      }
    }
    const std::string currency = Trim(r.field("CrcyAcctID").asText());
    if (!currency.empty() && currency != "EUR") {
      if (doc.currency.empty()) doc.currency = currency;
      int64_t inCurrency = thousandthsOf(r.field("AmntCrcy"));
      doc.currencyBalance += credit ? -inCurrency : inCurrency;
      if (currency != doc.currency) doc.allInCurrency = false;
    } else {
      doc.allInCurrency = false;
    }
  }
  // A document with later lines is written whole in its own period, its
  // opening-period lines with it; the others' lines form the opening document.
  for (auto it = books.documents.begin(); it != books.documents.end();) {
    SourceDocument& doc = it->second;
    if (doc.later) {
      for (const auto& [key, amount] : doc.openingAccounts) books.accounts[key] += amount;
      for (const auto& [key, amount] : doc.openingParties) books.parties[key] += amount;
      // The books of both years wait beside the conversion of each: what was
      // only needed to count and sum goes now.
      doc.lines += static_cast<long>(doc.summedBalanceLines.size());
      doc.summedBalanceLines.clear();
      doc.openingAccounts.clear();
      doc.openingParties.clear();
      ++it;
      continue;
    }
    for (const auto& [key, amount] : doc.openingAccounts) books.openingAccounts[key] += amount;
    for (const auto& [key, amount] : doc.openingParties) books.openingParties[key] += amount;
    books.opening.lines += doc.openingLines;
    books.opening.balance += doc.openingBalance;
    it = books.documents.erase(it);
  }
  return books;
}

SourceMasterData readSourceMasterData(const SourceTables& t) {
  SourceMasterData master;
  auto count = [&](const std::string& column, const std::string& table) {
    long n = 0;
    auto rows = t.company->query("SELECT " + column + " FROM " + companyTable(t, table));
    for (; !rows->eof(); rows->moveNext()) ++n;
    return n;
  };
  master.customers = count("CustID", "AcctCustomer");
  master.suppliers = count("SuppID", "AcctSupplier");
  auto accounts = t.company->query("SELECT Type, GeneralID FROM " + companyTable(t, "AcctGeneral"));
  for (; !accounts->eof(); accounts->moveNext()) {
    const Value type = accounts->field("Type");
    if (type.present()) master.accounts.emplace_back(type.asText(), accounts->field("GeneralID").asText());
  }
  master.read = true;
  return master;
}

bool readTargetBooks(const std::string& prefix, TargetBooks& books, base::Bilingual& error) {
  {
    TargetTable param;
    if (!param.open(prefix + "_PARAM.DBF", error)) return false;
    const int id = param.field("ID"), value = param.field("VALUE");
    for (uint32_t r = 1; r <= param.count(); ++r) {
      if (!param.live(r) || upperCase(param.text(id)) != "ACCOUNTPICTURE") continue;
      const std::string v = ',' + upperCase(param.text(value));
      const size_t at = v.find(",LENGEN=");
      if (at != std::string::npos) books.accountLength = std::atoi(v.c_str() + at + 8);
    }
  }
  for (int year : {1, 2}) {
    TargetTable dbk;
    const std::string file = prefix + (year == 1 ? "_DBK_01.DBF" : "_DBK_02.DBF");
    base::Bilingual missing;
    if (!dbk.open(file, missing)) continue;  // a dossier of one book year has no DBK_02
    const int id = dbk.field("DBKID"), options = dbk.field("DBKOPT");
    for (uint32_t r = 1; r <= dbk.count(); ++r) {
      if (!dbk.live(r)) continue;
      const std::string o = dbk.text(options);
      const size_t at = o.find("DEV=");
      const std::string currency = at == std::string::npos ? "" : Trim(o.substr(at + 4, 3));
      if (!currency.empty() && currency != "EUR") {
        const std::string key = std::to_string(year) + "/" + dbk.text(id);
        books.foreignJournals.insert(key);
        books.journalCurrency[key] = currency;
      }
    }
  }
  {
    TargetTable act;
    if (!act.open(prefix + "_ACT.DBF", error)) return false;
    const int year = act.field("BOOKYEAR"), period = act.field("PERIOD"), journal = act.field("DBKCODE"),
              number = act.field("DOCNUMBER"), docType = act.field("DOCTYPE"), account = act.field("ACCOUNTGL"),
              party = act.field("ACCOUNTRP"), amount = act.field("AMOUNTEUR"), inCurrency = act.field("CURRAMOUNT");
    for (uint32_t r = 1; r <= act.count(); ++r) {
      if (!act.live(r)) continue;
      const std::string y = act.text(year), gl = act.text(account), type = act.text(docType);
      const int64_t a = act.amount(amount);
      books.accounts[y + "/" + gl] += a;
      if (type == "1" || type == "2") books.parties[y + "/" + type + "/" + act.text(party)] += a;
      TargetBooks::Document& doc = books.documents[joined({y, act.text(journal), act.text(period), act.text(number)})];
      doc.balance += a;
      doc.currencyBalance += act.amount(inCurrency);
      if (!gl.empty()) ++doc.lines;
    }
  }
  {
    TargetTable csf;
    if (!csf.open(prefix + "_CSF.DBF", error)) return false;
    const int type = csf.field("TYPE");
    for (uint32_t r = 1; r <= csf.count(); ++r) {
      if (!csf.live(r)) continue;
      const std::string t = csf.text(type);
      if (t == "1") ++books.customers;
      if (t == "2") ++books.suppliers;
    }
  }
  {
    TargetTable acf;
    if (!acf.open(prefix + "_ACF.DBF", error)) return false;
    const int type = acf.field("TYPE"), number = acf.field("NUMBER");
    for (uint32_t r = 1; r <= acf.count(); ++r)
      if (acf.live(r)) books.accountNumbers.insert(acf.text(type) + "/" + acf.text(number));
  }
  books.read = true;
  return true;
}

namespace {

// Journal renames the report lists, by source book-year index.
struct Renames {
  std::map<std::string, std::string> byKind;   // "index/kind/code" -> new code
  std::map<std::string, std::string> closing;  // "index/code" -> KSCLOn

  explicit Renames(const RunReport& report) {
    for (const ValueChange& c : report.changes()) {
      if (c.kind != ChangeKind::Renamed || c.step < 0) continue;
      const std::string index = std::to_string(report.steps()[static_cast<size_t>(c.step)].bookYear);
      if (c.field == "DBK.DBKID" && c.detail.rfind("DBKTYPE=", 0) == 0)
        byKind[index + "/" + c.detail.substr(8) + "/" + upperCase(Trim(c.oldValue))] = Trim(c.newValue);
      else if (c.field == "ACT.DBKCODE")
        closing[index + "/" + c.oldValue] = Trim(c.newValue);
    }
  }

  std::string journalOf(const SourceBooks& y, const SourceDocument& d, const std::string& period) const {
    const std::string index = std::to_string(y.sourceIndex);
    std::string code = d.journal;
    if (period == "99") {
      auto c = closing.find(index + "/" + d.journal);
      if (c != closing.end()) code = c->second;
    }
    auto k = byKind.find(index + "/" + documentKind(std::atoll(d.jrnlType.c_str()), std::atoll(d.jrnlSubType.c_str())) +
                         "/" + upperCase(Trim(code)));
    return k != byKind.end() ? k->second : Trim(code);
  }
};

// Skipped rows of the steps of one name.
long skippedIn(const RunReport& report, const std::string& step, SkipReason reason) {
  long n = 0;
  for (const StepRecord& s : report.steps())
    if (s.name == step)
      for (const SkippedRow& row : s.skipped)
        if (row.reason == reason) ++n;
  return n;
}

std::string milliText(int64_t v) {
  const bool negative = v < 0;
  const uint64_t a = negative ? static_cast<uint64_t>(-v) : static_cast<uint64_t>(v);
  std::string frac = std::to_string(a % 1000);
  frac = std::string(3 - frac.size(), '0') + frac;
  if (frac.back() == '0') frac.pop_back();
  std::string text = negative ? "-" : "";
  text += std::to_string(a / 1000);
  text += '.';
  return text + frac;
}

}  // namespace

void reconcile(const std::vector<SourceBooks>& years, const SourceMasterData& master, const TargetBooks& target,
               RunReport& report) {
  Reconciliation& out = report.reconciliation;
  out = Reconciliation();
  out.performed = true;
  const int length = target.accountLength;
  const Renames renames(report);

  std::map<std::string, int64_t> accounts, parties;  // "bookyear/key"
  std::map<std::string, JournalPeriod> journals;     // "bookyear\x1fjournal\x1fperiod"
  std::map<std::string, std::set<std::string>> sourceJournals;
  std::map<std::string, long> sourceUnbalanced;  // "bookyear/journal/currency"
  auto journalRow = [&](int bookYear, const std::string& journal, const std::string& period) -> JournalPeriod& {
    JournalPeriod& row = journals[joined({std::to_string(bookYear), journal, period})];
    row.bookYear = bookYear;
    row.journal = journal;
    row.period = period;
    return row;
  };
  auto unbalanced = [&](bool inTarget, int bookYear, const std::string& journal, const std::string& period,
                        const std::string& number, const std::string& currency, int64_t balance) {
    out.unbalanced.push_back({inTarget, bookYear, journal, period, number, currency, balance});
    if (!inTarget) ++sourceUnbalanced[std::to_string(bookYear) + "/" + journal + "/" + currency];
  };

  for (const SourceBooks& y : years) {
    const std::string by = std::to_string(y.bookYear) + "/";
    auto add = [&](std::map<std::string, int64_t>& to, const std::map<std::string, int64_t>& from, bool isAccount) {
      for (const auto& [key, amount] : from) to[by + (isAccount ? atLength(key, length) : key)] += amount;
    };
    add(accounts, y.accounts, true);
    add(parties, y.parties, false);
    const SourceDocument& opening = y.opening;
    if (y.keepsOpening) {
      add(accounts, y.openingAccounts, true);
      add(parties, y.openingParties, false);
      if (opening.lines > 0 || opening.balance != 0) {
        JournalPeriod& row = journalRow(y.bookYear, "OPDOUV", "00");
        row.sourceDocuments += 1;
        row.sourceLines += opening.lines;
        sourceJournals[joined({std::to_string(y.bookYear), "OPDOUV", "00"})].insert("(00)");
        if (opening.balance != 0) unbalanced(false, y.bookYear, "OPDOUV", "00", "1", "", opening.balance);
      }
    } else if (opening.lines > 0) {
      int64_t debits = 0;
      for (const auto& [account, amount] : y.openingAccounts)
        if (amount > 0) debits += amount;
      out.adjustments.push_back({"newer-opening-entries", y.bookYear, opening.lines, debits});
    }
    for (const auto& [key, d] : y.documents) {
      const std::string period = d.hasMain ? d.mainPeriod : d.firstPeriod;
      const std::string journal = renames.journalOf(y, d, period);
      JournalPeriod& row = journalRow(y.bookYear, journal, period);
      row.sourceDocuments += 1;
      row.sourceLines += d.lines;
      sourceJournals[joined({std::to_string(y.bookYear), journal, period})].insert(d.journal);
      if (d.balance != 0) unbalanced(false, y.bookYear, journal, period, d.number, "", d.balance);
      if (!d.currency.empty() && d.allInCurrency && d.currencyBalance != 0)
        unbalanced(false, y.bookYear, journal, period, d.number, d.currency, d.currencyBalance);
    }
  }

  std::map<std::string, long> targetUnbalanced;
  std::vector<UnbalancedDocument> targetOnly;
  for (const auto& [key, doc] : target.documents) {
    const std::vector<std::string> k = split(key);  // book year, journal, period, number
    const int bookYear = std::atoi(k[0].c_str());
    JournalPeriod& row = journalRow(bookYear, k[1], k[2]);
    row.targetDocuments += 1;
    row.targetLines += doc.lines;
    if (doc.balance != 0) unbalanced(true, bookYear, k[1], k[2], k[3], "", doc.balance);
    auto foreign = target.journalCurrency.find(k[0] + "/" + k[1]);
    if (foreign != target.journalCurrency.end() && doc.currencyBalance != 0)
      unbalanced(true, bookYear, k[1], k[2], k[3], foreign->second, doc.currencyBalance);
  }

  // --- Differences -----------------------------------------------------------------
  auto balances = [&](const std::map<std::string, int64_t>& source, const std::map<std::string, int64_t>& inTarget,
                      std::vector<Balance>& rows, const char* section) {
    std::map<std::string, Balance> all;
    for (const auto& [key, amount] : source) all[key].source = amount;
    for (const auto& [key, amount] : inTarget) all[key].target = amount;
    for (auto& [key, b] : all) {
      const size_t slash = key.find('/');
      b.bookYear = std::atoi(key.substr(0, slash).c_str());
      b.key = key.substr(slash + 1);
      // Lines without account that carry nothing are the VAT lines the
      // conversion adds: no account to reconcile.
      if (b.key.empty() && b.source == 0 && b.target == 0) continue;
      rows.push_back(b);
      if (b.source != b.target)
        out.differences.push_back(
            {section, b.bookYear, b.key,
             milliText(b.source) + " / " + milliText(b.target) + " / " + milliText(b.target - b.source)});
    }
  };
  balances(accounts, target.accounts, out.accounts, "account");
  balances(parties, target.parties, out.parties, "party");

  for (auto& [key, row] : journals) {
    const auto names = sourceJournals.find(key);
    if (names != sourceJournals.end()) {
      for (const std::string& n : names->second) row.sourceJournals += (row.sourceJournals.empty() ? "" : ", ") + n;
    }
    out.journals.push_back(row);
    if (row.sourceDocuments != row.targetDocuments || row.sourceLines != row.targetLines)
      out.differences.push_back({"journal", row.bookYear, row.journal + " " + row.period,
                                 std::to_string(row.sourceDocuments) + "/" + std::to_string(row.targetDocuments) + " " +
                                     std::to_string(row.sourceLines) + "/" + std::to_string(row.targetLines)});
  }

  // A document unbalanced in the dossier is a difference unless the source
  // already had as many unbalanced documents in that journal.
  std::map<std::string, std::vector<const UnbalancedDocument*>> inTargetByJournal;
  for (const UnbalancedDocument& u : out.unbalanced)
    if (u.inTarget) inTargetByJournal[std::to_string(u.bookYear) + "/" + u.journal + "/" + u.currency].push_back(&u);
  for (const auto& [key, docs] : inTargetByJournal) {
    const long excused = sourceUnbalanced.count(key) ? sourceUnbalanced[key] : 0;
    if (static_cast<long>(docs.size()) <= excused) continue;
    for (size_t i = static_cast<size_t>(excused); i < docs.size(); ++i) {
      const UnbalancedDocument& u = *docs[i];
      out.differences.push_back({u.currency.empty() ? "unbalanced" : "unbalanced-currency", u.bookYear,
                                 u.journal + " " + u.period + " " + u.number,
                                 milliText(u.balance) + (u.currency.empty() ? "" : " " + u.currency)});
    }
  }

  // --- Master data -------------------------------------------------------------------
  if (master.read && target.read) {
    auto records = [&](const char* table, bool converted, long source, long inTarget) {
      if (!converted) return;
      const long skipped = skippedIn(report, table, SkipReason::DuplicateNumber);
      out.records.push_back({table, source, inTarget, skipped});
      if (source - skipped != inTarget)
        out.differences.push_back(
            {"records", 0, table,
             std::to_string(source) + " - " + std::to_string(skipped) + " / " + std::to_string(inTarget)});
    };
    records("customers", report.customers, master.customers, target.customers);
    records("suppliers", report.suppliers, master.suppliers, target.suppliers);
    if (report.generalAccounts) {
      long found = 0;
      for (const auto& [type, number] : master.accounts) {
        const bool heading = Trim(type) == "3";
        const bool present = target.accountNumbers.count("3/" + atLength(number, length)) ||
                             (heading && target.accountNumbers.count("9/" + Trim(number)));
        if (present) {
          ++found;
        } else {
          out.differences.push_back({"missing-account", 0, Trim(number), "TYPE " + Trim(type)});
        }
      }
      out.records.push_back({"general-accounts", static_cast<long>(master.accounts.size()), found, 0});
    }
  }
}

}  // namespace run
