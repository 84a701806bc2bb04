// One archive-aware, multi-table or add-if-missing step at a time on a
// generated installation with claim archives: which folders it converts,
// when it refuses to start, and what its rollback puts back.
#include <gtest/gtest.h>

#include "archive_support.h"
#include "platform/env.h"
#include "platform/path.h"
#include "update/archive_directories.h"
#include "update/step_test.h"
#include "update/table_step.h"

namespace dbup::update {
namespace {

using ArchiveStepTest = ArchiveTest;

std::string Dbf(const std::string& table) {
  return table + ".dbf";
}

TEST_F(ArchiveStepTest, DirectoryListHoldsTheArchivesWithTheListTable) {
  Install(131, {}, {"archub92/ARC2020/bcclaim"});
  const StepRow& row = *FindStep(136);  // bcclaim, listed by bcclaim.dbf
  const DirectoryList list = BuildDirectoryList(ctx_, row);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].folder, "");
  EXPECT_EQ(list[1].folder, Archive("archub92", "ARC2019"));
  // bsattchd is listed by the professional claim table.
  const DirectoryList bs = BuildDirectoryList(ctx_, *FindStep(131));
  ASSERT_EQ(bs.size(), 3u);
  EXPECT_EQ(bs[1].folder, Archive("arch1500", "ARC2019"));
  EXPECT_EQ(bs[2].folder, Archive("arch1500", "ARC2020"));
}

TEST_F(ArchiveStepTest, MarkedFormConvertsOnlyTheFoldersStillOld) {
  Install(182);
  ConvertTable("", "bclines");
  // The data directory's backup from an earlier step of an earlier run.
  ASSERT_TRUE(WriteStringToFile(ctx_.dirs.backup + "bclines.dbf", "earlier").ok());
  ASSERT_TRUE(WriteStringToFile(ctx_.dirs.backup + "bclines.mdx", "earlier").ok());
  const Snapshot before = Take(ctx_.dirs.data);
  const std::string a1 = Archive("archub92", "ARC2019"), a2 = Archive("archub92", "ARC2020");
  const std::vector<nlohmann::json> records1 = DumpLive(Data(a1 + "bclines.dbf"));
  const std::vector<nlohmann::json> records2 = DumpLive(Data(a2 + "bclines.dbf"));

  bool flag = false;
  ASSERT_TRUE(RunOne(182, &flag)) << ctx_.error_text;
  EXPECT_TRUE(flag);
  EXPECT_TRUE(ctx_.error_text.empty());

  const Snapshot after = Take(ctx_.dirs.data);
  for (const char* ext : {".dbf", ".mdx"}) {
    EXPECT_TRUE(after.at(std::string("bclines") + ext) == before.at(std::string("bclines") + ext));
    EXPECT_FALSE(Env::Current()->FileExists(ctx_.dirs.backup + "bclines" + ext));
  }
  for (const std::string& a : {a1, a2}) {
    SCOPED_TRACE(a);
    EXPECT_FALSE(StepNeeded(ctx_, *FindStep(182), Data(a)));
    EXPECT_TRUE(Env::Current()->FileExists(ctx_.dirs.backup + a + "bclines.dbf"));
    EXPECT_FALSE(Env::Current()->FileExists(ctx_.dirs.update + a + "bclines.dbf"));
    int status = 0;
    const std::string findings = Dbftool("check '" + Data(a + "bclines.dbf") + "'", &status);
    EXPECT_EQ(status, 0) << findings;
  }
  ExpectSameRecords(records1, DumpLive(Data(a1 + "bclines.dbf")), a1);
  ExpectSameRecords(records2, DumpLive(Data(a2 + "bclines.dbf")), a2);
  // Nothing outside the step's table changed.
  for (const auto& [path, bytes] : before) {
    if (path.find("bclines.") == std::string::npos) {
      EXPECT_TRUE(after.at(path) == bytes) << path;
    }
  }
}

