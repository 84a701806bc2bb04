#include "xbase/decimal.h"

#include <gtest/gtest.h>

namespace dbup::xbase {
namespace {

TEST(DecimalTest, ParsesFieldTextAndFormatsExactly) {
  struct Case {
    const char* text;
    bool ok;
    const char* shortest;
  } cases[] = {
      {"  815.00", true, "815"}, {"  -12.50", true, "-12.5"},
      {"        ", true, "0"},   {"-0.00", true, "0"},
      {"0.1", true, "0.1"},      {"12345678901234567890", true, "12345678901234567890"},
      {"1e3", false, "0"},       {"12-", false, "0"},
      {"*****", false, "0"},
  };
  for (const Case& c : cases) {
    bool ok = false;
    DecimalNumber d = DecimalNumber::Parse(c.text, &ok);
    EXPECT_EQ(ok, c.ok) << c.text;
    EXPECT_EQ(d.ToString(), c.shortest) << c.text;
  }
}

TEST(DecimalTest, RoundsHalfAwayFromZeroOnDecimalValues) {
  EXPECT_EQ(DecimalNumber::Parse("2.675").ToFixed(2), "2.68");  // a double would give 2.67
  EXPECT_EQ(DecimalNumber::Parse("12.345").ToFixed(2), "12.35");
  EXPECT_EQ(DecimalNumber::Parse("-12.345").ToFixed(2), "-12.35");
  EXPECT_EQ(DecimalNumber::Parse("0.5").ToFixed(0), "1");
  EXPECT_EQ(DecimalNumber::Parse("-0.004").ToFixed(2), "0.00");  // no negative zero
  EXPECT_EQ(DecimalNumber::Parse("7").ToFixed(3), "7.000");
}

TEST(DecimalTest, ArithmeticAndOrder) {
  DecimalNumber a = DecimalNumber::Parse("0.1"), b = DecimalNumber::Parse("0.2");
  EXPECT_EQ((a + b).ToString(), "0.3");
  EXPECT_EQ((a - b).ToString(), "-0.1");
  EXPECT_EQ((DecimalNumber::Parse("1.5") * DecimalNumber::Parse("-4")).ToString(), "-6");
  bool ok = false;
  EXPECT_EQ(DecimalNumber::FromInt(1).Divide(DecimalNumber::FromInt(4), &ok).ToString(), "0.25");
  EXPECT_TRUE(ok);
  DecimalNumber::FromInt(1).Divide(DecimalNumber(), &ok);
  EXPECT_FALSE(ok);
  EXPECT_LT(DecimalNumber::Parse("-12.5").Compare(DecimalNumber::Parse("-12")), 0);
  EXPECT_LT(DecimalNumber::Parse("0").Compare(DecimalNumber::Parse("0.05")), 0);
  EXPECT_GT(DecimalNumber::Parse("100").Compare(DecimalNumber::Parse("99.999")), 0);
  EXPECT_EQ(DecimalNumber::Parse("1.50").Compare(DecimalNumber::Parse("1.5")), 0);
  EXPECT_EQ(DecimalNumber::ParseLeading("  42abc").ToString(), "42");
  EXPECT_EQ(DecimalNumber::ParseLeading("abc").ToString(), "0");
}

}  // namespace
}  // namespace dbup::xbase
