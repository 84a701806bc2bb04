// Every failure of the reindex and of the revenue code backup and restore, as
// the host sees it: through the exports, in the DBUP_ERR entry of its block.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "boundary/dbup.h"
#include "boundary/host_block.h"
#include "boundary/registry_fixture.h"
#include "maintenance/charge_dump.h"
#include "maintenance/revenue_codes.h"
#include "maintenance/table_fixture.h"
#include "platform/env.h"
#include "platform/path.h"

namespace dbup::maintenance {
namespace {

using dbup::testing::HostBlock;
using dbup::testing::ScopedRegistry;
using testing::Installation;
using testing::MakeTable;
using testing::Row;
namespace fs = std::filesystem;

constexpr char kSep = kPathSeparator;
const std::string kBackupWrap = "Error backing up Revenue Code charge data [";
const std::string kRestoreWrap = "Error restoring Revenue Code charge data [";
const std::string kArchiveAdvice =
    "\r\nThe claim archive is corrupt and will require manual repair or removal.";

// An installation whose folders the registry names.
class ExportsTest : public ::testing::Test {
 protected:
  ExportsTest()
      : registry_(inst_.Root("registry.reg"),
                  {{"ServerDirectory", ScopedRegistry::Str(inst_.ctx.dirs.server)},
                   {"InstallDirectory", ScopedRegistry::Str(inst_.ctx.dirs.install)},
                   {"DataDirectory", ScopedRegistry::Str(inst_.ctx.dirs.data)}}) {}

  // The export's DBUP_ERR text, or "" after a success that left the block alone.
  std::string Call(int32_t(DBUP_CALL* fn)(TParamBlock*)) {
    HostBlock block;
    const std::vector<char> before = block.Image();
    const int32_t rc = fn(block.get());
    if (rc == 0) {
      EXPECT_EQ(block.Image(), before);
      return "";
    }
    EXPECT_EQ(rc, -1);
    return block.Error();
  }

  void MakeRevcode(const std::vector<Row>& rows) {
    ASSERT_TRUE(MakeTable(inst_.Data("revcode.dbf"),
                          {{"REV_CODE", 'C', 4, 0}, {"REV_CHGS", 'N', 10, 2}}, rows,
                          {{"BY_CODE", "REV_CODE", "", false, false}})
                    .ok());
  }
  std::string DumpPath() const { return inst_.ctx.dirs.private_dir + kChargeDumpFileName; }

  Installation inst_;
  ScopedRegistry registry_;
};

TEST_F(ExportsTest, EveryExportReportsMissingWorkingDirectories) {
  fs::remove_all(inst_.ctx.dirs.server);
  const std::string dirs = "Unable to locate (or create) critical directories.";
  EXPECT_EQ(Call(ReindexAllDatabaseFiles), dirs);
  EXPECT_EQ(Call(BackupRevenueCodeChargeData), kBackupWrap + dirs + "]");
  EXPECT_EQ(Call(RestoreRevenueCodeChargeData), kRestoreWrap + dirs + "]");
}

TEST_F(ExportsTest, ReindexReportsEachFailureInItsOwnWords) {
  EXPECT_EQ(Call(ReindexAllDatabaseFiles),
            "Unable to locate system configuration file (TANDRIL.INI).");

  inst_.WriteIni(inst_.ctx.dirs.server, {});
  EXPECT_EQ(Call(ReindexAllDatabaseFiles), "Database files list is empty.");

  inst_.WriteIni(inst_.ctx.dirs.server, {"UTILMAST.DBF", "SUBMIT.DBF"});
  const std::vector<Row> rows = {{{"0450", "1"}}, {{"0300", "2"}}};
  const std::vector<xbase::FieldSpec> fields = {{"REV_CODE", 'C', 4, 0}, {"REV_CHGS", 'N', 10, 2}};
  ASSERT_TRUE(MakeTable(inst_.Data("UTILMAST.DBF"), fields, rows).ok());
  EXPECT_EQ(Call(ReindexAllDatabaseFiles), "Unable to locate database file: SUBMIT.DBF");

  inst_.WriteData("SUBMIT.DBF", "not a table");
  EXPECT_EQ(Call(ReindexAllDatabaseFiles),
            "Unable to locate index file: SUBMIT.MDX\r\nPerform a reindex of all database files "
            "in the File Maintenance module before attempting this update again.");

  inst_.WriteData("SUBMIT.MDX", "not an index");
  EXPECT_EQ(Call(ReindexAllDatabaseFiles),
            "Unable to reindex database file: SUBMIT.DBF [Unable to open database file.]");

  const std::vector<xbase::TagSpec> tags = {{"CODE", "REV_CODE", "", false, false}};
  ASSERT_TRUE(MakeTable(inst_.Data("SUBMIT.DBF"), fields, rows).ok());
  EXPECT_EQ(Call(ReindexAllDatabaseFiles),
            "Unable to reindex database file: SUBMIT.DBF [Unable to open index file.]");

  ASSERT_TRUE(MakeTable(inst_.Data("SUBMIT.DBF"), fields, rows, tags).ok());
  EXPECT_EQ(Call(ReindexAllDatabaseFiles), "");

  // Archives: a table missing under the name before its first dot, a missing
  // index, a table that cannot be opened.
  const std::string dir = inst_.Data("arch1500" + std::string(1, kSep) + "Claims 1999" + kSep);
  fs::create_directories(dir);
  ASSERT_TRUE(WriteStringToFile(dir + "BSCLAIM.1999.DBF", "").ok());
  EXPECT_EQ(Call(ReindexAllDatabaseFiles), "Unable to locate claim archive database file: " + dir +
                                               "BSCLAIM.DBF" + kArchiveAdvice);
  fs::rename(dir + "BSCLAIM.1999.DBF", dir + "BSCLAIM.DBF");
  EXPECT_EQ(Call(ReindexAllDatabaseFiles),
            "Unable to locate claim archive index file: " + dir + "BSCLAIM.MDX" + kArchiveAdvice);
  ASSERT_TRUE(WriteStringToFile(dir + "BSCLAIM.MDX", "").ok());
  EXPECT_EQ(Call(ReindexAllDatabaseFiles), "Unable to reindex claim archive database file: " + dir +
                                               "BSCLAIM.DBF [Unable to open database file.]");
  ASSERT_TRUE(MakeTable(dir + "BSCLAIM.DBF", fields, rows, tags).ok());
  EXPECT_EQ(Call(ReindexAllDatabaseFiles), "");
}

// Fails chosen operations on files whose names end as given.
class FaultEnv : public EnvWrapper {
 public:
  FaultEnv() : EnvWrapper(Env::Default()) {}

