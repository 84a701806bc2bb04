#include "platform/profile.h"

#include <gtest/gtest.h>

#include "platform/env.h"
#include "support/temp_dir.h"

namespace dbup {
namespace {

using Names = std::vector<std::string>;

TEST(ProfileTest, KeyNamesFollowWindowsRules) {
  struct Case {
    const char* what;
    const char* contents;
    Names expected;
  };
  const Case cases[] = {
      {"plain, in file order, spelling kept",
       "[Database Tables]\r\nSUBMIT.DBF=1\r\nbcclaim.dbf=x\r\n",
       {"SUBMIT.DBF", "bcclaim.dbf"}},
      {"section name matched without regard to case", "[database TABLES]\nA.DBF=\n", {"A.DBF"}},
      {"blanks around lines and names ignored",
       "  [Database Tables]  \n   A.DBF   =  1 \n\tB.DBF\t=\n",
       {"A.DBF", "B.DBF"}},
      {"comments and blank lines skipped",
       "[Database Tables]\n; B.DBF=1\n\n;\nA.DBF=1\n\n",
       {"A.DBF"}},
      {"a line without '=' is not a key", "[Database Tables]\nA.DBF\nB.DBF=\n", {"B.DBF"}},
      {"an empty name is skipped", "[Database Tables]\n=1\nA.DBF=1\n", {"A.DBF"}},
      {"only the named section",
       "[Other]\nX=1\n[Database Tables]\nA.DBF=1\n[Next]\nY=1\n",
       {"A.DBF"}},
      {"the first of two equal sections",
       "[Database Tables]\nA.DBF=1\n[x]\n[Database Tables]\nB.DBF=1\n",
       {"A.DBF"}},
      {"blanks inside the brackets are part of the name", "[ Database Tables ]\nA.DBF=1\n", {}},
      {"a header without ']' is an ordinary line",
       "[Database Tables]\n[broken=1\nA.DBF=1\n",
       {"[broken", "A.DBF"}},
      {"'#' is not a comment", "[Database Tables]\n#A.DBF=1\n", {"#A.DBF"}},
      {"duplicates kept", "[Database Tables]\nA.DBF=1\nA.DBF=2\n", {"A.DBF", "A.DBF"}},
      {"utf-8 mark and ctrl-z", "\xEF\xBB\xBF[Database Tables]\nA.DBF=1\n\x1a", {"A.DBF"}},
      {"missing section", "[Other]\nA.DBF=1\n", {}},
      {"no final line break", "[Database Tables]\nA.DBF=1", {"A.DBF"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseProfileKeyNames(c.contents, "Database Tables"), c.expected) << c.what;
  }
}

// A name of n characters takes n + 1 bytes and the list's closing zero one
// more, so names totalling 16383 bytes fit whole; past that the next name is
// cut to what is left less its two zeros, and ends the list.
TEST(ProfileTest, BufferLimitCutsTheListAsWindowsDoes) {
  const size_t kSize = kProfileKeyBufferSize;
  // 1023 names of 15 characters take 16368 bytes, leaving 16.
  Names names(1023, std::string(15, 'A'));
  struct Case {
    const char* what;
    std::string last;
    Names tail;
  };
  const Case cases[] = {
      {"14 characters and the closing zero fill the buffer exactly",
       std::string(14, 'B'),
       {std::string(14, 'B')}},
      {"15 characters are cut to 14", std::string(15, 'C'), {std::string(14, 'C')}},
      {"a long name is cut to 14", std::string(40, 'D'), {std::string(14, 'D')}},
  };
  for (const Case& c : cases) {
    Names input = names;
    input.push_back(c.last);
    input.push_back("AFTER.DBF");
    Names expected = names;
    expected.insert(expected.end(), c.tail.begin(), c.tail.end());
    EXPECT_EQ(PackProfileKeyNames(input, kSize), expected) << c.what;
  }

  // With exactly two bytes left, nothing more is written, not even a stub.
  Names fill(1, std::string(16381, 'E'));
  fill.push_back("NEXT.DBF");
  EXPECT_EQ(PackProfileKeyNames(fill, kSize), Names{std::string(16381, 'E')});
  // Three bytes left: a one-character stub survives.
  fill[0] = std::string(16380, 'E');
  EXPECT_EQ(PackProfileKeyNames(fill, kSize), (Names{std::string(16380, 'E'), "N"}));
  // A short list comes through whole.
  EXPECT_EQ(PackProfileKeyNames({"A", "B"}, kSize), (Names{"A", "B"}));
}

TEST(ProfileTest, SplitsTheBufferWindowsFills) {
  const char full[] = "A.DBF\0B.DBF\0\0junk";
  EXPECT_EQ(SplitProfileKeyBuffer(full, sizeof full), (Names{"A.DBF", "B.DBF"}));
  const char cut[] = {'A', '\0', 'B', 'C'};  // no closing zero within the size
  EXPECT_EQ(SplitProfileKeyBuffer(cut, sizeof cut), (Names{"A", "BC"}));
  EXPECT_EQ(SplitProfileKeyBuffer("", 1), Names{});
}

TEST(ProfileTest, ReadsTheFileThroughEnv) {
  testing::TempDir dir;
  Names names{"stale"};
  ASSERT_TRUE(ReadProfileKeyNames(dir.Path("TANDRIL.INI"), "Database Tables", &names).ok());
  EXPECT_TRUE(names.empty()) << "a missing file reads as an empty section";

  ASSERT_TRUE(WriteStringToFile(dir.Path("TANDRIL.INI"),
                                "[General]\r\nX=1\r\n[Database Tables]\r\nSUBMIT.DBF=\r\n")
                  .ok());
  // Found under another spelling of its name, as on Windows.
  ASSERT_TRUE(ReadProfileKeyNames(dir.Path("tandril.ini"), "DATABASE TABLES", &names).ok());
  EXPECT_EQ(names, Names{"SUBMIT.DBF"});

  // A long list is cut at the buffer size.
  std::string big = "[Database Tables]\n";
  for (int i = 0; i < 2000; ++i) big += "TABLE" + std::to_string(10000 + i) + ".DBF=1\n";
  ASSERT_TRUE(WriteStringToFile(dir.Path("BIG.INI"), big).ok());
  ASSERT_TRUE(ReadProfileKeyNames(dir.Path("BIG.INI"), "Database Tables", &names).ok());
  // Each name "TABLEnnnnn.DBF" takes 15 bytes: 1092 fit whole (16380), then a
  // two-character stub of the next.
  ASSERT_EQ(names.size(), 1093u);
  EXPECT_EQ(names[1091], "TABLE11091.DBF");
  EXPECT_EQ(names[1092], "TA");
}

}  // namespace
}  // namespace dbup
