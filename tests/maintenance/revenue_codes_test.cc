#include "maintenance/revenue_codes.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "engine/guards.h"
#include "maintenance/charge_dump.h"
#include "maintenance/table_fixture.h"
#include "platform/env.h"

namespace dbup::maintenance {
namespace {

using testing::Installation;
using testing::MakeTable;
using testing::Row;

std::vector<xbase::FieldSpec> RevcodeFields(int width, int decimals) {
  return {{"REV_CODE", 'C', 4, 0}, {"REV_DESC", 'C', 12, 0}, {"REV_CHGS", 'N', width, decimals}};
}

const std::vector<xbase::TagSpec> kByCode = {{"BY_CODE", "REV_CODE", "", false, false}};

// Writes revcode into the data folder: rows of (code, amount text).
void MakeRevcode(Installation& inst, const std::vector<Row>& rows, int width = 12,
                 int decimals = 2) {
  ASSERT_TRUE(
      MakeTable(inst.Data("revcode.dbf"), RevcodeFields(width, decimals), rows, kByCode).ok());
}

// Every record's (code, amount, deleted) as the engine reads them, in
// record order.
struct Charge {
  std::string code;
  double amount;
  bool deleted;
  bool operator==(const Charge&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Charge& c) {
  return os << '"' << c.code << "\" " << c.amount << (c.deleted ? " deleted" : "");
}

std::vector<Charge> ReadCharges(const Installation& inst) {
  std::vector<Charge> out;
  Code4* s = code4initP();
  {
    engine::TableGuard t(s);
    EXPECT_TRUE(t.Open(inst.Data("revcode.dbf")));
    if (t) {
      Field4* code = d4field(t.table(), "REV_CODE");
      Field4* charge = d4field(t.table(), "REV_CHGS");
      for (int rc = d4top(t.table()); rc == 0; rc = d4skip(t.table(), 1)) {
        double amount = 0;
        f4double2(charge, &amount);
        out.push_back({f4str(code), amount, d4deleted(t.table()) != 0});
      }
    }
  }
  code4initUndo(s);
  return out;
}

std::string DumpPath(const Installation& inst) {
  return inst.ctx.dirs.private_dir + kChargeDumpFileName;
}
std::string ReadDump(const Installation& inst) {
  std::string s;
  EXPECT_TRUE(ReadFileToString(DumpPath(inst), &s).ok());
  return s;
}

std::vector<Row> Zeroed(std::vector<Row> rows) {
  for (Row& r : rows) r.values[2] = "0";
  return rows;
}

TEST(RevenueCodesTest, RoundTripGivesBackEveryAmountAtTheFieldsPrecision) {
  struct Case {
    const char* name;
    int width, decimals;
    std::vector<Row> rows;
    std::string dump;
  };
  const Case cases[] = {
      {"two decimals",
       12,
       2,
       {{{"0450", "Room", "125.5"}},
        {{"0001", "Misc", "0.05"}},
        {{"0300", "Lab", "1250"}},
        {{"0250", "Pharmacy", "-3"}},
        {{"0360", "Surgery", "0.30"}},
        {{"0999", "Max", "999999999.99"}}},
       "0001|0.05\r\n0250|-3\r\n0300|1250\r\n0360|0.3\r\n0450|125.5\r\n0999|999999999.99\r\n"},
      {"no decimals, widest field",
       20,
       0,
       {{{"0900", "Huge", "1000000000000000"}}, {{"0901", "Huger", "25000000000000000"}}},
       "0900|1E15\r\n0901|2.5E16\r\n"},
      {"six decimals",
       14,
       6,
       {{{"0100", "Tiny", "0.000025"}},
        {{"0101", "Small", "0.0001"}},
        {{"0102", "Odd", "1.234567"}}},
       "0100|2.5E-5\r\n0101|0.0001\r\n0102|1.234567\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Installation inst;
    MakeRevcode(inst, c.rows, c.width, c.decimals);
    const std::vector<Charge> before = ReadCharges(inst);

    BackupRevenueCodeCharges(inst.ctx);
    ASSERT_EQ(inst.ctx.error_text, "");
    EXPECT_EQ(ReadDump(inst), c.dump);

    // The host's new table: same codes, charges zero, records in reverse.
    std::vector<Row> replaced = Zeroed(c.rows);
    std::reverse(replaced.begin(), replaced.end());
    MakeRevcode(inst, replaced, c.width, c.decimals);
    RestoreRevenueCodeCharges(inst.ctx);
    ASSERT_EQ(inst.ctx.error_text, "");
    std::vector<Charge> after = ReadCharges(inst);
    std::reverse(after.begin(), after.end());
    EXPECT_EQ(after, before);
    // The restore leaves the dump for a second run.
    EXPECT_EQ(ReadDump(inst), c.dump);
  }
}

TEST(RevenueCodesTest, BackupSkipsZeroAndDeletedChargesAndTrimsCodes) {
  Installation inst;
  MakeRevcode(inst, {{{"0450", "Room", "125.5"}},
                     {{"0460", "Free", "0"}},
                     {{
                          "0470",
                          "Gone",
                          "77",
                      },
                      true},
                     {{" 45", "Padded", "12"}},
                     {{"0480", "Blank", ""}}});
  BackupRevenueCodeCharges(inst.ctx);
  ASSERT_EQ(inst.ctx.error_text, "");
  EXPECT_EQ(ReadDump(inst), "45|12\r\n0450|125.5\r\n");

  // The trimmed three-character code has its bar in fourth place: the
  // restore passes it over.
  MakeRevcode(inst, Zeroed({{{" 45", "Padded", "12"}}, {{"0450", "Room", "125.5"}}}));
  RestoreRevenueCodeCharges(inst.ctx);
  ASSERT_EQ(inst.ctx.error_text, "");
  EXPECT_EQ(ReadCharges(inst), (std::vector<Charge>{{" 45 ", 0, false}, {"0450", 125.5, false}}));
}

TEST(RevenueCodesTest, EmptyDumpForATableWithoutChargesRestoresNothing) {
  for (const std::vector<Row>& rows : {std::vector<Row>{}, std::vector<Row>{{{"0450", "", "0"}}}}) {
    Installation inst;
    MakeRevcode(inst, rows);
    ASSERT_TRUE(WriteStringToFile(DumpPath(inst), "0450|1\r\n").ok());  // an earlier dump
    BackupRevenueCodeCharges(inst.ctx);
    ASSERT_EQ(inst.ctx.error_text, "");
    EXPECT_EQ(ReadDump(inst), "");
    const std::vector<Charge> before = ReadCharges(inst);
    RestoreRevenueCodeCharges(inst.ctx);
    EXPECT_EQ(inst.ctx.error_text, "");
    EXPECT_EQ(ReadCharges(inst), before);
  }
}

TEST(RevenueCodesTest, RestoreReadsOnlyWellFormedEntriesAndMatchesByCode) {
  Installation inst;
  MakeRevcode(inst, {{{"0450", "Room", "1"}},
                     {{"0300", "Old lab", "2"}, true},
                     {{"0300", "Lab", "3"}},
                     {{"0250", "Pharmacy", "4"}},
                     {{"0100", "Misc", "5"}},
                     {{"0110", "Misc", "6"}},
                     {{"0120", "Misc", "7"}},
                     {{"0130", "Misc", "8"}}});
  const std::string dump =
      "0450|125.5\r\n"     // plain
      "9999|5\r\n"         // a code the table does not have
      "0300|1,250.00\r\n"  // thousands separator: 0, ignored
      "0250|-7.5\n"        // negative, LF only
      "0100|+2.5e1\r"      // sign and exponent, CR only
      "0110|abc\r\n"       // letters: 0, ignored
      "0120|0\r\n"         // zero is not restored
      "\r\n"               // blank line
      "not an entry\r\n"   // no bar
      "0130|  12 \r\n"     // blanks around the amount
      "0300|99";           // last line without its end; the live record of two
  ASSERT_TRUE(WriteStringToFile(DumpPath(inst), dump).ok());
  RestoreRevenueCodeCharges(inst.ctx);
  ASSERT_EQ(inst.ctx.error_text, "");
  EXPECT_EQ(ReadCharges(inst), (std::vector<Charge>{{"0450", 125.5, false},
                                                    {"0300", 2, true},
                                                    {"0300", 99, false},
                                                    {"0250", -7.5, false},
                                                    {"0100", 25, false},
                                                    {"0110", 6, false},
                                                    {"0120", 7, false},
                                                    {"0130", 12, false}}));

  // A second restore writes the same amounts again.
  RestoreRevenueCodeCharges(inst.ctx);
  EXPECT_EQ(inst.ctx.error_text, "");
  EXPECT_EQ(ReadCharges(inst)[0], (Charge{"0450", 125.5, false}));
}

TEST(RevenueCodesTest, RestoreWithoutADumpChangesNothing) {
  Installation inst;
  MakeRevcode(inst, {{{"0450", "Room", "1"}}});
  const std::string before = inst.ReadData("revcode.dbf");
  RestoreRevenueCodeCharges(inst.ctx);
  EXPECT_EQ(inst.ctx.error_text, "");
  EXPECT_TRUE(inst.ReadData("revcode.dbf") == before);
}

TEST(RevenueCodesTest, WithoutTheCodeTagBackupWalksInRecordOrderAndRestoreRefuses) {
  Installation inst;
  ASSERT_TRUE(MakeTable(inst.Data("revcode.dbf"), RevcodeFields(12, 2),
                        {{{"0450", "Room", "125.5"}}, {{"0300", "Lab", "7"}}},
                        {{"OTHER", "REV_DESC", "", false, false}})
                  .ok());
  BackupRevenueCodeCharges(inst.ctx);
  ASSERT_EQ(inst.ctx.error_text, "");
  EXPECT_EQ(ReadDump(inst), "0450|125.5\r\n0300|7\r\n");

  // No amount could be matched to its code: a failure, not a silent success.
  RestoreRevenueCodeCharges(inst.ctx);
  EXPECT_EQ(inst.ctx.error_text, "Unable to restore Revenue Codes charges data.");
}

}  // namespace
}  // namespace dbup::maintenance
