// The file side of a table replacement: the backup rules with the folder
// "original", copies that overwrite and stop at the first failure, and the
// rollback's choice of source.
#include "update/table_files.h"

#include <gtest/gtest.h>

#include "platform/env.h"
#include "platform/path.h"
#include "support/temp_dir.h"

namespace dbup::update {
namespace {

class TableFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* d : {"data", "work", "backup", "clone"}) {
      ASSERT_TRUE(Env::Current()->CreateDirectory(tmp_.Path(d)).ok());
    }
  }
  std::string Dir(const char* d) const { return tmp_.Path(d) + kPathSeparator; }
  void Put(const std::string& path, const std::string& text) {
    ASSERT_TRUE(WriteStringToFile(path, text).ok()) << path;
  }
  std::string Get(const std::string& path) {
    std::string text;
    if (!ReadFileToString(path, &text).ok()) return "<missing>";
    return text;
  }
  void PutTable(const std::string& dir, const std::string& tag, bool memo = false) {
    Put(dir + "submit.dbf", tag + " dbf");
    Put(dir + "submit.mdx", tag + " mdx");
    if (memo) Put(dir + "submit.dbt", tag + " dbt");
  }
  bool Exists(const std::string& path) { return Env::Current()->FileExists(path); }

  testing::TempDir tmp_;
  TableFiles two_{"submit", Extensions(FileSet::kDbfMdx), false};
  TableFiles three_{"submit", Extensions(FileSet::kDbfDbtMdx), false};
  TableFiles optional_memo_{"submit", Extensions(FileSet::kDbfOptionalDbtMdx), true};
};

TEST_F(TableFilesTest, FirstBackupOfARunClearsAStaleOriginalAndDeletes) {
  const std::string backup = Dir("backup");
  PutTable(backup, "previous run");
  ASSERT_TRUE(Env::Current()->CreateDirectory(backup + "original").ok());
  PutTable(backup + "original" + kPathSeparator, "stale");
  BackedUpTables backed_up;
  EXPECT_TRUE(DeleteTableFiles(two_, backup, true, &backed_up));
  EXPECT_FALSE(Exists(backup + "submit.dbf"));
  EXPECT_FALSE(Exists(backup + "original" + kPathSeparator + "submit.dbf"));
  EXPECT_FALSE(Exists(backup + "original" + kPathSeparator + "submit.mdx"));
  EXPECT_TRUE(backed_up.Contains(backup + "SUBMIT"));
  EXPECT_TRUE(backed_up.Contains(backup + "submit"));  // keys ignore case
}

TEST_F(TableFilesTest, SecondBackupOfARunKeepsTheFirstInOriginal) {
  const std::string backup = Dir("backup");
  const std::string original = backup + "original" + kPathSeparator;
  BackedUpTables backed_up;
  ASSERT_TRUE(DeleteTableFiles(two_, backup, true, &backed_up));
  PutTable(backup, "before the run");
  EXPECT_TRUE(DeleteTableFiles(two_, backup, true, &backed_up));
  EXPECT_EQ(Get(original + "submit.dbf"), "before the run dbf");
  EXPECT_EQ(Get(original + "submit.mdx"), "before the run mdx");
  EXPECT_FALSE(Exists(backup + "submit.dbf"));
  // A third backup leaves original alone and only clears the backup folder.
  PutTable(backup, "after the first step");
  EXPECT_TRUE(DeleteTableFiles(two_, backup, true, &backed_up));
  EXPECT_EQ(Get(original + "submit.dbf"), "before the run dbf");
  EXPECT_FALSE(Exists(backup + "submit.dbf"));
}

// The run's first copy of a table is the only one from before the run: when
// it cannot be moved into original it must not be deleted either.
TEST_F(TableFilesTest, AFailedMoveKeepsTheRunsFirstCopyAndFails) {
  class NoMoveEnv : public EnvWrapper {
   public:
    NoMoveEnv() : EnvWrapper(Env::Default()) {}
    Status MoveFile(const std::string&, const std::string&) override {
      return Status::IOError("sharing violation");
    }
  } no_move;
  const std::string backup = Dir("backup");
  BackedUpTables backed_up;
  ASSERT_TRUE(DeleteTableFiles(two_, backup, true, &backed_up));
  PutTable(backup, "before the run");
  ScopedEnv scoped(&no_move);
  EXPECT_FALSE(DeleteTableFiles(two_, backup, true, &backed_up));
  EXPECT_EQ(Get(backup + "submit.dbf"), "before the run dbf");
}

