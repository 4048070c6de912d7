// The SQL text that sort, filter and remove-filter write, and the filter's
// condition per field type.
#include "dataaccess/error.h"
#include "dataaccess/values.h"
#include "viewer/query/filtersort.h"
#include "viewer/query/sqlliterals.h"

#include <gtest/gtest.h>

using namespace viewer;
using namespace dataaccess;

namespace {

const QLocale kUs(QLocale::English, QLocale::UnitedStates);
const QLocale kDe(QLocale::German, QLocale::Germany);
QString S(const char* s) { return QString::fromUtf8(s); }

}  // namespace

TEST(SortedSql, ReplacesOrAddsKeys) {
  const QString base = S("SELECT * FROM t");
  const QString byA = SortedSql(base, S("a"), 1, false);
  EXPECT_EQ(byA, S("SELECT * FROM t ORDER BY a"));
  EXPECT_EQ(SortedSql(byA, S("b"), 1, false), S("SELECT * FROM t ORDER BY b"));
  EXPECT_EQ(SortedSql(byA, S("b"), 1, true), S("SELECT * FROM t ORDER BY a,b"));
  const QString aDesc = SortedSql(base, S("a"), -1, false);
  EXPECT_EQ(aDesc, S("SELECT * FROM t ORDER BY a DESC"));
  EXPECT_EQ(SortedSql(aDesc, S("b"), 1, true), S("SELECT * FROM t ORDER BY a DESC,b"));
  // Ctrl without an existing sort starts one.
  EXPECT_EQ(SortedSql(base, S("b"), -1, true), S("SELECT * FROM t ORDER BY b DESC"));
}

TEST(SortedSql, FindsALowerCaseOrderBy) {
  EXPECT_EQ(SortedSql(S("select * from t order by x"), S("a"), 1, false), S("select * from t ORDER BY a"));
  EXPECT_EQ(SortedSql(S("select * from t order by x"), S("a"), 1, true), S("select * from t order by x,a"));
}

TEST(FilteredSql, StacksConditionsBeforeTheSort) {
  const QString once = FilteredSql(S("SELECT * FROM t"), S("a=1"));
  EXPECT_EQ(once, S("SELECT * FROM t WHERE   a=1"));
  const QString sorted = SortedSql(once, S("b"), 1, false);
  EXPECT_EQ(sorted, S("SELECT * FROM t WHERE   a=1 ORDER BY b"));
  const QString twice = FilteredSql(sorted, S("c='x'"));
  EXPECT_EQ(twice, S("SELECT * FROM t WHERE   a=1   AND c='x' ORDER BY b"));
  EXPECT_EQ(FilteredSql(S("select * from t order by b"), S("a=1")), S("select * from t WHERE   a=1 order by b"));
}

TEST(UnfilteredSql, RemovesEveryConditionAndKeepsTheSort) {
  EXPECT_EQ(UnfilteredSql(S("SELECT * FROM t WHERE   a=1   AND c='x' ORDER BY b")), S("SELECT * FROM t ORDER BY b"));
  EXPECT_EQ(UnfilteredSql(S("SELECT * FROM t WHERE   a=1")), S("SELECT * FROM t"));
  EXPECT_EQ(UnfilteredSql(S("select * from t where   a=1 order by b desc")), S("select * from t order by b desc"));
  EXPECT_FALSE(UnfilteredSql(S("SELECT * FROM t ORDER BY b")).has_value());
  // A WHERE the filter did not write keeps its own condition.
  EXPECT_EQ(UnfilteredSql(S("SELECT * FROM t WHERE x=2   AND a=1")), S("SELECT * FROM t WHERE x=2"));
  EXPECT_FALSE(UnfilteredSql(S("SELECT * FROM t WHERE x=2")).has_value());
}

TEST(FilterCondition, TextUsesTheSelection) {
  const QVariant v = S("Ernst Handel");
  EXPECT_EQ(FilterCondition(S("Name"), adVarWChar, v, S("Ernst Handel"), S("csv")), S("Name='Ernst Handel'"));
  EXPECT_EQ(FilterCondition(S("Name"), adVarWChar, v, S("Ern"), S("csv")), S("Name LIKE 'Ern%'"));
  EXPECT_EQ(FilterCondition(S("Name"), adChar, v, S("Han"), S("mdb")), S("[Name] LIKE '%Han%'"));
  EXPECT_EQ(FilterCondition(S("Name"), adVarChar, v, S(""), S("dbf")), S("Name='Ernst Handel'"));
  // A selection that is not in the value is a prefix pattern.
  EXPECT_EQ(FilterCondition(S("Name"), adVarWChar, v, S("zz"), S("txt")), S("Name LIKE 'zz%'"));
  EXPECT_EQ(FilterCondition(S("Name"), adVarWChar, S("O'Brien"), S(""), S("txt")), S("Name='O''Brien'"));
}

