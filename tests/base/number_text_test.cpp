// Number text read and written the same whatever the C library's locale: run
// here under a Belgian French one, whose decimal separator is a comma.
#include <gtest/gtest.h>

#include <cmath>

#include "base/number_text.h"
#include "base/source.h"
#include "base/text.h"
#include "support/belgian_locale.h"

namespace {

using namespace base;

class CommaLocale : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testing_support::belgianFrenchLocale().name.empty())
      GTEST_SKIP() << "no fr_BE.UTF-8 locale and none can be generated (localedef, Debian package locales)";
    locale = std::make_unique<testing_support::ProcessLocale>(testing_support::belgianFrenchLocale());
    ASSERT_TRUE(locale->set());
  }
  std::unique_ptr<testing_support::ProcessLocale> locale;
};

TEST_F(CommaLocale, NumbersReadAsTheClassicLocaleReadsThem) {
  size_t used = 0;
  EXPECT_EQ(readNumber(" -1234.5e1x", &used), -12345.0);
  EXPECT_EQ(used, 10u);
  EXPECT_EQ(readNumber("+.25"), 0.25);
  EXPECT_EQ(readNumber("1,5", &used), 1.0) << "a comma ends the number";
  EXPECT_EQ(used, 1u);
  EXPECT_EQ(readNumber("--1", &used), 0.0);
  EXPECT_EQ(used, 0u);
  // Out of range as strtod gives it: an amount too large must not become 0.
  EXPECT_TRUE(std::isinf(readNumber("1e400")));
  EXPECT_EQ(readNumber("-0.000001e-400"), 0.0);
  EXPECT_TRUE(std::isinf(readNumber("-123456789e310")) && readNumber("-123456789e310") < 0);
  EXPECT_EQ(Val(" 6.50 EUR"), 6.5);
  EXPECT_EQ(Value::ofText("12.75").asDouble(), 12.75);
}

TEST_F(CommaLocale, NumbersWrittenWithAPoint) {
  EXPECT_EQ(generalText(0.1 + 0.2, 15), "0.3");
  EXPECT_EQ(generalText(1234567.891, 7), "1234568");
  EXPECT_EQ(fixedText(-2.5, 2), "-2.50");
  EXPECT_EQ(fixedText(1e16, 1), "10000000000000000.0");
  EXPECT_EQ(numberText(-1.25), "-1.25");
}

TEST(NumberText, DateFieldsReadWithoutOverflow) {
  int v[3] = {};
  EXPECT_EQ(scanInts(" 12/ 31/2020 13", "//", v), 3u);
  EXPECT_EQ(v[1], 31);
  EXPECT_EQ(scanInts("1/+2/-3", "//", v), 3u);
  EXPECT_EQ(v[2], -3);
  EXPECT_EQ(scanInts("2147483648/1/1", "//", v), 0u) << "one past the largest int";
  EXPECT_EQ(scanInts("1-2/3", "//", v), 1u) << "the wrong separator stops";
}

}  // namespace
