// A small installation with damaged tables, reindexed as a whole; every table
// is then checked by dbftool and, where installed, read by Perl's XBase.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "maintenance/reindex_all.h"
#include "maintenance/table_fixture.h"
#include "platform/env.h"
#include "platform/path.h"
#include "xbase/table.h"

namespace dbup::maintenance {
namespace {

using testing::Installation;
using testing::MakeTable;
using testing::Row;
namespace fs = std::filesystem;

constexpr char kSep = kPathSeparator;

const std::vector<xbase::FieldSpec> kClaimFields = {
    {"C_ID", 'C', 8, 0}, {"C_PATIENT", 'C', 20, 0}, {"C_AMOUNT", 'N', 10, 2}};
const std::vector<xbase::TagSpec> kClaimTags = {{"C_ID", "C_ID", "", false, false},
                                                {"C_PATIENT", "UPPER(C_PATIENT)", "", false, false},
                                                {"C_AMOUNT", "C_AMOUNT", "", false, true}};

std::vector<Row> ClaimRows(int n, int seed) {
  std::vector<Row> rows;
  for (int i = 0; i < n; ++i) {
    const int k = (i * 7919 + seed * 104729) % 100000;
    rows.push_back(
        {{"C" + std::to_string(k), (i % 3 ? "smith " : "Jones ") + std::to_string(k % 97),
          std::to_string(k % 5000) + ".25"},
         i % 11 == 0});
  }
  return rows;
}

void MakeClaims(const std::string& dbf, int n, int seed) {
  ASSERT_TRUE(MakeTable(dbf, kClaimFields, ClaimRows(n, seed), kClaimTags).ok()) << dbf;
}

// Changes records behind the index's back, so its keys are wrong.
void StaleKeys(const std::string& dbf) {
  std::unique_ptr<xbase::Table> t;
  ASSERT_TRUE(xbase::Table::Open(dbf, {}, &t).ok());
  for (uint32_t r = 1; r <= t->record_count(); r += 2) {
    ASSERT_TRUE(t->Go(r).ok());
    ASSERT_TRUE(t->SetText(0, "Z" + std::to_string(r)).ok());
    ASSERT_TRUE(t->SetText(1, "changed " + std::to_string(r)).ok());
  }
  ASSERT_TRUE(t->Close().ok());
}

void SetHeaderCount(const std::string& dbf, uint32_t count) {
  std::string bytes;
  ASSERT_TRUE(ReadFileToString(dbf, &bytes).ok());
  for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<char>(count >> (8 * i));
  ASSERT_TRUE(WriteStringToFile(dbf, bytes).ok());
}

void CutTail(const std::string& path, uint64_t bytes) {
  const uint64_t size = fs::file_size(path);
  fs::resize_file(path, size - bytes);
}

// Runs a command; its exit code, or -1 when it could not run.
int RunCommand(const std::string& command, std::string* output) {
  output->clear();
  FILE* p = popen((command + " 2>&1").c_str(), "r");
  if (p == nullptr) return -1;
  char buf[4096];
  while (size_t n = fread(buf, 1, sizeof buf, p)) output->append(buf, n);
  const int status = pclose(p);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quoted(const std::string& path) {
  return "'" + path + "'";
}

void ExpectSound(const std::string& dbf) {
#ifdef DBUP_DBFTOOL
  std::string report;
  EXPECT_EQ(RunCommand(std::string(DBUP_DBFTOOL) + " check " + Quoted(dbf), &report), 0)
      << dbf << "\n"
      << report;
#endif
  // An independent reader of the index: Perl XBase lists the tag in order.
  if (!fs::exists("/usr/bin/index_dump")) return;
  const std::string mdx = dbf.substr(0, dbf.size() - 4) + ".MDX";
  std::string out;
  ASSERT_EQ(RunCommand("/usr/bin/index_dump " + Quoted(mdx) + " C_ID", &out), 0) << out;
  std::unique_ptr<xbase::Table> t;
  ASSERT_TRUE(xbase::Table::Open(dbf, {.read_only = true}, &t).ok());
  std::vector<std::string> expected;
  for (uint32_t r = 1; r <= t->record_count(); ++r) {
    ASSERT_TRUE(t->Go(r).ok());
    // Keys are unique here, so ordering the lines orders the keys.
    expected.push_back(std::string(t->FieldBytes(0)) + " " + std::to_string(r));
  }
  std::sort(expected.begin(), expected.end());
  std::vector<std::string> listed;
  for (size_t at = 0; at < out.size();) {
    size_t end = out.find('\n', at);
    std::string line = out.substr(at, end - at);
    if (!line.empty()) listed.push_back(line);
    at = end == std::string::npos ? out.size() : end + 1;
  }
  EXPECT_EQ(listed, expected) << dbf;
}

TEST(ReindexEndToEndTest, RepairsAndReindexesEveryListedAndArchivedTable) {
  Installation inst;
  inst.WriteIni(inst.ctx.dirs.install,
                {"BCCLAIM.DBF", "BSCLAIM.DBF", "Utilmast.dbf", "PAYER.DBF", "SUBMIT.DBF"});
  MakeClaims(inst.Data("BCCLAIM.DBF"), 400, 1);
  StaleKeys(inst.Data("BCCLAIM.DBF"));
  MakeClaims(inst.Data("BSCLAIM.DBF"), 300, 2);
  SetHeaderCount(inst.Data("BSCLAIM.DBF"), 250);  // 50 records the header forgot
  MakeClaims(inst.Data("PAYER.DBF"), 200, 3);
  CutTail(inst.Data("PAYER.MDX"), 512);  // the root of its last tag cut off
  MakeClaims(inst.Data("SUBMIT.DBF"), 50, 4);
  CutTail(inst.Data("SUBMIT.DBF"), 1);  // lost its end-of-file byte
  ASSERT_TRUE(MakeTable(inst.Data("UTILMAST.DBF"), kClaimFields, ClaimRows(5, 5)).ok());

  const std::string ub92 = "archub92" + std::string(1, kSep) + "Claims 2001" + kSep;
  const std::string hcfa = "arch1500" + std::string(1, kSep) + "1999" + kSep;
  fs::create_directories(inst.Data(ub92));
  fs::create_directories(inst.Data(hcfa));
  MakeClaims(inst.Data(ub92 + "BCCLAIM.DBF"), 120, 6);
  StaleKeys(inst.Data(ub92 + "BCCLAIM.DBF"));
  MakeClaims(inst.Data(hcfa + "BSCLAIM.DBF"), 90, 7);
  SetHeaderCount(inst.Data(hcfa + "BSCLAIM.DBF"), 95);  // 5 records more than there are
  CutTail(inst.Data(hcfa + "BSCLAIM.DBF"), 1);

  ReindexAllTables(inst.ctx);
  ASSERT_EQ(inst.ctx.error_text, "");
  for (const std::string& t :
       std::vector<std::string>{"BCCLAIM.DBF", "BSCLAIM.DBF", "PAYER.DBF", "SUBMIT.DBF",
                                ub92 + "BCCLAIM.DBF", hcfa + "BSCLAIM.DBF"}) {
    SCOPED_TRACE(t);
    ExpectSound(inst.Data(t));
  }
}

TEST(ReindexEndToEndTest, StopsAtTheFailingTableWithTheOnesBeforeItReindexed) {
  Installation inst;
  inst.WriteIni(inst.ctx.dirs.install, {"BCCLAIM.DBF", "BSCLAIM.DBF", "PAYER.DBF", "SUBMIT.DBF"});
  for (const char* t : {"BCCLAIM.DBF", "BSCLAIM.DBF", "SUBMIT.DBF"}) {
    MakeClaims(inst.Data(t), 60, 8);
    StaleKeys(inst.Data(t));
  }
  // Cut inside its header, the index no longer says which tags to rebuild.
  MakeClaims(inst.Data("PAYER.DBF"), 60, 9);
  fs::resize_file(inst.Data("PAYER.MDX"), 1024);

  ReindexAllTables(inst.ctx);
  EXPECT_EQ(inst.ctx.error_text,
            "Unable to reindex database file: PAYER.DBF [Unable to open index file.]");
  ExpectSound(inst.Data("BCCLAIM.DBF"));
  ExpectSound(inst.Data("BSCLAIM.DBF"));
#ifdef DBUP_DBFTOOL
  // The table after the failing one was not touched: its keys are still wrong.
  std::string report;
  EXPECT_NE(
      RunCommand(std::string(DBUP_DBFTOOL) + " check " + Quoted(inst.Data("SUBMIT.DBF")), &report),
      0);
#endif
}

}  // namespace
}  // namespace dbup::maintenance