  std::string fail_delete, fail_read_open, fail_writes;

  Status OpenFile(const std::string& path, OpenMode mode, std::unique_ptr<File>* file) override {
    if (mode == OpenMode::kReadOnly && Matches(path, fail_read_open)) {
      return Status::IOError(path + ": access denied");
    }
    Status s = target()->OpenFile(path, mode, file);
    if (s.ok() && Matches(path, fail_writes)) *file = std::make_unique<NoWrites>(std::move(*file));
    return s;
  }
  Status DeleteFile(const std::string& path) override {
    if (Matches(path, fail_delete)) return Status::IOError(path + ": in use");
    return target()->DeleteFile(path);
  }

 private:
  static bool Matches(const std::string& path, const std::string& end) {
    return !end.empty() && path.size() >= end.size() &&
           EqualsIgnoreCase(std::string_view(path).substr(path.size() - end.size()), end);
  }
  class NoWrites : public File {
   public:
    explicit NoWrites(std::unique_ptr<File> f) : f_(std::move(f)) {}
    Status ReadAt(uint64_t o, size_t n, char* b, size_t* r) override {
      return f_->ReadAt(o, n, b, r);
    }
    Status WriteAt(uint64_t, const char*, size_t) override { return Status::IOError("disk full"); }
    Status Size(uint64_t* s) override { return f_->Size(s); }
    Status Truncate(uint64_t) override { return Status::IOError("disk full"); }
    Status Sync() override { return f_->Sync(); }
    Status Close() override { return f_->Close(); }

