// Money and rates in ten-thousandths, so that sums, products and roundings
// give the same cents as the accountant's own arithmetic (no binary drift).
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace convert {

class Fixed4 {
 public:
  static constexpr int64_t kScale = 10000;

  constexpr Fixed4() = default;
  static constexpr Fixed4 fromUnits(int64_t tenThousandths) { Fixed4 f; f.v_ = tenThousandths; return f; }
  // Nearest value, halves away from zero.
  static Fixed4 fromDouble(double d);
  // Leading-number reading of a decimal text ("-12.34", " 7", "1.5E2");
  // text without a leading number gives 0.
  static Fixed4 parse(std::string_view text);

  int64_t units() const { return v_; }
  bool isZero() const { return v_ == 0; }
  double toDouble() const { return static_cast<double>(v_) / kScale; }
  // Rounded to two decimals, halves away from zero.
  Fixed4 round2() const;
  std::string text() const;  // "-12.3400" form trimmed of trailing zeros: "-12.34"

  Fixed4 operator-() const { return fromUnits(-v_); }
  Fixed4 operator+(Fixed4 o) const { return fromUnits(v_ + o.v_); }
  Fixed4 operator-(Fixed4 o) const { return fromUnits(v_ - o.v_); }
  // Product rounded to four decimals.
  Fixed4 operator*(Fixed4 o) const;
  // Quotient rounded to four decimals; nullopt when dividing by zero.
  std::optional<Fixed4> dividedBy(Fixed4 o) const;
  // This x numerator / denominator, computed exactly and rounded once to two
  // decimals (an amount converted at the rate numerator / denominator);
  // nullopt when the denominator is 0.
  std::optional<Fixed4> timesRatioInCents(Fixed4 numerator, Fixed4 denominator) const;
  bool operator==(const Fixed4&) const = default;

 private:
  int64_t v_ = 0;
};

// A currency rate, units of currency per euro, to five decimals (ACT.CURRATE
// is N 12,5).
class Rate {
 public:
  static constexpr int64_t kScale = 100000;

  constexpr Rate() = default;
  // currency / euro rounded half away from zero; nullopt for 0 euro.
  static std::optional<Rate> of(Fixed4 currency, Fixed4 euro);
  // A rate as a table holds it (a double of at most five decimals).
  static Rate fromDouble(double d);

  int64_t units() const { return v_; }
  bool isZero() const { return v_ == 0; }
  double toDouble() const { return static_cast<double>(v_) / kScale; }
  bool operator==(const Rate&) const = default;

 private:
  int64_t v_ = 0;
};

}  // namespace convert
