// The exports as the host calls them: the frame, the version path of the
// update and the reporting of failures.
#include "boundary/dbup.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <locale>
#include <stdexcept>

#include "host_block.h"
#include "platform/env.h"
#include "registry_fixture.h"
#include "support/temp_dir.h"

namespace dbup {
namespace {

namespace fs = std::filesystem;
using testing::HostBlock;
using testing::ScopedRegistry;

constexpr char kDirectories[] = "Unable to locate (or create) critical directories.";
constexpr char kUndetermined[] = "Unable to determine (or invalid) TANDRIL.EXE version number.";

std::string DataFile(const std::string& name) {
  return std::string(DBUP_SOURCE_DIR) + "/tests/boundary/data/" + name;
}

// An installation: server (holding TANDRIL.EXE when asked), install, data.
class ExportsTest : public ::testing::Test {
 protected:
  ExportsTest()
      : registry_(root_ + "registry.reg",
                  {{"ServerDirectory", ScopedRegistry::Str(root_ + "server")},
                   {"InstallDirectory", ScopedRegistry::Str(root_ + "install")},
                   {"DataDirectory", ScopedRegistry::Str(root_ + "server/data")}}) {
    fs::create_directories(root_ + "server/data");
    fs::create_directories(root_ + "install");
  }
  void InstallProgram(const char* file) {
    fs::copy_file(DataFile(file), root_ + "server/TANDRIL.EXE",
                  fs::copy_options::overwrite_existing);
  }

  testing::TempDir dir_;
  const std::string root_ = dir_.path();
  ScopedRegistry registry_;
};

TEST_F(ExportsTest, VersionTextDecides) {
  InstallProgram("current64.exe");  // must not be consulted when a text is given
  struct Case {
    const char* text;
    const char* error;  // null: success
  };
  const Case cases[] = {
      {"3.4.0.0", nullptr},
      {" 3.9.0.0 ", nullptr},
      {"1.65.1.100", "Invalid TANDRIL.EXE version number [1.65.1.100]."},
      {"1.65.0.0", "Invalid TANDRIL.EXE version number [1.65.0.0]."},
      {"02.07.0.100", "Invalid TANDRIL.EXE version number [2.7.0.100]."},
      {"4.5.0.100", "Invalid TANDRIL.EXE version number [4.5.0.100]."},
      {"2.59.0.100", "Invalid TANDRIL.EXE version number [2.59.0.100]."},
      {"1.65.0", kUndetermined},
      {"1.65.0.100.1", kUndetermined},
      {"1.70000.0.100", kUndetermined},
      {"-1.65.0.100", kUndetermined},
  };
  for (const Case& c : cases) {
    HostBlock block;
    block.SetVersion(c.text);
    std::vector<char> before = block.Image();
    int32_t result = UpdateDatabaseStructures(block.get());
    if (c.error == nullptr) {
      EXPECT_EQ(result, 0) << c.text << ": " << block.Error();
      EXPECT_EQ(block.Image(), before) << c.text << ": success leaves the block untouched";
    } else {
      EXPECT_EQ(result, -1) << c.text;
      EXPECT_EQ(block.Error(), c.error) << c.text;
      EXPECT_EQ(block.get()->EntryCount, 3) << c.text;
    }
  }
}

TEST_F(ExportsTest, WithoutATextTheProgramFileDecides) {
  for (const char* text : {static_cast<const char*>(nullptr), "", " \t "}) {
    fs::remove(root_ + "server/TANDRIL.EXE");
    HostBlock missing;
    missing.SetVersion(text);
    EXPECT_EQ(UpdateDatabaseStructures(missing.get()), -1);
    EXPECT_EQ(missing.Error(), kUndetermined);

    InstallProgram("noversion64.exe");
    HostBlock no_resource;
    no_resource.SetVersion(text);
    EXPECT_EQ(UpdateDatabaseStructures(no_resource.get()), -1);
    EXPECT_EQ(no_resource.Error(), kUndetermined);

    InstallProgram("current64.exe");  // 3.4.0.0: nothing to do
    HostBlock current;
    current.SetVersion(text);
    std::vector<char> before = current.Image();
    EXPECT_EQ(UpdateDatabaseStructures(current.get()), 0) << current.Error();
    EXPECT_EQ(current.Image(), before);
  }

  // 1.98.0.100 reaches the update chain (whatever the chain then says).
  InstallProgram("tandril64.exe");
  HostBlock chain;
  UpdateDatabaseStructures(chain.get());
  EXPECT_NE(chain.Error(), kUndetermined);
  EXPECT_EQ(chain.Error().find("Invalid TANDRIL.EXE version"), std::string::npos);
}

TEST_F(ExportsTest, MissingDirectoriesAreReportedByEveryExport) {
  fs::remove_all(root_ + "server");
  struct Case {
    int32_t(DBUP_CALL* fn)(TParamBlock*);
    std::string error;
  };
  const Case cases[] = {
      {&UpdateDatabaseStructures, kDirectories},
      {&ReindexAllDatabaseFiles, kDirectories},
      {&BackupRevenueCodeChargeData,
       std::string("Error backing up Revenue Code charge data [") + kDirectories + "]"},
      {&RestoreRevenueCodeChargeData,
       std::string("Error restoring Revenue Code charge data [") + kDirectories + "]"},
  };
  for (const Case& c : cases) {
    HostBlock block;
    block.SetVersion("3.4.0.0");
    EXPECT_EQ(c.fn(block.get()), -1);
    EXPECT_EQ(block.Error(), c.error);
    EXPECT_EQ(block.get()->EntryCount, 3);
    EXPECT_EQ(block.get()->Reserved0, 0x11111111);
    EXPECT_EQ(block.get()->Reserved9, 0x22222222);
  }
}

TEST_F(ExportsTest, EachCallStartsWithAnEmptyErrorText) {
  HostBlock failing;
  failing.SetVersion("9.9.9.9");
  ASSERT_EQ(UpdateDatabaseStructures(failing.get()), -1);
  HostBlock next;
  next.SetVersion("3.4.0.0");
  std::vector<char> before = next.Image();
  EXPECT_EQ(UpdateDatabaseStructures(next.get()), 0);
  EXPECT_EQ(next.Image(), before);
}

// A user whose settings write 65.535,5: the library's texts must not follow.
struct CommaDecimal : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
  char do_thousands_sep() const override { return '.'; }
  std::string do_grouping() const override { return "\3"; }
};

TEST_F(ExportsTest, TextsIgnoreTheUsersRegionalSettings) {
  std::string old_c = std::setlocale(LC_ALL, nullptr);
  std::locale old = std::locale::global(std::locale(std::locale::classic(), new CommaDecimal));
  for (const char* name : {"de_DE.UTF-8", "de_DE", "fr_FR.UTF-8"}) {
    if (std::setlocale(LC_ALL, name) != nullptr) break;
  }
  HostBlock block;
  block.SetVersion("65535.1000.0.100");
  int32_t result = UpdateDatabaseStructures(block.get());
  std::setlocale(LC_ALL, old_c.c_str());
  std::locale::global(old);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(block.Error(), "Invalid TANDRIL.EXE version number [65535.1000.0.100].");
}

// Fails every file open whose path ends in `suffix`.
class FailingOpenEnv : public EnvWrapper {
 public:
  explicit FailingOpenEnv(std::string suffix)
      : EnvWrapper(Env::Default()), suffix_(std::move(suffix)) {}
  Status OpenFile(const std::string& path, OpenMode mode, std::unique_ptr<File>* file) override {
    if (path.ends_with(suffix_)) return Status::IOError("injected: " + path);
    return EnvWrapper::OpenFile(path, mode, file);
  }

