// Whole update runs over installations with claim archives: every
// archive-aware step converts every folder that needs it and keeps every
// record, a second run changes nothing, and a failure anywhere, also in the
// middle of a folder loop, puts every folder back byte for byte.
#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "archive_support.h"
#include "platform/env.h"
#include "platform/path.h"
#include "update/archive_directories.h"
#include "update/chain.h"
#include "update/step_test.h"

namespace dbup::update {
namespace {

using ArchiveRunTest = ArchiveTest;

TEST_F(ArchiveRunTest, FromLevel170EveryArchiveIsConvertedAndKeepsItsRecords) {
  Install(170, {"arch1500/ARC2019"});
  // Every folder and table an archive-aware step of the run replaces.
  std::set<std::pair<std::string, std::string>> tables;
  for (const StepRow& row : Catalogue()) {
    if (row.number < 170 || row.form == Form::kPlain || row.form == Form::kAddIfMissing) continue;
    for (const DirectoryEntry& entry : BuildDirectoryList(ctx_, row)) {
      for (size_t t = 0; t < row.table_count(); ++t) tables.insert({entry.folder, row.tables[t]});
    }
  }
  ASSERT_GE(tables.size(), 30u);
  std::map<std::pair<std::string, std::string>, std::vector<nlohmann::json>> before;
  for (const auto& [folder, table] : tables)
    before[{folder, table}] = DumpLive(Data(folder + table + ".dbf"));
  const Snapshot untouched_archive = Take(Data(Archive("arch1500", "ARC2019")));

  ASSERT_TRUE(RunUpdateChain(ctx_, 170)) << ctx_.error_text;

  for (const auto& [folder, table] : tables) {
    SCOPED_TRACE(folder + table);
    const std::string dbf = Data(folder + table + ".dbf");
    ExpectSameRecords(before[{folder, table}], DumpLive(dbf), folder + table);
    int status = 0;
    const std::string findings = Dbftool("check '" + dbf + "'", &status);
    EXPECT_EQ(status, 0) << findings;
  }
  for (const StepRow& row : Catalogue()) {
    if (row.number < 170 || row.form != Form::kMarked) continue;
    for (const DirectoryEntry& entry : BuildDirectoryList(ctx_, row)) {
      EXPECT_FALSE(StepNeeded(ctx_, row, Data(entry.folder)))
          << StepName(row.number) << " " << entry.folder;
    }
  }
  // The archive converted before the run is only touched by the one step
  // that follows the data directory's table.
  const Snapshot converted = Take(Data(Archive("arch1500", "ARC2019")));
  for (const auto& [path, bytes] : untouched_archive) {
    if (path.rfind("bsrecnm.", 0) != 0) {
      EXPECT_TRUE(converted.at(path) == bytes) << path;
    }
  }

  // A second run finds every table converted and changes no byte.
  const Snapshot after = Take(ctx_.dirs.data);
  ASSERT_TRUE(RunUpdateChain(ctx_, 170)) << ctx_.error_text;
  ExpectSameFiles(after, Take(ctx_.dirs.data));
}

// Fails one operation on one file: every open of it (an unreadable file), or
// the first copy onto it or deletion of it.
class FailOnce : public EnvWrapper {
 public:
  enum class Op { kOpen, kCopyTo, kDelete };
  FailOnce(Op op, std::string path) : EnvWrapper(Env::Default()), op_(op), path_(std::move(path)) {}

  Status OpenFile(const std::string& path, OpenMode mode, std::unique_ptr<File>* file) override {
    if (Hit(Op::kOpen, path)) return Status::IOError("permission denied");
    return target()->OpenFile(path, mode, file);
  }
  Status CopyFile(const std::string& from, const std::string& to) override {
    if (Hit(Op::kCopyTo, to) || Hit(Op::kOpen, from)) return Status::IOError("disk full");
    return target()->CopyFile(from, to);
  }
  Status DeleteFile(const std::string& path) override {
    if (Hit(Op::kDelete, path)) return Status::IOError("sharing violation");
    return target()->DeleteFile(path);
  }
  bool failed() const { return failed_; }

 private:
  bool Hit(Op op, const std::string& path) {
    if (op != op_ || path != path_ || (failed_ && op != Op::kOpen)) return false;
    failed_ = true;
    return true;
  }
  Op op_;
  std::string path_;
  bool failed_ = false;
};

struct FailureCase {
  FailOnce::Op op;
  const char* base;  // "data" or "backup"
  const char* root;
  const char* archive;
  const char* file;
  const char* message;
};

TEST_F(ArchiveRunTest, AFailureInAFolderLoopRestoresEveryFolderExactly) {
  using enum FailOnce::Op;
  const FailureCase kCases[] = {
      // An archive's backup unreadable while its records are copied.
      {kOpen, "backup", "arch1500", "ARC2020", "bscpymnt.dbf",
       "Update0185- Unable to perform common field copy."},
      // The second archive's live table cannot be backed up.
      {kOpen, "data", "archub92", "ARC2020", "bclines.mdx",
       "Update0182- Unable to backup table files prior to update."},
      // After the flag: a live table that cannot be removed, and a new one
      // that cannot be put in place.
      // An earlier folder's live table is gone by then: it is put back too.
      {kDelete, "data", "archub92", "ARC2020", "bcclaim.dbf",
       "Update0181- Unable to delete original table files."},
      {kCopyTo, "data", "arch1500", "ARC2019", "bsclaim.dbf",
       "Update0196- Unable to copy updated files to data directory."},
  };
  for (const FailureCase& c : kCases) {
    SCOPED_TRACE(c.message);
    Install(170);
    const Snapshot before = Take(ctx_.dirs.data);
    const std::string base = std::string(c.base) == "data" ? ctx_.dirs.data : ctx_.dirs.backup;
    FailOnce env(c.op, base + Archive(c.root, c.archive) + c.file);
    {
      ScopedEnv scoped(&env);
      EXPECT_FALSE(RunUpdateChain(ctx_, 170));
    }
    EXPECT_TRUE(env.failed());
    EXPECT_EQ(ctx_.error_text, c.message);
    ExpectSameFiles(before, Take(ctx_.dirs.data));
  }
}

}  // namespace
}  // namespace dbup::update
