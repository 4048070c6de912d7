// Workbooks written here record by record (dates, times, Booleans), and the
// filter forms the viewer builds for .xls sources.
#include "biffwriter.h"
#include "dataaccess/connection.h"
#include "dataaccess/error.h"
#include "dataaccess/recordset.h"
#include "testsupport/fixtures.h"
#include "testsupport/tempdir.h"

#include <gtest/gtest.h>

using namespace dataaccess;

namespace {

// 2 January 2005 as a serial day number of the 1900 date system.
constexpr double kJan2 = 38354.0;

QString datesWorkbook(const testsupport::TempDir& dir) {
  biffwriter::Biff8Book w;
  w.label(0, 0, QStringLiteral("When"));
  w.label(0, 1, QStringLiteral("Flag"));
  w.label(0, 2, QStringLiteral("Name"));
  w.number(1, 0, 1, kJan2);
  w.boolean(1, 1, true);
  w.label(1, 2, QStringLiteral("O'Brien"));
  w.number(2, 0, 1, kJan2 + (10 * 3600 + 5 * 60 + 7) / 86400.0);
  w.boolean(2, 1, false);
  w.label(2, 2, QStringLiteral("Smith"));
  w.number(3, 0, 1, 0.5);
  w.boolean(3, 1, true);
  w.number(4, 0, 1, 36525.0);
  const QString path = dir.file(QStringLiteral("dates.xls"));
  biffwriter::writeXls(path, w.stream(QStringLiteral("Log Book")));
  return path;
}

std::shared_ptr<Connection> openXls(const QString& path) {
  auto cn = std::make_shared<Connection>();
  cn->Open(QStringLiteral("Driver={Microsoft Excel Driver (*.xls)};DriverId=790;Dbq=%1;DefaultDir=/tmp/;").arg(path));
  return cn;
}

// Rows a statement returns; skips the test while the SQL engine is not built.
int64_t countRows(const std::shared_ptr<Connection>& cn, const QString& sql) {
  Recordset rs;
  rs.setCursorLocation(adUseClient);
  rs.Open(sql, cn, adOpenKeyset, adLockBatchOptimistic, adCmdText);
  return rs.RecordCount();
}

bool engineMissing(const std::shared_ptr<Connection>& cn, const QString& table) {
  try {
    countRows(cn, QStringLiteral("SELECT * FROM %1 WHERE 1 = 1").arg(table));
    return false;
  } catch (const Error& e) {
    return e.description() == QLatin1String("not yet");
  }
}

}  // namespace

TEST(ExcelWorkbook, DateFormattedNumbersAreDatesAndBooleansBooleans) {
  testsupport::TempDir dir;
  auto cn = openXls(datesWorkbook(dir));
  Recordset rs;
  rs.Open(QStringLiteral("SELECT * FROM [Log Book$]"), cn, adOpenStatic, adLockReadOnly, adCmdText);
  ASSERT_EQ(rs.RecordCount(), 4);
  EXPECT_EQ(rs.Fields(0).Type(), adDate);
  EXPECT_EQ(rs.Fields(1).Type(), adBoolean);
  EXPECT_EQ(rs.Fields(2).Type(), adVarWChar);
  EXPECT_EQ(rs.Fields(0).Value().toDateTime(), QDateTime(QDate(2005, 1, 2), QTime(0, 0), Qt::UTC));
  EXPECT_EQ(rs.Fields(1).Value().toBool(), true);
  rs.MoveNext();
  EXPECT_EQ(rs.Fields(0).Value().toDateTime(), QDateTime(QDate(2005, 1, 2), QTime(10, 5, 7), Qt::UTC));
  rs.MoveNext();
  EXPECT_EQ(rs.Fields(0).Value().toDateTime(), QDateTime(QDate(1899, 12, 30), QTime(12, 0), Qt::UTC));
  EXPECT_FALSE(rs.Fields(2).Value().isValid());
  rs.MoveNext();
  EXPECT_EQ(rs.Fields(0).Value().toDateTime().date(), QDate(1999, 12, 31));
  EXPECT_FALSE(rs.Fields(1).Value().isValid());
}

TEST(ExcelWorkbook, FilterLiteralFormsSelectTheExpectedRows) {
  testsupport::TempDir dir;
  auto cn = openXls(datesWorkbook(dir));
  if (engineMissing(cn, QStringLiteral("[Log Book$]"))) GTEST_SKIP() << "SQL engine not built yet";
  const QString from = QStringLiteral("SELECT * FROM [Log Book$] WHERE ");
  EXPECT_EQ(countRows(cn, from + QStringLiteral("[When] = '1/2/2005'")), 1);
  EXPECT_EQ(countRows(cn, from + QStringLiteral("[When] = '1/2/2005 10:5:7'")), 1);
  EXPECT_EQ(countRows(cn, from + QStringLiteral("[When] = '12:0:0'")), 1);
  EXPECT_EQ(countRows(cn, from + QStringLiteral("[Name] = 'O''Brien'")), 1);
  EXPECT_EQ(countRows(cn, from + QStringLiteral("[Flag] = 1")), 2);
  EXPECT_EQ(countRows(cn, from + QStringLiteral("[Name] LIKE 'S%'")), 1);
}