struct RefusalCase {
  int step;
  int level;
  std::vector<std::string> omitted;  // tables left out of archives
  std::vector<std::string> removed;  // data directory files deleted
  bool ok;
  const char* message;
  bool work_areas_untouched;  // the step fails before the work folder too
};

TEST_F(ArchiveStepTest, StepsThatFindNothingOrRefuseLeaveEveryLiveFileAlone) {
  const RefusalCase kCases[] = {
      // An archive holding the claim table but not the step's own table.
      {154,
       154,
       {"archub92/ARC2020/bccpayer"},
       {},
       false,
       "Update0154- Unable to locate table files in data directory.",
       true},
      {166,
       166,
       {"arch1500/ARC2019/bsattchd"},
       {},
       false,
       "Update0166- Unable to locate table files in data directory.",
       true},
      // Without a locate check the missing table fails its backup.
      {131,
       131,
       {"arch1500/ARC2020/bsattchd"},
       {},
       false,
       "Update0131- Unable to backup table files prior to update.",
       false},
      // Nothing marked: no check runs, although the index is gone.
      {155, 156, {}, {"bclines.mdx"}, true, "", true},
      // Optional on the data directory's table: the old archives stay.
      {157, 157, {}, {"bcrecid.dbf", "bcrecid.mdx"}, true, "", true},
      {177, 177, {}, {"bcrspns.dbf", "bcrspns.mdx"}, true, "", true},
      // 120 converts a field with no decimals; one decimal needs nothing.
      {120, 121, {}, {}, true, "", true},
  };
  for (const RefusalCase& c : kCases) {
    SCOPED_TRACE(c.step);
    Install(c.level, {}, c.omitted);
    for (const std::string& file : c.removed) {
      ASSERT_TRUE(Env::Current()->DeleteFile(Data(file)).ok());
    }
    const Snapshot data = Take(ctx_.dirs.data);
    const Snapshot work = Take(ctx_.dirs.install);
    bool flag = true;
    EXPECT_EQ(RunOne(c.step, &flag), c.ok);
    EXPECT_FALSE(flag);
    EXPECT_EQ(ctx_.error_text, c.message);
    ExpectSameFiles(data, Take(ctx_.dirs.data));
    if (c.work_areas_untouched) {
      ExpectSameFiles(work, Take(ctx_.dirs.install));
    }
  }
}

struct DataDirectoryCase {
  int step;
  const char* table;
  const char* root;  // where the table's archives are
};

TEST_F(ArchiveStepTest, StepsJudgedByTheDataDirectoryTreatEveryFolderAlike) {
  const DataDirectoryCase kCases[] = {
      {100, "bccpayer", "archub92"},
      {102, "bscpayer", "arch1500"},
      {158, "bcrecnm", "archub92"},
      {173, "bsrecnm", "arch1500"},
  };
  for (const DataDirectoryCase& c : kCases) {
    SCOPED_TRACE(c.step);
    const StepRow& row = *FindStep(c.step);
    const std::string old_archive = Archive(c.root, "ARC2019");
    const std::string new_archive = Archive(c.root, "ARC2020");

    // Data directory already converted: no archive is, old as they are.
    Install(c.step);
    ConvertTable("", c.table);
    const Snapshot before = Take(ctx_.dirs.data);
    EXPECT_TRUE(RunOne(c.step)) << ctx_.error_text;
    ExpectSameFiles(before, Take(ctx_.dirs.data));
    EXPECT_TRUE(StepNeeded(ctx_, row, Data(old_archive)) || row.test_on_data_dir_only);

    // Data directory old: every folder holding the table is converted, the
    // already converted archive included, and keeps its records.
    Install(c.step, {std::string(c.root) + "/ARC2020"});
    std::map<std::string, std::vector<nlohmann::json>> records;
    for (const std::string& f : {std::string(), old_archive, new_archive}) {
      records[f] = DumpLive(Data(f + Dbf(c.table)));
    }
    bool flag = false;
    ASSERT_TRUE(RunOne(c.step, &flag)) << ctx_.error_text;
    EXPECT_TRUE(flag);
    for (const auto& [f, rows] : records) {
      EXPECT_FALSE(StepNeeded(ctx_, row, Data(f)));
      EXPECT_TRUE(Env::Current()->FileExists(ctx_.dirs.backup + f + Dbf(c.table))) << f;
      ExpectSameRecords(rows, DumpLive(Data(f + Dbf(c.table))), f);
    }
  }
}

