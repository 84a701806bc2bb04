// The generated installations are only as good as the structure history:
// every step must find its table old at its own level and new in its clone.
#include "structure_history.h"

#include <gtest/gtest.h>

#include <set>

#include "installation.h"
#include "platform/env.h"
#include "platform/version_resource.h"
#include "support/temp_dir.h"
#include "update/catalogue.h"
#include "version_exe.h"
#include "xbase/table.h"

namespace dbup::fixture {
namespace {

using update::StepRow;
using update::TestKind;

// The step's test, applied to a structure instead of a file.
bool NeededBy(const StepRow& row, const TableStructure& s) {
  const FieldDef* f = row.test_name != nullptr ? s.FindField(row.test_name) : nullptr;
  switch (row.test) {
    case TestKind::kFieldMissing:
      return f == nullptr;
    case TestKind::kFieldPresent:
      return f != nullptr;
    case TestKind::kWidthBelow:
      return f == nullptr || f->length < row.test_value;
    case TestKind::kWidthAtMost:
      return f == nullptr || f->length <= row.test_value;
    case TestKind::kDecimalsBelow:
      return f == nullptr || f->decimals < row.test_value;
    case TestKind::kNoDecimals:
      return f != nullptr && f->decimals == 0;
    case TestKind::kTagMissing:
      return s.FindTag(row.test_name) == nullptr;
    case TestKind::kNone:
      break;
  }
  return true;
}

TEST(StructureHistoryTest, EveryStepFindsItsTableOldAtItsLevelAndNewInItsClone) {
  const StructureHistory& history = StructureHistory::Host();
  for (const StepRow& row : update::Catalogue()) {
    SCOPED_TRACE(update::StepName(row.number));
    for (size_t t = 0; t < row.table_count(); ++t) {
      const TableHistory* table = history.Find(row.tables[t]);
      ASSERT_NE(table, nullptr) << row.tables[t];
      TableStructure clone = history.InClone(*table, CloneNumber(row.clone_folder));
      TableStructure before;
      const bool existed = history.AtLevel(*table, row.number, &before);
      if (row.test == TestKind::kNone) {
        EXPECT_FALSE(existed) << row.tables[t] << " is added by this step";
        continue;
      }
      ASSERT_TRUE(existed) << row.tables[t];
      if (t == 0) {
        EXPECT_TRUE(NeededBy(row, before));
        EXPECT_FALSE(NeededBy(row, clone));
        TableStructure after;
        ASSERT_TRUE(history.AtLevel(*table, row.number + 1, &after));
        EXPECT_FALSE(NeededBy(row, after));
      }
      EXPECT_TRUE(clone.indexed);
    }
  }
}

// Once a step has run, a run from the next level must not find work again
// in any earlier step, and fields never shrink below an earlier clone.
TEST(StructureHistoryTest, ClonesGrowAndLaterLevelsNeedNoEarlierStep) {
  const StructureHistory& history = StructureHistory::Host();
  for (const TableHistory& table : history.tables()) {
    SCOPED_TRACE(table.first.name);
    TableStructure newest;
    if (!history.AtLevel(table, 204, &newest)) ADD_FAILURE() << "never created";
    for (const StepRow& row : update::Catalogue()) {
      if (row.test == TestKind::kNone || row.main_table() != table.first.name) continue;
      EXPECT_FALSE(NeededBy(row, newest)) << update::StepName(row.number);
      const TableStructure clone = history.InClone(table, CloneNumber(row.clone_folder));
      for (const FieldDef& f : clone.fields) {
        const FieldDef* later = newest.FindField(f.name);
        if (later == nullptr) continue;  // dropped by a later step
        EXPECT_GE(later->length, f.length) << f.name;
      }
    }
    for (const TagDef& tag : newest.tags) EXPECT_LE(tag.name.size(), 10u) << tag.name;
    for (const FieldDef& f : newest.fields) EXPECT_LE(f.name.size(), 10u) << f.name;
  }
}

TEST(StructureHistoryTest, TranslationFieldsExistWhereTheirStepsReadAndWriteThem) {
  const StructureHistory& history = StructureHistory::Host();
  struct Expect {
    const char* table;
    int level;  // the structure before the step (level = step) or after (step + 1)
    const char* field;
  };
  const Expect kFields[] = {
      {"bcclaim", 107, "C_ATTENDID"},  {"bcclaim", 108, "C_ATTENDLN"},
      {"bsclaim", 115, "C_REFUPIN"},   {"bslines", 116, "L_PURSVCID"},
      {"bslinesa", 117, "LA_SUPRUPN"}, {"patient", 121, "PT_MSA"},
      {"patient", 122, "PT_CBSA"},     {"bcprov", 148, "P_POAREQD"},
      {"submit", 164, "S_ANSIV276"},   {"bcclaim", 153, "C_COVDAYS"},
      {"bcccodes", 153, "CD_AMOUNT"},  {"bsattach", 165, "A_TRIPNAR"},
      {"bsattach", 166, "A_TRIPDSC"},  {"bsclaim", 167, "C_DOCACN"},
      {"bsrecrn", 167, "RE_NRTVA"},    {"bscpayer", 168, "CP_PRIAUT3"},
      {"bslinesa", 169, "LA_COINS"},   {"bslinesa", 169, "LA_NRTVTP"},
      {"bsclaim", 167, "C_REFLNAME"},  {"bsclaim", 167, "C_PAYER_S"},
      {"bscob", 168, "CO_AMOUNT"},     {"bslinesa", 169, "LA_NRTV"},
  };
  for (const Expect& e : kFields) {
    TableStructure s;
    ASSERT_TRUE(history.AtLevel(*history.Find(e.table), e.level, &s)) << e.table;
    EXPECT_NE(s.FindField(e.field), nullptr) << e.table << "." << e.field << " at " << e.level;
  }
  TableStructure bsclaim;
  ASSERT_TRUE(history.AtLevel(*history.Find("bsclaim"), 168, &bsclaim));
  EXPECT_EQ(bsclaim.FindField("C_REFLNAME"), nullptr);  // moved to bsrecnm by Update0167
  TableStructure bsrecid = history.InClone(*history.Find("bsrecid"), 61);
  EXPECT_NE(bsrecid.FindTag("BY_TYPE"), nullptr);
  TableStructure revcode;
  ASSERT_TRUE(history.AtLevel(*history.Find("revcode"), 91, &revcode));
  EXPECT_NE(revcode.FindTag("BY_CODE"), nullptr);
  TableStructure utilmast;
  ASSERT_TRUE(history.AtLevel(*history.Find("utilmast"), 91, &utilmast));
  EXPECT_FALSE(utilmast.indexed);
}

TEST(StructureHistoryTest, RejectsMalformedText) {
  StructureHistory h;
  EXPECT_FALSE(StructureHistory::Parse("0092 nosuch add X C 1\n", &h).ok());
  EXPECT_FALSE(StructureHistory::Parse("table t\n0093 t add X C 1\n", &h).ok());
  EXPECT_FALSE(StructureHistory::Parse("table t\n  X Q\n", &h).ok());
  EXPECT_TRUE(
      StructureHistory::Parse("table submit\n  S_ID C 6\n0092 submit add X C 1\n", &h).ok());
}

TEST(VersionExeTest, ParsesVersionsAndLaysOutTheFixedFileInfo) {
  FileVersion v;
  EXPECT_TRUE(ParseFileVersion("2.49.0.100", &v));
  EXPECT_EQ(v.minor, 49);
  EXPECT_EQ(v.build, 100);
  for (const char* bad : {"", "2.49.0", "2.49.0.100.1", "70000.1.0.0", "a.b.c.d", "2..0.1"}) {
    EXPECT_FALSE(ParseFileVersion(bad, &v)) << bad;
  }
  ASSERT_TRUE(ParseFileVersion("1.98.0.100", &v));
  const std::string exe = BuildVersionExe(v);
  ASSERT_EQ(exe.substr(0, 2), "MZ");
  const std::string signature("\xBD\x04\xEF\xFE", 4);
  const size_t at = exe.find(signature);
  ASSERT_NE(at, std::string::npos);
  auto u32 = [&](size_t p) {
    return static_cast<uint32_t>(static_cast<unsigned char>(exe[p])) |
           static_cast<uint32_t>(static_cast<unsigned char>(exe[p + 1])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(exe[p + 2])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(exe[p + 3])) << 24;
  };
  EXPECT_EQ(u32(at + 8), (1u << 16) | 98u);
  EXPECT_EQ(u32(at + 12), 100u);

  // The platform's own reader of program files agrees.
  testing::TempDir tmp;
  ASSERT_TRUE(WriteStringToFile(tmp.Path("TANDRIL.EXE"), exe).ok());
  FixedFileInfo info;
  ASSERT_TRUE(ReadFixedFileInfo(tmp.Path("TANDRIL.EXE"), &info).ok());
  EXPECT_EQ(info.file_version_ms, (1u << 16) | 98u);
  EXPECT_EQ(info.file_version_ls, 100u);
}

// A plain step copies exactly its file set: a table with memo fields must be
// a three-file step and one without them a two-file step, in every clone.
TEST(StructureHistoryTest, PlainFileSetsMatchTheMemoFields) {
  const StructureHistory& history = StructureHistory::Host();
  for (const StepRow& row : update::Catalogue()) {
    if (row.form != update::Form::kPlain) continue;
    const TableHistory* table = history.Find(row.main_table());
    ASSERT_NE(table, nullptr);
    TableStructure before;
    ASSERT_TRUE(history.AtLevel(*table, row.number, &before));
    const bool three = row.files != update::FileSet::kDbfMdx;
    EXPECT_EQ(before.has_memo(), three) << update::StepName(row.number);
    EXPECT_EQ(history.InClone(*table, CloneNumber(row.clone_folder)).has_memo(), three);
  }
}

// Backup and restore of revenue code charges match records by code, so a
// generated installation needs distinct ones.
TEST(GeneratedTablesTest, RevenueCodesAreDistinct) {
  dbup::testing::TempDir tmp;
  InstallOptions o;
  o.root = tmp.path();
  o.version = "2.49.0.100";
  o.claims = 2;
  o.archives_per_family = 0;
  ASSERT_TRUE(WriteInstallation(o).ok());
  std::unique_ptr<xbase::Table> t;
  ASSERT_TRUE(
      xbase::Table::Open(DirsOf(tmp.path()).data + "revcode.dbf", {.read_only = true}, &t).ok());
  std::set<std::string> codes;
  for (uint32_t r = 1; r <= t->record_count(); ++r) {
    ASSERT_TRUE(t->Go(r).ok());
    const std::string code(t->FieldBytes(0));
    EXPECT_EQ(code.find(' '), std::string::npos) << code;
    codes.insert(code);
  }
  EXPECT_EQ(codes.size(), 30u);
  EXPECT_EQ(t->record_count(), 30u);
}

}  // namespace
}  // namespace dbup::fixture
