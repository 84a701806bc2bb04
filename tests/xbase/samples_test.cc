// Tables written by other dBASE programs (see the samples' PROVENANCE.md).
#include <string>

#include <gtest/gtest.h>

#include "platform/path.h"
#include "support/temp_dir.h"
#include "xbase/table.h"

namespace dbup::xbase {
namespace {

std::string Sample(const std::string& relative) {
  std::string shared = testing::SharedDir();
  if (shared.empty()) return "";
  std::string path = JoinPath(shared, "samples");
  size_t start = 0;
  while (true) {
    size_t slash = relative.find('/', start);
    path = JoinPath(path, relative.substr(start, slash - start));
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  return path;
}

TEST(SamplesTest, OpensTablesOfOtherWritersAndReadsEveryMemo) {
  if (testing::SharedDir().empty()) GTEST_SKIP() << "shared samples are absent";
  struct Case {
    const char* file;
    uint32_t records;
    const char* memo_field;
    uint32_t memo_record;
    const char* memo_prefix;
    size_t memo_size;  // 0: not checked
  } cases[] = {
      {"ndbfreaderex/BDE_TEST_4_512.dbf", 4, "M", 2, "", 1188 - 8},
      {"ndbfreaderex/BDE_TEST_4_64.dbf", 4, "M", 1, "", 49 - 8},  // 64-byte blocks
      {"ndbfreaderex/TEST4D.DBF", 3, "EEE", 0, "", 0},            // dBASE III memo
      {"tdbf/current/TDBF_DEMO.DBF", 17, "DESCR", 0, "", 0},      // 1024-byte blocks
      {"tdbf/current/disco.DBF", 1561, nullptr, 0, "", 0},
      {"tdbf/memo/DBASE3+.dbf", 3, "MEMO", 1, "Dbase 3+ Record1\r\n", 0},
      {"tdbf/memo/DBASE4.dbf", 4, "MEMO", 0, "", 0},
      {"tdbf/memo/DBASEWIN.dbf", 4, nullptr, 0, "", 0},  // B and G fields as raw text
      {"tdbf/memo/table1.DBF", 9, "FIELD2", 1, "<<<AA0 : 1 of 86 >>>\r\n", 0},  // zero-padded
      {"xbasej/odd-truncated-mdx/test.dbf", 6, nullptr, 0, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    std::unique_ptr<Table> t;
    Status s = Table::Open(Sample(c.file), {/*read_only=*/true}, &t);
    ASSERT_TRUE(s.ok()) << s.ToString();
    EXPECT_EQ(t->record_count(), c.records);
    int memo = c.memo_field != nullptr ? t->FindField(c.memo_field) : -1;
    for (uint32_t r = 1; r <= t->record_count(); ++r) {
      ASSERT_TRUE(t->Go(r).ok());
      if (memo < 0) continue;
      std::string text;
      s = t->GetMemo(memo, &text);
      ASSERT_TRUE(s.ok()) << "record " << r << ": " << s.ToString();
      if (r == c.memo_record) {
        EXPECT_EQ(text.substr(0, std::string(c.memo_prefix).size()), c.memo_prefix);
        if (c.memo_size != 0) {
          EXPECT_EQ(text.size(), c.memo_size);
        }
      }
    }
  }
}

TEST(SamplesTest, RefusesLevel7Tables) {
  if (testing::SharedDir().empty()) GTEST_SKIP() << "shared samples are absent";
  for (const char* file :
       {"ndbfreaderex/BDE_TEST_7_1024.dbf", "ndbfreaderex/BDE_TEST_7_2048.dbf"}) {
    std::unique_ptr<Table> t;
    Status s = Table::Open(Sample(file), {true}, &t);
    EXPECT_TRUE(s.IsNotSupported()) << file << ": " << s.ToString();
    EXPECT_NE(s.message().find("dBASE 7"), std::string::npos);
  }
}

}  // namespace
}  // namespace dbup::xbase
