// The precondition test on real tables: every test kind, optional tables,
// unreadable tables, and no engine error left behind.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "engine/job_context.h"
#include "platform/env.h"
#include "platform/path.h"
#include "support/temp_dir.h"
#include "update/catalogue.h"
#include "update/step_test.h"
#include "xbase/table.h"

namespace dbup::update {
namespace {

class StepNeededTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ctx_.dirs.data = tmp_.path();
    ASSERT_TRUE(session_.ok());
  }
  void MakeTable(const std::string& name, const std::vector<xbase::FieldSpec>& fields) {
    std::unique_ptr<xbase::Table> t;
    ASSERT_TRUE(xbase::Table::Create(tmp_.Path(name + ".dbf"), fields, {}, &t).ok());
    ASSERT_TRUE(t->Close().ok());
  }
  bool Needed(const StepRow& row) {
    const bool needed = StepNeeded(ctx_, row, ctx_.dirs.data);
    EXPECT_EQ(code4errorCode(ctx_.session, 0), 0) << "an engine error was left pending";
    return needed;
  }
  StepRow Row(TestKind test, const char* name, int value, bool optional = false) {
    StepRow row = *FindStep(92);
    row.tables = {"t"};
    row.test = test;
    row.test_name = name;
    row.test_value = value;
    row.optional = optional;
    return row;
  }

  testing::TempDir tmp_;
  JobContext ctx_;
  SessionScope session_{ctx_};
};

TEST_F(StepNeededTest, EveryFieldTestKind) {
  MakeTable("t", {{"NAME", 'C', 35, 0}, {"UNITS", 'N', 7, 1}, {"COUNT", 'N', 5, 0}});
  struct Case {
    TestKind test;
    const char* field;
    int value;
    bool needed;
  };
  const Case kCases[] = {
      {TestKind::kFieldMissing, "NAME", 0, false},   {TestKind::kFieldMissing, "EMAIL", 0, true},
      {TestKind::kFieldPresent, "NAME", 0, true},    {TestKind::kFieldPresent, "EMAIL", 0, false},
      {TestKind::kWidthBelow, "NAME", 35, false},    {TestKind::kWidthBelow, "NAME", 36, true},
      {TestKind::kWidthBelow, "EMAIL", 10, true},    {TestKind::kWidthAtMost, "NAME", 35, true},
      {TestKind::kWidthAtMost, "NAME", 34, false},   {TestKind::kDecimalsBelow, "UNITS", 2, true},
      {TestKind::kDecimalsBelow, "UNITS", 1, false}, {TestKind::kDecimalsBelow, "EMAIL", 1, true},
      {TestKind::kNoDecimals, "COUNT", 0, true},     {TestKind::kNoDecimals, "UNITS", 0, false},
      {TestKind::kNoDecimals, "EMAIL", 0, false},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(Needed(Row(c.test, c.field, c.value)), c.needed)
        << static_cast<int>(c.test) << " " << c.field << " " << c.value;
  }
}

TEST_F(StepNeededTest, MissingOrUnreadableTablesAreNeededUnlessOptional) {
  EXPECT_TRUE(Needed(Row(TestKind::kFieldMissing, "NAME", 0)));
  EXPECT_FALSE(Needed(Row(TestKind::kFieldMissing, "NAME", 0, /*optional=*/true)));
  ASSERT_TRUE(WriteStringToFile(tmp_.Path("t.dbf"), "not a table").ok());
  EXPECT_TRUE(Needed(Row(TestKind::kFieldMissing, "NAME", 0, true)));
  EXPECT_TRUE(Needed(Row(TestKind::kFieldPresent, "NAME", 0)));
}

TEST_F(StepNeededTest, FindsUpperCaseFilesCopiedFromWindows) {
  std::unique_ptr<xbase::Table> t;
  ASSERT_TRUE(xbase::Table::Create(tmp_.Path("T.DBF"), {{"NAME", 'C', 10, 0}}, {}, &t).ok());
  ASSERT_TRUE(t->Close().ok());
  EXPECT_FALSE(Needed(Row(TestKind::kFieldMissing, "NAME", 0, true)));
}

TEST(ArchiveListTest, ListsFoldersHoldingTheTableHub92First) {
  testing::TempDir tmp;
  Env* env = Env::Current();
  const char sep = kPathSeparator;
  for (std::string d : {"archub92", "arch1500"}) {
    ASSERT_TRUE(env->CreateDirectory(tmp.Path(d)).ok());
    for (std::string a : {"A1", "A2"}) {
      ASSERT_TRUE(env->CreateDirectory(tmp.Path(d + sep + a)).ok());
    }
  }
  for (std::string f :
       {"archub92/A2/bcclaim.dbf", "arch1500/A1/bcclaim.dbf", "archub92/A1/bsclaim.dbf"}) {
    std::string path = f;
    for (char& c : path) {
      if (c == '/') c = sep;
    }
    ASSERT_TRUE(WriteStringToFile(tmp.Path(path), "x").ok());
  }
  const std::vector<std::string> expected = {std::string("archub92") + sep + "A2" + sep,
                                             std::string("arch1500") + sep + "A1" + sep};
  EXPECT_EQ(ListArchiveDirectories(tmp.path(), "bcclaim.dbf"), expected);
  EXPECT_TRUE(ListArchiveDirectories(tmp.path(), "bslines.dbf").empty());
}

}  // namespace
}  // namespace dbup::update