TEST_F(ArchiveStepTest, AddIfMissingAddsWhatIsAbsentAndLeavesHalfTablesAlone) {
  Install(106);
  const std::string a1 = Archive("archub92", "ARC2019"), a2 = Archive("archub92", "ARC2020");
  const std::string clone = CloneFolderPath(ctx_, *FindStep(106));
  // A table present without its index is the user's: it is left alone.
  ASSERT_TRUE(Env::Current()->CopyFile(clone + "bcrecid.dbf", Data(a1 + "bcrecid.dbf")).ok());
  const std::string half = Take(ctx_.dirs.data).at("archub92/ARC2019/bcrecid.dbf");
  const Snapshot professional = Take(Data("arch1500"));

  bool flag = true;
  ASSERT_TRUE(RunOne(106, &flag)) << ctx_.error_text;
  EXPECT_FALSE(flag);  // nothing it adds is ever rolled back
  Snapshot after = Take(ctx_.dirs.data);
  EXPECT_TRUE(after.at("archub92/ARC2019/bcrecid.dbf") == half);
  EXPECT_EQ(after.count("archub92/ARC2019/bcrecid.mdx"), 0u);
  for (const std::string& f : {std::string(), a1, a2}) {
    for (const char* file : {"bcrecnm.dbf", "bcrecnm.mdx", "bcrecid.dbf"}) {
      EXPECT_TRUE(Env::Current()->FileExists(Data(f + file))) << f << file;
    }
  }
  EXPECT_TRUE(Env::Current()->FileExists(Data(a2 + "bcrecid.mdx")));
  ExpectSameFiles(professional, Take(Data("arch1500")));  // not a bcclaim folder

  // Everything present: a second run copies nothing.
  ASSERT_TRUE(RunOne(106)) << ctx_.error_text;
  ExpectSameFiles(after, Take(ctx_.dirs.data));
}

TEST_F(ArchiveStepTest, AddIfMissingTakesBackAHalfCopiedTable) {
  Install(113);
  const std::string a2 = Archive("arch1500", "ARC2020");
  class NoIndexCopy : public EnvWrapper {
   public:
    explicit NoIndexCopy(std::string target) : EnvWrapper(Env::Default()), target_(target) {}
    Status CopyFile(const std::string& from, const std::string& to) override {
      if (to == target_) return Status::IOError("disk full");
      return target()->CopyFile(from, to);
    }

   private:
    std::string target_;
  } env(Data(a2 + "bsrecnm.mdx"));
  {
    ScopedEnv scoped(&env);
    EXPECT_FALSE(RunOne(113));
  }
  EXPECT_EQ(ctx_.error_text, "Update0113- Unable to copy updated files to data directory.");
  // Without the index a later run would leave the table alone for good.
  EXPECT_FALSE(Env::Current()->FileExists(Data(a2 + "bsrecnm.dbf")));
  EXPECT_TRUE(Env::Current()->FileExists(Data(a2 + "bsrecid.dbf")));

  ASSERT_TRUE(RunOne(113)) << ctx_.error_text;
  for (const char* file : {"bsrecnm.dbf", "bsrecnm.mdx", "bsrecid.dbf", "bsrecid.mdx"}) {
    EXPECT_TRUE(Env::Current()->FileExists(Data(a2 + file))) << file;
  }
}

struct RollbackCase {
  int step;
  const char* table;
  bool stops;  // the rollback stops at the data directory's missing backup
};

