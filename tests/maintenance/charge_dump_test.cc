#include "maintenance/charge_dump.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

namespace dbup::maintenance {
namespace {

TEST(ChargeDumpTest, FormatsAmountsInTheGeneralNumberFormat) {
  const struct {
    double amount;
    const char* text;
  } cases[] = {
      {125.5, "125.5"},
      {0.05, "0.05"},
      {1250, "1250"},
      {-3, "-3"},
      {-0.75, "-0.75"},
      {1, "1"},
      {0.1 + 0.2, "0.3"},  // 15 significant digits hide the binary error
      {1234567.89, "1234567.89"},
      {0.0001, "0.0001"},  // smallest positional magnitude
      {0.00012, "0.00012"},
      {0.00009, "9E-5"},
      {2.5e-5, "2.5E-5"},
      {-2.5e-5, "-2.5E-5"},
      {999999999999999, "999999999999999"},  // largest positional magnitude
      {1e15, "1E15"},
      {1.5e15, "1.5E15"},
      {-1e15, "-1E15"},
      {123456789012345678.0, "1.23456789012346E17"},
      {999999999999999.9, "1E15"},  // rounding carries into the exponent form
      {0.123456789012345678, "0.123456789012346"},
      {1e-300, "1E-300"},
      {1.7976931348623157e308, "1.79769313486232E308"},
      {0.0, "0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatAmount(c.amount), c.text) << c.text;
  }
}

TEST(ChargeDumpTest, ReadsPlainDecimalNumbersAndEverythingElseAsZero) {
  const struct {
    const char* text;
    double amount;
  } cases[] = {
      {"125.5", 125.5},   {"+125.5", 125.5}, {"-3", -3},   {"  0.05  ", 0.05}, {"1E15", 1e15},
      {"2.5E-5", 2.5e-5}, {"2.5e+5", 2.5e5}, {"5.", 5},    {".5", 0.5},        {"0450", 450},
      {"1,250.00", 0},  // thousands separator
      {"12a", 0},         {"abc", 0},        {"", 0},      {".", 0},           {"-", 0},
      {"1E", 0},          {"1E+", 0},        {"inf", 0},   {"nan", 0},         {"0x1A", 0},
      {"1 000", 0},       {"--3", 0},        {"1e999", 0},  // out of range
      {"125,5", 0},                                         // a locale's decimal comma is not ours
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseAmount(c.text), c.amount) << '"' << c.text << '"';
  }
}

TEST(ChargeDumpTest, FormatReadsBackToTheSameText) {
  for (double v : {125.5, 0.05, 1250.0, -3.0, 1e15, 2.5e-5, 0.1 + 0.2, 99999.99, 0.01, 1e-4}) {
    const std::string text = FormatAmount(v);
    EXPECT_EQ(FormatAmount(ParseAmount(text)), text);
  }
}

TEST(ChargeDumpTest, DoesNotFollowTheProcessLocale) {
  // A locale with a decimal comma, where one is installed.
  const char* old = std::setlocale(LC_ALL, nullptr);
  std::string saved = old ? old : "C";
  bool switched = false;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "C.UTF-8"}) {
    if (std::setlocale(LC_ALL, name) != nullptr) {
      switched = true;
      break;
    }
  }
  EXPECT_EQ(FormatAmount(1234.5), "1234.5");
  EXPECT_EQ(ParseAmount("1234.5"), 1234.5);
  std::setlocale(LC_ALL, saved.c_str());
  if (!switched) GTEST_SKIP() << "no other locale installed";
}

TEST(ChargeDumpTest, WritesOneCrLfLinePerEntry) {
  EXPECT_EQ(FormatChargeDump({}), "");
  EXPECT_EQ(FormatChargeDump({{"0450", 125.5}, {"0001", -3}, {"ABC", 2.5e-5}}),
            "0450|125.5\r\n0001|-3\r\nABC|2.5E-5\r\n");
}

TEST(ChargeDumpTest, SplitsLinesAtAnyLineEnd) {
  using V = std::vector<std::string_view>;
  EXPECT_EQ(SplitLines(""), V{});
  EXPECT_EQ(SplitLines("a\r\nb\r\n"), (V{"a", "b"}));
  EXPECT_EQ(SplitLines("a\nb\rc"), (V{"a", "b", "c"}));
  EXPECT_EQ(SplitLines("a\r\n\r\nb"), (V{"a", "", "b"}));
  EXPECT_EQ(SplitLines("\n"), (V{""}));
}

TEST(ChargeDumpTest, ALineIsAnEntryOnlyWithItsFirstBarInFifthPlace) {
  const struct {
    const char* line;
    bool entry;
    const char* code;
    double amount;
  } cases[] = {
      {"0450|125.5", true, "0450", 125.5},
      {"0450| 125.5 ", true, "0450", 125.5},
      {"0450|-3", true, "0450", -3},
      {"0450|", true, "0450", 0},
      {"0450|1,250.00", true, "0450", 0},
      {"0450|1|2", true, "0450", 0},
      {"045|125.5", false, "", 0},  // a code trimmed to three characters
      {"04500|125.5", false, "", 0},
      {"|0450|125.5", false, "", 0},
      {"04|0|125.5", false, "", 0},
      {"0450 125.5", false, "", 0},
      {"", false, "", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    ChargeEntry entry;
    ASSERT_EQ(ParseChargeLine(c.line, &entry), c.entry);
    if (!c.entry) continue;
    EXPECT_EQ(entry.code, c.code);
    EXPECT_EQ(entry.amount, c.amount);
  }
}

TEST(ChargeDumpTest, TrimsControlCharactersAndBlanks) {
  EXPECT_EQ(TrimControls(" \t0450\x01 "), "0450");
  EXPECT_EQ(TrimControls("  "), "");
  EXPECT_EQ(TrimControls("04 50"), "04 50");
}

}  // namespace
}  // namespace dbup::maintenance
