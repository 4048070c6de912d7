// The literal forms of filter conditions per kind of source, read in fixed
// locales so the results do not depend on the machine's settings.
#include "dataaccess/error.h"
#include "viewer/query/sqlliterals.h"

#include <gtest/gtest.h>

using namespace viewer;

namespace {

const QLocale kUs(QLocale::English, QLocale::UnitedStates);
const QLocale kDe(QLocale::German, QLocale::Germany);

QString S(const char* s) { return QString::fromUtf8(s); }

int errorNumber(const std::function<void()>& f) {
  try {
    f();
  } catch (const dataaccess::Error& e) {
    return e.number();
  }
  return 0;
}

}  // namespace

TEST(NormalizeNumber, WorkedTable) {
  const std::pair<const char*, const char*> table[] = {
      {"1 234,56", "1234.56"}, {"1,234.56", "1234.56"}, {"1.234.567", "1234567"}, {"12,5", "12.5"},
      {"1,234", "1.234"},      {"-12,5", "-12.5"},      {"12-", "-12"},          {"-", ""},
  };
  for (const auto& [in, out] : table) EXPECT_EQ(NormalizeNumber(S(in), S("-")), S(out)) << in;
}

TEST(NormalizeNumber, SymbolsOutsideTheDigitsAreNeverTheDecimalPoint) {
  // A currency symbol or plus sign stands before or after the number; taken
  // as the separator it would turn 12,50 into 1250.
  EXPECT_EQ(NormalizeNumber(S("12,50 €"), S("-")), S("12.50"));
  EXPECT_EQ(NormalizeNumber(S("$1,234.50"), S("-")), S("1234.50"));
  EXPECT_EQ(NormalizeNumber(S("+5"), S("-")), S("5"));
  EXPECT_EQ(NormalizeNumber(S("  - 7 "), S("-")), S("-7"));
  EXPECT_EQ(NormalizeNumber(S("1\u00a0234\u00a0567,5"), S("-")), S("1234567.5"));
  EXPECT_EQ(NormalizeNumber(S("."), S("-")), S(""));
  EXPECT_EQ(NormalizeNumber(S(""), S("-")), S(""));
}

TEST(SqlNumberLiteral, EmptyNumberIsNull) {
  EXPECT_EQ(SqlNumberLiteral(S("-"), S("-")), S("Null"));
  EXPECT_EQ(SqlNumberLiteral(S("abc"), S("-")), S("Null"));
  EXPECT_EQ(SqlNumberLiteral(S("1.234,5"), S("-")), S("1234.5"));
}

TEST(SqlStringLiteral, QuotesAndNull) {
  EXPECT_EQ(SqlStringLiteral(S("O'Brien")), S("'O''Brien'"));
  EXPECT_EQ(SqlStringLiteral(S("")), S("Null"));
  EXPECT_EQ(SqlStringLiteral(S("two\nlines")), S("'two\nlines'"));
  EXPECT_EQ(SqlStringLiteral(S("''")), S("''''''"));
}

TEST(SqlBooleanLiteral, WordsAndNumbers) {
  EXPECT_EQ(SqlBooleanLiteral(S("True")), S("1"));
  EXPECT_EQ(SqlBooleanLiteral(S("false")), S("0"));
  EXPECT_EQ(SqlBooleanLiteral(S("-1")), S("1"));
  EXPECT_EQ(SqlBooleanLiteral(S("0")), S("0"));
  EXPECT_EQ(errorNumber([] { SqlBooleanLiteral(S("yes")); }), kTypeMismatch);
}

TEST(SqlFieldName, BracketsForAccessAndExcelOnlyWhenPlain) {
  EXPECT_EQ(SqlFieldName(S("Name"), S("mdb")), S("[Name]"));
  EXPECT_EQ(SqlFieldName(S("Name"), S("XLS")), S("[Name]"));
  EXPECT_EQ(SqlFieldName(S("Unit Price"), S("mdb")), S("[Unit Price]"));
  for (const char* ext : {"dbf", "db", "txt", "log", "csv", "dbc", "udl", ""})
    EXPECT_EQ(SqlFieldName(S("Name"), S(ext)), S("Name")) << ext;
}

