#include "convert/entries/fixed_point.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "base/number_text.h"

namespace convert {

namespace {

// Unsigned 128-bit magnitudes for products of two amounts before their
// rounding, written out because not every compiler has a 128-bit integer.
struct Wide {
  uint64_t hi = 0, lo = 0;
};

Wide multiply(uint64_t a, uint64_t b) {
  const uint64_t a0 = a & 0xFFFFFFFFu, a1 = a >> 32, b0 = b & 0xFFFFFFFFu, b1 = b >> 32;
  const uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
  const uint64_t mid = (p00 >> 32) + (p01 & 0xFFFFFFFFu) + (p10 & 0xFFFFFFFFu);
  return {p11 + (p01 >> 32) + (p10 >> 32) + (mid >> 32), (mid << 32) | (p00 & 0xFFFFFFFFu)};
}

// n / d rounded half up (d > 0), long division bit by bit; a quotient beyond
// 64 bits saturates.
uint64_t divideRounded(Wide n, uint64_t d) {
  Wide q;
  uint64_t r = 0;
  for (int i = 127; i >= 0; --i) {
    const uint64_t bit = i >= 64 ? (n.hi >> (i - 64)) & 1u : (n.lo >> i) & 1u;
    const bool carry = (r >> 63) != 0;
    r = (r << 1) | bit;
    if (carry || r >= d) {
      r -= d;
      if (i >= 64) q.hi |= uint64_t(1) << (i - 64); else q.lo |= uint64_t(1) << i;
    }
  }
  if (q.hi) return UINT64_MAX;
  return q.lo + (r >= d - r ? 1u : 0u);
}

uint64_t magnitude(int64_t v) { return v < 0 ? uint64_t(0) - uint64_t(v) : uint64_t(v); }

int64_t withSign(uint64_t m, bool negative) {
  const uint64_t limit = uint64_t(INT64_MAX);
  if (m > limit) m = limit;
  return negative ? -int64_t(m) : int64_t(m);
}

// a * b / d, rounded half away from zero.
int64_t scaleRounded(int64_t a, int64_t b, int64_t d) {
  const bool negative = ((a < 0) != (b < 0)) != (d < 0);
  return withSign(divideRounded(multiply(magnitude(a), magnitude(b)), magnitude(d)), negative);
}

// Decimal digits read into a magnitude, and scaled by powers of ten.
constexpr uint64_t kDigitCap = uint64_t(1) << 36;  // keeps the value below 2^100

void timesTenPlus(Wide& w, unsigned digit) {
  const Wide high = multiply(w.hi, 10);
  Wide low = multiply(w.lo, 10);
  low.lo += digit;
  if (low.lo < digit) ++low.hi;
  w = {high.lo + low.hi, low.lo};
}

// w / 10 with the remainder returned.
unsigned divideByTen(Wide& w) {
  const uint64_t qh = w.hi / 10, rh = w.hi % 10;
  // (rh * 2^64 + lo) / 10, with rh < 10: split lo into 32-bit halves.
  const uint64_t upper = (rh << 32) | (w.lo >> 32);
  const uint64_t qu = upper / 10, ru = upper % 10;
  const uint64_t lower = (ru << 32) | (w.lo & 0xFFFFFFFFu);
  const uint64_t ql = lower / 10, rl = lower % 10;
  w = {qh, (qu << 32) | ql};
  return static_cast<unsigned>(rl);
}

}  // namespace

Fixed4 Fixed4::fromDouble(double d) {
  // Through its decimal text to 15 digits, which every double holds exactly:
  // 1.1 stays 1.1000 and not 1.0999, 123456789.12 keeps its cents.
  return parse(base::generalText(d, 15));
}

Fixed4 Fixed4::parse(std::string_view t) {
  size_t i = 0;
  while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
  bool neg = false;
  if (i < t.size() && (t[i] == '-' || t[i] == '+')) { neg = t[i] == '-'; ++i; }
  Wide mant;
  int fracDigits = 0;
  bool seenDot = false, any = false;
  for (; i < t.size(); ++i) {
    char c = t[i];
    if (c >= '0' && c <= '9') {
      any = true;
      if (mant.hi < kDigitCap) {
        timesTenPlus(mant, static_cast<unsigned>(c - '0'));
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
  if (shift >= 0) {
    for (int k = 0; k < shift && mant.hi < kDigitCap; ++k) timesTenPlus(mant, 0);
  } else {
    // Rounded half away from zero on the last digit dropped.
    unsigned dropped = 0;
    for (int k = 0; k < -shift; ++k) {
      if (!mant.hi && !mant.lo) {
        dropped = 0;  // nothing left: the digits dropped from here on are zeros
        break;
      }
      dropped = divideByTen(mant);
    }
    if (dropped >= 5 && ++mant.lo == 0) ++mant.hi;
  }
  const uint64_t units = mant.hi ? UINT64_MAX : mant.lo;
  return fromUnits(withSign(units, neg));
}

Fixed4 Fixed4::round2() const { return fromUnits(scaleRounded(v_, 1, 100) * 100); }

Fixed4 Fixed4::operator*(Fixed4 o) const { return fromUnits(scaleRounded(v_, o.v_, kScale)); }

std::optional<Fixed4> Fixed4::dividedBy(Fixed4 o) const {
  if (o.v_ == 0) return std::nullopt;
  return fromUnits(scaleRounded(v_, kScale, o.v_));
}

std::optional<Fixed4> Fixed4::timesRatioInCents(Fixed4 numerator, Fixed4 denominator) const {
  if (denominator.v_ == 0) return std::nullopt;
  // Cents are hundreds of units: divide by 100 x the denominator, then scale
  // back, so that the exact product is rounded once.
  const int64_t cents = scaleRounded(v_, numerator.v_, denominator.v_ * 100);
  return fromUnits(cents * 100);
}

std::optional<Rate> Rate::of(Fixed4 currency, Fixed4 euro) {
  if (euro.isZero()) return std::nullopt;
  Rate r;
  r.v_ = scaleRounded(currency.units(), kScale, euro.units());
  return r;
}

Rate Rate::fromDouble(double d) {
  Rate r;
  r.v_ = std::llround(d * kScale);
  return r;
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
