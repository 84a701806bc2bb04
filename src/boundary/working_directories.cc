#include "boundary/working_directories.h"

#include <memory>

#include "platform/env.h"
#include "platform/path.h"
#include "platform/registry.h"

namespace dbup::boundary {

namespace {

// Where a path's folder part ends: after its last separator (and, on
// Windows, after a drive's colon).
size_t FolderPartLength(const std::string& path) {
#ifdef _WIN32
  size_t pos = path.find_last_of("\\:");
#else
  size_t pos = path.rfind(kPathSeparator);
#endif
  return pos == std::string::npos ? 0 : pos + 1;
}

// A path that cannot be created because it is (at most) a root: "C:\" or
// "C:" on Windows, "/" on POSIX; and the empty path everywhere.
bool IsRoot(const std::string& path) {
#ifdef _WIN32
  return path.size() < 3;
#else
  return path.empty() || path == "/";
#endif
}

bool ReadDirectory(RegistryKey& key, const char* name, std::string* dir) {
  std::string value;
  if (!key.ReadString(kRegistrySection, name, &value).ok()) return false;
  *dir = AddBackslash(std::move(value));
  return true;
}

// The parent of a directory ending in a separator, with its separator;
// "" when there is none.
std::string ParentDirectory(const std::string& dir) {
  std::string parent = dir.substr(0, dir.size() - 1);
  while (!parent.empty() && parent.back() != kPathSeparator) parent.pop_back();
  return parent;
}

}  // namespace

std::string AddBackslash(std::string path) {
  if (!path.empty() && path.back() != kPathSeparator) path.push_back(kPathSeparator);
  return path;
}

bool DirectoryExists(const std::string& path) {
  return Env::Current()->DirectoryExists(path);
}

bool CreateDirectoryPath(const std::string& path) {
  std::string dir = path;
  if (!dir.empty() && dir.back() == kPathSeparator) dir.pop_back();
  if (IsRoot(dir) || DirectoryExists(dir)) return true;
  size_t folder = FolderPartLength(dir);
  if (folder == dir.size()) return true;
  // Each level is strictly shorter than the one before, so the walk ends.
  if (!CreateDirectoryPath(dir.substr(0, folder))) return false;
  return Env::Current()->CreateDirectory(dir).ok();
}

bool FindWorkingDirectories(WorkingDirectories* dirs) {
  std::unique_ptr<RegistryKey> key;
  if (!OpenCurrentUserKey(kRegistryKey, &key).ok()) return false;
  if (!ReadDirectory(*key, "ServerDirectory", &dirs->server) ||
      !ReadDirectory(*key, "InstallDirectory", &dirs->install) ||
      !ReadDirectory(*key, "DataDirectory", &dirs->data)) {
    return false;
  }
  key.reset();

  if (dirs->install.empty() || dirs->data.empty()) return false;
  if (dirs->server.empty()) {
    dirs->server = ParentDirectory(dirs->data);
    if (dirs->server.empty()) return false;
  }

  const std::string sep(1, kPathSeparator);
  dirs->private_dir = dirs->install + "private" + sep;
  dirs->update = dirs->install + "update" + sep;
  dirs->backup = dirs->install + "update" + sep + "backup" + sep;
  for (const std::string* work : {&dirs->private_dir, &dirs->update, &dirs->backup}) {
    if (!DirectoryExists(*work)) CreateDirectoryPath(*work);
  }

  for (const std::string* dir : {&dirs->server, &dirs->install, &dirs->data, &dirs->private_dir,
                                 &dirs->update, &dirs->backup}) {
    if (!DirectoryExists(*dir)) return false;
  }
  return true;
}

}  // namespace dbup::boundary
