// The Win32 version resource backend against program files made by Windows
// tools; the portable reader that the POSIX build uses must agree on each.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/env.h"
#include "platform/version_resource.h"
#include "support/temp_dir.h"

namespace dbup {
namespace {

std::string ProgramDirectory() {
  char path[MAX_PATH];
  DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path, n);
  return dir.substr(0, dir.find_last_of("\\/") + 1);
}

class FileSource : public ByteSource {
 public:
  explicit FileSource(std::string contents) : contents_(std::move(contents)) {}
  uint64_t size() const override { return contents_.size(); }
  bool ReadAt(uint64_t offset, size_t n, void* out) override {
    if (offset > contents_.size() || n > contents_.size() - offset) return false;
    std::memcpy(out, contents_.data() + offset, n);
    return true;
  }

 private:
  std::string contents_;
};

std::string Dotted(const FixedFileInfo& info) {
  return std::to_string(info.file_version_ms >> 16) + "." +
         std::to_string(info.file_version_ms & 0xFFFF) + "." +
         std::to_string(info.file_version_ls >> 16) + "." +
         std::to_string(info.file_version_ls & 0xFFFF);
}

// Reads path both ways; returns the version the system reports.
std::string ReadBothWays(const std::string& path) {
  FixedFileInfo system;
  Status s = ReadFixedFileInfo(path, &system);
  EXPECT_TRUE(s.ok()) << path << ": " << s.ToString();
  std::string contents;
  EXPECT_TRUE(ReadFileToString(path, &contents).ok()) << path;
  FileSource source(contents);
  FixedFileInfo portable;
  Status p = ParsePeFixedFileInfo(source, &portable);
  EXPECT_TRUE(p.ok()) << path << ": " << p.ToString();
  EXPECT_EQ(portable.file_version_ms, system.file_version_ms) << path;
  EXPECT_EQ(portable.file_version_ls, system.file_version_ls) << path;
  EXPECT_EQ(portable.product_version_ms, system.product_version_ms) << path;
  EXPECT_EQ(portable.product_version_ls, system.product_version_ls) << path;
  return Dotted(system);
}

TEST(VersionWin32Test, ProgramsBuiltWithWindresReadAlikeBothWays) {
  // Built beside this test from tandril.rc by the resource compiler.
  EXPECT_EQ(ReadBothWays(ProgramDirectory() + "current\\TANDRIL.EXE"), "3.4.0.0");
  EXPECT_EQ(ReadBothWays(ProgramDirectory() + "old\\TANDRIL.EXE"), "1.65.0.100");
  // The 32-bit build's program, when the Windows job hands it over.
  if (const char* pe32 = std::getenv("DBUP_TANDRIL32")) {
    EXPECT_EQ(ReadBothWays(pe32), "1.65.0.100");
  }
}

TEST(VersionWin32Test, CommittedProgramFilesReadAlikeBothWays) {
  const std::string data = std::string(DBUP_SOURCE_DIR) + "/tests/boundary/data/";
  EXPECT_EQ(ReadBothWays(data + "tandril64.exe"), "1.98.0.100");
  EXPECT_EQ(ReadBothWays(data + "tandril32.exe"), "2.24.0.200");
}

TEST(VersionWin32Test, MissingFileOrResourceIsNotFound) {
  testing::TempDir dir;
  FixedFileInfo info;
  EXPECT_TRUE(ReadFixedFileInfo(dir.Path("TANDRIL.EXE"), &info).IsNotFound());
  ASSERT_TRUE(WriteStringToFile(dir.Path("TANDRIL.EXE"), "MZ but nothing else").ok());
  EXPECT_FALSE(ReadFixedFileInfo(dir.Path("TANDRIL.EXE"), &info).ok());
  const std::string data = std::string(DBUP_SOURCE_DIR) + "/tests/boundary/data/";
  EXPECT_TRUE(ReadFixedFileInfo(data + "noversion64.exe", &info).IsNotFound());
}

}  // namespace
}  // namespace dbup
