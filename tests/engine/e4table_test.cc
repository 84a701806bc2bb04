#include <string>

#include "engine/e4api.h"
#include "engine_fixture.h"

namespace dbup::engine {
namespace {

TEST_F(EngineTest, FailedOpenLeavesAnErrorPendingUntilCleared) {
  std::string good = MakeTable("GOOD.DBF", {"a"});
  EXPECT_EQ(d4open(s_, dir_.Path("MISSING.DBF").c_str()), nullptr);
  EXPECT_EQ(d4open(s_, good.c_str()), nullptr);  // pending error blocks further opens
  int pending = code4errorCode(s_, 0);
  EXPECT_EQ(pending, e4open);
  EXPECT_NE(std::string(error4text(s_, pending)).find("MISSING.DBF"), std::string::npos);
  Data4* d = d4open(s_, good.c_str());
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(code4errorCode(s_, 0), 0);
  d4close(d);
}

TEST_F(EngineTest, ASecondHandleOnAnOpenTableIsRefused) {
  std::string path = MakeTable("T.DBF", {"a"});
  Data4* first = d4open(s_, path.c_str());
  ASSERT_NE(first, nullptr);
  std::string other_spelling = dir_.Path("t.dbf");
  EXPECT_EQ(d4open(s_, other_spelling.c_str()), nullptr);
  EXPECT_EQ(code4errorCode(s_, 0), e4open);
  ASSERT_EQ(d4close(first), 0);
  Data4* again = d4open(s_, path.c_str());
  EXPECT_NE(again, nullptr);
}

TEST_F(EngineTest, DamagedOrLevel7TablesGiveNullHandles) {
  std::string path = MakeTable("BAD.DBF", {"a"});
  std::string bytes;
  ASSERT_TRUE(ReadFileToString(path, &bytes).ok());
  bytes[0] = static_cast<char>(0x8C);
  ASSERT_TRUE(WriteStringToFile(path, bytes).ok());
  EXPECT_EQ(d4open(s_, path.c_str()), nullptr);
  int code = code4errorCode(s_, 0);
  EXPECT_EQ(code, e4data);
  EXPECT_NE(std::string(error4text(s_, code)).find("dBASE 7"), std::string::npos);
}

TEST_F(EngineTest, WalksRecordsInRecordNumberOrder) {
  Data4* empty = d4open(s_, MakeTable("EMPTY.DBF", {}).c_str());
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(d4top(empty), r4eof);
  EXPECT_EQ(d4skip(empty, 1), r4eof);
  EXPECT_EQ(d4recCount(empty), 0);

  Data4* d = d4open(s_, MakeTable("T.DBF", {"a", "*b", "c"}).c_str());
  ASSERT_NE(d, nullptr);
  Field4* name = d4field(d, "name");  // names match ignoring case
  ASSERT_NE(name, nullptr);
  std::string seen;
  for (int rc = d4top(d); rc == r4success; rc = d4skip(d, 1)) {
    seen += std::to_string(d4recNoLow(d)) + (d4deleted(d) ? "*" : "") + f4str(name)[0] + " ";
  }
  EXPECT_EQ(seen, "1a 2*b 3c ");
  EXPECT_EQ(d4recNoLow(d), 4);  // end of file
  EXPECT_EQ(d4skip(d, 1), r4eof);
  EXPECT_EQ(d4go(d, 2), r4success);
  EXPECT_EQ(f4str(name)[0], 'b');
  EXPECT_EQ(d4skip(d, -5), r4bof);
  EXPECT_EQ(d4recNoLow(d), 1);
  EXPECT_EQ(d4go(d, 99), r4eof);
}

TEST_F(EngineTest, ChangedRecordIsStoredOnMoveUnlockCloseAndSessionEnd) {
  std::string path = MakeTable("T.DBF", {"a", "b", "c", "d"});
  Data4* d = d4open(s_, path.c_str());
  ASSERT_NE(d, nullptr);
  Field4* name = d4field(d, "NAME");
  ASSERT_EQ(d4go(d, 1), 0);
  f4assign(name, "moved");
  ASSERT_EQ(d4skip(d, 1), 0);
  ASSERT_EQ(d4lockInternal(d, 2, 1, 1), 0);
  f4assign(name, "unlocked");
  ASSERT_EQ(d4unlock(d), 0);
  EXPECT_EQ(NameAt(path, 2), "unlocked");  // visible to another reader at once
  ASSERT_EQ(d4go(d, 3), 0);
  f4assign(name, "closed");
  ASSERT_EQ(d4close(d), 0);

  d = d4open(s_, path.c_str());
  name = d4field(d, "NAME");
  ASSERT_EQ(d4go(d, 4), 0);
  f4assign(name, "undone");
  code4initUndo(s_);  // closes the table
  s_ = code4initP();
  EXPECT_EQ(NameAt(path, 1), "moved");
  EXPECT_EQ(NameAt(path, 3), "closed");
  EXPECT_EQ(NameAt(path, 4), "undone");
}

TEST_F(EngineTest, AppendWriteDeleteAndPack) {
  std::string path = MakeTable("T.DBF", {"a", "b"});
  Data4* d = d4open(s_, path.c_str());
  ASSERT_NE(d, nullptr);
  Field4* name = d4field(d, "NAME");
  Field4* note = d4field(d, "NOTE");
  ASSERT_EQ(d4appendBlank(d), 0);
  EXPECT_EQ(d4recNoLow(d), 3);
  EXPECT_EQ(d4recCount(d), 3);
  f4assign(name, "c");
  ASSERT_EQ(f4memoAssign(note, "memo of c"), 0);
  EXPECT_EQ(d4writeLow(d, 2, 0, 1), e4parm);  // not the current record: refused
  code4errorCode(s_, 0);
  ASSERT_EQ(d4writeLow(d, d4recNoLow(d), 0, 1), 0);
  ASSERT_EQ(d4go(d, 1), 0);
  d4delete(d);
  ASSERT_EQ(d4pack(d), 0);
  EXPECT_EQ(d4recCount(d), 2);
  ASSERT_EQ(d4top(d), 0);
  EXPECT_STREQ(f4str(name), "b         ");
  ASSERT_EQ(d4skip(d, 1), 0);
  EXPECT_STREQ(f4memoStr(note), "memo of c");
  EXPECT_EQ(d4skip(d, 1), r4eof);
  d4close(d);
  EXPECT_EQ(NameAt(path, 1), "b");
  EXPECT_EQ(NameAt(path, 2), "c");
}

}  // namespace
}  // namespace dbup::engine
