#include <gtest/gtest.h>

#include <filesystem>

#include "platform/version_resource.h"
#include "support/temp_dir.h"

#include "update/host_version.h"
#include "update/level_table.h"

namespace dbup::update {
namespace {

TEST(HostVersionTest, ParsesFourDecimalNumbers) {
  struct Case {
    const char* text;
    const char* expected;  // null: rejected
  };
  const Case cases[] = {
      {"1.65.0.100", "1.65.0.100"},
      {"  1.65.0.100 \t\r\n", "1.65.0.100"},
      {"01.065.0.0100", "1.65.0.100"},
      {"1 . 65 . 0 . 100", "1.65.0.100"},
      {"+2.7.0.0", "2.7.0.0"},
      {"-0.0.0.0", "0.0.0.0"},
      {"65535.65535.65535.65535", "65535.65535.65535.65535"},
      {"1.65.0", nullptr},
      {"1.65.0.100.1", nullptr},
      {"1.70000.0.100", nullptr},
      {"-1.65.0.100", nullptr},
      {"1..0.100", nullptr},
      {"1.65.0.", nullptr},
      {".65.0.100", nullptr},
      {"1.6x.0.100", nullptr},
      {"1.65.0.1 00", nullptr},
      {"1.65.0.+", nullptr},
      {"0x1.65.0.100", nullptr},
      {"", nullptr},
      {"99999999999999999999.0.0.0", nullptr},
  };
  for (const Case& c : cases) {
    THostVersion v;
    bool ok = ParseVersionText(c.text, &v);
    EXPECT_EQ(ok, c.expected != nullptr) << "'" << c.text << "'";
    if (ok && c.expected != nullptr) {
      EXPECT_EQ(FormatVersion(v), c.expected) << c.text;
    }
  }
}

TEST(HostVersionTest, TrimsEveryControlCharacter) {
  EXPECT_EQ(TrimControl("\x01\x1f 1.2 \x7f"), "1.2 \x7f");
  EXPECT_EQ(TrimControl(" \t "), "");
}

TEST(HostVersionTest, ReadsTheProgramFile) {
  const std::string data = std::string(DBUP_SOURCE_DIR) + "/tests/boundary/data/";
  THostVersion v;
  ASSERT_TRUE(ReadFileVersion(data + "tandril64.exe", &v));
  EXPECT_EQ(FormatVersion(v), "1.98.0.100");
  ASSERT_TRUE(ReadFileVersion(data + "tandril32.exe", &v));
  EXPECT_EQ(FormatVersion(v), "2.24.0.200");
  EXPECT_FALSE(ReadFileVersion(data + "noversion64.exe", &v));
  EXPECT_FALSE(ReadFileVersion(data + "TANDRIL.EXE", &v));

  // A path longer than the 255 characters the platform call takes is refused,
  // even though the file is there.
  testing::TempDir dir;
  std::string deep = dir.path() + std::string(120, 'a');
  std::filesystem::create_directories(deep + "/" + std::string(120, 'b'));
  std::string long_path = deep + "/" + std::string(120, 'b') + "/TANDRIL.EXE";
  std::filesystem::copy_file(data + "tandril64.exe", long_path);
  ASSERT_GT(long_path.size(), 255u);
  FixedFileInfo info;
  ASSERT_TRUE(ReadFixedFileInfo(long_path, &info).ok());
  EXPECT_FALSE(ReadFileVersion(long_path, &v));
}

TEST(LevelTableTest, CornersOfTheTable) {
  using O = LevelLookup::Outcome;
  struct Case {
    const char* version;
    O outcome;
    int level;
  };
  const Case cases[] = {
      {"1.65.0.100", O::kStartAt, 91},  {"1.65.0.200", O::kStartAt, 91},
      {"1.65.0.0", O::kRejected, 0},    {"1.65.0.300", O::kRejected, 0},
      {"1.65.1.100", O::kRejected, 0},  {"1.66.0.200", O::kRejected, 0},
      {"1.83.0.100", O::kStartAt, 136}, {"1.83.0.200", O::kStartAt, 139},
      {"1.83.0.300", O::kStartAt, 139}, {"1.85.0.300", O::kStartAt, 143},
      {"1.98.0.100", O::kStartAt, 153}, {"1.99.0.100", O::kRejected, 0},
      {"1.64.0.100", O::kRejected, 0},  {"2.7.0.0", O::kStartAt, 202},
      {"2.07.0.0", O::kStartAt, 202},   {"2.7.0.100", O::kRejected, 0},
      {"2.8.0.0", O::kStartAt, 203},    {"2.10.0.100", O::kRejected, 0},
      {"2.10.0.0", O::kRejected, 0},    {"2.11.0.100", O::kStartAt, 165},
      {"2.24.0.100", O::kStartAt, 187}, {"2.24.0.200", O::kStartAt, 192},
      {"2.45.0.300", O::kStartAt, 201}, {"2.57.0.300", O::kStartAt, 202},
      {"2.59.0.100", O::kRejected, 0},  {"2.60.0.100", O::kStartAt, 202},
      {"2.61.0.100", O::kRejected, 0},  {"3.0.0.0", O::kStartAt, 203},
      {"3.1.0.0", O::kStartAt, 203},    {"3.2.0.0", O::kNoUpdate, 0},
      {"3.4.0.0", O::kNoUpdate, 0},     {"3.9.0.0", O::kNoUpdate, 0},
      {"3.4.0.100", O::kRejected, 0},   {"3.4.1.0", O::kRejected, 0},
      {"3.10.0.0", O::kRejected, 0},    {"4.3.0.0", O::kStartAt, 203},
      {"4.4.0.100", O::kStartAt, 203},  {"4.5.0.0", O::kStartAt, 203},
      {"4.5.0.100", O::kRejected, 0},   {"4.9.0.100", O::kStartAt, 203},
      {"5.9.0.0", O::kStartAt, 203},    {"6.3.0.0", O::kStartAt, 203},
      {"6.4.0.0", O::kRejected, 0},     {"0.0.0.0", O::kRejected, 0},
      {"7.0.0.0", O::kRejected, 0},     {"1.65.0.150", O::kRejected, 0},
  };
  for (const Case& c : cases) {
    THostVersion v;
    ASSERT_TRUE(ParseVersionText(c.version, &v)) << c.version;
    LevelLookup got = LookUpStructureLevel(v);
    EXPECT_EQ(got.outcome, c.outcome) << c.version;
    if (c.outcome == O::kStartAt) {
      EXPECT_EQ(got.level, c.level) << c.version;
    }
  }
}

// Every accepted version starts within the levels the chain knows, and the
// levels never go down as versions go up within one major line.
TEST(LevelTableTest, LevelsStayInRangeAndOrder) {
  for (uint16_t major : {1, 2}) {
    int previous = 0;
    for (uint16_t minor = 0; minor <= 99; ++minor) {
      for (uint16_t build : {0, 100, 200, 300}) {
        LevelLookup got = LookUpStructureLevel({major, minor, 0, build});
        if (got.outcome != LevelLookup::Outcome::kStartAt) continue;
        EXPECT_GE(got.level, 91);
        EXPECT_LE(got.level, 203);
        if (!(major == 2 && minor >= 7 && minor <= 9)) {  // 2.7-2.9 are a later line
          EXPECT_GE(got.level, previous) << major << "." << minor << ".0." << build;
          previous = got.level;
        }
      }
    }
  }
}

}  // namespace
}  // namespace dbup::update
