#include "convert/entries/entry_helpers.h"

#include <algorithm>
#include <cctype>

#include "base/number_text.h"
#include "base/text.h"
#include "convert/master/journal_registry.h"

namespace convert {
using namespace base;

namespace {
constexpr std::string_view kOrderAlphabet = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// 1-based place in the order alphabet, 0 for a character outside it.
size_t orderPosition(char c) {
  size_t p = kOrderAlphabet.find(c);
  return p == std::string_view::npos ? 0 : p + 1;
}

std::string pad(int64_t n, size_t width) {
  std::string s = std::to_string(n < 0 ? -n : n);
  if (s.size() < width) s.insert(0, width - s.size(), '0');
  return n < 0 ? "-" + s : s;
}
}  // namespace

std::string nextDocOrderCode(const std::string& current) {
  std::string t = "000" + Trim(current);
  t = t.substr(t.size() - 3);
  if (t == "000") return "001";
  if (std::isdigit(static_cast<unsigned char>(t[0]))) {
    int v = 0;
    for (char c : t) {
      if (!std::isdigit(static_cast<unsigned char>(c))) break;
      v = v * 10 + (c - '0');
    }
    if (v < 997) return pad(v + 1, 3);
    return "A00";
  }
  size_t p1 = orderPosition(t[0]), p2 = orderPosition(t[1]), p3 = orderPosition(t[2]);
  if (p3 < kOrderAlphabet.size()) return t.substr(0, 2) + kOrderAlphabet[p3];
  if (p2 < kOrderAlphabet.size()) return std::string(1, t[0]) + kOrderAlphabet[p2] + "0";
  if (p1 < kOrderAlphabet.size()) return std::string(1, kOrderAlphabet[p1]) + "00";
  return "";
}

std::string GetNextDocOrder(base::RunContext& ctx, const std::string& current) {
  std::string next = nextDocOrderCode(current);
  if (next.empty() && ctx.ui) base::showMessage(*ctx.ui, "overflow", base::MsgIcon::None);
  return next;
}

std::string FormatDateText(const base::DateTime& d) {
  return pad(d.day, 2) + "/" + pad(d.month, 2) + "/" + std::to_string(d.year);
}

std::optional<base::DateTime> sourceDate(const base::Value& v) {
  if (v.kind == base::Value::Kind::DateTime) return v.date;
  if (!v.present()) return std::nullopt;
  std::string t = Trim(v.asText());
  int f[3] = {};
  base::DateTime d;
  if (base::scanInts(t, "--", f) == 3) {
    d.year = f[0]; d.month = f[1]; d.day = f[2];
  } else if (base::scanInts(t, "//", f) == 3) {
    d.day = f[0]; d.month = f[1]; d.year = f[2];
  } else {
    return std::nullopt;
  }
  if (d.month < 1 || d.month > 12 || d.day < 1 || d.day > 31) return std::nullopt;
  return d;
}

std::string sourceDateText(const base::Value& v) {
  auto d = sourceDate(v);
  return d ? FormatDateText(*d) : std::string();
}

std::string FitDocNumber(const std::string& number) {
  std::string t = Trim(number);
  if (t.size() > 8) return '9' + t.substr(t.size() - 7);
  return t;
}

std::string ResolveDocumentJournal(base::RunContext& ctx, const std::string& code, const std::string& kind) {
  base::JournalRegistry& journals = ctx.journals;
  if (journals.knows(kind, code)) return code;
  if (!journals.codeInUse(code)) {
    journals.add(kind, code);
    return code;
  }
  auto renamed = journals.renamed.find(upperCase(Trim(kind)) + upperCase(Trim(code)));
  if (renamed != journals.renamed.end()) return renamed->second;
  std::string fresh = RenameJournalCode(ctx, Trim(code), Trim(kind));
  journals.added.push_back(Trim(kind) + fresh);
  return fresh;
}

std::string TranslateVat(const std::string&, const std::string&) { return std::string(); }

int16_t ValMax(int16_t val1, int16_t val2) { return val1 <= val2 ? val2 : val1; }

std::string periodText(const base::Value& period, const std::string& closingPeriod) {
  if (!period.present()) return std::string();
  std::string t = Trim(period.asText());
  bool numeric = !t.empty() && std::all_of(t.begin(), t.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
  std::string p = numeric || period.kind == base::Value::Kind::Integer || period.kind == base::Value::Kind::Decimal
                      ? pad(period.asInt(), 2)
                      : t;
  return p == closingPeriod ? std::string("99") : p;
}

std::string matchNumber(const base::Value& checkId) {
  if (checkId.isNull()) return std::string();
  return '1' + pad(checkId.asInt(), 7);
}

}  // namespace convert