 private:
  std::string suffix_;
};

// The POSIX backends read both files through Env; Windows reads them itself.
#ifndef _WIN32
TEST_F(ExportsTest, UnreadableRegistryOrProgramFileFailsCleanly) {
  InstallProgram("current64.exe");
  {
    FailingOpenEnv env(".reg");
    ScopedEnv scoped(&env);
    HostBlock block;
    EXPECT_EQ(UpdateDatabaseStructures(block.get()), -1);
    EXPECT_EQ(block.Error(), kDirectories);
  }
  {
    FailingOpenEnv env("TANDRIL.EXE");
    ScopedEnv scoped(&env);
    HostBlock block;
    EXPECT_EQ(UpdateDatabaseStructures(block.get()), -1);
    EXPECT_EQ(block.Error(), kUndetermined);
  }
}
#endif  // _WIN32

// An Env that throws from the middle of the frame.
class ThrowingEnv : public EnvWrapper {
 public:
  ThrowingEnv() : EnvWrapper(Env::Default()) {}
  bool DirectoryExists(const std::string&) override { throw std::runtime_error("disk on fire"); }
};

TEST_F(ExportsTest, NoExceptionCrossesTheBoundary) {
  ThrowingEnv env;
  ScopedEnv scoped(&env);
  for (auto fn : {&UpdateDatabaseStructures, &ReindexAllDatabaseFiles, &BackupRevenueCodeChargeData,
                  &RestoreRevenueCodeChargeData}) {
    HostBlock block;
    block.SetVersion("3.4.0.0");
    EXPECT_EQ(fn(block.get()), -1);
    EXPECT_NE(block.Error().find("Unexpected error: disk on fire"), std::string::npos)
        << block.Error();
  }
}

TEST_F(ExportsTest, UnusableBlocksFailWithoutHarm) {
  EXPECT_EQ(UpdateDatabaseStructures(nullptr), -1);
  EXPECT_EQ(BackupRevenueCodeChargeData(nullptr), -1);
  TParamBlock no_slots{};
  no_slots.VersionText = "1.0.0.0";
  EXPECT_EQ(UpdateDatabaseStructures(&no_slots), -1);
  EXPECT_EQ(no_slots.EntryCount, 0);
}

}  // namespace
}  // namespace dbup
