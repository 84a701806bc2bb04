// The index operations as the library calls them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/e4api.h"
#include "support/temp_dir.h"
#include "xbase/table.h"
#include "xbase/table_index.h"

namespace dbup {
namespace {

struct Row {
  const char* claim;
  const char* type;
  const char* amount;
  const char* due;
  bool deleted;
};

class E4IndexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    s_ = code4initP();
    code4autoOpen(s_, 0);
  }
  void TearDown() override { code4initUndo(s_); }

  // CLAIMS.DBF with CLAIM C10, TYPE C2, AMT N8.2, DUE D and tags CLM_ALL
  // (CLAIM+TYPE), AMT, DUE (FOR .NOT. DELETED()).
  std::string Make(const std::vector<Row>& rows,
                   std::vector<xbase::TagSpec> tags = {
                       {"CLM_ALL", "CLAIM+TYPE", "", false, false},
                       {"AMT", "AMT", "", false, false},
                       {"DUE", "DUE", ".NOT. DELETED()", false, false}}) {
    std::string path = dir_.Path("claims.dbf");
    std::unique_ptr<xbase::Table> t;
    EXPECT_TRUE(
        xbase::Table::Create(
            path,
            {{"CLAIM", 'C', 10, 0}, {"TYPE", 'C', 2, 0}, {"AMT", 'N', 8, 2}, {"DUE", 'D', 8, 0}},
            {}, &t)
            .ok());
    for (const Row& r : rows) {
      EXPECT_TRUE(t->AppendBlank().ok());
      EXPECT_TRUE(t->SetText(0, r.claim).ok());
      EXPECT_TRUE(t->SetText(1, r.type).ok());
      EXPECT_TRUE(t->SetText(2, r.amount).ok());
      EXPECT_TRUE(t->SetText(3, r.due).ok());
      t->SetDeleted(r.deleted);
    }
    std::unique_ptr<xbase::TableIndexer> indexer;
    Status s = xbase::TableIndexer::CreateProduction(t.get(), tags, &indexer);
    EXPECT_TRUE(s.ok()) << s.ToString();
    EXPECT_TRUE(indexer->Close().ok());
    EXPECT_TRUE(t->Close().ok());
    return path;
  }

  Data4* OpenWithIndex(const std::string& path, Index4** index = nullptr) {
    Data4* d = d4open(s_, path.c_str());
    EXPECT_NE(d, nullptr);
    Index4* i = i4open(d, xbase::ProductionIndexPath(path).c_str());
    EXPECT_NE(i, nullptr) << error4text(s_, code4errorCode(s_, 0));
    if (index != nullptr) *index = i;
    return d;
  }

  // Record numbers in the order of tag `name`.
  std::vector<long> Order(Data4* d, const char* name) {
    d4tagSelectP(d, d4tag(d, name));
    std::vector<long> out;
    for (int rc = d4top(d); rc == r4success; rc = d4skip(d, 1)) out.push_back(d4recNoLow(d));
    return out;
  }

  Code4* s_ = nullptr;
  testing::TempDir dir_;
};

const std::vector<Row> kRows = {
    {"C300", "B", "815.00", "20240131", false}, {"C100", "A", "-12.50", "", false},
    {"C200", "A", "0.00", "19991231", true},    {"C100", "B", "100.00", "20000101", false},
    {"C100", "A", "7.00", "20240131", false},
};

TEST_F(E4IndexTest, TopAndSkipFollowTheSelectedTag) {
  Data4* d = OpenWithIndex(Make(kRows));
  EXPECT_EQ(Order(d, "CLM_ALL"), (std::vector<long>{2, 5, 4, 3, 1}));
  EXPECT_EQ(Order(d, "amt"), (std::vector<long>{2, 3, 5, 4, 1}));
  EXPECT_EQ(Order(d, "DUE"), (std::vector<long>{2, 4, 1, 5}));  // deleted record 3 left out
  d4tagSelectP(d, d4tag(d, "AMT"));
  ASSERT_EQ(d4go(d, 4), r4success);
  EXPECT_EQ(d4skip(d, -2), r4success);
  EXPECT_EQ(d4recNoLow(d), 3);
  EXPECT_EQ(d4skip(d, -5), r4bof);
  EXPECT_EQ(d4recNoLow(d), 2);
  // From a record its FOR condition leaves out, steps count from where it
  // would sort: record 3 (deleted, DUE 1999-12-31) sits after 2 (blank DUE).
  d4tagSelectP(d, d4tag(d, "DUE"));
  ASSERT_EQ(d4go(d, 3), r4success);
  EXPECT_EQ(d4skip(d, 1), r4success);
  EXPECT_EQ(d4recNoLow(d), 4);
  ASSERT_EQ(d4go(d, 3), r4success);
  EXPECT_EQ(d4skip(d, -1), r4success);
  EXPECT_EQ(d4recNoLow(d), 2);
  d4tagSelectP(d, nullptr);  // back to record order
  EXPECT_EQ(d4top(d), r4success);
  EXPECT_EQ(d4skip(d, 1), r4success);
  EXPECT_EQ(d4recNoLow(d), 2);
  d4close(d);
}

