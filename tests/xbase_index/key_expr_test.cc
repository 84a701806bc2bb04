#include "xbase/key_expr.h"

#include <gtest/gtest.h>

#include "mem_table.h"

namespace dbup::xbase {
namespace {

class KeyExprTest : public ::testing::Test {
 protected:
  void SetUp() override {
    table_.AddField("NAME", 'C', 10);
    table_.AddField("FIRST", 'C', 8);
    table_.AddField("AMT", 'N', 8, 2);
    table_.AddField("QTY", 'N', 5);
    table_.AddField("DUE", 'D', 8);
    table_.AddField("PAID", 'L', 1);
    table_.AddField("CLAIM", 'N', 10);
    table_.AddField("TYPE", 'C', 2);
    table_.Append({"Miller", "Ann", "815.00", "3", "20240131", "T", "1234", "A"});
    table_.Append({"adams", "", "-12.50", "", "", "F", "", "B"}, /*deleted=*/true);
  }

  Value Eval(const std::string& text, uint32_t recno = 1) {
    std::unique_ptr<KeyExpression> e;
    Status s = KeyExpression::Parse(text, table_.layout(), &e);
    EXPECT_TRUE(s.ok()) << text << ": " << s.ToString();
    Value v;
    if (!s.ok()) return v;
    s = e->Evaluate(table_.Record(recno), &v);
    EXPECT_TRUE(s.ok()) << text << ": " << s.ToString();
    return v;
  }

