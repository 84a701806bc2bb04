#include "update/catalogue.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>

namespace dbup::update {
namespace {

TEST(CatalogueTest, HoldsTheEightyEightStepsInChainOrder) {
  const int kChain[] = {92,  94,  95,  100, 102, 104, 105, 106, 107, 110, 111, 112, 113, 114, 115,
                        116, 117, 119, 120, 121, 123, 126, 127, 131, 132, 133, 134, 135, 136, 137,
                        138, 139, 140, 141, 142, 143, 144, 145, 146, 147, 148, 150, 151, 153, 154,
                        155, 156, 157, 158, 159, 160, 161, 162, 163, 164, 165, 166, 167, 168, 169,
                        170, 171, 172, 173, 174, 175, 176, 177, 178, 179, 181, 182, 184, 185, 187,
                        189, 191, 192, 194, 195, 196, 197, 198, 199, 200, 201, 202, 203};
  ASSERT_EQ(Catalogue().size(), std::size(kChain));
  for (size_t i = 0; i < std::size(kChain); ++i) {
    EXPECT_EQ(Catalogue()[i].number, kChain[i]) << "row " << i;
    EXPECT_EQ(FindStep(kChain[i]), &Catalogue()[i]);
  }
  for (int missing : {91, 93, 96, 97, 98, 99, 149, 204}) EXPECT_EQ(FindStep(missing), nullptr);
}

// The three places the rows come from: 31 plain steps, 45 variant steps
// and 12 steps with a translation.
TEST(CatalogueTest, SplitsIntoPlainVariantAndTranslationSteps) {
  int plain = 0, variant = 0, translation = 0;
  for (const StepRow& row : Catalogue()) {
    if (row.translation != nullptr) {
      ++translation;
      EXPECT_EQ(std::string(row.translation), "Translate" + StepName(row.number).substr(6));
    } else if (row.form == Form::kPlain && !row.locate_check) {
      ++plain;
      EXPECT_TRUE(StepIsRunnable(row)) << row.number;
    } else {
      ++variant;
    }
  }
  EXPECT_EQ(plain, 31);
  EXPECT_EQ(variant, 45);
  EXPECT_EQ(translation, 12);
}

TEST(CatalogueTest, RowsAreWellFormed) {
  for (const StepRow& row : Catalogue()) {
    SCOPED_TRACE(StepName(row.number));
    const std::string clone = row.clone_folder;
    ASSERT_EQ(clone.size(), 8u);
    EXPECT_EQ(clone.substr(0, 4), "updt");
    ASSERT_GE(row.table_count(), 1u);
    for (size_t t = 0; t < row.table_count(); ++t) {
      const std::string table = row.tables[t];
      EXPECT_LE(table.size(), 8u);
      for (char c : table) EXPECT_TRUE(std::islower(static_cast<unsigned char>(c)) != 0);
    }
    EXPECT_EQ(row.test == TestKind::kNone, row.form == Form::kAddIfMissing);
    EXPECT_EQ(row.test_name == nullptr, row.test == TestKind::kNone);
    EXPECT_EQ(row.list_table == nullptr, row.form == Form::kPlain);
    if (row.table_count() > 1 || row.files == FileSet::kDbfOptionalDbtMdx) {
      EXPECT_NE(row.form, Form::kPlain);
    }
    if (row.test_on_data_dir_only || row.rollback_stops_at_missing_backup) {
      EXPECT_EQ(row.form, Form::kMarked);
    }
  }
}

TEST(CatalogueTest, KeepsTheTestsThatTheEdgeCasesDependOn) {
  struct Expected {
    int step;
    TestKind test;
    const char* name;
    int value;
    bool optional;
  };
  const Expected kCases[] = {
      {92, TestKind::kFieldMissing, "S_SPLT837", 0, false},
      {110, TestKind::kWidthBelow, "UPIN", 30, false},
      {111, TestKind::kWidthBelow, "FAC_ID", 30, false},
      {120, TestKind::kNoDecimals, "A_HGBRSLT", 0, false},
      {126, TestKind::kDecimalsBelow, "L_NDCCOST", 3, false},
      {132, TestKind::kWidthBelow, "PT_L_NAME", 35, false},
      {133, TestKind::kTagMissing, "BYNPI", 0, false},
      {134, TestKind::kFieldMissing, "E_SVTYPE", 0, true},
      {151, TestKind::kFieldMissing, "RARC_EFFDT", 0, true},
      {154, TestKind::kFieldPresent, "CP_EADDR", 0, false},
      {158, TestKind::kWidthBelow, "NM_LNAME", 60, true},
      {161, TestKind::kWidthBelow, "PT_L_NAME", 60, false},
      {175, TestKind::kWidthAtMost, "R_REFLNAME", 35, false},
      {176, TestKind::kWidthAtMost, "RL_HIC", 25, false},
      {181, TestKind::kWidthAtMost, "C_TOTUNITS", 7, false},
      {184, TestKind::kDecimalsBelow, "L_UNITS", 2, false},
      {185, TestKind::kWidthBelow, "CY_DISUNIT", 10, false},
      {203, TestKind::kFieldMissing, "T_PDIAGVS", 0, false},
  };
  for (const Expected& e : kCases) {
    const StepRow* row = FindStep(e.step);
    ASSERT_NE(row, nullptr) << e.step;
    EXPECT_EQ(row->test, e.test) << e.step;
    EXPECT_STREQ(row->test_name, e.name);
    EXPECT_EQ(row->test_value, e.value) << e.step;
    EXPECT_EQ(row->optional, e.optional) << e.step;
  }
  std::set<int> optional;
  for (const StepRow& row : Catalogue()) {
    if (row.optional) optional.insert(row.number);
  }
  EXPECT_EQ(optional, (std::set<int>{134, 135, 141, 142, 143, 144, 150, 151, 157, 158, 172, 173,
                                     177, 178, 189, 191, 195, 197}));
}

TEST(CatalogueTest, FormsOfTheVariantSteps) {
  EXPECT_EQ(FindStep(100)->form, Form::kAllFolders);
  EXPECT_EQ(FindStep(102)->form, Form::kAllFolders);
  EXPECT_EQ(FindStep(106)->form, Form::kAddIfMissing);
  EXPECT_STREQ(FindStep(106)->list_table, "bcclaim");
  EXPECT_EQ(FindStep(113)->form, Form::kAddIfMissing);
  EXPECT_STREQ(FindStep(113)->list_table, "bsclaim");
  EXPECT_STREQ(FindStep(131)->list_table, "bsclaim");  // chosen by the claim table
  EXPECT_STREQ(FindStep(154)->list_table, "bcclaim");
  EXPECT_TRUE(FindStep(158)->test_on_data_dir_only);
  EXPECT_TRUE(FindStep(173)->test_on_data_dir_only);
  std::set<int> stops;
  for (const StepRow& row : Catalogue()) {
    if (row.rollback_stops_at_missing_backup) stops.insert(row.number);
  }
  EXPECT_EQ(stops, (std::set<int>{120, 123, 165, 179, 185}));
  const StepRow* step169 = FindStep(169);
  ASSERT_EQ(step169->table_count(), 5u);
  EXPECT_EQ(TableList(*step169), "bslinesa, bsrecnm, bsrecrn, bsrecid, bscob");
  EXPECT_TRUE(FindStep(163)->locate_check);
  EXPECT_EQ(FindStep(163)->form, Form::kPlain);
  EXPECT_FALSE(StepIsRunnable(*FindStep(163)));  // its translation comes later
}

TEST(CatalogueTest, NamesAndFileSets) {
  EXPECT_EQ(StepName(92), "Update0092");
  EXPECT_EQ(StepName(203), "Update0203");
  auto joined = [](FileSet set) {
    std::string out;
    for (const char* ext : Extensions(set)) out += ext;
    return out;
  };
  EXPECT_EQ(joined(FileSet::kDbfMdx), ".dbf.mdx");
  EXPECT_EQ(joined(FileSet::kDbfDbtMdx), ".dbf.dbt.mdx");
  EXPECT_EQ(joined(FileSet::kDbfMdxDbt), ".dbf.mdx.dbt");
  EXPECT_EQ(joined(FileSet::kDbfOptionalDbtMdx), ".dbf.dbt.mdx");
  EXPECT_EQ(FindStep(151)->files, FileSet::kDbfMdxDbt);
  EXPECT_EQ(FindStep(203)->files, FileSet::kDbfMdxDbt);
  EXPECT_EQ(FindStep(94)->files, FileSet::kDbfDbtMdx);
}

}  // namespace
}  // namespace dbup::update