   private:
    std::unique_ptr<File> f_;
  };
};

TEST_F(ExportsTest, ReindexNamesTheEnginesReasonWhenTheRebuildFails) {
  inst_.WriteIni(inst_.ctx.dirs.install, {"SUBMIT.DBF"});
  ASSERT_TRUE(MakeTable(inst_.Data("SUBMIT.DBF"), {{"S_ID", 'C', 6, 0}}, {{{"A1"}}, {{"B2"}}},
                        {{"S_ID", "S_ID", "", false, false}})
                  .ok());
  FaultEnv env;
  env.fail_writes = "SUBMIT.MDX";
  ScopedEnv scoped(&env);
  const std::string error = Call(ReindexAllDatabaseFiles);
  const std::string prefix = "Unable to reindex database file: SUBMIT.DBF [";
  ASSERT_EQ(error.substr(0, prefix.size()), prefix) << error;
  const std::string detail = error.substr(prefix.size(), error.size() - prefix.size() - 1);
  EXPECT_EQ(error.back(), ']');
  EXPECT_FALSE(detail.empty());
  EXPECT_NE(detail, "Unable to open database file.");
  EXPECT_NE(detail, "Unable to open index file.");
}

TEST_F(ExportsTest, RevenueCodeOperationsReportTheirFailuresWrapped) {
  const std::string open_failed = "Unable to open Revenue Codes reference file.]";
  // No revcode at all, then a revcode without its index: nothing is dumped
  // and a restore without a dump succeeds.
  ASSERT_TRUE(WriteStringToFile(DumpPath(), "0450|1\r\n").ok());
  EXPECT_EQ(Call(BackupRevenueCodeChargeData), kBackupWrap + open_failed);
  EXPECT_FALSE(fs::exists(DumpPath()));
  EXPECT_EQ(Call(RestoreRevenueCodeChargeData), "");
  MakeRevcode({{{"0450", "125.5"}}});
  fs::remove(inst_.Data("revcode.mdx"));
  EXPECT_EQ(Call(BackupRevenueCodeChargeData), kBackupWrap + open_failed);
  ASSERT_TRUE(WriteStringToFile(DumpPath(), "0450|1\r\n").ok());
  EXPECT_EQ(Call(RestoreRevenueCodeChargeData), kRestoreWrap + open_failed);

  MakeRevcode({{{"0450", "125.5"}}, {{"0300", "7"}}});
  FaultEnv env;
  ScopedEnv scoped(&env);

  env.fail_delete = kChargeDumpFileName;
  EXPECT_EQ(Call(BackupRevenueCodeChargeData),
            kBackupWrap + "Unable to delete temporary Revenue Code charge data file.]");
  EXPECT_TRUE(fs::exists(DumpPath()));
  env.fail_delete.clear();

  // A dump that cannot be written is not left half-written.
  env.fail_writes = kChargeDumpFileName;
  EXPECT_EQ(Call(BackupRevenueCodeChargeData), kBackupWrap + kDumpWriteFailed + "]");
  EXPECT_FALSE(fs::exists(DumpPath()));
  env.fail_writes.clear();

  ASSERT_EQ(Call(BackupRevenueCodeChargeData), "");
  env.fail_read_open = kChargeDumpFileName;
  EXPECT_EQ(Call(RestoreRevenueCodeChargeData), kRestoreWrap + kDumpReadFailed + "]");
  env.fail_read_open.clear();

  // The record cannot be stored when the restore unlocks it.
  env.fail_writes = "revcode.dbf";
  EXPECT_EQ(Call(RestoreRevenueCodeChargeData),
            kRestoreWrap + "Unable to restore Revenue Codes charges data.]");
}

// Lets an index be opened and then fails its reads once the table's records
// are being read, as a disk going bad under a running walk.
class FailingIndexReadsEnv : public EnvWrapper {
 public:
  explicit FailingIndexReadsEnv(uint64_t records_offset)
      : EnvWrapper(Env::Default()), records_offset_(records_offset) {}
  Status OpenFile(const std::string& path, OpenMode mode, std::unique_ptr<File>* file) override {
    Status s = target()->OpenFile(path, mode, file);
    if (s.ok() && EndsWith(path, "revcode.dbf")) {
      *file = std::make_unique<Reads>(std::move(*file), [this](uint64_t offset) {
        if (offset >= records_offset_) armed_ = true;
        return true;
      });
    } else if (s.ok() && EndsWith(path, "revcode.mdx")) {
      *file = std::make_unique<Reads>(std::move(*file), [this](uint64_t) { return !armed_; });
    }
    return s;
  }

 private:
  static bool EndsWith(const std::string& path, const std::string& end) {
    return path.size() >= end.size() &&
           path.compare(path.size() - end.size(), end.size(), end) == 0;
  }
  class Reads : public File {
   public:
    Reads(std::unique_ptr<File> f, std::function<bool(uint64_t)> allow)
        : f_(std::move(f)), allow_(std::move(allow)) {}
    Status ReadAt(uint64_t o, size_t n, char* b, size_t* r) override {
      if (!allow_(o)) return Status::IOError("read error");
      return f_->ReadAt(o, n, b, r);
    }
    Status WriteAt(uint64_t o, const char* d, size_t n) override { return f_->WriteAt(o, d, n); }
    Status Size(uint64_t* s) override { return f_->Size(s); }
    Status Truncate(uint64_t s) override { return f_->Truncate(s); }
    Status Sync() override { return f_->Sync(); }
    Status Close() override { return f_->Close(); }

   private:
    std::unique_ptr<File> f_;
    std::function<bool(uint64_t)> allow_;
  };
  uint64_t records_offset_;
  bool armed_ = false;
};

TEST_F(ExportsTest, AnIndexFailingDuringTheWalkStopsBothOperations) {
  std::vector<Row> rows;
  for (int i = 0; i < 2000; ++i) rows.push_back({{std::to_string(1000 + i), "1.5"}});
  MakeRevcode(rows);
  ASSERT_EQ(Call(BackupRevenueCodeChargeData), "");
  const uint64_t records_offset = 32 + 2 * 32 + 1;  // two fields
  {
    FailingIndexReadsEnv env(records_offset);
    ScopedEnv scoped(&env);
    EXPECT_EQ(Call(BackupRevenueCodeChargeData),
              kBackupWrap + "Unable to back up Revenue Codes charges data.]");
  }
  EXPECT_FALSE(fs::exists(DumpPath()));

  // The restore's seek of a code far from the first record needs blocks
  // that can no longer be read: an engine failure, not a code to skip.
  ASSERT_TRUE(WriteStringToFile(DumpPath(), "2999|2\r\n").ok());
  {
    FailingIndexReadsEnv env(records_offset);
    ScopedEnv scoped(&env);
    EXPECT_EQ(Call(RestoreRevenueCodeChargeData),
              kRestoreWrap + "Unable to restore Revenue Codes charges data.]");
  }
}

}  // namespace
}  // namespace dbup::maintenance