TEST(FilterCondition, NumbersDatesAndBooleans) {
  EXPECT_EQ(FilterCondition(S("Qty"), adInteger, qlonglong(-12), S(""), S("csv")), S("Qty=-12"));
  EXPECT_EQ(FilterCondition(S("Qty"), adSmallInt, qlonglong(7), S("7"), S("mdb")), S("[Qty]=7"));
  // Decimal and numeric values go through the number literal: a regional
  // decimal comma is no SQL number.
  EXPECT_EQ(FilterCondition(S("Price"), adNumeric, S("1234.50"), S(""), S("dbf"), kDe), S("Price=1234.50"));
  EXPECT_EQ(FilterCondition(S("Price"), adDecimal, S("-0.5"), S(""), S("udl"), kDe), S("Price=-0.5"));
  EXPECT_EQ(FilterCondition(S("Price"), adCurrency, 12.5, S(""), S("mdb"), kDe), S("[Price]=12.5"));
  const QVariant when = makeDateTime(QDate(2005, 1, 2), QTime(10, 5, 7));
  EXPECT_EQ(FilterCondition(S("At"), adDate, when, S(""), S("txt"), kDe), S("At=#1/2/2005 10:05:07#"));
  EXPECT_EQ(FilterCondition(S("At"), adDate, when, S(""), S("mdb"), kUs), S("[At]='1/2/2005 10:5:7'"));
  EXPECT_EQ(FilterCondition(S("Day"), adDBDate, QDate(2005, 1, 2), S(""), S("db"), kDe), S("Day=#1/2/2005#"));
  EXPECT_EQ(FilterCondition(S("At"), adDBTime, QTime(9, 0, 1), S(""), S("db"), kUs), S("At=#09:00:01#"));
  EXPECT_EQ(FilterCondition(S("Done"), adBoolean, true, S(""), S("dbf")), S("Done=1"));
  EXPECT_EQ(FilterCondition(S("Done"), adBoolean, false, S(""), S("xls")), S("[Done]=0"));
}

TEST(FilterCondition, NullIsIsNullForEveryTypeWithARule) {
  for (DataTypeEnum t : {adSmallInt, adInteger, adTinyInt, adDecimal, adNumeric, adCurrency, adDate, adDBDate,
                         adDBTime, adDBTimeStamp, adBoolean, adChar, adVarChar, adVarWChar})
    EXPECT_EQ(FilterCondition(S("F"), t, QVariant(), S(""), S("txt")), S("F IS NULL")) << int(t);
  EXPECT_EQ(FilterCondition(S("State/Prov"), adVarWChar, QVariant(), S(""), S("db")), S("[State/Prov] IS NULL"));
}

TEST(FilterCondition, TypesWithoutARuleGiveNone) {
  for (DataTypeEnum t : {adSingle, adDouble, adBigInt, adWChar, adLongVarWChar, adLongVarChar, adVarBinary})
    EXPECT_EQ(FilterCondition(S("F"), t, S("1"), S(""), S("csv")), S("")) << int(t);
}

TEST(FilterCondition, QuotesFieldNamesThatAreNotPlain) {
  EXPECT_EQ(FilterCondition(S("State/Prov"), adVarWChar, S("BC"), S(""), S("db")), S("[State/Prov]='BC'"));
  EXPECT_EQ(FilterCondition(S("first name"), adVarWChar, S("Ann"), S(""), S("udl")), S("\"first name\"='Ann'"));
}

TEST(FilterLiterals, BackslashesAreEscapedOnlyForServersThatReadThem) {
  const QVariant v = QString::fromUtf8("a\\'b");
  // Everywhere else the literal stays exactly as it always was.
  EXPECT_EQ(FilterCondition("N", dataaccess::adVarWChar, v, "", "udl"), QString::fromUtf8("N='a\\''b'"));
  EXPECT_EQ(FilterCondition("N", dataaccess::adVarWChar, v, "", "udl", QLocale::c(), true),
            QString::fromUtf8("N='a\\\\''b'"));
  // In a LIKE pattern the backslash is the escape character too.
  EXPECT_EQ(FilterCondition("N", dataaccess::adVarWChar, v, "a\\", "udl", QLocale::c(), true),
            QString::fromUtf8("N LIKE 'a\\\\\\\\%'"));
  EXPECT_EQ(SqlStringLiteral("", true), "Null");
}
