#include "platform/env.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/temp_dir.h"

namespace dbup {
namespace {

using testing::TempDir;

std::string Read(const std::string& path) {
  std::string s;
  EXPECT_TRUE(ReadFileToString(path, &s).ok()) << path;
  return s;
}

TEST(EnvTest, FindsEntriesIgnoringCaseWhenExactNameIsAbsent) {
  TempDir dir;
  Env* env = Env::Current();
  ASSERT_TRUE(env->CreateDirectory(dir.Path("DATA")).ok());
  ASSERT_TRUE(WriteStringToFile(dir.Path("DATA/SUBMIT.DBF"), "upper").ok());

  EXPECT_TRUE(env->DirectoryExists(dir.Path("data")));
  EXPECT_TRUE(env->FileExists(dir.Path("data/submit.dbf")));
  EXPECT_EQ(Read(dir.Path("data/Submit.Dbf")), "upper");
  uint64_t size = 0;
  ASSERT_TRUE(env->GetFileSize(dir.Path("data/submit.dbf"), &size).ok());
  EXPECT_EQ(size, 5u);

  // Writing under another spelling replaces the existing file, as on Windows.
  ASSERT_TRUE(WriteStringToFile(dir.Path("data/submit.dbf"), "lower").ok());
  std::vector<std::string> names;
  ASSERT_TRUE(env->ListDirectory(dir.Path("DATA"), ListFilter::kAll, &names).ok());
  EXPECT_EQ(names, std::vector<std::string>{"SUBMIT.DBF"});
  EXPECT_EQ(Read(dir.Path("DATA/SUBMIT.DBF")), "lower");

#ifndef _WIN32
  // An exact match wins over a case-insensitive one (Windows has only one).
  std::ofstream(dir.Path("DATA/submit.dbf")) << "exact";
  EXPECT_EQ(Read(dir.Path("DATA/submit.dbf")), "exact");
  EXPECT_EQ(Read(dir.Path("DATA/SUBMIT.DBF")), "lower");
#endif

  EXPECT_FALSE(env->FileExists(dir.Path("data/missing.dbf")));
  EXPECT_FALSE(env->FileExists(dir.Path("data")));
  EXPECT_FALSE(env->DirectoryExists(dir.Path("data/SUBMIT.DBF")));
}

TEST(EnvTest, CopyOverwritesMoveRefusesExistingTarget) {
  TempDir dir;
  Env* env = Env::Current();
  ASSERT_TRUE(WriteStringToFile(dir.Path("a"), "new contents").ok());
  ASSERT_TRUE(WriteStringToFile(dir.Path("b"), "an older and longer text").ok());
  ASSERT_TRUE(env->CopyFile(dir.Path("a"), dir.Path("b")).ok());
  EXPECT_EQ(Read(dir.Path("b")), "new contents");

  EXPECT_FALSE(env->MoveFile(dir.Path("a"), dir.Path("b")).ok());
  EXPECT_EQ(Read(dir.Path("a")), "new contents");
  ASSERT_TRUE(env->MoveFile(dir.Path("a"), dir.Path("c")).ok());
  EXPECT_FALSE(env->FileExists(dir.Path("a")));
  EXPECT_EQ(Read(dir.Path("c")), "new contents");

  ASSERT_TRUE(env->TruncateFile(dir.Path("c"), 3).ok());
  EXPECT_EQ(Read(dir.Path("c")), "new");
  ASSERT_TRUE(env->DeleteFile(dir.Path("c")).ok());
  EXPECT_TRUE(env->DeleteFile(dir.Path("c")).IsNotFound());
  EXPECT_TRUE(env->CopyFile(dir.Path("c"), dir.Path("d")).IsNotFound());
  EXPECT_FALSE(env->FileExists(dir.Path("d")));
}

TEST(EnvTest, ListsDirectoriesOnlyOrAllEntries) {
  TempDir dir;
  Env* env = Env::Current();
  ASSERT_TRUE(env->CreateDirectory(dir.Path("arch2")).ok());
  ASSERT_TRUE(env->CreateDirectory(dir.Path("arch1")).ok());
  ASSERT_TRUE(WriteStringToFile(dir.Path("file.dbf"), "").ok());
  EXPECT_FALSE(env->CreateDirectory(dir.Path("no/such/parent")).ok());

  std::vector<std::string> names;
  ASSERT_TRUE(env->ListDirectory(dir.path(), ListFilter::kDirectoriesOnly, &names).ok());
  EXPECT_EQ(names, (std::vector<std::string>{"arch1", "arch2"}));
  ASSERT_TRUE(env->ListDirectory(dir.path(), ListFilter::kAll, &names).ok());
  EXPECT_EQ(names, (std::vector<std::string>{"arch1", "arch2", "file.dbf"}));
  EXPECT_FALSE(env->ListDirectory(dir.Path("none"), ListFilter::kAll, &names).ok());
}

TEST(EnvTest, FileSeekReadWriteAndPositionalAccess) {
  TempDir dir;
  std::unique_ptr<File> f;
  ASSERT_TRUE(Env::Current()->OpenFile(dir.Path("f"), OpenMode::kCreate, &f).ok());
  ASSERT_TRUE(f->Write("hello world", 11).ok());
  f->Seek(6);
  char buf[16];
  size_t got = 0;
  ASSERT_TRUE(f->Read(sizeof buf, buf, &got).ok());
  EXPECT_EQ(std::string(buf, got), "world");
  ASSERT_TRUE(f->WriteAt(0, "HELLO", 5).ok());
  ASSERT_TRUE(f->Truncate(8).ok());
  uint64_t size = 0;
  ASSERT_TRUE(f->Size(&size).ok());
  EXPECT_EQ(size, 8u);
  ASSERT_TRUE(f->Close().ok());
  EXPECT_EQ(Read(dir.Path("f")), "HELLO wo");
  EXPECT_TRUE(Env::Current()->OpenFile(dir.Path("none"), OpenMode::kReadWrite, &f).IsNotFound());
}

// A test can replace the Env to fail one chosen operation everywhere.
class FailingCopyEnv : public EnvWrapper {
 public:
  FailingCopyEnv() : EnvWrapper(Env::Default()) {}
  Status CopyFile(const std::string&, const std::string&) override {
    ++copies;
    return Status::IOError("injected");
  }
  int copies = 0;
};

TEST(EnvTest, WrapperReplacesTheCurrentEnv) {
  TempDir dir;
  ASSERT_TRUE(WriteStringToFile(dir.Path("a"), "x").ok());
  FailingCopyEnv failing;
  {
    ScopedEnv scoped(&failing);
    EXPECT_EQ(Env::Current(), &failing);
    EXPECT_TRUE(Env::Current()->CopyFile(dir.Path("a"), dir.Path("b")).IsIOError());
    EXPECT_TRUE(Env::Current()->FileExists(dir.Path("a")));
  }
  EXPECT_EQ(Env::Current(), Env::Default());
  EXPECT_EQ(failing.copies, 1);
}

}  // namespace
}  // namespace dbup
