#include "engine/guards.h"

#include <string>

#include "engine_fixture.h"

namespace dbup::engine {
namespace {

TEST_F(EngineTest, TableGuardStoresClosesAndClearsTheErrorOnEveryPath) {
  std::string path = MakeTable("T.DBF", {"a"});
  {
    TableGuard guard(s_);
    ASSERT_TRUE(guard.Open(path));
    ASSERT_EQ(d4top(guard.table()), 0);
    f4assign(d4field(guard.table(), "NAME"), "guarded");
    EXPECT_EQ(d4field(guard.table(), "NOSUCH"), nullptr);  // leaves an error pending
  }
  EXPECT_EQ(code4errorCode(s_, 0), 0);
  EXPECT_EQ(NameAt(path, 1), "guarded");

  TableGuard missing(s_);
  EXPECT_FALSE(missing.Open(dir_.Path("MISSING.DBF")));
  EXPECT_FALSE(missing.OpenIndex(dir_.Path("MISSING.MDX")));
  missing.Close();
  EXPECT_EQ(code4errorCode(s_, 0), 0);
}

TEST_F(EngineTest, ErrorCodeResetClearsAtScopeEnd) {
  {
    ErrorCodeReset reset(s_);
    EXPECT_EQ(d4open(s_, dir_.Path("MISSING.DBF").c_str()), nullptr);
  }
  EXPECT_EQ(code4errorCode(s_, 0), 0);
}

}  // namespace
}  // namespace dbup::engine