TEST(SqlFieldName, NamesThatAreNotPlainAreQuotedAsTheSourceReadsThem) {
  EXPECT_EQ(SqlFieldName(S("State/Prov"), S("db")), S("[State/Prov]"));
  EXPECT_EQ(SqlFieldName(S("Zip/Postal Code"), S("db")), S("[Zip/Postal Code]"));
  EXPECT_EQ(SqlFieldName(S("first name"), S("csv")), S("[first name]"));
  EXPECT_EQ(SqlFieldName(S("Order"), S("dbf")), S("[Order]"));
  EXPECT_EQ(SqlFieldName(S("2nd"), S("txt")), S("[2nd]"));
  EXPECT_EQ(SqlFieldName(S("Order"), S("udl")), S("\"Order\""));
  EXPECT_EQ(SqlFieldName(S("a \"b\""), S("udl")), S("\"a \"\"b\"\"\""));
  // Sort keys: plain names exactly as they are, also for Access.
  EXPECT_EQ(SqlSortName(S("Name"), S("mdb")), S("Name"));
  EXPECT_EQ(SqlSortName(S("Unit Price"), S("mdb")), S("[Unit Price]"));
  EXPECT_EQ(SqlSortName(S("Straße_1"), S("csv")), S("Straße_1"));
  EXPECT_EQ(SqlSortName(S("select"), S("udl")), S("\"select\""));
}

TEST(SqlDateLiteral, AccessAndExcelAreMonthDayYearInAnyLocale) {
  EXPECT_EQ(SqlDateLiteral(S("1/2/2005"), S("mdb"), kUs), S("'1/2/2005'"));
  EXPECT_EQ(SqlDateLiteral(S("02.01.2005"), S("mdb"), kDe), S("'1/2/2005'"));
  EXPECT_EQ(SqlDateLiteral(S("1/2/2005 10:05:07 AM"), S("xls"), kUs), S("'1/2/2005 10:5:7'"));
  EXPECT_EQ(SqlDateLiteral(S("02.01.2005 10:05:07"), S("mdb"), kDe), S("'1/2/2005 10:5:7'"));
  EXPECT_EQ(SqlDateLiteral(S("10:05:07"), S("mdb"), kDe), S("'10:5:7'"));
  EXPECT_EQ(SqlDateLiteral(S("not a date"), S("mdb"), kUs), S("Null"));
  EXPECT_EQ(SqlQuotedDate(S("12/31/1999 11:59:59 PM"), kUs), S("'12/31/1999 23:59:59'"));
}

TEST(SqlDateLiteral, TextAndParadoxKeepDateAndTime) {
  for (const char* ext : {"txt", "log", "db"}) {
    EXPECT_EQ(SqlDateLiteral(S("02.01.2005"), S(ext), kDe), S("#1/2/2005#")) << ext;
    EXPECT_EQ(SqlDateLiteral(S("10:05:07"), S(ext), kDe), S("#10:05:07#")) << ext;
    // Both parts: the time alone would match no row.
    EXPECT_EQ(SqlDateLiteral(S("02.01.2005 10:05:07"), S(ext), kDe), S("#1/2/2005 10:05:07#")) << ext;
    EXPECT_EQ(SqlDateLiteral(S("1/2/2005 3:04:05 PM"), S(ext), kUs), S("#1/2/2005 15:04:05#")) << ext;
    // A time on the zero date is a time of day only.
    EXPECT_EQ(SqlDateLiteral(S("12/30/1899 10:05:07 AM"), S(ext), kUs), S("#10:05:07#")) << ext;
    EXPECT_EQ(errorNumber([ext] { SqlDateLiteral(S("soon"), S(ext), kUs); }), kTypeMismatch) << ext;
  }
}

TEST(SqlDateLiteral, DBaseAndGeneralRulePassTheTextThrough) {
  EXPECT_EQ(SqlDateLiteral(S("02.01.2005"), S("dbf"), kDe), S("{02.01.2005}"));
  EXPECT_EQ(SqlDateLiteral(S("0:00:00"), S("dbf"), kDe), S("{}"));
  EXPECT_EQ(SqlDateLiteral(S("soon"), S("dbf"), kDe), S("{soon}"));
  for (const char* ext : {"csv", "dbc", "udl", ""})
    EXPECT_EQ(SqlDateLiteral(S("02.01.2005 10:05:07"), S(ext), kDe), S("'02.01.2005 10:05:07'")) << ext;
}
