#include "update/table_files.h"

#include <cctype>

#include "platform/env.h"
#include "platform/path.h"

namespace dbup::update {
namespace {

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

bool IsMemo(const char* ext) {
  return std::string_view(ext) == ".dbt";
}

}  // namespace

bool BackedUpTables::Contains(const std::string& key) const {
  return keys_.count(Upper(key)) != 0;
}

void BackedUpTables::Add(const std::string& key) {
  keys_.insert(Upper(key));
}

TableFiles FilesOf(const StepRow& row, const char* table) {
  return TableFiles{table, Extensions(row.files), row.files == FileSet::kDbfOptionalDbtMdx};
}

bool EnsureDirectory(const std::string& dir) {
  Env* env = Env::Current();
  std::string path = dir;
  while (path.size() > 1 && IsPathSeparator(path.back())) path.pop_back();
  if (path.empty() || env->DirectoryExists(path)) return !path.empty();
  const std::string_view parent = DirName(path);
  if (!parent.empty() && parent != path) EnsureDirectory(std::string(parent));
  env->CreateDirectory(path);
  return env->DirectoryExists(path);
}

bool DeleteTableFiles(const TableFiles& table, const std::string& dir, bool backup_mode,
                      BackedUpTables* backed_up) {
  Env* env = Env::Current();
  const std::string d = WithTrailingSeparator(dir);
  if (backup_mode && backed_up != nullptr) {
    const std::string key = d + table.base;
    const std::string original = d + kOriginalFolder + kPathSeparator;
    if (!backed_up->Contains(key)) {
      // A copy in original from an earlier run must never be restored by
      // this one; one that cannot be removed would be, so it fails the step.
      for (const char* ext : table.extensions) {
        const std::string stale = original + table.base + ext;
        if (env->FileExists(stale)) env->DeleteFile(stale);
        if (env->FileExists(stale)) return false;
      }
      backed_up->Add(key);
    } else if (!env->FileExists(original + table.base + ".dbf")) {
      EnsureDirectory(original);
      for (const char* ext : table.extensions) {
        const std::string from = d + table.base + ext;
        if (!env->FileExists(from)) continue;
        // This is the only copy of the table from before the run; deleting
        // it after a failed move would leave the rollback nothing to restore.
        if (!env->MoveFile(from, original + table.base + ext).ok() && env->FileExists(from)) {
          return false;
        }
      }
    }
  }
  for (const char* ext : table.extensions) {
    const std::string path = d + table.base + ext;
    if (env->FileExists(path)) env->DeleteFile(path);
  }
  for (const char* ext : table.extensions) {
    if (env->FileExists(d + table.base + ext)) return false;
  }
  return true;
}

bool CopyTableFiles(const TableFiles& table, const std::string& from, const std::string& to) {
  Env* env = Env::Current();
  const std::string source = WithTrailingSeparator(from) + table.base;
  const std::string target = WithTrailingSeparator(to) + table.base;
  for (const char* ext : table.extensions) {
    if (table.memo_optional && IsMemo(ext) && !env->FileExists(source + ext)) continue;
    if (!env->CopyFile(source + ext, target + ext).ok()) return false;
  }
  return true;
}

bool RestoreTableFiles(const TableFiles& table, const std::string& backup_dir,
                       const std::string& data_dir) {
  Env* env = Env::Current();
  const std::string backup = WithTrailingSeparator(backup_dir);
  const std::string original = backup + kOriginalFolder + kPathSeparator;
  const std::string source = env->FileExists(original + table.base + ".dbf") ? original : backup;
  bool all = true;
  for (const char* ext : table.extensions) {
    const std::string from = source + table.base + ext;
    if (table.memo_optional && IsMemo(ext) && !env->FileExists(from)) continue;
    if (!env->CopyFile(from, WithTrailingSeparator(data_dir) + table.base + ext).ok()) {
      all = false;
    }
  }
  return all;
}

}  // namespace dbup::update
