#include "boundary/working_directories.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/env.h"
#include "platform/path.h"
#include "registry_fixture.h"
#include "support/temp_dir.h"

namespace dbup::boundary {
namespace {

namespace fs = std::filesystem;
using testing::ScopedRegistry;
using testing::TempDir;

// Counts the directories created and can refuse to create them.
class CountingEnv : public EnvWrapper {
 public:
  CountingEnv() : EnvWrapper(Env::Default()) {}
  Status CreateDirectory(const std::string& path) override {
    created.push_back(path);
    if (refuse) return Status::IOError("refused");
    return EnvWrapper::CreateDirectory(path);
  }
  std::vector<std::string> created;
  bool refuse = false;
};

TEST(WorkingDirectoriesTest, AddBackslash) {
  const std::string s(1, kPathSeparator);
  EXPECT_EQ(AddBackslash(""), "");
  EXPECT_EQ(AddBackslash("a"), "a" + s);
  EXPECT_EQ(AddBackslash("a" + s), "a" + s);
  EXPECT_EQ(AddBackslash(s), s);
}

TEST(WorkingDirectoriesTest, CreateDirectoryPathMakesMissingParents) {
  TempDir dir;
  CountingEnv env;
  ScopedEnv scoped(&env);
  std::string deep = dir.path() + "a/b/c/";
  EXPECT_TRUE(CreateDirectoryPath(deep));
  EXPECT_TRUE(fs::is_directory(dir.path() + "a/b/c"));
  EXPECT_EQ(env.created.size(), 3u);

  env.created.clear();
  EXPECT_TRUE(CreateDirectoryPath(deep)) << "an existing directory is fine";
  EXPECT_TRUE(CreateDirectoryPath(dir.path() + "a/b"));
  EXPECT_TRUE(CreateDirectoryPath("/"));
  EXPECT_TRUE(CreateDirectoryPath(""));
  EXPECT_TRUE(env.created.empty());

  env.refuse = true;
  EXPECT_FALSE(CreateDirectoryPath(dir.path() + "x/y"));
  EXPECT_EQ(env.created.size(), 1u) << "stops at the first level it cannot create";

  // A file where a folder should be.
  env.refuse = false;
  ASSERT_TRUE(WriteStringToFile(dir.path() + "file", "x").ok());
  EXPECT_FALSE(CreateDirectoryPath(dir.path() + "file/sub"));
}

class FindWorkingDirectoriesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(root_ + "app/data");
    fs::create_directories(root_ + "install");
  }
  std::string Reg() const { return root_ + "registry.reg"; }

  TempDir dir_;
  const std::string root_ = dir_.path();
};

TEST_F(FindWorkingDirectoriesTest, DerivesServerFromDataAndCreatesWorkFolders) {
  ScopedRegistry reg(Reg(), {{"ServerDirectory", "\"\""},
                             {"InstallDirectory", ScopedRegistry::Str(root_ + "install")},
                             {"DataDirectory", ScopedRegistry::Str(root_ + "app/data")}});
  WorkingDirectories dirs;
  ASSERT_TRUE(FindWorkingDirectories(&dirs));
  EXPECT_EQ(dirs.data, root_ + "app/data/");
  EXPECT_EQ(dirs.server, root_ + "app/");
  EXPECT_EQ(dirs.install, root_ + "install/");
  EXPECT_EQ(dirs.private_dir, root_ + "install/private/");
  EXPECT_EQ(dirs.update, root_ + "install/update/");
  EXPECT_EQ(dirs.backup, root_ + "install/update/backup/");
  EXPECT_TRUE(fs::is_directory(dirs.backup));
  EXPECT_TRUE(fs::is_directory(dirs.private_dir));
}

TEST_F(FindWorkingDirectoriesTest, FailureCases) {
  struct Case {
    const char* what;
    std::string server, install, data;  // raw registry values; "" leaves the value out
  };
  const std::string app = ScopedRegistry::Str(root_ + "app/");
  const std::string install = ScopedRegistry::Str(root_ + "install");
  const std::string data = ScopedRegistry::Str(root_ + "app/data");
  // "%ROOT%data" as an expandable string (UTF-16LE).
  std::string expand = "hex(2):";
  for (char c : std::string("%ROOT%data")) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02x,00,", static_cast<unsigned char>(c));
    expand += buf;
  }
  expand += "00,00";
  const Case cases[] = {
      {"install empty", app, "", data},
      {"data empty", app, install, ""},
      {"data is the root: no parent left", "", install, ScopedRegistry::Str("/")},
      {"relative data has no parent", "", install, ScopedRegistry::Str("Data")},
      {"server does not exist", ScopedRegistry::Str(root_ + "nowhere"), install, data},
      {"data does not exist", app, install, ScopedRegistry::Str(root_ + "app/nodata")},
      {"expandable string used literally", app, install, expand},
      {"a number where a folder is expected", app, install, "dword:00000001"},
  };
  for (const Case& c : cases) {
    std::vector<std::pair<std::string, std::string>> values;
    if (!c.server.empty()) values.emplace_back("ServerDirectory", c.server);
    if (!c.install.empty()) values.emplace_back("InstallDirectory", c.install);
    if (!c.data.empty()) values.emplace_back("DataDirectory", c.data);
    ScopedRegistry reg(Reg(), values);
    WorkingDirectories dirs;
    EXPECT_FALSE(FindWorkingDirectories(&dirs)) << c.what;
  }
}

TEST_F(FindWorkingDirectoriesTest, CreatesOnlyWhatIsMissing) {
  ScopedRegistry reg(Reg(), {{"InstallDirectory", ScopedRegistry::Str(root_ + "install/")},
                             {"DataDirectory", ScopedRegistry::Str(root_ + "app/data/")}});
  fs::create_directories(root_ + "install/update");
  fs::create_directories(root_ + "install/private");
  CountingEnv env;
  ScopedEnv scoped(&env);
  WorkingDirectories dirs;
  ASSERT_TRUE(FindWorkingDirectories(&dirs));
  EXPECT_EQ(env.created, std::vector<std::string>{root_ + "install/update/backup"});
}

TEST_F(FindWorkingDirectoriesTest, CreatesAMissingInstallFolderWithItsWorkFolders) {
  ScopedRegistry reg(Reg(), {{"InstallDirectory", ScopedRegistry::Str(root_ + "new/install")},
                             {"DataDirectory", ScopedRegistry::Str(root_ + "app/data")}});
  CountingEnv env;
  ScopedEnv scoped(&env);
  WorkingDirectories dirs;
  ASSERT_TRUE(FindWorkingDirectories(&dirs));
  EXPECT_EQ(env.created, (std::vector<std::string>{
                             root_ + "new", root_ + "new/install", root_ + "new/install/private",
                             root_ + "new/install/update", root_ + "new/install/update/backup"}));

  // With creation refused the call fails.
  fs::remove_all(root_ + "new");
  env.refuse = true;
  EXPECT_FALSE(FindWorkingDirectories(&dirs));
}

}  // namespace
}  // namespace dbup::boundary
