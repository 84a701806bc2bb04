// `dbup update --dry-run` and `--progress` on a generated installation.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "installation.h"
#include "platform/env.h"
#include "platform/path.h"
#include "support/temp_dir.h"

namespace dbup {
namespace {

std::string Shell(const std::string& command, int* status) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof(buf), pipe)) > 0) out.append(buf, n);
  *status = pclose(pipe);
  return out;
}

void Collect(const std::string& dir, std::map<std::string, std::string>* files) {
  std::vector<std::string> names;
  if (!Env::Current()->ListDirectory(dir, ListFilter::kAll, &names).ok()) return;
  for (const std::string& name : names) {
    const std::string path = JoinPath(dir, name);
    if (Env::Current()->DirectoryExists(path)) {
      (*files)[path] = "<dir>";
      Collect(path, files);
    } else {
      ReadFileToString(path, &(*files)[path]);
    }
  }
}

TEST(UpdateToolTest, DryRunListsTheStepsAndChangesNothing) {
  testing::TempDir tmp;
  fixture::InstallOptions o;
  o.root = tmp.path();
  o.version = "2.45.0.300";
  o.level = 201;
  o.claims = 10;
  ASSERT_TRUE(fixture::WriteInstallation(o).ok());
  std::map<std::string, std::string> before, after;
  Collect(tmp.path(), &before);

  const std::string dbup =
      std::string(DBUP_TOOL) + " update --registry " + tmp.Path("registry.reg");
  int status = -1;
  const std::string out = Shell(dbup + " --dry-run 2>&1", &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("version 2.45.0.300 (from TANDRIL.EXE)"), std::string::npos) << out;
  EXPECT_NE(out.find("starting level 201"), std::string::npos) << out;
  EXPECT_NE(out.find("Update0201  bsclaim"), std::string::npos) << out;
  EXPECT_NE(out.find("Update0203  bcpoc"), std::string::npos) << out;
  EXPECT_EQ(out.find("Update0200"), std::string::npos) << out;
  Collect(tmp.path(), &after);
  EXPECT_EQ(after, before);

  // A real run from level 202 reports each replaced table on standard error.
  const std::string progress = Shell(dbup + " --version 2.49.0.100 --progress 2>&1", &status);
  EXPECT_EQ(status, 0) << progress;
  EXPECT_NE(progress.find("Update0202  isec"), std::string::npos) << progress;
  EXPECT_NE(progress.find("Update0203  bcpoc"), std::string::npos) << progress;
  EXPECT_NE(progress.find(" records "), std::string::npos) << progress;
  // Without --progress (and not on a terminal) the tool is silent on success.
  EXPECT_EQ(Shell(dbup + " --version 2.49.0.100 2>&1", &status), "");
  EXPECT_EQ(status, 0);

  // Readers that share no code with ours read the replaced tables: every
  // live record with its memo through dbfread, every key through Perl's
  // XBase::Index.
  const std::string data = fixture::DirsOf(tmp.path()).data;
  if (Env::Current()->FileExists("/usr/lib/python3/dist-packages/dbfread/__init__.py")) {
    const std::string count = Shell(
        "/usr/bin/python3 -c \"import dbfread,sys; t=dbfread.DBF(sys.argv[1]); "
        "r=list(t); print(len(r), sum(1 for x in r if x['T_NOTE'] and '\\r\\n' in x['T_NOTE']), "
        "'T_PDIAGVS' in t.field_names)\" " +
            data + "bcpoc.dbf 2>&1",
        &status);
    EXPECT_EQ(status, 0) << count;
    EXPECT_EQ(count.substr(count.rfind(' ') + 1), "True\n") << count;
    EXPECT_NE(count.substr(0, count.find(' ')), "0") << count;
  }
  if (Env::Current()->FileExists("/usr/bin/index_dump")) {
    const std::string keys =
        Shell("/usr/bin/index_dump " + data + "bcpoc.mdx T_CLAIM 2>&1", &status);
    EXPECT_EQ(status, 0) << keys;
    size_t lines = 0;
    for (char c : keys) lines += c == '\n' ? 1 : 0;
    int dump_status = 0;
    const std::string dump =
        Shell(std::string(DBFTOOL) + " dump --deleted " + data + "bcpoc.dbf", &dump_status);
    size_t records = 0;
    for (char c : dump) records += c == '\n' ? 1 : 0;
    EXPECT_EQ(lines, records) << keys;
  }
}

}  // namespace
}  // namespace dbup
