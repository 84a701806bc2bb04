#include "update/table_step.h"

#include <chrono>
#include <stdexcept>

#include "convert/common_fields.h"
#include "platform/env.h"
#include "platform/path.h"
#include "update/archive_step.h"
#include "update/step_messages.h"
#include "update/step_test.h"
#include "update/translations.h"

namespace dbup::update {
namespace {

bool TableFilesPresent(const JobContext& ctx, const StepRow& row) {
  Env* env = Env::Current();
  const std::string base = ctx.dirs.data + row.main_table();
  return env->FileExists(base + ".dbf") && env->FileExists(base + ".mdx");
}

// Part of the template after the test: the twelve operations of a plain step.
bool ReplacePlainTable(JobContext& ctx, const StepRow& row, BackedUpTables& backed_up, bool& flag) {
  const auto started = std::chrono::steady_clock::now();
  const WorkingDirectories& dirs = ctx.dirs;
  const TableFiles table = FilesOf(row, row.main_table());

  if (!DeleteTableFiles(table, dirs.update, false, nullptr)) return Fail(ctx, row, kDeletePrevious);
  if (!CopyTableFiles(table, CloneFolderPath(ctx, row), dirs.update)) {
    return Fail(ctx, row, kCopyClone);
  }
  if (!DeleteTableFiles(table, dirs.backup, true, &backed_up)) return Fail(ctx, row, kDeleteBackup);
  if (!CopyTableFiles(table, dirs.data, dirs.backup)) return Fail(ctx, row, kBackup);
  long records = 0;
  if (!convert::CopyCommonFields(ctx.session, dirs.backup, dirs.update, table.base, &records)) {
    return Fail(ctx, row, kCommonCopy);
  }
  flag = true;
  if (row.translation != nullptr) {
    const TranslationFunction translate = FindTranslation(row.translation);
    if (translate == nullptr) throw std::logic_error("translation not available");
    if (!translate(ctx, dirs.backup, dirs.update)) return Fail(ctx, row, kTranslate);
  }
  if (!DeleteTableFiles(table, dirs.data, false, nullptr)) return Fail(ctx, row, kDeleteLive);
  if (!CopyTableFiles(table, dirs.update, dirs.data)) return Fail(ctx, row, kCopyBack);
  DeleteTableFiles(table, dirs.update, false, nullptr);

  if (ctx.on_step) {
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    ctx.on_step(StepProgress{StepName(row.number), table.base, records, took.count()});
  }
  return true;
}

}  // namespace

std::string CloneFolderPath(const JobContext& ctx, const StepRow& row) {
  return ctx.dirs.server + "update" + kPathSeparator + "clone" + kPathSeparator + row.clone_folder +
         kPathSeparator;
}

bool RunStep(JobContext& ctx, const StepRow& row, BackedUpTables& backed_up, bool& flag) {
  flag = false;
  try {
    if (!StepIsRunnable(row)) {
      // Forms and translations this build lacks: harmless while there is
      // nothing to do, a clear failure (before any file is touched) otherwise.
      if (!StepFindsWork(ctx, row)) return true;
      throw std::logic_error("step form not available");
    }
    if (row.form == Form::kAddIfMissing) return AddMissingTables(ctx, row);
    if (row.form != Form::kPlain) return RunArchiveStep(ctx, row, backed_up, flag);
    if (!StepNeeded(ctx, row, ctx.dirs.data)) return true;
    if (row.locate_check && !TableFilesPresent(ctx, row)) return Fail(ctx, row, kLocate);
    return ReplacePlainTable(ctx, row, backed_up, flag);
  } catch (...) {
    return Fail(ctx, row, kUnexpected);
  }
}

void RollbackStep(JobContext& ctx, const StepRow& row) {
  try {
    if (row.form != Form::kPlain) {
      RollbackArchiveStep(ctx, row);
      return;
    }
    RestoreTableFiles(FilesOf(row, row.main_table()), ctx.dirs.backup, ctx.dirs.data);
  } catch (...) {
    // A rollback reports nothing; the step's own message stays.
  }
}

}  // namespace dbup::update
