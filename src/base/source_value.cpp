// Conversions of a source value, as the original program's implicit
// conversions (VB-style CStr, CDbl, CLng, CBool) would give them.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/number_text.h"
#include "base/source.h"
#include "base/text.h"

namespace base {
namespace {

// "-12.3400" -> "-12.34", "5.000" -> "5", "-0.00" -> "0".
std::string trimDecimal(std::string s) {
  if (s.find('.') != std::string::npos && s.find_first_of("eE") == std::string::npos) {
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
  }
  if (s == "-0" || s.empty()) return "0";
  return s;
}

// Leading number of a text, like VB's Val: blanks skipped, stops at the first
// character that cannot continue the number.
double leadingNumber(const std::string& s) { return readNumber(s); }

// Days since 30/12/1899 with the time as the fraction, the day count of the
// original's date type (negative days keep a positive time part there, but the
// sign is not needed for the conversions done here).
double serialOf(const DateTime& d) {
  // Days from civil, valid for the proleptic Gregorian calendar.
  int y = d.year - (d.month <= 2);
  int era = (y >= 0 ? y : y - 399) / 400;
  unsigned yoe = static_cast<unsigned>(y - era * 400);
  unsigned mp = static_cast<unsigned>((d.month + 9) % 12);
  unsigned doy = (153 * mp + 2) / 5 + static_cast<unsigned>(d.day) - 1;
  unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  long days = static_cast<long>(era) * 146097 + static_cast<long>(doe) - 719468;  // since 1970-01-01
  days += 25569;                                                                   // since 1899-12-30
  double frac = (d.hour * 3600 + d.minute * 60 + d.second) / 86400.0;
  return days >= 0 ? days + frac : days - frac;
}

// Round half to even, the rounding of a conversion to a whole number.
int64_t bankersRound(double v) {
  double r = std::nearbyint(v);  // default rounding mode is to nearest even
  return static_cast<int64_t>(r);
}

}  // namespace

std::string Value::asText() const {
  switch (kind) {
    case Kind::Null: return "";
    case Kind::Text: return text;
    case Kind::Integer: return std::to_string(integer);
    case Kind::Decimal: return trimDecimal(text);
    case Kind::Boolean: return integer ? "True" : "False";
    case Kind::DateTime: {
      char s[48];
      if (date.hour || date.minute || date.second)
        std::snprintf(s, sizeof s, "%02d/%02d/%04d %02d:%02d:%02d", date.day, date.month, date.year, date.hour,
                      date.minute, date.second);
      else
        std::snprintf(s, sizeof s, "%02d/%02d/%04d", date.day, date.month, date.year);
      return s;
    }
  }
  return "";
}

double Value::asDouble() const {
  switch (kind) {
    case Kind::Null: return 0;
    case Kind::Text: return leadingNumber(text);
    case Kind::Integer: return static_cast<double>(integer);
    case Kind::Decimal: return number;
    case Kind::Boolean: return integer ? -1 : 0;  // True is -1 in the original's arithmetic
    case Kind::DateTime: return serialOf(date);
  }
  return 0;
}

int64_t Value::asInt() const {
  switch (kind) {
    case Kind::Integer: return integer;
    case Kind::Boolean: return integer ? -1 : 0;
    default: return bankersRound(asDouble());
  }
}

bool Value::asBool() const {
  switch (kind) {
    case Kind::Null: return false;
    case Kind::Text: {
      std::string t = lowerCase(text);
      t.erase(std::remove(t.begin(), t.end(), ' '), t.end());
      if (t == "true" || t == "vrai" || t == "waar") return true;
      if (t == "false" || t == "faux" || t == "onwaar" || t.empty()) return false;
      return leadingNumber(text) != 0;
    }
    case Kind::Integer:
    case Kind::Boolean: return integer != 0;
    case Kind::Decimal: return number != 0;
    case Kind::DateTime: return serialOf(date) != 0;
  }
  return false;
}

}  // namespace base
