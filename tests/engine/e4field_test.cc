#include <string>

#include "engine/e4api.h"
#include "engine_fixture.h"

namespace dbup::engine {
namespace {

TEST_F(EngineTest, MissingFieldLeavesAnErrorPendingUntilCleared) {
  Data4* d = d4open(s_, MakeTable("T.DBF", {"a"}).c_str());
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d4field(d, "NOSUCH"), nullptr);
  EXPECT_EQ(d4field(d, "NAME"), nullptr);  // blocked while pending
  EXPECT_EQ(code4errorCode(s_, 0), e4fieldName);
  EXPECT_NE(d4field(d, "NAME"), nullptr);
}

TEST_F(EngineTest, DescribesFields) {
  Data4* d = d4open(s_, MakeTable("T.DBF", {}).c_str());
  ASSERT_NE(d, nullptr);
  ASSERT_EQ(d4numFields(d), 3);
  Field4* f = d4fieldJ(d, 2);
  EXPECT_STREQ(f4name(f), "AMOUNT");
  EXPECT_EQ(f4type(f), 'N');
  EXPECT_EQ(f4len(f), 8);
  EXPECT_EQ(f4decimals(f), 2);
  EXPECT_EQ(f4type(d4fieldJ(d, 3)), 'M');
  EXPECT_EQ(d4fieldJ(d, 4), nullptr);
  code4errorCode(s_, 0);
}

TEST_F(EngineTest, NumbersReadAndAssigned) {
  Data4* d = d4open(s_, MakeTable("T.DBF", {"a"}).c_str());
  ASSERT_NE(d, nullptr);
  Field4* amount = d4field(d, "AMOUNT");
  ASSERT_EQ(d4top(d), 0);
  double v = -1;
  EXPECT_EQ(f4double2(amount, &v), 0);
  EXPECT_EQ(v, 0.0);  // blank
  f4assignDouble(amount, 2.675);
  EXPECT_STREQ(f4str(amount), "    2.68");
  EXPECT_EQ(f4double2(amount, &v), 0);
  EXPECT_EQ(v, 2.68);
  f4assignInt(amount, -42);
  EXPECT_STREQ(f4str(amount), "  -42.00");
  EXPECT_EQ(f4int(amount), -42);
  f4assign(amount, "123456.789");
  EXPECT_STREQ(f4str(amount), "********");
  EXPECT_EQ(code4errorCode(s_, 0), 0);  // an overflow is no engine error
}

// The common field copy of an update step: old records into a new table of
// another structure, by field name, memos as memo text.
TEST_F(EngineTest, CopiesRecordsIntoANewStructureByFieldName) {
  std::string old_path = MakeTable("OLD.DBF", {"first", "*gone", "third"});
  std::string new_path = dir_.Path("NEW.DBF");
  {
    std::unique_ptr<xbase::Table> t;
    ASSERT_TRUE(xbase::Table::Create(new_path,
                                     {{"EXTRA", 'C', 4, 0},
                                      {"NAME", 'C', 3, 0},
                                      {"AMOUNT", 'N', 10, 3},
                                      {"NOTE", 'M', 10, 0}},
                                     {}, &t)
                    .ok());
  }
  Data4* from = d4open(s_, old_path.c_str());
  Data4* to = d4open(s_, new_path.c_str());
  ASSERT_NE(from, nullptr);
  ASSERT_NE(to, nullptr);
  ASSERT_EQ(d4go(from, 1), 0);
  f4assignDouble(d4field(from, "AMOUNT"), 12.5);
  ASSERT_EQ(d4writeLow(from, 1, 0, 1), 0);

  struct Pair {
    Field4* from;
    Field4* to;
    int type;
  } map[4];
  int n = 0;
  for (short j = 1; j <= d4numFields(from); ++j) {
    Field4* f = d4fieldJ(from, j);
    Field4* t = d4field(to, f4name(f));
    if (t == nullptr) {
      code4errorCode(s_, 0);
      continue;
    }
    map[n++] = {f, t, f4type(f)};
  }
  ASSERT_EQ(n, 3);
  for (int rc = d4top(from); rc == 0; rc = d4skip(from, 1)) {
    if (d4deleted(from)) continue;
    ASSERT_EQ(d4appendBlank(to), 0);
    for (int i = 0; i < n; ++i) {
      if (map[i].type == 'M') {
        ASSERT_EQ(f4memoAssign(map[i].to, f4memoStr(map[i].from)), 0);
      } else {
        f4assignField(map[i].to, map[i].from);
      }
    }
    ASSERT_EQ(d4writeLow(to, d4recNoLow(to), 0, 1), 0);
  }
  EXPECT_EQ(code4errorCode(s_, 0), 0);
  ASSERT_EQ(d4recCount(to), 2);
  ASSERT_EQ(d4top(to), 0);
  EXPECT_STREQ(f4str(d4field(to, "EXTRA")), "    ");
  EXPECT_STREQ(f4str(d4field(to, "NAME")), "fir");
  EXPECT_STREQ(f4str(d4field(to, "AMOUNT")), "    12.500");
  EXPECT_STREQ(f4memoStr(d4field(to, "NOTE")), "memo of first");
  ASSERT_EQ(d4skip(to, 1), 0);
  EXPECT_STREQ(f4str(d4field(to, "NAME")), "thi");
  EXPECT_STREQ(f4str(d4field(to, "AMOUNT")), "          ");
  EXPECT_STREQ(f4memoStr(d4field(to, "NOTE")), "memo of third");
}

TEST_F(EngineTest, DamagedMemoReadsAsEmptyWithAnError) {
  std::string path = MakeTable("T.DBF", {"a"});
  std::string dbt;
  ASSERT_TRUE(ReadFileToString(dir_.Path("T.dbt"), &dbt).ok());
  dbt.resize(516);
  ASSERT_TRUE(WriteStringToFile(dir_.Path("T.dbt"), dbt).ok());
  Data4* d = d4open(s_, path.c_str());
  ASSERT_NE(d, nullptr);
  ASSERT_EQ(d4top(d), 0);
  EXPECT_STREQ(f4memoStr(d4field(d, "NOTE")), "");
  EXPECT_EQ(code4errorCode(s_, 0), e4memo);
}

}  // namespace
}  // namespace dbup::engine