// A stale copy that stays in original would be restored by a rollback of
// this run in place of the table as it was before the run.
TEST_F(TableFilesTest, AStaleOriginalThatCannotBeRemovedFails) {
  class LockedOriginal : public EnvWrapper {
   public:
    LockedOriginal() : EnvWrapper(Env::Default()) {}
    Status DeleteFile(const std::string& path) override {
      if (path.find(kOriginalFolder) != std::string::npos) return Status::IOError("locked");
      return target()->DeleteFile(path);
    }
  } locked;
  const std::string backup = Dir("backup");
  ASSERT_TRUE(Env::Current()->CreateDirectory(backup + "original").ok());
  PutTable(backup + "original" + kPathSeparator, "stale");
  PutTable(backup, "previous run");
  BackedUpTables backed_up;
  ScopedEnv scoped(&locked);
  EXPECT_FALSE(DeleteTableFiles(two_, backup, true, &backed_up));
  EXPECT_EQ(Get(backup + "submit.dbf"), "previous run dbf");
}

TEST_F(TableFilesTest, DeleteFailsWhenAFileStays) {
  class LockedEnv : public EnvWrapper {
   public:
    LockedEnv() : EnvWrapper(Env::Default()) {}
    Status DeleteFile(const std::string& path) override {
      if (path.size() >= 4 && path.substr(path.size() - 4) == ".mdx") {
        return Status::IOError("locked");
      }
      return target()->DeleteFile(path);
    }
  } locked;
  PutTable(Dir("data"), "live");
  ScopedEnv scoped(&locked);
  EXPECT_FALSE(DeleteTableFiles(two_, Dir("data"), false, nullptr));
  EXPECT_FALSE(Exists(Dir("data") + "submit.dbf"));
  EXPECT_TRUE(Exists(Dir("data") + "submit.mdx"));
}

TEST_F(TableFilesTest, DeletingNothingSucceedsAndTrailingSeparatorIsOptional) {
  EXPECT_TRUE(DeleteTableFiles(three_, tmp_.Path("work"), false, nullptr));
  PutTable(Dir("work"), "left over", true);
  EXPECT_TRUE(DeleteTableFiles(three_, tmp_.Path("work"), false, nullptr));
  EXPECT_FALSE(Exists(Dir("work") + "submit.dbt"));
}

TEST_F(TableFilesTest, CopyOverwritesAndStopsAtTheFirstMissingFile) {
  PutTable(Dir("clone"), "clone");
  PutTable(Dir("work"), "old work");
  EXPECT_TRUE(CopyTableFiles(two_, Dir("clone"), Dir("work")));
  EXPECT_EQ(Get(Dir("work") + "submit.dbf"), "clone dbf");
  EXPECT_EQ(Get(Dir("work") + "submit.mdx"), "clone mdx");

  // A three-file table without its memo: the copy fails at the .dbt and the
  // .mdx after it is not copied.
  PutTable(Dir("data"), "live");
  EXPECT_FALSE(CopyTableFiles(three_, Dir("data"), Dir("backup")));
  EXPECT_TRUE(Exists(Dir("backup") + "submit.dbf"));
  EXPECT_FALSE(Exists(Dir("backup") + "submit.mdx"));
  // With an optional memo the same table copies.
  EXPECT_TRUE(CopyTableFiles(optional_memo_, Dir("data"), Dir("backup")));
  EXPECT_TRUE(Exists(Dir("backup") + "submit.mdx"));
}

TEST_F(TableFilesTest, RestorePrefersTheRunsFirstCopy) {
  const std::string backup = Dir("backup");
  PutTable(backup, "latest");
  PutTable(Dir("data"), "half replaced");
  EXPECT_TRUE(RestoreTableFiles(two_, backup, Dir("data")));
  EXPECT_EQ(Get(Dir("data") + "submit.dbf"), "latest dbf");

  ASSERT_TRUE(Env::Current()->CreateDirectory(backup + "original").ok());
  PutTable(backup + "original" + kPathSeparator, "pre-run");
  EXPECT_TRUE(RestoreTableFiles(two_, backup, Dir("data")));
  EXPECT_EQ(Get(Dir("data") + "submit.dbf"), "pre-run dbf");
  EXPECT_EQ(Get(Dir("data") + "submit.mdx"), "pre-run mdx");

  // A missing backup file is simply not restored; the rest still is.
  EXPECT_FALSE(RestoreTableFiles(three_, backup, Dir("data")));
  EXPECT_EQ(Get(Dir("data") + "submit.mdx"), "pre-run mdx");
}

TEST_F(TableFilesTest, EnsureDirectoryCreatesParents) {
  const std::string deep = tmp_.Path("a") + kPathSeparator + "b" + kPathSeparator + "c";
  EXPECT_TRUE(EnsureDirectory(deep + kPathSeparator));
  EXPECT_TRUE(Env::Current()->DirectoryExists(deep));
  EXPECT_TRUE(EnsureDirectory(deep));
}

}  // namespace
}  // namespace dbup::update
