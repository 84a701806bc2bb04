#include "maintenance/reindex_all.h"

#include <string>
#include <vector>

#include "maintenance/header_repair.h"
#include "maintenance/reindex_table.h"
#include "platform/env.h"
#include "platform/path.h"
#include "platform/profile.h"

namespace dbup::maintenance {

namespace {

constexpr char kConfigFileName[] = "TANDRIL.INI";
constexpr char kTableSection[] = "Database Tables";
// The one listed table the host lets go without an index.
constexpr char kUnindexedTable[] = "UTILMAST";
constexpr const char* kArchiveBases[] = {"archub92", "arch1500"};

constexpr char kReindexAdvice[] =
    "\r\nPerform a reindex of all database files in the File Maintenance module before "
    "attempting this update again.";
constexpr char kCorruptArchive[] =
    "\r\nThe claim archive is corrupt and will require manual repair or removal.";

// The table name of a file name: everything before its first "."; a name
// without one names no table.
std::string TableName(std::string_view file_name) {
  const size_t dot = file_name.find('.');
  return dot == std::string_view::npos ? "" : std::string(file_name.substr(0, dot));
}

std::string WithDetail(std::string message, const std::string& detail) {
  if (!detail.empty()) message += " [" + detail + "]";
  return message;
}

bool EndsWithDbf(const std::string& name) {
  return name.size() > 4 &&
         EqualsIgnoreCase(std::string_view(name).substr(name.size() - 4), ".DBF");
}

// The installation's copy of the configuration wins over the server's.
std::string FindConfigFile(const WorkingDirectories& dirs) {
  for (const std::string* dir : {&dirs.install, &dirs.server}) {
    std::string path = *dir + kConfigFileName;
    if (Env::Current()->FileExists(path)) return path;
  }
  return "";
}

// Returns false, with the message in ctx.error_text, at the first table that
// is missing or cannot be reindexed.
bool ReindexListedTables(JobContext& ctx, const std::vector<std::string>& keys) {
  Env* env = Env::Current();
  const std::string& data = ctx.dirs.data;
  for (const std::string& key : keys) {
    const std::string name = TableName(key);
    if (!env->FileExists(data + name + ".DBF")) {
      ctx.error_text = "Unable to locate database file: " + name + ".DBF";
      return false;
    }
    if (env->FileExists(data + name + ".MDX")) {
      RepairTableHeader(data + name + ".DBF");
      std::string detail;
      if (!ReindexTable(ctx.session, data, name, &detail)) {
        ctx.error_text = WithDetail("Unable to reindex database file: " + name + ".DBF", detail);
        return false;
      }
    } else if (!EqualsIgnoreCase(name, kUnindexedTable)) {
      ctx.error_text = "Unable to locate index file: " + name + ".MDX" + kReindexAdvice;
      return false;
    }
  }
  return true;
}

// A folder the directory search does not offer. Windows' search leaves out
// hidden and system folders itself; on POSIX a dot name is what hides one.
bool IsHiddenFolder(const std::string& name) {
#ifdef _WIN32
  (void)name;
  return false;
#else
  return !name.empty() && name.front() == '.';
#endif
}

// Every archive folder below the archive bases, without a trailing separator.
std::vector<std::string> ArchiveDirectories(const std::string& data) {
  std::vector<std::string> dirs;
  for (const char* base_name : kArchiveBases) {
    const std::string base = data + base_name + kPathSeparator;
    std::vector<std::string> entries;
    if (!Env::Current()->ListDirectory(base, ListFilter::kDirectoriesOnly, &entries).ok()) continue;
    for (const std::string& entry : entries) {
      if (IsHiddenFolder(entry)) continue;
      dirs.push_back(base + entry);
    }
  }
  return dirs;
}

std::vector<std::string> ArchiveTableFiles(const std::vector<std::string>& dirs) {
  std::vector<std::string> files;
  for (const std::string& dir : dirs) {
    const std::string with_separator = dir + kPathSeparator;
    std::vector<std::string> entries;
    if (!Env::Current()->ListDirectory(with_separator, ListFilter::kAll, &entries).ok()) continue;
    for (const std::string& entry : entries) {
      if (EndsWithDbf(entry)) files.push_back(with_separator + entry);
    }
  }
  return files;
}

// Archive folders may have blanks and long names that the engine's 8.3-era
// paths do not take, so files are reached through the short form of the
// folder while messages quote the long one.
bool ReindexArchiveTables(JobContext& ctx) {
  Env* env = Env::Current();
  for (const std::string& path : ArchiveTableFiles(ArchiveDirectories(ctx.dirs.data))) {
    const std::string long_dir(DirName(path));
    const std::string short_dir(DirName(env->ShortPath(path)));
    const std::string name = TableName(BaseName(path));
    if (!env->FileExists(short_dir + name + ".DBF")) {
      ctx.error_text = "Unable to locate claim archive database file: " + long_dir + name + ".DBF" +
                       kCorruptArchive;
      return false;
    }
    if (!env->FileExists(short_dir + name + ".MDX")) {
      ctx.error_text = "Unable to locate claim archive index file: " + long_dir + name + ".MDX" +
                       kCorruptArchive;
      return false;
    }
    RepairTableHeader(short_dir + name + ".DBF");
    std::string detail;
    if (!ReindexTable(ctx.session, short_dir, name, &detail)) {
      ctx.error_text = WithDetail(
          "Unable to reindex claim archive database file: " + long_dir + name + ".DBF", detail);
      return false;
    }
  }
  return true;
}

}  // namespace

void ReindexAllTables(JobContext& ctx) {
  const std::string config = FindConfigFile(ctx.dirs);
  if (config.empty()) {
    ctx.error_text = "Unable to locate system configuration file (TANDRIL.INI).";
    return;
  }
  SessionScope session(ctx);
  // A configuration that cannot be read lists no tables, as Windows sees it.
  std::vector<std::string> keys;
  if (!ReadProfileKeyNames(config, kTableSection, &keys).ok()) keys.clear();
  if (keys.empty()) {
    ctx.error_text = "Database files list is empty.";
    return;
  }
  if (!ReindexListedTables(ctx, keys)) return;
  ReindexArchiveTables(ctx);
}

}  // namespace dbup::maintenance