  testing::MemTable table_;
};

TEST_F(KeyExprTest, CharacterResultsAndStaticLengths) {
  struct Case {
    const char* expr;
    uint32_t recno;
    const char* value;
    int length;
  } cases[] = {
      {"NAME", 1, "Miller    ", 10},
      {"name+first", 1, "Miller    Ann     ", 18},
      {"NAME-FIRST", 1, "MillerAnn         ", 18},  // '-' moves the blanks to the end
      {"UPPER(NAME)", 2, "ADAMS     ", 10},
      {"LOWER(NAME)", 1, "miller    ", 10},
      {"STR(CLAIM,10)+TYPE", 1, "      1234A ", 12},
      {"STR(AMT)", 1, "       815", 10},
      {"STR(AMT,8,2)", 2, "  -12.50", 8},
      {"STR(AMT,6,1)", 2, " -12.5", 6},
      {"STR(123456,4)", 1, "****", 4},
      {"STR(AMT,5,2)", 1, "815.0", 5},  // decimals give way before asterisks
      {"STR(CLAIM,10)", 2, "         0", 10},
      {"DTOS(DUE)", 1, "20240131", 8},
      {"DTOS(DUE)", 2, "        ", 8},
      {"DTOC(DUE)", 1, "01/31/24", 8},
      {"SUBSTR(NAME,2,3)", 1, "ill", 3},
      {"SUBS(NAME,9)", 1, "  ", 2},
      {"SUBSTR(NAME,12,3)", 1, "", 3},
      {"LEFT(NAME,3)+RIGHT(NAME,2)", 1, "Mil  ", 5},
      {"TRIM(NAME)+FIRST", 1, "MillerAnn     ", 18},
      {"LTRIM(STR(QTY))", 1, "3", 10},
      {"ALLTRIM('  x  ')", 1, "x", 5},
      {"IIF(PAID, NAME, FIRST)", 2, "        ", 10},
      {"IIF(PAID, 'yes', 'no')", 1, "yes", 3},
      {"[br]+\"a\"+'c'", 1, "brac", 4},
      {"DTOS(DUE+1)", 1, "20240201", 8},
      {"DTOS(CTOD('02/29/24'))", 1, "19240229", 8},
  };
  for (const Case& c : cases) {
    std::unique_ptr<KeyExpression> e;
    ASSERT_TRUE(KeyExpression::Parse(c.expr, table_.layout(), &e).ok()) << c.expr;
    EXPECT_EQ(e->type(), ValueType::kChar) << c.expr;
    EXPECT_EQ(e->length(), c.length) << c.expr;
    EXPECT_EQ(Eval(c.expr, c.recno).text, c.value) << c.expr;
  }
}

TEST_F(KeyExprTest, NumbersAndDates) {
  EXPECT_EQ(Eval("AMT").number.ToString(), "815");
  EXPECT_EQ(Eval("AMT", 2).number.ToString(), "-12.5");
  EXPECT_EQ(Eval("QTY", 2).number.ToString(), "0");  // blank reads as zero
  EXPECT_EQ(Eval("AMT*QTY-5/2").number.ToString(), "2442.5");
  EXPECT_EQ(Eval("-AMT+(1)").number.ToString(), "-814");
  EXPECT_EQ(Eval("VAL('  12.5kg')").number.ToString(), "12.5");
  EXPECT_EQ(Eval("RECNO()", 2).number.ToString(), "2");
  EXPECT_EQ(Eval("DUE - CTOD('01/01/24')").number.ToString(), "36555");  // two-digit years are 19xx
  EXPECT_EQ(Eval("DUE").jdn, JulianDay(2024, 1, 31));
  EXPECT_EQ(Eval("DUE", 2).jdn, 0);
  EXPECT_EQ(JulianDay(2000, 1, 1), 2451545);
  EXPECT_EQ(DtosFromJulianDay(2460341), "20240131");
}

TEST_F(KeyExprTest, ConditionsOfForClauses) {
  struct Case {
    const char* expr;
    uint32_t recno;
    bool value;
  } cases[] = {
      {".NOT. DELETED()", 1, true},
      {".NOT. DELETED()", 2, false},
      {"!DELETED()", 2, false},
      {"AMT > 0 .AND. PAID", 1, true},
      {"AMT > 0 .OR. PAID", 2, false},
      {"NAME = 'Mil'", 1, true},  // a shorter right side compares as a prefix
      {"NAME == 'Mil'", 1, false},
      {"NAME <> 'Mil'", 1, false},
      {"NAME # 'Adams'", 1, true},
      {"'ill' $ NAME", 1, true},
      {"QTY >= 3 .and. QTY <= 3", 1, true},
      {"DUE < CTOD('01/01/2025')", 1, true},
      {".T. .AND. .NOT. .F.", 1, true},
      {"PAID = .T.", 2, false},
  };
  for (const Case& c : cases) {
    Value v = Eval(c.expr, c.recno);
    EXPECT_EQ(v.type, ValueType::kLogical) << c.expr;
    EXPECT_EQ(v.flag, c.value) << c.expr << " on record " << c.recno;
  }
}

TEST_F(KeyExprTest, RefusesWhatItCannotEvaluate) {
  const char* bad[] = {
      "",           "NAME+",        "NOSUCH",         "FOO(NAME)",
      "NAME+AMT",   "STR(NAME)",    "STR(AMT,QTY)",   "UPPER(NAME",
      "'open",      "NAME AMT",     "AMT .AND. PAID", "IIF(PAID,NAME,AMT)",
      "DTOS(NAME)", "SUBSTR(NAME)", "NAME @ 2",       ".NOT. NAME",
      "DATE()",     "NAME < AMT",   "PAID < PAID",
  };
  for (const char* text : bad) {
    std::unique_ptr<KeyExpression> e;
    Status s = KeyExpression::Parse(text, table_.layout(), &e);
    EXPECT_FALSE(s.ok()) << "accepted: " << text;
    EXPECT_TRUE(s.IsInvalidArgument()) << text;
  }
  std::unique_ptr<KeyExpression> e;
  ASSERT_TRUE(KeyExpression::Parse("AMT/QTY", table_.layout(), &e).ok());
  Value v;
  EXPECT_FALSE(e->Evaluate(table_.Record(2), &v).ok());  // division by zero
}

}  // namespace
}  // namespace dbup::xbase
