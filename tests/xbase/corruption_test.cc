// Damaged tables and memo files: every defect gives an error, never a crash,
// a wild read or a write to the damaged file.
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "xbase/dbf_header.h"
#include "xbase/table.h"

namespace dbup::xbase {
namespace {

class CorruptionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::unique_ptr<Table> t;
    ASSERT_TRUE(Table::Create(dbf_, {{"NAME", 'C', 10, 0}, {"NOTE", 'M', 10, 0}}, {}, &t).ok());
    for (int i = 0; i < 3; ++i) {
      ASSERT_TRUE(t->AppendBlank().ok());
      ASSERT_TRUE(t->SetText(0, "row").ok());
      ASSERT_TRUE(t->SetText(1, "a memo of record " + std::to_string(i)).ok());
    }
    ASSERT_TRUE(t->Close().ok());
    ASSERT_TRUE(ReadFileToString(dbf_, &good_dbf_).ok());
    ASSERT_TRUE(ReadFileToString(dbt_, &good_dbt_).ok());
  }

  testing::TempDir dir_;
  std::string dbf_ = dir_.Path("BAD.DBF");
  std::string dbt_ = dir_.Path("BAD.DBT");
  std::string good_dbf_, good_dbt_;
};

TEST_F(CorruptionTest, DamagedTableHeadersAreRefusedWithoutWriting) {
  // Header: 32 + 2*32 + 1 = 97 bytes; record length 21.
  struct Case {
    const char* what;
    std::function<void(std::string*)> damage;
  } cases[] = {
      {"empty file", [](std::string* b) { b->clear(); }},
      {"truncated header", [](std::string* b) { b->resize(20); }},
      {"truncated descriptors", [](std::string* b) { b->resize(70); }},
      {"header length past the end", [](std::string* b) { PutU16(b->data() + 8, 60000); }},
      {"header length too small", [](std::string* b) { PutU16(b->data() + 8, 40); }},
      {"record length 0", [](std::string* b) { PutU16(b->data() + 10, 0); }},
      {"record length not matching the fields", [](std::string* b) { PutU16(b->data() + 10, 30); }},
      {"field count not fitting the header", [](std::string* b) { (*b)[96] = 'X'; }},
      {"terminator missing", [](std::string* b) { PutU16(b->data() + 8, 96); }},
      {"record count past the end", [](std::string* b) { PutU32(b->data() + 4, 1000000); }},
      {"field of length 0", [](std::string* b) { (*b)[32 + 16] = 0; }},
      {"dBASE 7 table", [](std::string* b) { (*b)[0] = static_cast<char>(0x8C); }},
      {"dBASE 7 without memo",
       [](std::string* b) {
         (*b)[0] = 0x04;
         PutU16(b->data() + 8, 68 + 48 + 1);
       }},
      {"unknown version", [](std::string* b) { (*b)[0] = 0x30; }},
  };
  for (const Case& c : cases) {
    std::string bad = good_dbf_;
    c.damage(&bad);
    ASSERT_TRUE(WriteStringToFile(dbf_, bad).ok());
    std::unique_ptr<Table> t;
    Status s = Table::Open(dbf_, {}, &t);
    EXPECT_FALSE(s.ok()) << c.what;
    EXPECT_EQ(t, nullptr) << c.what;
    std::string after;
    ASSERT_TRUE(ReadFileToString(dbf_, &after).ok());
    EXPECT_EQ(after, bad) << c.what;
  }
}

TEST_F(CorruptionTest, Dbase7IsNamedInTheError) {
  std::string bad = good_dbf_;
  bad[0] = static_cast<char>(0x8C);
  ASSERT_TRUE(WriteStringToFile(dbf_, bad).ok());
  std::unique_ptr<Table> t;
  Status s = Table::Open(dbf_, {}, &t);
  EXPECT_TRUE(s.IsNotSupported());
  EXPECT_NE(s.message().find("dBASE 7"), std::string::npos) << s.message();
}

