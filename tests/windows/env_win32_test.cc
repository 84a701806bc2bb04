// What the Win32 Env does that the shared Env tests cannot show: attribute
// filters, short names and the read-only attribute of copies.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/env.h"
#include "support/temp_dir.h"

namespace dbup {
namespace {

using testing::TempDir;

void SetAttributes(const std::string& path, DWORD attrs) {
  ASSERT_TRUE(::SetFileAttributesA(path.c_str(), attrs)) << path;
}

TEST(EnvWin32Test, DirectorySearchLeavesOutFilesAndHiddenOrSystemFolders) {
  TempDir dir;
  Env* env = Env::Current();
  for (const char* name : {"arch1", "hidden", "system", "ARCH0"}) {
    ASSERT_TRUE(env->CreateDirectory(dir.Path(name)).ok()) << name;
  }
  ASSERT_TRUE(WriteStringToFile(dir.Path("claims.dbf"), "x").ok());
  ASSERT_TRUE(WriteStringToFile(dir.Path("secret.dbf"), "x").ok());
  SetAttributes(dir.Path("hidden"), FILE_ATTRIBUTE_HIDDEN);
  SetAttributes(dir.Path("system"), FILE_ATTRIBUTE_SYSTEM);
  SetAttributes(dir.Path("secret.dbf"), FILE_ATTRIBUTE_HIDDEN);

  std::vector<std::string> names;
  ASSERT_TRUE(env->ListDirectory(dir.path(), ListFilter::kDirectoriesOnly, &names).ok());
  EXPECT_EQ(names, (std::vector<std::string>{"ARCH0", "arch1"}));
  // Any attribute: hidden and system entries, folders too.
  ASSERT_TRUE(env->ListDirectory(dir.path(), ListFilter::kAll, &names).ok());
  EXPECT_EQ(names, (std::vector<std::string>{"ARCH0", "arch1", "claims.dbf", "hidden", "secret.dbf",
                                             "system"}));
  EXPECT_TRUE(env->ListDirectory(dir.Path("absent"), ListFilter::kAll, &names).IsNotFound());
  EXPECT_TRUE(names.empty());
}

TEST(EnvWin32Test, ShortPathOfAFolderWithBlanksReachesTheSameFiles) {
  TempDir dir;
  Env* env = Env::Current();
  const std::string folder = dir.Path("claim archive of 2019");
  ASSERT_TRUE(env->CreateDirectory(folder).ok());
  ASSERT_TRUE(WriteStringToFile(folder + "\\bcclaim.dbf", "records").ok());

  const std::string short_path = env->ShortPath(folder + "\\bcclaim.dbf");
  EXPECT_EQ(short_path.find(' '), std::string::npos) << short_path;
  EXPECT_TRUE(env->FileExists(short_path)) << short_path;
  std::string contents;
  ASSERT_TRUE(ReadFileToString(short_path, &contents).ok());
  EXPECT_EQ(contents, "records");

  // Nothing to shorten: the path comes back as given.
  const std::string absent = dir.Path("no such folder\\x.dbf");
  EXPECT_EQ(env->ShortPath(absent), absent);
}

TEST(EnvWin32Test, CopiesAreWritableEvenFromReadOnlySources) {
  TempDir dir;
  Env* env = Env::Current();
  ASSERT_TRUE(WriteStringToFile(dir.Path("clone.dbf"), "empty clone").ok());
  SetAttributes(dir.Path("clone.dbf"), FILE_ATTRIBUTE_READONLY);

  ASSERT_TRUE(env->CopyFile(dir.Path("clone.dbf"), dir.Path("work.dbf")).ok());
  std::unique_ptr<File> f;
  ASSERT_TRUE(env->OpenFile(dir.Path("work.dbf"), OpenMode::kReadWrite, &f).ok());
  ASSERT_TRUE(f->WriteAt(0, "filled", 6).ok());
  ASSERT_TRUE(f->Close().ok());
  // A second copy overwrites the first.
  ASSERT_TRUE(env->CopyFile(dir.Path("clone.dbf"), dir.Path("work.dbf")).ok());
  std::string contents;
  ASSERT_TRUE(ReadFileToString(dir.Path("work.dbf"), &contents).ok());
  EXPECT_EQ(contents, "empty clone");
  EXPECT_TRUE(::GetFileAttributesA(dir.Path("clone.dbf").c_str()) & FILE_ATTRIBUTE_READONLY);
  SetAttributes(dir.Path("clone.dbf"), FILE_ATTRIBUTE_NORMAL);
}

TEST(EnvWin32Test, FailuresAreStatusesWithTheirCause) {
  TempDir dir;
  Env* env = Env::Current();
  ASSERT_TRUE(env->CreateDirectory(dir.Path("data")).ok());
  std::unique_ptr<File> f;
  EXPECT_FALSE(env->OpenFile(dir.Path("data"), OpenMode::kReadOnly, &f).ok());
  EXPECT_TRUE(env->OpenFile(dir.Path("none\\x.dbf"), OpenMode::kCreate, &f).IsNotFound());
  EXPECT_TRUE(env->CreateDirectory(dir.Path("data")).IsIOError());
  EXPECT_FALSE(env->DirectoryExists(""));
  EXPECT_FALSE(env->FileExists(""));

  ASSERT_TRUE(WriteStringToFile(dir.Path("a"), "a").ok());
  ASSERT_TRUE(WriteStringToFile(dir.Path("b"), "b").ok());
  Status s = env->MoveFile(dir.Path("a"), dir.Path("B"));
  EXPECT_TRUE(s.IsIOError()) << s.ToString();
  uint64_t size = 0;
  EXPECT_TRUE(env->GetFileSize(dir.Path("gone"), &size).IsNotFound());
  Status missing = env->DeleteFile(dir.Path("gone"));
  EXPECT_TRUE(missing.IsNotFound());
  EXPECT_NE(missing.message().find("gone"), std::string::npos) << missing.message();
}

}  // namespace
}  // namespace dbup
