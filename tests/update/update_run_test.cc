// Update runs on generated installations: the plain steps replace their
// tables and keep every live record, a second run changes nothing, and a
// failed run puts every replaced table back byte for byte.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "engine/job_context.h"
#include "installation.h"
#include "platform/env.h"
#include "platform/path.h"
#include "support/temp_dir.h"
#include "table_views.h"
#include "update/catalogue.h"
#include "update/chain.h"
#include "update/step_test.h"
#include "update/table_files.h"
#include "update/table_step.h"
#include "xbase/table.h"

namespace dbup::update {
namespace {

// The live records of a table as field name -> value text; numbers as their
// value, texts trimmed, memos as their text.
using Record = std::map<std::string, std::string>;
std::vector<Record> LiveRecords(const std::string& dbf) {
  std::unique_ptr<xbase::Table> t;
  EXPECT_TRUE(xbase::Table::Open(dbf, {}, &t).ok()) << dbf;
  std::vector<Record> rows;
  if (t == nullptr) return rows;
  for (uint32_t r = 1; r <= t->record_count(); ++r) {
    EXPECT_TRUE(t->Go(r).ok());
    if (t->deleted()) continue;
    Record row;
    for (int i = 0; i < t->field_count(); ++i) {
      const xbase::FieldDescriptor& f = t->field(i);
      std::string text;
      if (f.type == 'M') {
        EXPECT_TRUE(t->GetMemo(i, &text).ok());
      } else if (f.type == 'N' || f.type == 'F') {
        double v = 0;
        text = t->GetDouble(i, &v) ? std::to_string(std::llround(v * 1000)) : "";
      } else {
        text = std::string(t->FieldBytes(i));
        text.erase(text.find_last_not_of(' ') + 1);
      }
      row[f.name] = text;
    }
    rows.push_back(row);
  }
  return rows;
}

class UpdateRunTest : public ::testing::Test {
 protected:
  void Install(int level, int claims = 12) {
    fixture::InstallOptions o;
    o.root = tmp_.path();
    o.version = "2.49.0.100";
    o.level = level;
    o.claims = claims;
    o.archives_per_family = 1;
    ASSERT_TRUE(fixture::WriteInstallation(o).ok());
    const fixture::InstallationDirs dirs = fixture::DirsOf(tmp_.path());
    ctx_.dirs.server = dirs.server;
    ctx_.dirs.install = dirs.install;
    ctx_.dirs.data = dirs.data;
    ctx_.dirs.private_dir = dirs.install + "private" + kPathSeparator;
    ctx_.dirs.update = dirs.install + "update" + kPathSeparator;
    ctx_.dirs.backup = ctx_.dirs.update + "backup" + kPathSeparator;
    for (const std::string* d : {&ctx_.dirs.private_dir, &ctx_.dirs.update, &ctx_.dirs.backup}) {
      ASSERT_TRUE(EnsureDirectory(*d));
    }
    ASSERT_TRUE(session_.ok());
  }
  std::string Data(const std::string& file) const { return ctx_.dirs.data + file; }

  // A chain over some rows of the catalogue (and stand-in rows), with the
  // real step template and rollback.
  bool RunRows(const std::vector<StepRow>& rows) {
    RollbackFlags flags;
    BackedUpTables backed_up;
    ctx_.error_text.clear();
    return RunChain(
        rows, 0, flags,
        [&](const StepRow& row, bool& flag) { return RunStep(ctx_, row, backed_up, flag); },
        [&](const StepRow& row) { RollbackStep(ctx_, row); });
  }

