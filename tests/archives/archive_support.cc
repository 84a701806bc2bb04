#include "archive_support.h"

#include <cmath>
#include <cstdio>

#include "platform/env.h"
#include "platform/path.h"
#include "update/chain.h"
#include "update/table_step.h"

namespace dbup::update {
namespace {

void SnapshotInto(const std::string& dir, const std::string& prefix, Snapshot* out) {
  Env* env = Env::Current();
  std::vector<std::string> names;
  if (!env->ListDirectory(dir, ListFilter::kAll, &names).ok()) return;
  for (const std::string& name : names) {
    const std::string path = JoinPath(dir, name);
    if (env->DirectoryExists(path)) {
      SnapshotInto(path, prefix + name + "/", out);
    } else {
      ReadFileToString(path, &(*out)[prefix + name]);
    }
  }
}

bool SameValue(const nlohmann::json& a, const nlohmann::json& b) {
  if (a.is_number() && b.is_number()) return std::fabs(a.get<double>() - b.get<double>()) < 1e-9;
  if (a.is_string() && b.is_string()) {
    std::string x = a.get<std::string>(), y = b.get<std::string>();
    x.erase(x.find_last_not_of(' ') + 1);
    y.erase(y.find_last_not_of(' ') + 1);
    return x == y;
  }
  return a == b;
}

}  // namespace

Snapshot Take(const std::string& dir) {
  Snapshot s;
  SnapshotInto(dir, "", &s);
  return s;
}

void ExpectSameFiles(const Snapshot& before, const Snapshot& after) {
  for (const auto& [path, bytes] : before) {
    auto it = after.find(path);
    if (it == after.end()) {
      ADD_FAILURE() << "removed: " << path;
    } else if (it->second != bytes) {
      ADD_FAILURE() << "changed: " << path;
    }
  }
  for (const auto& [path, bytes] : after) {
    if (before.count(path) == 0) ADD_FAILURE() << "added: " << path;
  }
}

std::string Dbftool(const std::string& args, int* status) {
  std::string out;
  FILE* pipe = popen((std::string(DBFTOOL) + " " + args + " 2>&1").c_str(), "r");
  if (pipe == nullptr) {
    *status = -1;
    return out;
  }
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof(buf), pipe)) > 0) out.append(buf, n);
  *status = pclose(pipe);
  return out;
}

std::vector<nlohmann::json> DumpLive(const std::string& dbf) {
  int status = 0;
  const std::string out = Dbftool("dump '" + dbf + "'", &status);
  EXPECT_EQ(status, 0) << dbf << ": " << out;
  std::vector<nlohmann::json> rows;
  if (status != 0) return rows;
  size_t start = 0;
  while (start < out.size()) {
    size_t end = out.find('\n', start);
    if (end == std::string::npos) end = out.size();
    if (end > start) {
      nlohmann::json row = nlohmann::json::parse(out.substr(start, end - start));
      if (!row.value("_deleted", false)) rows.push_back(row);
    }
    start = end + 1;
  }
  return rows;
}

void ExpectSameRecords(const std::vector<nlohmann::json>& before,
                       const std::vector<nlohmann::json>& after, const std::string& what) {
  ASSERT_EQ(after.size(), before.size()) << what;
  for (size_t r = 0; r < before.size(); ++r) {
    for (const auto& [name, value] : before[r].items()) {
      if (name[0] == '_' || !after[r].contains(name)) continue;
      EXPECT_TRUE(SameValue(after[r][name], value)) << what << " record " << r + 1 << " " << name
                                                    << ": " << value << " -> " << after[r][name];
    }
  }
}

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