TEST_F(E4IndexTest, SeekResultsAndSeekNext) {
  Data4* d = OpenWithIndex(Make(kRows));
  d4tagSelectP(d, d4tag(d, "CLM_ALL"));
  struct Case {
    const char* key;
    int result;
    long recno;
  } cases[] = {
      {"C100", r4success, 2}, {"C100      B", r4success, 4}, {"C150", r4after, 3},
      {"C999", r4eof, 6},     {"C100      A", r4success, 2}, {"", r4success, 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(d4seek(d, c.key), c.result) << c.key;
    EXPECT_EQ(d4recNoLow(d), c.recno) << c.key;
  }
  ASSERT_EQ(d4seek(d, "C100"), r4success);
  std::vector<long> same = {d4recNoLow(d)};
  int rc;
  while ((rc = d4seekNext(d, "C100")) == r4success) same.push_back(d4recNoLow(d));
  EXPECT_EQ(same, (std::vector<long>{2, 5, 4}));
  EXPECT_EQ(rc, r4after);
  EXPECT_EQ(d4recNoLow(d), 3);

  d4tagSelectP(d, d4tag(d, "AMT"));
  EXPECT_EQ(d4seek(d, "100"), r4success);
  EXPECT_EQ(d4recNoLow(d), 4);
  EXPECT_EQ(d4seek(d, "-12.5"), r4success);
  EXPECT_EQ(d4recNoLow(d), 2);
  EXPECT_EQ(d4seek(d, "abc"), e4parm);
  code4errorCode(s_, 0);
  d4tagSelectP(d, d4tag(d, "DUE"));
  EXPECT_EQ(d4seek(d, "20240131"), r4success);
  EXPECT_EQ(d4recNoLow(d), 1);
  EXPECT_EQ(d4seekNext(d, "20240131"), r4success);
  EXPECT_EQ(d4recNoLow(d), 5);
  EXPECT_EQ(d4seekNext(d, "20240131"), r4eof);
  d4close(d);
}

TEST_F(E4IndexTest, WritesAreInEveryTagForTheNextSeek) {
  std::string path = Make(kRows);
  Data4* d = OpenWithIndex(path);
  d4tagSelectP(d, d4tag(d, "CLM_ALL"));
  // Append through the engine.
  ASSERT_EQ(d4appendBlank(d), r4success);
  f4assign(d4field(d, "CLAIM"), "C050");
  f4assign(d4field(d, "AMT"), "3.25");
  ASSERT_EQ(d4writeLow(d, 6, 0, 1), r4success);
  EXPECT_EQ(d4seek(d, "C050"), r4success);
  EXPECT_EQ(d4recNoLow(d), 6);
  // Change a key: the old one is gone, the new one found.
  ASSERT_EQ(d4go(d, 1), r4success);
  f4assign(d4field(d, "CLAIM"), "C001");
  ASSERT_EQ(d4writeLow(d, 1, 0, 1), r4success);
  EXPECT_EQ(d4seek(d, "C300"), r4eof);
  EXPECT_EQ(d4seek(d, "C001"), r4success);
  EXPECT_EQ(d4recNoLow(d), 1);
  // A record left changed is stored before the tag order is used.
  ASSERT_EQ(d4go(d, 2), r4success);
  f4assign(d4field(d, "CLAIM"), "C999");
  EXPECT_EQ(d4seek(d, "C999"), r4success);
  EXPECT_EQ(d4recNoLow(d), 2);
  // Deleted records keep their keys.
  d4delete(d);
  ASSERT_EQ(d4writeLow(d, 2, 0, 1), r4success);
  EXPECT_EQ(d4seek(d, "C999"), r4success);
  EXPECT_EQ(Order(d, "DUE"), (std::vector<long>{6, 4, 1, 5}));  // its FOR now leaves it out
  EXPECT_EQ(d4close(d), 0);

  // Reopened, the file says the same; then pack removes 2 and 3 and renumbers.
  d = OpenWithIndex(path);
  EXPECT_EQ(Order(d, "CLM_ALL"), (std::vector<long>{1, 6, 5, 4, 3, 2}));
  ASSERT_EQ(d4pack(d), r4success);
  EXPECT_EQ(d4recCount(d), 4);
  EXPECT_EQ(Order(d, "CLM_ALL"), (std::vector<long>{1, 4, 3, 2}));
  EXPECT_EQ(Order(d, "AMT"), (std::vector<long>{4, 3, 2, 1}));
  EXPECT_EQ(d4reindex(d), r4success);
  EXPECT_EQ(Order(d, "AMT"), (std::vector<long>{4, 3, 2, 1}));
  d4close(d);
}

// An index whose last tag lost its tree to a truncation opens; that tag's
// order is refused until d4reindex rebuilds every tag from the records.
TEST_F(E4IndexTest, ReindexRepairsATruncatedIndex) {
  std::string path = Make(kRows);
  Data4* d = OpenWithIndex(path);
  const std::vector<long> due = Order(d, "DUE"), claims = Order(d, "CLM_ALL");
  ASSERT_EQ(due.size(), 4u);
  d4close(d);
  const std::string mdx = xbase::ProductionIndexPath(path);
  std::string bytes;
  ASSERT_TRUE(ReadFileToString(mdx, &bytes).ok());
  ASSERT_TRUE(WriteStringToFile(mdx, bytes.substr(0, bytes.size() - 512)).ok());

  d = OpenWithIndex(path);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(Order(d, "CLM_ALL"), claims);  // the intact tags still serve
  d4tagSelectP(d, d4tag(d, "DUE"));
  EXPECT_EQ(d4top(d), e4index);
  EXPECT_NE(std::string(error4text(s_, e4index)).find("reindex"), std::string::npos);
  code4errorCode(s_, 0);
  EXPECT_EQ(d4seek(d, "20240131"), e4index);
  code4errorCode(s_, 0);
  EXPECT_EQ(d4reindex(d), 0);
  EXPECT_EQ(Order(d, "DUE"), due);
  EXPECT_EQ(Order(d, "CLM_ALL"), claims);
  d4close(d);
}

TEST_F(E4IndexTest, MissingTagsFilesAndBadIndexesFailClearly) {
  std::string path = Make(kRows);
  Index4* index = nullptr;
  Data4* d = OpenWithIndex(path, &index);
  EXPECT_EQ(i4tag(index, "BYNPI"), nullptr);
  EXPECT_EQ(code4errorCode(s_, 0), 0);  // a missing tag is an answer, not an error
  EXPECT_NE(i4tag(index, "clm_all"), nullptr);
  EXPECT_EQ(d4tag(d, "NOPE"), nullptr);
  EXPECT_EQ(code4errorCode(s_, 0), e4tagName);
  EXPECT_EQ(i4close(index), 0);
  EXPECT_EQ(i4open(d, dir_.Path("nothere.mdx").c_str()), nullptr);
  EXPECT_EQ(code4errorCode(s_, 0), e4open);
  d4close(d);

  // An index whose key the engine cannot evaluate is refused at open.
  std::string bytes;
  ASSERT_TRUE(ReadFileToString(xbase::ProductionIndexPath(path), &bytes).ok());
  size_t at = bytes.find("CLAIM+TYPE");
  ASSERT_NE(at, std::string::npos);
  bytes.replace(at, 10, "SOUNDEX(CL");
  ASSERT_TRUE(WriteStringToFile(xbase::ProductionIndexPath(path), bytes).ok());
  d = d4open(s_, path.c_str());
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(i4open(d, xbase::ProductionIndexPath(path).c_str()), nullptr);
  int code = code4errorCode(s_, 0);
  EXPECT_EQ(code, e4expr);
  EXPECT_NE(std::string(error4text(s_, code)).find("SOUNDEX"), std::string::npos);
  d4close(d);
}

}  // namespace
}  // namespace dbup
