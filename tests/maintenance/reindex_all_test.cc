#include "maintenance/reindex_all.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "maintenance/table_fixture.h"
#include "platform/env.h"
#include "platform/path.h"
#include "support/temp_dir.h"

namespace dbup::maintenance {
namespace {

using testing::Installation;
namespace fs = std::filesystem;

constexpr char kSep = kPathSeparator;
const std::string kArchiveAdvice =
    "\r\nThe claim archive is corrupt and will require manual repair or removal.";

// A table with one character field CODE of width 4 and `records` records.
std::string TableBytes(int records) {
  std::string h(32, '\0');
  h[0] = 0x03, h[1] = 126, h[2] = 11, h[3] = 30;
  h[4] = static_cast<char>(records);
  h[8] = 65, h[10] = 5;
  std::string f(32, '\0');
  f.replace(0, 4, "CODE");
  f[11] = 'C', f[16] = 4;
  std::string out = h + f + "\x0D";
  for (int i = 0; i < records; ++i) out += " C" + std::to_string(100 + i).substr(0, 3);
  return out + "\x1A";
}

std::string Archive(const std::string& base, const std::string& folder, const std::string& file) {
  return base + kSep + folder + kSep + file;
}

TEST(ReindexAllTest, ReportsEachMissingFileInItsOwnWords) {
  struct Case {
    const char* name;
    std::vector<std::string> keys;
    std::vector<std::string> files;  // relative to the data folder
    std::string message;
  };
  const std::string archive_dir = Archive("archub92", "2001", "");
  const Case cases[] = {
      {"listed table missing", {"SUBMIT.DBF"}, {}, "Unable to locate database file: SUBMIT.DBF"},
      {"key without a dot", {"SUBMIT"}, {"SUBMIT.DBF"}, "Unable to locate database file: .DBF"},
      {"table name ends at the first dot",
       {"CLAIMS.OLD.DBF"},
       {"CLAIMS.OLD.DBF"},
       "Unable to locate database file: CLAIMS.DBF"},
      {"missing table reported before its index, UTILMAST too",
       {"UTILMAST.DBF"},
       {"UTILMAST.MDX"},
       "Unable to locate database file: UTILMAST.DBF"},
      {"listed index missing",
       {"UTILMAST.DBF", "SUBMIT.DBF"},
       {"UTILMAST.DBF", "SUBMIT.DBF"},
       "Unable to locate index file: SUBMIT.MDX\r\nPerform a reindex of all database files in "
       "the File Maintenance module before attempting this update again."},
      {"archive table looked for by the name before its first dot",
       {"utilmast.dbf"},
       {"UTILMAST.DBF", archive_dir + "CLM.2001.DBF", archive_dir + "CLM.2001.MDX"},
       "Unable to locate claim archive database file: " + std::string() + "%DATA%" + archive_dir +
           "CLM.DBF" + kArchiveAdvice},
      {"archive index missing",
       {"UTILMAST.DBF"},
       {"UTILMAST.DBF", Archive("arch1500", "Old Claims 1999", "BSCLAIM.DBF")},
       "Unable to locate claim archive index file: %DATA%" +
           Archive("arch1500", "Old Claims 1999", "BSCLAIM.MDX") + kArchiveAdvice},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Installation inst;
    inst.WriteIni(inst.ctx.dirs.install, c.keys);
    for (const std::string& f : c.files) inst.WriteData(f, TableBytes(2));
    ReindexAllTables(inst.ctx);
    std::string expected = c.message;
    if (size_t at = expected.find("%DATA%"); at != std::string::npos) {
      expected.replace(at, 6, inst.ctx.dirs.data);
    }
    EXPECT_EQ(inst.ctx.error_text, expected);
  }
}

TEST(ReindexAllTest, FindsTheConfigurationInInstallThenServerFolder) {
  {
    Installation inst;
    ReindexAllTables(inst.ctx);
    EXPECT_EQ(inst.ctx.error_text, "Unable to locate system configuration file (TANDRIL.INI).");
  }
  {
    // The server's copy is read when the installation has none...
    Installation inst;
    inst.WriteIni(inst.ctx.dirs.server, {"SUBMIT.DBF"});
    ReindexAllTables(inst.ctx);
    EXPECT_EQ(inst.ctx.error_text, "Unable to locate database file: SUBMIT.DBF");
  }
  {
    // ...and the installation's wins when both exist.
    Installation inst;
    inst.WriteIni(inst.ctx.dirs.server, {"SUBMIT.DBF"});
    inst.WriteIni(inst.ctx.dirs.install, {"PATIENT.DBF"});
    ReindexAllTables(inst.ctx);
    EXPECT_EQ(inst.ctx.error_text, "Unable to locate database file: PATIENT.DBF");
  }
  for (const char* section : {"Database Tables", "Other Section"}) {
    Installation inst;
    inst.WriteIni(inst.ctx.dirs.install, {}, section);
    ReindexAllTables(inst.ctx);
    EXPECT_EQ(inst.ctx.error_text, "Database files list is empty.");
  }
}

// Records which files the run opens.
class OpenRecorder : public EnvWrapper {
 public:
  OpenRecorder() : EnvWrapper(Env::Default()) {}
  Status OpenFile(const std::string& path, OpenMode mode, std::unique_ptr<File>* file) override {
    opened.push_back(path);
    return target()->OpenFile(path, mode, file);
  }
  std::vector<std::string> opened;
};

TEST(ReindexAllTest, UnindexedUtilmastAndMissingArchivesSucceedWithoutOpeningATable) {
  Installation inst;
  inst.WriteIni(inst.ctx.dirs.install, {"Utilmast.dbf"});
  inst.WriteData("UTILMAST.DBF", TableBytes(1) + "junk");
  fs::create_directories(inst.Data("arch1500"));  // an empty archive base
#ifndef _WIN32
  // A hidden folder is no archive, whatever it holds.
  inst.WriteData(Archive("archub92", ".trash", "BCCLAIM.DBF"), "not a table");
#endif
  OpenRecorder env;
  {
    ScopedEnv scoped(&env);
    ReindexAllTables(inst.ctx);
  }
  EXPECT_EQ(inst.ctx.error_text, "");
  for (const std::string& path : env.opened) {
    EXPECT_NE(BaseName(path), "UTILMAST.DBF") << path;
  }
  EXPECT_EQ(inst.ReadData("UTILMAST.DBF"), TableBytes(1) + "junk");
}

TEST(ReindexAllTest, NamesTheTableThatCannotBeOpenedAndRepairsItsHeaderFirst) {
  Installation inst;
  inst.WriteIni(inst.ctx.dirs.install, {"UTILMAST.DBF", "SUBMIT.DBF"});
  inst.WriteData("UTILMAST.DBF", TableBytes(1));
  // Header count 9 for 3 records: repaired to 3 even though the index is no
  // index at all.
  std::string submit = TableBytes(3);
  submit[4] = 9;
  inst.WriteData("SUBMIT.DBF", submit);
  inst.WriteData("SUBMIT.MDX", "not an index");
  ReindexAllTables(inst.ctx);
  EXPECT_EQ(inst.ctx.error_text,
            "Unable to reindex database file: SUBMIT.DBF [Unable to open index file.]");
  EXPECT_EQ(inst.ReadData("SUBMIT.DBF"), TableBytes(3));

  inst.WriteData("SUBMIT.DBF", "not a table either");
  inst.ctx.error_text.clear();
  ReindexAllTables(inst.ctx);
  EXPECT_EQ(inst.ctx.error_text,
            "Unable to reindex database file: SUBMIT.DBF [Unable to open database file.]");
}

TEST(ReindexAllTest, NamesTheArchiveTableThatCannotBeOpenedByItsLongPath) {
  Installation inst;
  inst.WriteIni(inst.ctx.dirs.install, {"UTILMAST.DBF"});
  inst.WriteData("UTILMAST.DBF", TableBytes(1));
  const std::string table = Archive("archub92", "Claims 2001", "BCCLAIM.DBF");
  inst.WriteData(table, "not a table");
  inst.WriteData(Archive("archub92", "Claims 2001", "BCCLAIM.MDX"), "not an index");
  ReindexAllTables(inst.ctx);
  EXPECT_EQ(inst.ctx.error_text, "Unable to reindex claim archive database file: " +
                                     inst.Data(table) + " [Unable to open database file.]");
}

// Gives archive folders a short name, as Windows does for long names with
// blanks; the short name is a link to the long folder.
class ShortNameEnv : public EnvWrapper {
 public:
  ShortNameEnv(std::string long_dir, std::string short_dir)
      : EnvWrapper(Env::Default()), long_(std::move(long_dir)), short_(std::move(short_dir)) {}
  std::string ShortPath(const std::string& path) override {
    if (path.rfind(long_, 0) == 0) return short_ + path.substr(long_.size());
    return path;
  }
  bool FileExists(const std::string& path) override {
    looked_up.push_back(path);
    return target()->FileExists(path);
  }
  std::vector<std::string> looked_up;

 private:
  std::string long_, short_;
};

TEST(ReindexAllTest, ReachesArchiveFilesThroughTheShortPathAndQuotesTheLongOne) {
  Installation inst;
  inst.WriteIni(inst.ctx.dirs.install, {"UTILMAST.DBF"});
  inst.WriteData("UTILMAST.DBF", TableBytes(1));
  const std::string long_dir = inst.Data(Archive("archub92", "Claims of 2001", ""));
  inst.WriteData(Archive("archub92", "Claims of 2001", "BCCLAIM.DBF"), TableBytes(2));
  const std::string short_dir = inst.Root("CLAIMS~1") + kSep;
  fs::create_directory_symlink(long_dir, inst.Root("CLAIMS~1"));

  ShortNameEnv env(long_dir, short_dir);
  {
    ScopedEnv scoped(&env);
    ReindexAllTables(inst.ctx);
  }
  EXPECT_EQ(inst.ctx.error_text, "Unable to locate claim archive index file: " + long_dir +
                                     "BCCLAIM.MDX" + kArchiveAdvice);
  EXPECT_EQ(env.looked_up.back(), short_dir + "BCCLAIM.MDX");
}

}  // namespace
}  // namespace dbup::maintenance
