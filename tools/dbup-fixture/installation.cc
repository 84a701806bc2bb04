#include "installation.h"

#include <cctype>
#include <set>

#include "platform/env.h"
#include "platform/path.h"
#include "update/catalogue.h"
#include "version_exe.h"

namespace dbup::fixture {
namespace {

constexpr int kNewestLevel = 204;  // above every step: the newest structures

Status MakeDirs(const std::string& dir) {
  Env* env = Env::Current();
  std::string path = dir;
  while (path.size() > 1 && IsPathSeparator(path.back())) path.pop_back();
  if (path.empty() || env->DirectoryExists(path)) return Status::OK();
  const std::string parent(DirName(path));
  if (!parent.empty() && parent != path) {
    Status s = MakeDirs(parent);
    if (!s.ok()) return s;
  }
  return env->CreateDirectory(path);
}

// Whether `name` is in the list, ignoring case as the host's folders do.
bool Listed(const std::vector<std::string>& list, const std::string& name) {
  for (const std::string& item : list) {
    if (item.size() != name.size()) continue;
    bool same = true;
    for (size_t i = 0; i < item.size() && same; ++i) {
      same = std::tolower(static_cast<unsigned char>(item[i])) ==
             std::tolower(static_cast<unsigned char>(name[i]));
    }
    if (same) return true;
  }
  return false;
}

std::string RegString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

Status WriteServer(const InstallOptions& o, const InstallationDirs& dirs,
                   const std::vector<std::string>& data_tables) {
  FileVersion version;
  if (!ParseFileVersion(o.version, &version)) {
    return Status::InvalidArgument("not a version of four numbers: " + o.version);
  }
  Status s = WriteStringToFile(dirs.server + "TANDRIL.EXE", BuildVersionExe(version));
  if (!s.ok()) return s;
  std::string ini = "[General]\r\nVersion=" + o.version + "\r\n\r\n[Database Tables]\r\n";
  for (const std::string& table : data_tables) ini += table + ".dbf=" + table + "\r\n";
  s = WriteStringToFile(dirs.server + "TANDRIL.INI", ini);
  if (!s.ok()) return s;

  // Every clone folder holds, for each step that uses it, the empty tables
  // of that step in the structure the folder installs.
  const StructureHistory& history = StructureHistory::Host();
  std::set<std::string> written;
  for (const update::StepRow& row : update::Catalogue()) {
    const std::string folder = dirs.server + "update" + kPathSeparator + "clone" + kPathSeparator +
                               row.clone_folder + kPathSeparator;
    s = MakeDirs(folder);
    if (!s.ok()) return s;
    for (size_t t = 0; t < row.table_count(); ++t) {
      if (!written.insert(folder + row.tables[t]).second) continue;
      const TableHistory* table = history.Find(row.tables[t]);
      if (table == nullptr) return Status::NotFound(std::string("no history of ") + row.tables[t]);
      s = WriteTable(folder, history.InClone(*table, CloneNumber(row.clone_folder)), RowsRule{}, 0,
                     0, o.seed);
      if (!s.ok()) return s;
    }
  }
  return Status::OK();
}

}  // namespace

InstallationDirs DirsOf(const std::string& root) {
  const std::string r = WithTrailingSeparator(root);
  return InstallationDirs{r + "server" + kPathSeparator, r + "install" + kPathSeparator,
                          r + "data" + kPathSeparator};
}

Status WriteInstallation(const InstallOptions& o) {
  const InstallationDirs dirs = DirsOf(o.root);
  for (const std::string* dir : {&dirs.server, &dirs.install, &dirs.data}) {
    Status s = MakeDirs(*dir);
    if (!s.ok()) return s;
  }
  const int level = o.level > 0 ? o.level : kNewestLevel;
  const StructureHistory& history = StructureHistory::Host();

  std::vector<std::string> data_tables;
  for (const TableHistory& table : history.tables()) {
    TableStructure s;
    if (!history.AtLevel(table, level, &s)) continue;
    Status st = WriteTable(dirs.data, s, table.rows, o.claims, 100000, o.seed);
    if (!st.ok()) return st;
    data_tables.push_back(table.first.name);
  }

  // Claim archives: institutional claims below archub92, professional below
  // arch1500, each archive with its own claim numbers.
  const int archive_claims = o.claims / 4 > 0 ? o.claims / 4 : 1;
  for (int a = 0; a < o.archives_per_family; ++a) {
    const std::string name = "ARC" + std::to_string(2019 + a);
    for (const auto& [family, root] : {std::pair<std::string, const char*>{"bc", "archub92"},
                                       std::pair<std::string, const char*>{"bs", "arch1500"}}) {
      const std::string dir = dirs.data + root + kPathSeparator + name + kPathSeparator;
      Status st = MakeDirs(dir);
      if (!st.ok()) return st;
      const std::string archive = std::string(root) + "/" + name;
      const int archive_level = Listed(o.converted_archives, archive) ? kNewestLevel : level;
      for (const TableHistory& table : history.tables()) {
        TableStructure s;
        if (table.archive_family != family || !history.AtLevel(table, archive_level, &s)) continue;
        if (Listed(o.omitted_archive_tables, archive + "/" + table.first.name)) continue;
        st = WriteTable(dir, s, table.rows, archive_claims, 10000 + 1000 * a, o.seed + a + 1);
        if (!st.ok()) return st;
      }
    }
  }

  Status s = WriteServer(o, dirs, data_tables);
  if (!s.ok()) return s;
  std::string reg =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Velmora\\Tandril\\General]\r\n";
  reg += "\"ServerDirectory\"=" + RegString(dirs.server) + "\r\n";
  reg += "\"InstallDirectory\"=" + RegString(dirs.install) + "\r\n";
  reg += "\"DataDirectory\"=" + RegString(dirs.data) + "\r\n";
  return WriteStringToFile(WithTrailingSeparator(o.root) + "registry.reg", reg);
}

}  // namespace dbup::fixture
