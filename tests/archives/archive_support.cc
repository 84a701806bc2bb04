#include "archive_support.h"

#include "platform/env.h"
#include "platform/path.h"
#include "update/chain.h"
#include "update/table_step.h"

namespace dbup::update {

void ArchiveTest::Install(int level, const std::vector<std::string>& converted,
                          const std::vector<std::string>& omitted) {
  // Each installation in a fresh folder, so a table of cases starts clean.
  static int count = 0;
  fixture::InstallOptions o;
  o.root = tmp_.path() + "i" + std::to_string(++count);
  o.version = "2.49.0.100";
  o.level = level;
  o.claims = 12;
  o.archives_per_family = 2;
  o.converted_archives = converted;
  o.omitted_archive_tables = omitted;
  ASSERT_TRUE(fixture::WriteInstallation(o).ok());
  const fixture::InstallationDirs dirs = fixture::DirsOf(o.root);
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

void ArchiveTest::ConvertTable(const std::string& folder, const std::string& table) {
  if (!newest_written_) {
    fixture::InstallOptions o;
    o.root = newest_.path();
    o.version = "2.49.0.100";
    o.level = 0;
    o.claims = 12;
    o.archives_per_family = 2;
    ASSERT_TRUE(fixture::WriteInstallation(o).ok());
    newest_written_ = true;
  }
  const std::string from = fixture::DirsOf(newest_.path()).data + folder + table;
  Env* env = Env::Current();
  for (const char* ext : {".dbf", ".dbt", ".mdx"}) {
    env->DeleteFile(Data(folder + table + ext));
    if (env->FileExists(from + ext)) {
      ASSERT_TRUE(env->CopyFile(from + ext, Data(folder + table + ext)).ok()) << from << ext;
    }
  }
}

std::string ArchiveTest::Archive(const char* root, const char* name) {
  return std::string(root) + kPathSeparator + name + kPathSeparator;
}

bool ArchiveTest::RunRows(const std::vector<const StepRow*>& rows) {
  std::vector<StepRow> copies;
  for (const StepRow* row : rows) copies.push_back(*row);
  RollbackFlags flags;
  BackedUpTables backed_up;
  ctx_.error_text.clear();
  return RunChain(
      copies, 0, flags,
      [&](const StepRow& row, bool& flag) { return RunStep(ctx_, row, backed_up, flag); },
      [&](const StepRow& row) { RollbackStep(ctx_, row); });
}

bool ArchiveTest::RunOne(int step, bool* flag) {
  BackedUpTables backed_up;
  bool f = true;
  ctx_.error_text.clear();
  const bool ok = RunStep(ctx_, *FindStep(step), backed_up, f);
  if (flag != nullptr) *flag = f;
  return ok;
}

}  // namespace dbup::update
