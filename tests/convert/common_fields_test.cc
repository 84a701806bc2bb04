// The common field copy on real tables: field matching by name, deleted
// records passed over, memo text, the 512-entry field map, and the failures
// that must leave nothing pending.
#include "convert/common_fields.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/job_context.h"
#include "index_writer.h"
#include "platform/env.h"
#include "platform/path.h"
#include "support/temp_dir.h"
#include "xbase/table.h"

namespace dbup::convert {
namespace {

using Fields = std::vector<xbase::FieldSpec>;
using Row = std::vector<std::string>;  // one text per field; "*" first marks deleted

class CommonFieldsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(session_.ok());
    for (const char* d : {"old", "new"})
      ASSERT_TRUE(Env::Current()->CreateDirectory(tmp_.Path(d)).ok());
  }
  std::string Dir(const char* d) { return tmp_.Path(d); }

  void Make(const char* dir, const Fields& fields, const std::vector<Row>& rows,
            bool index = true) {
    const std::string path = tmp_.Path(std::string(dir) + "/t.dbf");
    std::unique_ptr<xbase::Table> t;
    ASSERT_TRUE(xbase::Table::Create(path, fields, {}, &t).ok());
    for (const Row& row : rows) {
      ASSERT_TRUE(t->AppendBlank().ok());
      size_t first = 0;
      if (!row.empty() && row[0] == "*") {
        t->SetDeleted(true);
        first = 1;
      }
      for (size_t i = first; i < row.size(); ++i) {
        ASSERT_TRUE(t->SetText(static_cast<int>(i - first), row[i]).ok());
      }
    }
    ASSERT_TRUE(t->Close().ok());
    Env::Current()->DeleteFile(ReplaceExtension(path, ".mdx"));
    if (index) {
      ASSERT_TRUE(fixture::CreateProductionIndex(path, {{"BY_FIRST", fields[0].name}}).ok());
    }
  }

  // Every record of new/t.dbf as trimmed texts (memo fields through the .dbt).
  std::vector<Row> Read() {
    std::unique_ptr<xbase::Table> t;
    EXPECT_TRUE(xbase::Table::Open(tmp_.Path("new/t.dbf"), {}, &t).ok());
    std::vector<Row> rows;
    if (t == nullptr) return rows;
    for (uint32_t r = 1; r <= t->record_count(); ++r) {
      EXPECT_TRUE(t->Go(r).ok());
      Row row;
      for (int i = 0; i < t->field_count(); ++i) {
        std::string text;
        if (t->field(i).type == 'M') {
          EXPECT_TRUE(t->GetMemo(i, &text).ok());
        } else {
          text = std::string(t->FieldBytes(i));
          text.erase(0, text.find_first_not_of(' '));
          text.erase(text.find_last_not_of(' ') + 1);
        }
        row.push_back(text);
      }
      rows.push_back(row);
    }
    return rows;
  }

  bool Copy(long* copied = nullptr) {
    const bool ok = CopyCommonFields(ctx_.session, Dir("old"), Dir("new"), "t", copied);
    EXPECT_EQ(code4errorCode(ctx_.session, 0), 0) << "an engine error was left pending";
    return ok;
  }

  testing::TempDir tmp_;
  JobContext ctx_;
  SessionScope session_{ctx_};
};

TEST_F(CommonFieldsTest, CopiesSharedFieldsOfLiveRecordsInOrder) {
  Make("old",
       {{"ID", 'C', 6, 0},
        {"GONE", 'C', 5, 0},
        {"NAME", 'C', 12, 0},
        {"AMOUNT", 'N', 8, 2},
        {"NOTE", 'M', 10, 0}},
       {{"A1", "x", "ADA", "12.50", "two\r\nlines"},
        {"*", "A2", "y", "DELETED", "1.00", "gone"},
        {"A3", "z", "ALAN", "-3.25", ""},
        {"*", "A4", "", "", "", ""},
        {"A5", "w", "GRACE HOPPER", "99999.99", "memo"}});
  Make("new",
       {{"ID", 'C', 6, 0},
        {"NAME", 'C', 20, 0},
        {"FRESH", 'C', 3, 0},
        {"AMOUNT", 'N', 10, 3},
        {"NOTE", 'M', 10, 0}},
       {});
  long copied = -1;
  ASSERT_TRUE(Copy(&copied));
  EXPECT_EQ(copied, 3);
  const std::vector<Row> expected = {{"A1", "ADA", "", "12.500", "two\r\nlines"},
                                     {"A3", "ALAN", "", "-3.250", ""},
                                     {"A5", "GRACE HOPPER", "", "99999.990", "memo"}};
  EXPECT_EQ(Read(), expected);
}

