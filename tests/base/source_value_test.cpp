#include <gtest/gtest.h>

#include "base/source.h"

using base::Value;

namespace {
Value decimal(const std::string& text) {
  Value v;
  v.kind = Value::Kind::Decimal;
  v.text = text;
  v.number = std::stod(text);
  return v;
}
Value date(int y, int m, int d, int hh = 0, int mi = 0, int ss = 0) {
  Value v;
  v.kind = Value::Kind::DateTime;
  v.date = {y, m, d, hh, mi, ss};
  return v;
}
Value boolean(bool b) {
  Value v;
  v.kind = Value::Kind::Boolean;
  v.integer = b;
  return v;
}
}  // namespace

TEST(SourceValue, TextFormsFollowTheOriginalConversions) {
  EXPECT_EQ(decimal("-12.3400").asText(), "-12.34");
  EXPECT_EQ(decimal("5.0000").asText(), "5");
  EXPECT_EQ(decimal("-0.0000").asText(), "0");
  EXPECT_EQ(decimal("1.5e+20").asText(), "1.5e+20");  // zeros of an exponent are no trailing decimals
  EXPECT_EQ(date(2024, 2, 9).asText(), "09/02/2024");
  EXPECT_EQ(date(1899, 12, 30, 13, 5, 0).asText(), "30/12/1899 13:05:00");
  EXPECT_EQ(boolean(true).asText(), "True");
  EXPECT_EQ(Value::null().asText(), "");
  EXPECT_FALSE(Value::ofText("").present());
  EXPECT_TRUE(Value::ofText(" ").present());
}

TEST(SourceValue, NumbersRoundHalfToEvenAndTextsParseLeniently) {
  EXPECT_EQ(decimal("2.5").asInt(), 2);
  EXPECT_EQ(decimal("3.5").asInt(), 4);
  EXPECT_EQ(decimal("-2.5").asInt(), -2);
  EXPECT_EQ(Value::ofText(" 12abc").asInt(), 12);
  EXPECT_DOUBLE_EQ(Value::ofText("x").asDouble(), 0);
  EXPECT_EQ(boolean(true).asInt(), -1);
  EXPECT_DOUBLE_EQ(date(1900, 1, 1).asDouble(), 2);
  EXPECT_DOUBLE_EQ(date(1899, 12, 29, 6).asDouble(), -1.25);
  EXPECT_TRUE(Value::ofText("True").asBool());
  EXPECT_FALSE(Value::ofText("0").asBool());
  EXPECT_TRUE(Value::ofInt(2).asBool());
}
