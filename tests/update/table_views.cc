#include "table_views.h"

#include <cmath>
#include <cstdio>

#include "platform/env.h"
#include "platform/path.h"

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

}  // namespace

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

}  // namespace dbup::update
