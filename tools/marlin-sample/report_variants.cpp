#include "report_variants.h"

#include <algorithm>
#include <set>
#include <stdexcept>

namespace marlin {

namespace {

const Value kNull = std::monostate{};

std::string textOf(const Value& v) { return std::holds_alternative<std::string>(v) ? std::get<std::string>(v) : ""; }

// Characters of a UTF-8 text.
size_t characters(const std::string& s) {
  return static_cast<size_t>(std::count_if(s.begin(), s.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

// The first `width` characters of a UTF-8 text.
std::string firstCharacters(const std::string& s, size_t width) {
  size_t n = 0, at = 0;
  for (; at < s.size(); ++at) {
    if ((s[at] & 0xC0) != 0x80 && n++ == width) break;
  }
  return s.substr(0, at);
}

void fitText(Row& row, int column, size_t width) {
  if (column < 0) return;
  const std::string t = textOf(row[size_t(column)]);
  if (characters(t) > width) row[size_t(column)] = firstCharacters(t, width);
}

// A Belgian account the import keeps: twelve digits whose check part is right.
bool keptBankNumber(const std::string& n) {
  if (n.size() != 12 || !std::all_of(n.begin(), n.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
  const int64_t check = std::stoll(n.substr(0, 10)) % 97;
  return (check == 0 ? 97 : check) == std::stoll(n.substr(10));
}

// Customers and suppliers: names, places and phones within their fields,
// payment codes of four characters, bank numbers the import keeps (the IBAN
// still holds the others), no number given twice.
void cleanParties(TableData& t) {
  const int number = 0, bank = t.column("BANKNUM"), format = t.column("BANKFORMAT"), pay = t.column("PAYTYPE");
  std::set<std::string> seen;
  std::vector<Row> kept;
  for (Row& r : t.rows) {
    if (!seen.insert(textOf(r[number])).second) continue;
    for (const char* name : {"COMPANY", "LASTNAME", "ADDRESS"}) fitText(r, t.column(name), 40);
    fitText(r, t.column("CITY"), 30);
    fitText(r, t.column("PHONEBUSINESS"), 17);
    fitText(r, t.column("PHONEFAX"), 17);
    if (!keptBankNumber(textOf(r[size_t(bank)])) || textOf(r[size_t(format)]) != "BE") {
      r[size_t(bank)] = kNull;
      r[size_t(format)] = kNull;
    }
    if (characters(textOf(r[size_t(pay)])) > 4) r[size_t(pay)] = std::string("30");
    kept.push_back(std::move(r));
  }
  t.rows = std::move(kept);
}

// Codes within the five characters of a Kestrel code.
void cleanCodes(TableData& t, const char* codeColumn) {
  const int code = t.column(codeColumn);
  for (Row& r : t.rows) fitText(r, code, 5);
}

// General accounts: each with a type, wordings within their fields, and no
// two of them one number at the dossier's length (four digits padded to six).
void cleanAccounts(TableData& t) {
  const int type = t.column("TYPE"), id = t.column("GENERALID");
  std::set<std::string> numbers;
  std::vector<Row> kept;
  for (Row& r : t.rows) {
    if (std::holds_alternative<std::monostate>(r[size_t(type)])) continue;
    std::string n = textOf(r[size_t(id)]);
    if (std::get<int64_t>(r[size_t(type)]) != 3) {
      n.resize(std::max<size_t>(n.size(), 6), '0');
      if (!numbers.insert(n).second) continue;
    }
    fitText(r, t.column("WORDINGFR"), 40);
    fitText(r, t.column("WORDINGNL"), 40);
    kept.push_back(std::move(r));
  }
  t.rows = std::move(kept);
}

// Accounting lines with document numbers of at most eight digits, each line
// with one matching entry at most. One general document starts in the
// opening period and goes on in the first: the import writes it whole in its
// later period, a case that changes no value.
class CleanSink : public EntrySink {
 public:
  explicit CleanSink(EntrySink& next) : next_(next) {}
  void historic(const Row& row) override {
    static const TableData historic{"Historic", Dossier::historicColumns(), {}};
    static const int doc = historic.column("Doc"), period = historic.column("Period"),
                     type = historic.column("JrnlType");
    Row r = row;
    if (std::holds_alternative<int64_t>(r[size_t(doc)]))
      r[size_t(doc)] = std::get<int64_t>(r[size_t(doc)]) % 100000000;
    if (!startedInOpening_ && std::get<int64_t>(r[size_t(period)]) == 1 && std::get<int64_t>(r[size_t(type)]) == 3) {
      r[size_t(period)] = int64_t(0);
      startedInOpening_ = true;
    }
    next_.historic(r);
  }
  void checking(const Row& row) override {
    if (matched_.insert(std::get<int64_t>(row[0])).second) next_.checking(row);
  }

 private:
  EntrySink& next_;
  std::set<int64_t> matched_;
  bool startedInOpening_ = false;
};

}  // namespace

Variant parseVariant(const std::string& name) {
  if (name == "seeded") return Variant::Seeded;
  if (name == "clean") return Variant::Clean;
  if (name == "number-too-long") return Variant::NumberTooLong;
  throw std::invalid_argument("Variante inconnue / onbekende variant: " + name);
}

void applyVariant(Variant variant, std::vector<TableData>& tables) {
  if (variant == Variant::Seeded) return;
  for (TableData& t : tables) {
    if (t.name == "AcctCustomer" || t.name == "AcctSupplier") cleanParties(t);
    if (t.name == "Category") cleanCodes(t, "CatID");
    if (t.name == "PayType") cleanCodes(t, "PayType");
    if (t.name == "AcctGeneral") cleanAccounts(t);
    if (variant == Variant::NumberTooLong && t.name == "AcctCustomer") {
      // Wider than the target's ten characters.
      t.columns[0].size = 12;
      Row r = t.rows.back();
      r[0] = std::string("C0000000001");
      t.rows.push_back(r);
    }
  }
}

std::unique_ptr<EntrySink> variantSink(Variant variant, EntrySink& next) {
  if (variant == Variant::Seeded) return nullptr;
  return std::make_unique<CleanSink>(next);
}

}  // namespace marlin