TEST_F(CommonFieldsTest, EmptyAllDeletedAndDisjointTables) {
  Make("old", {{"ID", 'C', 6, 0}}, {});
  Make("new", {{"ID", 'C', 6, 0}}, {});
  EXPECT_TRUE(Copy());
  EXPECT_TRUE(Read().empty());

  Make("old", {{"ID", 'C', 6, 0}}, {{"*", "A"}, {"*", "B"}});
  EXPECT_TRUE(Copy());
  EXPECT_TRUE(Read().empty());

  // No field in common: one blank record per live record.
  Make("old", {{"OTHER", 'C', 6, 0}}, {{"A"}, {"*", "B"}, {"C"}});
  EXPECT_TRUE(Copy());
  EXPECT_EQ(Read(), (std::vector<Row>{{""}, {""}}));
}

TEST_F(CommonFieldsTest, FailsWithoutEitherIndexAndAppendsNothing) {
  Make("old", {{"ID", 'C', 6, 0}}, {{"A"}}, /*index=*/false);
  Make("new", {{"ID", 'C', 6, 0}}, {});
  EXPECT_FALSE(Copy());
  EXPECT_TRUE(Read().empty());

  Make("old", {{"ID", 'C', 6, 0}}, {{"A"}});
  Make("new", {{"ID", 'C', 6, 0}}, {}, /*index=*/false);
  EXPECT_FALSE(Copy());
  ASSERT_TRUE(Env::Current()->DeleteFile(tmp_.Path("new/t.dbf")).ok());
  EXPECT_FALSE(Copy());
}

// dBASE IV writers stop at 255 fields, but a table written by another
// program can declare more; the header is written here byte by byte.
void WriteWideTable(const std::string& path, const std::vector<std::string>& names,
                    const std::string& record) {
  const size_t n = names.size();
  std::string h(32, '\0');
  h[0] = 0x03;
  h[1] = 126;
  h[2] = 12;
  h[3] = 11;
  const uint32_t count = record.empty() ? 0 : 1;
  const uint16_t header_length = static_cast<uint16_t>(32 + 32 * n + 1);
  const uint16_t record_length = static_cast<uint16_t>(1 + n);
  for (int i = 0; i < 4; ++i) h[4 + i] = static_cast<char>((count >> (8 * i)) & 0xff);
  h[8] = static_cast<char>(header_length & 0xff);
  h[9] = static_cast<char>(header_length >> 8);
  h[10] = static_cast<char>(record_length & 0xff);
  h[11] = static_cast<char>(record_length >> 8);
  for (const std::string& name : names) {
    std::string d(32, '\0');
    d.replace(0, name.size(), name);
    d[11] = 'C';
    d[16] = 1;
    h += d;
  }
  h += '\r';
  if (!record.empty()) h += " " + record;
  h += '\x1a';
  ASSERT_TRUE(WriteStringToFile(path, h).ok());
  ASSERT_TRUE(fixture::CreateProductionIndex(path, {{"BY_FIRST", names[0]}}).ok());
}

std::vector<std::string> FieldNames(int n, const char* extra = nullptr) {
  std::vector<std::string> names;
  for (int i = 0; i < n; ++i) names.push_back("F" + std::to_string(i));
  if (extra != nullptr) names.push_back(extra);
  return names;
}

TEST_F(CommonFieldsTest, TheFieldMapHoldsExactly512Pairs) {
  std::string record(512, 'x');
  record[511] = 'z';
  WriteWideTable(tmp_.Path("old/t.dbf"), FieldNames(512), record);
  WriteWideTable(tmp_.Path("new/t.dbf"), FieldNames(512), "");
  ASSERT_TRUE(Copy());
  std::vector<Row> rows = Read();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "x");
  EXPECT_EQ(rows[0][511], "z");

  // A further old field after 512 pairs, shared or not, is a range error
  // that closes everything and leaves no engine error behind.
  for (const char* extra : {"F512", "ONLYOLD"}) {
    WriteWideTable(tmp_.Path("old/t.dbf"), FieldNames(512, extra), record + "y");
    WriteWideTable(tmp_.Path("new/t.dbf"), FieldNames(513), "");
    EXPECT_THROW(CopyCommonFields(ctx_.session, Dir("old"), Dir("new"), "t"), std::out_of_range)
        << extra;
    EXPECT_EQ(code4errorCode(ctx_.session, 0), 0);
    // The tables were closed: they can be replaced at once.
    EXPECT_TRUE(Env::Current()->DeleteFile(tmp_.Path("new/t.dbf")).ok());
  }
}

}  // namespace
}  // namespace dbup::convert
