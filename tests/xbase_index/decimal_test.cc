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
    Decimal d = Decimal::Parse(c.text, &ok);
    EXPECT_EQ(ok, c.ok) << c.text;
    EXPECT_EQ(d.ToString(), c.shortest) << c.text;
  }
}

TEST(DecimalTest, RoundsHalfAwayFromZeroOnDecimalValues) {
  EXPECT_EQ(Decimal::Parse("2.675").ToFixed(2), "2.68");  // a double would give 2.67
  EXPECT_EQ(Decimal::Parse("12.345").ToFixed(2), "12.35");
  EXPECT_EQ(Decimal::Parse("-12.345").ToFixed(2), "-12.35");
  EXPECT_EQ(Decimal::Parse("0.5").ToFixed(0), "1");
  EXPECT_EQ(Decimal::Parse("-0.004").ToFixed(2), "0.00");  // no negative zero
  EXPECT_EQ(Decimal::Parse("7").ToFixed(3), "7.000");
}

TEST(DecimalTest, ArithmeticAndOrder) {
  Decimal a = Decimal::Parse("0.1"), b = Decimal::Parse("0.2");
  EXPECT_EQ((a + b).ToString(), "0.3");
  EXPECT_EQ((a - b).ToString(), "-0.1");
  EXPECT_EQ((Decimal::Parse("1.5") * Decimal::Parse("-4")).ToString(), "-6");
  bool ok = false;
  EXPECT_EQ(Decimal::FromInt(1).Divide(Decimal::FromInt(4), &ok).ToString(), "0.25");
  EXPECT_TRUE(ok);
  Decimal::FromInt(1).Divide(Decimal(), &ok);
  EXPECT_FALSE(ok);
  EXPECT_LT(Decimal::Parse("-12.5").Compare(Decimal::Parse("-12")), 0);
  EXPECT_LT(Decimal::Parse("0").Compare(Decimal::Parse("0.05")), 0);
  EXPECT_GT(Decimal::Parse("100").Compare(Decimal::Parse("99.999")), 0);
  EXPECT_EQ(Decimal::Parse("1.50").Compare(Decimal::Parse("1.5")), 0);
  EXPECT_EQ(Decimal::ParseLeading("  42abc").ToString(), "42");
  EXPECT_EQ(Decimal::ParseLeading("abc").ToString(), "0");
}

}  // namespace
}  // namespace dbup::xbase
