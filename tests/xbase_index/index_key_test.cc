#include "xbase/index_key.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace dbup::xbase {
namespace {

std::string Hex(const std::string& s) {
  static const char* d = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    if (!out.empty()) out += ' ';
    out += d[c >> 4];
    out += d[c & 15];
  }
  return out;
}

TEST(IndexKeyTest, NumericKeysInDbaseIvPackedDecimal) {
  struct Case {
    const char* value;
    const char* bytes;
  } cases[] = {
      {"0", "34 01 00 00 00 00 00 00 00 00 00 00"},
      {"-0.00", "34 01 00 00 00 00 00 00 00 00 00 00"},
      {"815", "37 0D 81 50 00 00 00 00 00 00 00 00"},
      {"-12.5", "36 8D 12 50 00 00 00 00 00 00 00 00"},
      {"20.5", "36 0D 20 50 00 00 00 00 00 00 00 00"},
      {"100", "37 05 10 00 00 00 00 00 00 00 00 00"},
      {"0.05", "33 05 50 00 00 00 00 00 00 00 00 00"},
      {"-0.5", "34 85 50 00 00 00 00 00 00 00 00 00"},
      {"1234567.89", "3B 25 12 34 56 78 90 00 00 00 00 00"},
  };
  for (const Case& c : cases) {
    std::string key = EncodeNumericKey(DecimalNumber::Parse(c.value));
    EXPECT_EQ(Hex(key), c.bytes) << c.value;
    DecimalNumber back;
    ASSERT_TRUE(DecodeNumericKey(key, &back));
    EXPECT_EQ(back.Compare(DecimalNumber::Parse(c.value)), 0) << c.value;
  }
}

TEST(IndexKeyTest, DateKeysAreJulianDayDoubles) {
  EXPECT_EQ(Hex(EncodeDateKey(2451544)), "00 00 00 00 2C B4 42 41");
  EXPECT_EQ(Hex(EncodeDateKey(2460341)), "00 00 00 80 5A C5 42 41");
  EXPECT_EQ(Hex(EncodeDateKey(0)), "00 00 00 00 00 00 00 00");
  EXPECT_EQ(KeyToDisplay(KeyType::kDate, EncodeDateKey(2460341)), "20240131");
  std::string key;
  ASSERT_TRUE(SearchKeyFromText(KeyType::kDate, "20240131", &key).ok());
  EXPECT_EQ(key, EncodeDateKey(2460341));
  EXPECT_FALSE(SearchKeyFromText(KeyType::kDate, "2024-1-31", &key).ok());
  EXPECT_FALSE(SearchKeyFromText(KeyType::kNumeric, "12x", &key).ok());
}

// Byte order is not value order for packed decimals; both comparison paths
// must agree with the numbers themselves.
TEST(IndexKeyTest, NumericOrderFollowsValueNotBytes) {
  std::vector<std::string> values = {"-1000", "-12.5", "-12", "-0.5", "-0.05", "0",
                                     "0.05",  "0.1",   "0.5", "1",    "9.99",  "10",
                                     "12.5",  "100",   "815", "1e0"};
  values.pop_back();
  std::mt19937 rng(7);
  for (int i = 0; i < 200; ++i) {
    std::uniform_int_distribution<int> d(-100000, 100000);
    values.push_back(DecimalNumber::FromInt(d(rng)).ToString());
    values.push_back((DecimalNumber::FromInt(d(rng)) * DecimalNumber::Parse("0.001")).ToString());
  }
  for (const std::string& a : values) {
    for (const std::string& b :
         {std::string("0"), std::string("-12.5"), values[values.size() / 2]}) {
      int expect = DecimalNumber::Parse(a).Compare(DecimalNumber::Parse(b));
      std::string ka = EncodeNumericKey(DecimalNumber::Parse(a)),
                  kb = EncodeNumericKey(DecimalNumber::Parse(b));
      EXPECT_EQ(CompareKeys(KeyType::kNumeric, ka, kb), expect) << a << " vs " << b;
      std::string sa, sb;
      AppendSortableKey(KeyType::kNumeric, ka, &sa);
      AppendSortableKey(KeyType::kNumeric, kb, &sb);
      int c = sa.compare(sb);
      EXPECT_EQ(c < 0 ? -1 : (c > 0 ? 1 : 0), expect) << a << " vs " << b;
    }
  }
}

TEST(IndexKeyTest, UnnormalisedForeignNumericKeysCompareByValue) {
  // 815 written with a leading zero digit and the exponent raised to match.
  std::string odd("\x38\x11\x08\x15\0\0\0\0\0\0\0\0", 12);
  EXPECT_EQ(CompareKeys(KeyType::kNumeric, odd, EncodeNumericKey(DecimalNumber::FromInt(815))), 0);
}

TEST(IndexKeyTest, DateOrderAndCharacterPrefixes) {
  std::string blank = EncodeDateKey(0), y1999 = EncodeDateKey(2451544),
              y2024 = EncodeDateKey(2460341);
  EXPECT_LT(CompareKeys(KeyType::kDate, blank, y1999), 0);
  EXPECT_LT(CompareKeys(KeyType::kDate, y1999, y2024), 0);
  EXPECT_LT(CompareKeys(KeyType::kChar, "A ", "A!"), 0);
  EXPECT_LT(CompareKeys(KeyType::kChar, "Adams", "adams"), 0);
  EXPECT_LT(CompareKeys(KeyType::kChar, "\x7f", "\x80"), 0);  // unsigned bytes
}

}  // namespace
}  // namespace dbup::xbase
