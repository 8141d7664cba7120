#include "convert/entries/fixed_point.h"

#include <cstdio>

namespace convert {

namespace {
// Divides with the remainder rounded half away from zero.
int64_t divRound(__int128 num, __int128 den) {
  if (den < 0) { num = -num; den = -den; }
  __int128 q = num / den;
  __int128 r = num % den;
  if (2 * (r < 0 ? -r : r) >= den) q += (num < 0 ? -1 : 1);
  return static_cast<int64_t>(q);
}
}  // namespace

Fixed4 Fixed4::fromDouble(double d) {
  // Through the shortest decimal text, so 1.1 stays 1.1000 and not 1.0999.
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.10g", d);
  return parse(buf);
}

Fixed4 Fixed4::parse(std::string_view t) {
  size_t i = 0;
  while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
  bool neg = false;
  if (i < t.size() && (t[i] == '-' || t[i] == '+')) { neg = t[i] == '-'; ++i; }
  __int128 mant = 0;
  int fracDigits = 0;
  bool seenDot = false, any = false;
  for (; i < t.size(); ++i) {
    char c = t[i];
    if (c >= '0' && c <= '9') {
      any = true;
      if (mant < (__int128(1) << 100)) {
        mant = mant * 10 + (c - '0');
        if (seenDot) ++fracDigits;
      }
    } else if (c == '.' && !seenDot) {
      seenDot = true;
    } else {
      break;
    }
  }
  if (!any) return Fixed4();
  int exp10 = 0;
  if (i < t.size() && (t[i] == 'E' || t[i] == 'e')) {
    size_t j = i + 1;
    bool eneg = false;
    if (j < t.size() && (t[j] == '-' || t[j] == '+')) { eneg = t[j] == '-'; ++j; }
    int e = 0;
    bool edigits = false;
    for (; j < t.size() && t[j] >= '0' && t[j] <= '9' && e < 1000; ++j) { e = e * 10 + (t[j] - '0'); edigits = true; }
    if (edigits) exp10 = eneg ? -e : e;
  }
  int shift = 4 - fracDigits + exp10;  // multiply mant by 10^shift
  int64_t units;
  if (shift >= 0) {
    for (int k = 0; k < shift && mant < (__int128(1) << 100); ++k) mant *= 10;
    units = static_cast<int64_t>(mant);
  } else {
    __int128 den = 1;
    for (int k = 0; k < -shift && den < (__int128(1) << 100); ++k) den *= 10;
    units = divRound(mant, den);
  }
  return fromUnits(neg ? -units : units);
}

Fixed4 Fixed4::round2() const { return fromUnits(divRound(v_, 100) * 100); }

Fixed4 Fixed4::operator*(Fixed4 o) const { return fromUnits(divRound(__int128(v_) * o.v_, kScale)); }

std::optional<Fixed4> Fixed4::dividedBy(Fixed4 o) const {
  if (o.v_ == 0) return std::nullopt;
  return fromUnits(divRound(__int128(v_) * kScale, o.v_));
}

std::string Fixed4::text() const {
  int64_t a = v_ < 0 ? -v_ : v_;
  std::string s = std::to_string(a / kScale);
  int64_t frac = a % kScale;
  if (frac) {
    std::string f = std::to_string(frac + kScale).substr(1);
    while (!f.empty() && f.back() == '0') f.pop_back();
    s += "." + f;
  }
  return v_ < 0 ? "-" + s : s;
}

}  // namespace convert
