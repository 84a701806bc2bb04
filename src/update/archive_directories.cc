#include "update/archive_directories.h"

#include "platform/env.h"
#include "platform/path.h"
#include "update/step_test.h"

namespace dbup::update {
namespace {

constexpr const char* kDeletableExtensions[] = {".dbf", ".dbt", ".mdx"};

bool Visited(const DirectoryEntry& entry, Visit visit) {
  return visit == Visit::kAll || entry.marked;
}

}  // namespace

DirectoryList BuildDirectoryList(const JobContext& ctx, const StepRow& row) {
  const char* list_table = row.list_table != nullptr ? row.list_table : row.main_table();
  DirectoryList list{DirectoryEntry{}};
  for (std::string& folder :
       ListArchiveDirectories(ctx.dirs.data, std::string(list_table) + ".dbf")) {
    list.push_back(DirectoryEntry{std::move(folder), false});
  }
  return list;
}

DirectoryList BuildRollbackList(const JobContext& ctx, const StepRow& row) {
  Env* env = Env::Current();
  const char* list_table = row.list_table != nullptr ? row.list_table : row.main_table();
  const std::string main = std::string(row.main_table()) + ".dbf";
  DirectoryList list{DirectoryEntry{}};
  for (const char* root : {"archub92", "arch1500"}) {
    std::vector<std::string> names;
    if (!env->ListDirectory(ctx.dirs.data + root, ListFilter::kDirectoriesOnly, &names).ok()) {
      continue;
    }
    for (const std::string& name : names) {
      const std::string folder = std::string(root) + kPathSeparator + name + kPathSeparator;
      const std::string backup = ctx.dirs.backup + folder;
      const bool listed = env->FileExists(ctx.dirs.data + folder + list_table + ".dbf");
      const bool lost = !env->FileExists(ctx.dirs.data + folder + main) &&
                        (env->FileExists(backup + main) ||
                         env->FileExists(backup + kOriginalFolder + kPathSeparator + main));
      if (listed || lost) list.push_back(DirectoryEntry{folder, false});
    }
  }
  return list;
}

TableFiles DeletableFilesOf(const char* table) {
  return TableFiles{table, kDeletableExtensions, true};
}

bool DeleteTablesIn(const StepRow& row, const std::string& base, const DirectoryList& list,
                    Visit visit, bool backup_mode, BackedUpTables* backed_up) {
  for (const DirectoryEntry& entry : list) {
    if (!Visited(entry, visit)) continue;
    for (size_t t = 0; t < row.table_count(); ++t) {
      if (!DeleteTableFiles(DeletableFilesOf(row.tables[t]), base + entry.folder, backup_mode,
                            backed_up)) {
        return false;
      }
    }
  }
  return true;
}

bool CopyTablesIn(const StepRow& row, const std::string& from, const std::string& to,
                  const DirectoryList& list, Visit visit, bool same_source) {
  for (const DirectoryEntry& entry : list) {
    if (!Visited(entry, visit)) continue;
    // A folder that cannot be made shows up as the failed copy into it.
    EnsureDirectory(to + entry.folder);
    const std::string source = same_source ? from : from + entry.folder;
    for (size_t t = 0; t < row.table_count(); ++t) {
      if (!CopyTableFiles(FilesOf(row, row.tables[t]), source, to + entry.folder)) return false;
    }
  }
  return true;
}

bool TableFilesPresent(const JobContext& ctx, const StepRow& row, const DirectoryList& list) {
  Env* env = Env::Current();
  for (const DirectoryEntry& entry : list) {
    for (size_t t = 0; t < row.table_count(); ++t) {
      const std::string base = ctx.dirs.data + entry.folder + row.tables[t];
      if (!env->FileExists(base + ".dbf") || !env->FileExists(base + ".mdx")) return false;
    }
  }
  return true;
}

}  // namespace dbup::update
