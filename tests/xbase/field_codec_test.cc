#include "xbase/field_codec.h"

#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace dbup::xbase {
namespace {

FieldDescriptor Field(char type, int length, int decimals = 0) {
  FieldDescriptor f;
  f.name = "F";
  f.type = type;
  f.length = static_cast<uint8_t>(length);
  f.decimals = static_cast<uint8_t>(decimals);
  return f;
}

std::string Double(double v, int length, int decimals) {
  std::string out(static_cast<size_t>(length), '?');
  FormatDouble(v, length, decimals, out.data());
  return out;
}

TEST(FieldCodecTest, DoublesRoundHalfAwayFromZeroOnTheirDecimalText) {
  struct Case {
    double value;
    int length, decimals;
    const char* expected;
  } cases[] = {
      {0.125, 6, 2, "  0.13"},  // exact binary half
      {2.675, 6, 2, "  2.68"},  // binary value is 2.67499..., the typed value rounds up
      {1.005, 5, 2, " 1.01"},
      {-2.5, 3, 0, " -3"},  // away from zero
      {2.5, 3, 0, "  3"},
      {815, 8, 2, "  815.00"},
      {-12.5, 8, 2, "  -12.50"},
      {0, 8, 2, "    0.00"},
      {-0.001, 6, 2, "  0.00"},  // never "-0.00"
      {-0.0, 4, 0, "   0"},
      {999.995, 7, 2, "1000.00"},  // carry into a new digit
      {12345, 4, 0, "****"},       // too wide: asterisks
      {-1000, 4, 0, "****"},
      {0.5, 3, 2, ".50"},  // the leading zero gives way before asterisks
      {1e300, 10, 0, "**********"},
      {std::numeric_limits<double>::quiet_NaN(), 5, 0, "*****"},
      {123456789012345678.0, 20, 0, "  123456789012345680"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Double(c.value, c.length, c.decimals), c.expected) << c.value;
  }
}

TEST(FieldCodecTest, StoreTextFollowsEachTypesRules) {
  struct Case {
    char type;
    int length, decimals;
    const char* text;
    const char* stored;
    bool ok;
  } cases[] = {
      {'C', 5, 0, "abc", "abc  ", true},
      {'C', 5, 0, "abcdefgh", "abcde", true},
      {'C', 5, 0, "", "     ", true},
      {'N', 10, 2, "12345678.125", "**********", true},
      {'N', 20, 2, "123456789012345678.995", "********************", true},
      {'N', 8, 2, " -3.14159", "   -3.14", true},
      {'N', 6, 0, "42abc", "    42", true},  // VAL(): the leading number counts
      {'N', 6, 0, "abc", "      ", false},
      {'N', 6, 0, "   ", "      ", true},
      {'N', 6, 0, "****", "      ", false},
      {'F', 10, 3, "1", "     1.000", true},
      {'D', 8, 0, "20261201", "20261201", true},
      {'D', 8, 0, "", "        ", true},
      {'D', 8, 0, "2026-12-01", "        ", false},
      {'L', 1, 0, "true", "T", true},
      {'L', 1, 0, "n", "F", true},
      {'L', 1, 0, "", " ", true},
      {'L', 1, 0, "x", " ", false},
      {'B', 4, 0, "xy", "xy  ", true},  // unknown types keep raw text
  };
  for (const Case& c : cases) {
    FieldDescriptor f = Field(c.type, c.length, c.decimals);
    std::string out(f.length, '?');
    Status s = StoreText(f, c.text, out.data());
    EXPECT_EQ(out, c.stored) << c.type << " " << c.text;
    EXPECT_EQ(s.ok(), c.ok) << c.type << " " << c.text;
  }
}

TEST(FieldCodecTest, LongNumbersKeepEveryDigit) {
  FieldDescriptor f = Field('N', 20, 2);
  std::string out(20, '?');
  ASSERT_TRUE(StoreText(f, "12345678901234567.885", out.data()).ok());
  EXPECT_EQ(out, "12345678901234567.89");  // no detour through a double
  double v = 0;
  ASSERT_TRUE(TextToDouble("  -17.25", &v));
  EXPECT_EQ(v, -17.25);
  EXPECT_FALSE(TextToDouble("      ", &v));
  EXPECT_EQ(TextToInt(" -42.9"), -42);
  EXPECT_EQ(TextToInt("99999999999999999999999"), std::numeric_limits<int64_t>::max());
}

TEST(FieldCodecTest, MemoBlockNumbers) {
  uint32_t block = 7;
  ASSERT_TRUE(ParseMemoBlock("          ", &block).ok());
  EXPECT_EQ(block, 0u);
  ASSERT_TRUE(ParseMemoBlock("0000000012", &block).ok());  // zero-padded writers
  EXPECT_EQ(block, 12u);
  EXPECT_FALSE(ParseMemoBlock("  12x     ", &block).ok());
  EXPECT_FALSE(ParseMemoBlock("9999999999", &block).ok());
  std::string out(10, '?');
  StoreMemoBlock(42, 10, out.data());
  EXPECT_EQ(out, "        42");
}

}  // namespace
}  // namespace dbup::xbase
