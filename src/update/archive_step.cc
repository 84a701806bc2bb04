#include "update/archive_step.h"

#include <chrono>
#include <stdexcept>

#include "convert/common_fields.h"
#include "platform/env.h"
#include "platform/path.h"
#include "update/archive_directories.h"
#include "update/step_messages.h"
#include "update/step_test.h"
#include "update/table_step.h"
#include "update/translations.h"

namespace dbup::update {
namespace {

// Marks the folders the step is needed in; true when any is marked.
bool MarkFolders(JobContext& ctx, const StepRow& row, DirectoryList& list) {
  const std::string& data = ctx.dirs.data;
  if (row.form == Form::kAllFolders || row.test_on_data_dir_only) {
    // Every folder gets the data directory's answer.
    const bool needed = StepNeeded(ctx, row, data);
    for (DirectoryEntry& entry : list) entry.marked = needed;
    return needed;
  }
  bool any = false;
  for (DirectoryEntry& entry : list) {
    entry.marked = StepNeeded(ctx, row, data + entry.folder);
    any = any || entry.marked;
  }
  return any;
}

}  // namespace

bool RunArchiveStep(JobContext& ctx, const StepRow& row, BackedUpTables& backed_up, bool& flag) {
  flag = false;
  const WorkingDirectories& dirs = ctx.dirs;
  DirectoryList list = BuildDirectoryList(ctx, row);
  if (!MarkFolders(ctx, row, list)) return true;
  if (row.locate_check && !TableFilesPresent(ctx, row, list)) return Fail(ctx, row, kLocate);
  TranslationFunction translate = nullptr;
  if (row.translation != nullptr) {
    translate = FindTranslation(row.translation);
    if (translate == nullptr) throw std::logic_error("translation not available");
  }
  const auto started = std::chrono::steady_clock::now();

  if (!DeleteTablesIn(row, dirs.update, list, Visit::kAll, false, nullptr)) {
    return Fail(ctx, row, kDeletePrevious);
  }
  if (!CopyTablesIn(row, CloneFolderPath(ctx, row), dirs.update, list, Visit::kMarked, true)) {
    return Fail(ctx, row, kCopyClone);
  }
  if (!DeleteTablesIn(row, dirs.backup, list, Visit::kAll, true, &backed_up)) {
    return Fail(ctx, row, kDeleteBackup);
  }
  if (!CopyTablesIn(row, dirs.data, dirs.backup, list, Visit::kMarked, false)) {
    return Fail(ctx, row, kBackup);
  }
  long records = 0;
  for (const DirectoryEntry& entry : list) {
    if (!entry.marked) continue;
    for (size_t t = 0; t < row.table_count(); ++t) {
      long copied = 0;
      if (!convert::CopyCommonFields(ctx.session, dirs.backup + entry.folder,
                                     dirs.update + entry.folder, row.tables[t], &copied)) {
        return Fail(ctx, row, kCommonCopy);
      }
      if (t == 0) records += copied;
    }
  }
  flag = true;
  if (translate != nullptr) {
    for (const DirectoryEntry& entry : list) {
      if (entry.marked && !translate(ctx, dirs.backup + entry.folder, dirs.update + entry.folder)) {
        return Fail(ctx, row, kTranslate);
      }
    }
  }
  if (!DeleteTablesIn(row, dirs.data, list, Visit::kMarked, false, nullptr)) {
    return Fail(ctx, row, kDeleteLive);
  }
  if (!CopyTablesIn(row, dirs.update, dirs.data, list, Visit::kMarked, false)) {
    return Fail(ctx, row, kCopyBack);
  }
  DeleteTablesIn(row, dirs.update, list, Visit::kAll, false, nullptr);

  if (ctx.on_step) {
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    size_t folders = 0;
    for (const DirectoryEntry& entry : list) folders += entry.marked ? 1 : 0;
    std::string tables = TableList(row);
    if (folders > 1) tables += " in " + std::to_string(folders) + " folders";
    ctx.on_step(StepProgress{StepName(row.number), tables, records, took.count()});
  }
  return true;
}

bool AddMissingTables(JobContext& ctx, const StepRow& row) {
  Env* env = Env::Current();
  const std::string clone = CloneFolderPath(ctx, row);
  for (const DirectoryEntry& entry : BuildDirectoryList(ctx, row)) {
    const std::string folder = ctx.dirs.data + entry.folder;
    EnsureDirectory(folder);
    for (size_t t = 0; t < row.table_count(); ++t) {
      const std::string dbf = folder + row.tables[t] + ".dbf";
      if (env->FileExists(dbf)) continue;
      if (!CopyTableFiles(FilesOf(row, row.tables[t]), clone, folder)) {
        // A .dbf without its index would be left alone by every later run
        // and the host could not open it: take back what was copied.
        env->DeleteFile(dbf);
        return Fail(ctx, row, kCopyBack);
      }
    }
  }
  return true;
}

void RollbackArchiveStep(JobContext& ctx, const StepRow& row) {
  Env* env = Env::Current();
  for (const DirectoryEntry& entry : BuildRollbackList(ctx, row)) {
    const std::string backup = ctx.dirs.backup + entry.folder;
    const std::string original = backup + kOriginalFolder + kPathSeparator;
    for (size_t t = 0; t < row.table_count(); ++t) {
      const std::string base = row.tables[t];
      const std::string& source = env->FileExists(original + base + ".dbf") ? original : backup;
      if (!row.rollback_stops_at_missing_backup && !env->FileExists(source + base + ".dbf")) {
        continue;
      }
      if (!CopyTableFiles(FilesOf(row, row.tables[t]), source, ctx.dirs.data + entry.folder)) {
        return;
      }
    }
  }
}

}  // namespace dbup::update