TEST_F(CorruptionTest, DamagedMemosGiveErrors) {
  // Memo 1 sits in block 1 (bytes 512..1023), its length at 516.
  struct Case {
    const char* what;
    std::function<void(std::string* dbf, std::string* dbt)> damage;
  } cases[] = {
      {"block number past the end",
       [](std::string* dbf, std::string*) { dbf->replace(97 + 11, 10, "      9999"); }},
      {"length larger than the file",
       [](std::string*, std::string* dbt) { PutU32(dbt->data() + 516, 100000); }},
      {"length below the memo header",
       [](std::string*, std::string* dbt) { PutU32(dbt->data() + 516, 3); }},
      {"block without a signature", [](std::string*, std::string* dbt) { (*dbt)[512] = 'x'; }},
      {"garbage block number",
       [](std::string* dbf, std::string*) { dbf->replace(97 + 11, 10, "   12abc  "); }},
  };
  for (const Case& c : cases) {
    std::string bad_dbf = good_dbf_, bad_dbt = good_dbt_;
    c.damage(&bad_dbf, &bad_dbt);
    ASSERT_TRUE(WriteStringToFile(dbf_, bad_dbf).ok());
    ASSERT_TRUE(WriteStringToFile(dbt_, bad_dbt).ok());
    std::unique_ptr<Table> t;
    ASSERT_TRUE(Table::Open(dbf_, {}, &t).ok()) << c.what;
    ASSERT_TRUE(t->Go(1).ok());
    std::string text;
    EXPECT_FALSE(t->GetMemo(1, &text).ok()) << c.what;
    ASSERT_TRUE(t->Go(2).ok());  // the other memos still read
    EXPECT_TRUE(t->GetMemo(1, &text).ok()) << c.what;
    ASSERT_TRUE(t->Close().ok());
    std::string after;
    ASSERT_TRUE(ReadFileToString(dbt_, &after).ok());
    EXPECT_EQ(after, bad_dbt) << c.what;
  }
}

TEST_F(CorruptionTest, Version4ByteWithDbase4LayoutOpens) {
  // Perl's XBase writes 0x84 on dBASE IV tables with a dBASE IV memo file.
  std::string perl = good_dbf_;
  perl[0] = static_cast<char>(0x84);
  ASSERT_TRUE(WriteStringToFile(dbf_, perl).ok());
  std::unique_ptr<Table> t;
  ASSERT_TRUE(Table::Open(dbf_, {}, &t).ok());
  ASSERT_TRUE(t->Go(3).ok());
  std::string text;
  ASSERT_TRUE(t->GetMemo(1, &text).ok());
  EXPECT_EQ(text, "a memo of record 2");
}

TEST_F(CorruptionTest, MissingMemoFileIsReportedAtOpen) {
  ASSERT_TRUE(Env::Current()->DeleteFile(dbt_).ok());
  std::unique_ptr<Table> t;
  Status s = Table::Open(dbf_, {}, &t);
  EXPECT_TRUE(s.IsNotFound()) << s.ToString();
}

TEST_F(CorruptionTest, TrailingBytesAfterTheRecordsAreTolerated) {
  // Other writers leave junk or no end-of-file byte; the records still read.
  ASSERT_TRUE(WriteStringToFile(dbf_, good_dbf_.substr(0, good_dbf_.size() - 1)).ok());
  std::unique_ptr<Table> t;
  ASSERT_TRUE(Table::Open(dbf_, {}, &t).ok());
  EXPECT_EQ(t->record_count(), 3u);
  ASSERT_TRUE(WriteStringToFile(dbf_, good_dbf_ + "junk").ok());
  ASSERT_TRUE(Table::Open(dbf_, {}, &t).ok());
  EXPECT_EQ(t->record_count(), 3u);
}

}  // namespace
}  // namespace dbup::xbase