// The data directory converted, the archives old; a later step fails.
TEST_F(ArchiveStepTest, RollbackAfterALaterFailureSkipsOrStopsAtAFolderWithoutBackup) {
  const RollbackCase kCases[] = {
      {120, "bsattach", true}, {123, "bscpymnt", true}, {179, "bsattach", true},
      {185, "bscpymnt", true}, {170, "bslines", false}, {187, "bslinesa", false},
      {136, "bcclaim", false},
  };
  for (const RollbackCase& c : kCases) {
    SCOPED_TRACE(c.step);
    Install(c.step);
    ConvertTable("", c.table);
    const Snapshot before = Take(ctx_.dirs.data);
    StepRow failing = *FindStep(202);
    failing.clone_folder = "updt9999";
    ASSERT_FALSE(RunRows({FindStep(c.step), &failing}));
    EXPECT_EQ(ctx_.error_text, "Update0202- Unable to copy clone table files.");
    const Snapshot after = Take(ctx_.dirs.data);
    if (!c.stops) {
      ExpectSameFiles(before, after);
      continue;
    }
    // Documented: the archives stay converted, nothing else changed.
    for (const auto& [path, bytes] : before) {
      const bool archived_table = path.find('/') != std::string::npos &&
                                  path.find(std::string("/") + c.table + ".") != std::string::npos;
      if (!archived_table) {
        EXPECT_TRUE(after.at(path) == bytes) << path;
      }
    }
    const DirectoryList list = BuildDirectoryList(ctx_, *FindStep(c.step));
    ASSERT_EQ(list.size(), 3u);
    for (size_t i = 1; i < list.size(); ++i) {
      EXPECT_FALSE(StepNeeded(ctx_, *FindStep(c.step), Data(list[i].folder))) << list[i].folder;
    }
  }
}

// Update0107's tables without its translation: every table of the list in
// every folder, each filled before any live file changes.
TEST_F(ArchiveStepTest, MultiTableStepsFillEveryTableOfEveryFolderFirst) {
  StepRow row = *FindStep(107);
  row.translation = nullptr;
  const std::string a1 = Archive("archub92", "ARC2019"), a2 = Archive("archub92", "ARC2020");

  Install(107);
  class Unreadable : public EnvWrapper {
   public:
    explicit Unreadable(std::string path) : EnvWrapper(Env::Default()), path_(std::move(path)) {}
    Status OpenFile(const std::string& path, OpenMode mode, std::unique_ptr<File>* file) override {
      if (path == path_) return Status::IOError("permission denied");
      return target()->OpenFile(path, mode, file);
    }

   private:
    std::string path_;
  } env(ctx_.dirs.backup + a2 + "bcrecid.dbf");
  const Snapshot before = Take(ctx_.dirs.data);
  BackedUpTables backed_up;
  bool flag = true;
  {
    ScopedEnv scoped(&env);
    EXPECT_FALSE(RunStep(ctx_, row, backed_up, flag));
  }
  EXPECT_EQ(ctx_.error_text, "Update0107- Unable to perform common field copy.");
  EXPECT_FALSE(flag);
  ExpectSameFiles(before, Take(ctx_.dirs.data));
  for (const char* table : {"bcclaim.dbf", "bcrecid.dbf"}) {
    EXPECT_TRUE(Env::Current()->FileExists(ctx_.dirs.update + a1 + table)) << table;
  }

  // The same step unhindered: both tables replaced in all three folders.
  std::map<std::string, std::vector<nlohmann::json>> records;
  for (const std::string& f : {std::string(), a1, a2}) {
    for (const char* table : {"bcclaim.dbf", "bcrecid.dbf"})
      records[f + table] = DumpLive(Data(f + table));
  }
  ASSERT_TRUE(RunStep(ctx_, row, backed_up, flag)) << ctx_.error_text;
  EXPECT_TRUE(flag);
  for (const auto& [file, rows] : records) {
    ExpectSameRecords(rows, DumpLive(Data(file)), file);
    EXPECT_TRUE(Env::Current()->FileExists(ctx_.dirs.backup + file)) << file;
    EXPECT_FALSE(Env::Current()->FileExists(ctx_.dirs.update + file)) << file;
  }
  EXPECT_FALSE(StepNeeded(ctx_, row, Data(a2)));
}

}  // namespace
}  // namespace dbup::update
