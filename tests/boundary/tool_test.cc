// The dbup tool end to end: the host's stand-in calling the shared library.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "registry_fixture.h"
#include "support/temp_dir.h"

namespace dbup {
namespace {

namespace fs = std::filesystem;
using testing::ScopedRegistry;

struct ToolRun {
  int exit_code = -1;
  std::string err;
};

ToolRun RunTool(const std::string& args, const std::string& dir) {
  std::string err_file = dir + "stderr.txt";
  std::string command = std::string(DBUP_TOOL_PATH) + " " + args + " 2>" + err_file;
  int status = std::system(command.c_str());
  ToolRun run;
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::FILE* f = std::fopen(err_file.c_str(), "rb");
  if (f != nullptr) {
    std::array<char, 4096> buf;
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), f)) > 0) run.err.append(buf.data(), n);
    std::fclose(f);
  }
  fs::remove(err_file);
  return run;
}

// Every entry below root with its size and modification time.
std::map<std::string, std::pair<uintmax_t, fs::file_time_type>> Snapshot(const std::string& root) {
  std::map<std::string, std::pair<uintmax_t, fs::file_time_type>> out;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    out[e.path().string()] = {e.is_regular_file() ? e.file_size() : 0, e.last_write_time()};
  }
  return out;
}

class ToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* d : {"server/data", "install/private", "install/update/backup"}) {
      fs::create_directories(root_ + "inst/" + d);
    }
    std::ofstream(root_ + "inst/server/data/submit.dbf") << "not touched";
    registry_ = std::make_unique<ScopedRegistry>(
        root_ + "registry.reg",
        std::vector<std::pair<std::string, std::string>>{
            {"InstallDirectory", ScopedRegistry::Str(root_ + "inst/install")},
            {"DataDirectory", ScopedRegistry::Str(root_ + "inst/server/data")}});
  }
  testing::TempDir dir_;
  const std::string root_ = dir_.path();
  std::unique_ptr<ScopedRegistry> registry_;
};

TEST_F(ToolTest, CurrentVersionSucceedsAndTouchesNothing) {
  auto before = Snapshot(root_ + "inst");
  ToolRun run = RunTool("update --registry " + root_ + "registry.reg --version 3.4.0.0", root_);
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(Snapshot(root_ + "inst"), before);
}

TEST_F(ToolTest, UnknownVersionFailsWithTheLibrarysMessage) {
  ToolRun run = RunTool("update --registry " + root_ + "registry.reg --version 1.65.1.100", root_);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err, "Invalid TANDRIL.EXE version number [1.65.1.100].\n");
}

TEST_F(ToolTest, RegistryFromTheEnvironmentOrMissing) {
  // DBUP_REGISTRY is set by the fixture; --registry is optional.
  ToolRun run = RunTool("update --version 1.65.1.100", root_);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err, "Invalid TANDRIL.EXE version number [1.65.1.100].\n");

  run = RunTool("update --registry " + root_ + "absent.reg --version 3.4.0.0", root_);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.err.find("absent.reg"), std::string::npos) << run.err;

  registry_.reset();  // no registry at all: the directories cannot be found
  run = RunTool("backup-revcodes", root_);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err,
            "Error backing up Revenue Code charge data [Unable to locate (or create) critical "
            "directories.]\n");
}

TEST_F(ToolTest, HelpDescribesEveryCommandAndOption) {
  ToolRun run = RunTool("--help >" + root_ + "help.txt", root_);
  EXPECT_EQ(run.exit_code, 0);
  std::ifstream help(root_ + "help.txt");
  std::string text((std::istreambuf_iterator<char>(help)), std::istreambuf_iterator<char>());
  for (const char* word : {"update", "reindex", "backup-revcodes", "restore-revcodes"}) {
    EXPECT_NE(text.find(word), std::string::npos) << word;
  }
  run = RunTool("update --help >" + root_ + "help.txt", root_);
  EXPECT_EQ(run.exit_code, 0);
  std::ifstream update_help(root_ + "help.txt");
  text.assign((std::istreambuf_iterator<char>(update_help)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("--registry"), std::string::npos);
  EXPECT_NE(text.find("--version"), std::string::npos);

  EXPECT_EQ(RunTool("", root_).exit_code, 1) << "a command is required";
  EXPECT_EQ(RunTool("frobnicate", root_).exit_code, 1);
}

}  // namespace
}  // namespace dbup