  testing::TempDir tmp_;
  JobContext ctx_;
  SessionScope session_{ctx_};
};

TEST_F(UpdateRunTest, EveryPlainStepReplacesItsTableAndKeepsEveryLiveRecord) {
  Install(91);
  BackedUpTables backed_up;
  int replaced = 0;
  for (const StepRow& row : Catalogue()) {
    if (!StepIsRunnable(row) || row.form != Form::kPlain) continue;
    SCOPED_TRACE(StepName(row.number));
    const std::string dbf = Data(std::string(row.main_table()) + ".dbf");
    const std::vector<nlohmann::json> before = DumpLive(dbf);
    ASSERT_TRUE(StepNeeded(ctx_, row, ctx_.dirs.data));
    bool flag = false;
    ASSERT_TRUE(RunStep(ctx_, row, backed_up, flag)) << ctx_.error_text;
    EXPECT_TRUE(flag);
    EXPECT_TRUE(ctx_.error_text.empty());
    EXPECT_FALSE(StepNeeded(ctx_, row, ctx_.dirs.data));
    const std::vector<nlohmann::json> after = DumpLive(dbf);
    ASSERT_EQ(after.size(), before.size());
    for (size_t r = 0; r < before.size(); ++r) {
      EXPECT_EQ(after[r]["_recno"], r + 1);  // deleted records leave no gap
      for (const auto& [name, value] : before[r].items()) {
        if (name[0] == '_' || !after[r].contains(name)) continue;
        EXPECT_TRUE(SameValue(after[r][name], value))
            << "record " << r + 1 << " " << name << ": " << value << " -> " << after[r][name];
      }
    }
    int status = 0;
    const std::string findings = Dbftool("check " + dbf, &status);
    EXPECT_EQ(status, 0) << findings;
    // The work folder is left empty.
    for (const char* ext : Extensions(row.files)) {
      EXPECT_FALSE(Env::Current()->FileExists(ctx_.dirs.update + row.main_table() + ext));
    }
    ++replaced;
  }
  EXPECT_EQ(replaced, 31 + 11);  // the plain steps and the plain ones with a locate check

  // Every step finds its work done: a second pass changes no byte.
  const Snapshot data = Take(ctx_.dirs.data);
  for (const StepRow& row : Catalogue()) {
    if (!StepIsRunnable(row) || row.form != Form::kPlain) continue;
    bool flag = true;
    EXPECT_TRUE(RunStep(ctx_, row, backed_up, flag));
    EXPECT_FALSE(flag);
  }
  EXPECT_EQ(Take(ctx_.dirs.data), data);
}

TEST_F(UpdateRunTest, AFailedRunPutsEveryReplacedTableBackExactly) {
  Install(91);
  // A stale copy in original from an earlier run must not come back, and a
  // file left in the work folder by an earlier failed run is cleared.
  ASSERT_TRUE(EnsureDirectory(ctx_.dirs.backup + kOriginalFolder));
  ASSERT_TRUE(
      WriteStringToFile(ctx_.dirs.backup + kOriginalFolder + kPathSeparator + "submit.dbf", "stale")
          .ok());
  ASSERT_TRUE(WriteStringToFile(ctx_.dirs.update + "submit.mdx", "left over").ok());
  const Snapshot before = Take(ctx_.dirs.data);

  // submit replaced by three steps, bcprov by one, then a step whose clone
  // folder misses a file.
  StepRow broken = *FindStep(202);
  ASSERT_TRUE(Env::Current()->DeleteFile(CloneFolderPath(ctx_, broken) + "isec.mdx").ok());
  std::vector<StepRow> rows = {*FindStep(92), *FindStep(94), *FindStep(104), *FindStep(119),
                               broken};
  EXPECT_FALSE(RunRows(rows));
  EXPECT_EQ(ctx_.error_text, "Update0202- Unable to copy clone table files.");
  EXPECT_EQ(Take(ctx_.dirs.data), before);
}

TEST_F(UpdateRunTest, AFailedMoveIntoOriginalStopsTheRunAndTheRollbackIsStillExact) {
  Install(91);
  const Snapshot before = Take(ctx_.dirs.data);
  class NoMove : public EnvWrapper {
   public:
    NoMove() : EnvWrapper(Env::Default()) {}
    Status MoveFile(const std::string&, const std::string&) override {
      return Status::IOError("sharing violation");
    }
  } env;
  ScopedEnv scoped(&env);
  EXPECT_FALSE(RunRows({*FindStep(92), *FindStep(104), *FindStep(119)}));
  EXPECT_EQ(ctx_.error_text, "Update0104- Unable to delete previous table backup files.");
  EXPECT_EQ(Take(ctx_.dirs.data), before);
}

TEST_F(UpdateRunTest, AFailureAfterTheFlagIsRolledBackToo) {
  Install(202);
  const Snapshot before = Take(ctx_.dirs.data);
  class NoDataCopy : public EnvWrapper {
   public:
    explicit NoDataCopy(const std::string& data) : EnvWrapper(Env::Default()), data_(data) {}
    Status CopyFile(const std::string& from, const std::string& to) override {
      if (to == data_ + "bcpoc.mdx" && !failed_) {
        failed_ = true;
        return Status::IOError("disk full");
      }
      return target()->CopyFile(from, to);
    }

   private:
    std::string data_;
    bool failed_ = false;
  } env(ctx_.dirs.data);
  ScopedEnv scoped(&env);
  EXPECT_FALSE(RunUpdateChain(ctx_, 202));
  EXPECT_EQ(ctx_.error_text, "Update0203- Unable to copy updated files to data directory.");
  EXPECT_EQ(Take(ctx_.dirs.data), before);
}

TEST_F(UpdateRunTest, ALevelAboveAStepLeavesItsTableAlone) {
  Install(203);
  const Snapshot before = Take(ctx_.dirs.data);
  std::vector<Record> bcpoc = LiveRecords(Data("bcpoc.dbf"));
  ASSERT_TRUE(RunUpdateChain(ctx_, 202)) << ctx_.error_text;  // isec is new already
  const Snapshot after = Take(ctx_.dirs.data);
  EXPECT_EQ(after.at("isec.dbf"), before.at("isec.dbf"));
  EXPECT_NE(after.at("bcpoc.dbf"), before.at("bcpoc.dbf"));
  EXPECT_EQ(LiveRecords(Data("bcpoc.dbf")).size(), bcpoc.size());
  // A second run of the same update changes no byte.
  ASSERT_TRUE(RunUpdateChain(ctx_, 202)) << ctx_.error_text;
  EXPECT_EQ(Take(ctx_.dirs.data), after);
}

TEST_F(UpdateRunTest, MissingFilesOfTheLiveTable) {
  Install(134);
  struct Case {
    int step;
    const char* remove;  // files removed from the data folder
    bool ok;
    const char* message;
  };
  const Case kCases[] = {
      {134, "bcelgrq.dbf", true, ""},  // optional table absent: nothing to do
      {134, "bcelgrq.mdx", false, "Update0134- Unable to backup table files prior to update."},
      {139, "bcprov.dbt", false, "Update0139- Unable to backup table files prior to update."},
      {146, "submit.dbf", false, "Update0146- Unable to backup table files prior to update."},
      {159, "bcprov.mdx", false, "Update0159- Unable to locate table files in data directory."},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.step);
    Install(134);
    ASSERT_TRUE(Env::Current()->DeleteFile(Data(c.remove)).ok());
    const Snapshot before = Take(ctx_.dirs.data);
    BackedUpTables backed_up;
    bool flag = true;
    ctx_.error_text.clear();
    EXPECT_EQ(RunStep(ctx_, *FindStep(c.step), backed_up, flag), c.ok);
    EXPECT_FALSE(flag);
    EXPECT_EQ(ctx_.error_text, c.message);
    EXPECT_EQ(Take(ctx_.dirs.data), before);
  }
}

TEST_F(UpdateRunTest, StepsThisBuildCannotRunFailBeforeTouchingAnything) {
  Install(169);  // a step whose translation this build lacks
  const Snapshot before = Take(ctx_.dirs.data);
  EXPECT_FALSE(RunUpdateChain(ctx_, 169));
  EXPECT_EQ(ctx_.error_text, "Update0169- Unexpected exception.");
  EXPECT_EQ(Take(ctx_.dirs.data), before);

  const std::vector<PlannedStep> plan = PlanUpdateChain(ctx_, 169);
  ASSERT_GE(plan.size(), 3u);
  EXPECT_TRUE(plan[0].needed);
  EXPECT_FALSE(plan[0].runnable);
  EXPECT_TRUE(plan[2].needed && plan[2].runnable);
  EXPECT_EQ(Take(ctx_.dirs.data), before);
}

}  // namespace
}  // namespace dbup::update
