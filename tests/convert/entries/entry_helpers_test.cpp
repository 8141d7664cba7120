// Line-order codes, dates, document numbers, periods, matching numbers and
// the fixed-point money of the entry steps.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "base/recording_ui.h"
#include "convert/entries/entry_helpers.h"
#include "convert/entries/fixed_point.h"
#include "support/scripted_source.h"

namespace {

using convert::Fixed4;

TEST(DocOrder, DecimalSeriesThenAlphanumericSeries) {
  EXPECT_EQ(convert::nextDocOrderCode(""), "001");
  EXPECT_EQ(convert::nextDocOrderCode("000"), "001");
  EXPECT_EQ(convert::nextDocOrderCode(" 7 "), "008");
  EXPECT_EQ(convert::nextDocOrderCode("12"), "013");
  EXPECT_EQ(convert::nextDocOrderCode("996"), "997");
  EXPECT_EQ(convert::nextDocOrderCode("997"), "A00");
  EXPECT_EQ(convert::nextDocOrderCode("999"), "A00");
  EXPECT_EQ(convert::nextDocOrderCode("A09"), "A0A");
  EXPECT_EQ(convert::nextDocOrderCode("A0Z"), "A10");
  EXPECT_EQ(convert::nextDocOrderCode("AZZ"), "B00");
  EXPECT_EQ(convert::nextDocOrderCode("ZZZ"), "");
}

TEST(DocOrder, WholeSeriesIsDistinctAndEndsWithOverflowMessage) {
  base::RecordingUi ui;
  base::RunContext ctx;
  ctx.ui = &ui;
  std::set<std::string> seen;
  std::string code = "000";
  for (;;) {
    code = convert::GetNextDocOrder(ctx, code);
    if (code.empty()) break;
    ASSERT_EQ(code.size(), 3u);
    ASSERT_TRUE(seen.insert(code).second) << code;
    ASSERT_NE(code, "998");
  }
  // 001..997, then A00..ZZZ: 26 x 36 x 36.
  EXPECT_EQ(seen.size(), 997u + 26u * 36u * 36u);
  EXPECT_EQ(ui.texts(), std::vector<std::string>{"overflow"});
}

TEST(Dates, WrittenDayMonthYearFromDatesAndTexts) {
  EXPECT_EQ(convert::FormatDateText({2005, 3, 3}), "03/03/2005");
  EXPECT_EQ(convert::FormatDateText({1999, 12, 25}), "25/12/1999");
  EXPECT_EQ(convert::sourceDateText(testing_support::dateValue(2004, 1, 5)), "05/01/2004");
  EXPECT_EQ(convert::sourceDateText(testing_support::text(" 2004-01-05 00:00:00 ")), "05/01/2004");
  EXPECT_EQ(convert::sourceDateText(testing_support::text("5/1/2004")), "05/01/2004");
  EXPECT_EQ(convert::sourceDateText(testing_support::null()), "");
  EXPECT_EQ(convert::sourceDateText(testing_support::text("")), "");
  EXPECT_EQ(convert::sourceDateText(testing_support::text("not a date")), "");
  EXPECT_EQ(convert::sourceDateText(testing_support::text("4294967297/01/2004")), "") << "2^32 + 1 is no day 1";
}

TEST(DocumentNumbers, FittedIntoEightCharacters) {
  EXPECT_EQ(convert::FitDocNumber("12345678"), "12345678");
  EXPECT_EQ(convert::FitDocNumber("  42 "), "42");
  EXPECT_EQ(convert::FitDocNumber("123456789"), "93456789");
  EXPECT_EQ(convert::FitDocNumber("2004000123"), "94000123");
}

TEST(LineValues, PeriodsAndMatchingNumbers) {
  EXPECT_EQ(convert::periodText(testing_support::integer(0), "13"), "00");
  EXPECT_EQ(convert::periodText(testing_support::integer(3), "13"), "03");
  EXPECT_EQ(convert::periodText(testing_support::integer(13), "13"), "99");
  EXPECT_EQ(convert::periodText(testing_support::text("13"), "13"), "99");
  EXPECT_EQ(convert::periodText(testing_support::null(), "13"), "");
  EXPECT_EQ(convert::matchNumber(testing_support::null()), "");
  EXPECT_EQ(convert::matchNumber(testing_support::integer(7)), "10000007");
  EXPECT_EQ(convert::matchNumber(testing_support::integer(1234)), "10001234");
}

TEST(LineValues, VatTranslationAndLargerValue) {
  EXPECT_EQ(convert::TranslateVat("21", "400000"), "");
  EXPECT_EQ(convert::TranslateVat("", ""), "");
  EXPECT_EQ(convert::ValMax(3, 10), 10);
  EXPECT_EQ(convert::ValMax(10, 3), 10);
  EXPECT_EQ(convert::ValMax(-1, -1), -1);
}

TEST(FixedPoint, ReadsRoundsAndMultipliesWithoutBinaryDrift) {
  EXPECT_EQ(Fixed4::parse("-12.3400").units(), -123400);
  EXPECT_EQ(Fixed4::parse(" 125.5abc").units(), 1255000);
  EXPECT_EQ(Fixed4::parse("1.5E2").units(), 1500000);
  EXPECT_EQ(Fixed4::parse("").units(), 0);
  EXPECT_EQ(Fixed4::parse("0.00005").units(), 1);   // half away from zero
  EXPECT_EQ(Fixed4::parse("-0.00005").units(), -1);
  EXPECT_EQ(Fixed4::fromDouble(1.1).units(), 11000);
  EXPECT_EQ(Fixed4::fromDouble(0.1 + 0.2).units(), 3000);
  EXPECT_EQ(Fixed4::fromDouble(123456789.12).text(), "123456789.12");
  EXPECT_EQ((Fixed4::parse("50") * Fixed4::parse("1.1")).round2().toDouble(), 55.0);
  EXPECT_EQ(Fixed4::parse("1.005").round2().units(), 10100);
  EXPECT_EQ(Fixed4::parse("-1.005").round2().units(), -10100);
  EXPECT_EQ(Fixed4::parse("33.3333").round2().text(), "33.33");
  EXPECT_EQ(Fixed4::parse("110").dividedBy(Fixed4::parse("100"))->text(), "1.1");
  EXPECT_EQ(Fixed4::parse("100").dividedBy(Fixed4::parse("3"))->text(), "33.3333");
  EXPECT_FALSE(Fixed4::parse("5").dividedBy(Fixed4()).has_value());
}


// Products and quotients of large amounts go through 128-bit magnitudes;
// they must round exactly as the decimal arithmetic does, for every sign.
TEST(FixedPoint, LargeProductsAndQuotientsRoundExactly) {
  EXPECT_EQ(Fixed4::parse("0.000049").units(), 0);
  EXPECT_EQ(Fixed4::parse("0.0000501").units(), 1);
  EXPECT_EQ(Fixed4::parse("5E-6").units(), 0);      // 0.05 of a unit: down
  EXPECT_EQ(Fixed4::parse("123456789012.34565").units(), 1234567890123457);
  EXPECT_EQ(Fixed4::parse("-123456789012.34565").units(), -1234567890123457);
  EXPECT_EQ(Fixed4::parse("1E-400").units(), 0);
  // 922337203685477.5807 is the largest amount ten-thousandths can hold.
  EXPECT_EQ(Fixed4::parse("1E30").units(), INT64_MAX);
#if defined(__SIZEOF_INT128__)
  std::mt19937_64 rng(42);
  for (int i = 0; i < 20000; ++i) {
    const int64_t a = static_cast<int64_t>(rng() % 20000000000000ull) - 10000000000000ll;  // up to 1e9 in units
    const int64_t b = static_cast<int64_t>(rng() % 2000001ull) - 1000000ll;  // a rate up to 100
    auto reference = [](__int128 num, __int128 den) {
      if (den < 0) { num = -num; den = -den; }
      __int128 q = num / den, r = num % den;
      if (2 * (r < 0 ? -r : r) >= den) q += (num < 0 ? -1 : 1);
      return static_cast<int64_t>(q);
    };
    const Fixed4 x = Fixed4::fromUnits(a), y = Fixed4::fromUnits(b);
    ASSERT_EQ((x * y).units(), reference(__int128(a) * b, Fixed4::kScale)) << a << " * " << b;
    if (b != 0) ASSERT_EQ(x.dividedBy(y)->units(), reference(__int128(a) * Fixed4::kScale, b)) << a << " / " << b;
    ASSERT_EQ(x.round2().units(), reference(a, 100) * 100) << a;
  }
#endif
}

}  // namespace
