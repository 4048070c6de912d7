// The excel provider against workbooks written by Excel and other programs.
#include "dataaccess/connection.h"
#include "dataaccess/error.h"
#include "dataaccess/recordset.h"
#include "testsupport/fixtures.h"
#include "testsupport/tempdir.h"

#include <QCryptographicHash>
#include <QFile>
#include <gtest/gtest.h>

using namespace dataaccess;

namespace {

std::shared_ptr<Connection> openXls(const QString& path) {
  auto cn = std::make_shared<Connection>();
  cn->Open(QStringLiteral("Driver={Microsoft Excel Driver (*.xls)};DriverId=790;Dbq=%1;DefaultDir=/tmp/;").arg(path));
  return cn;
}

std::unique_ptr<Recordset> query(const std::shared_ptr<Connection>& cn, const QString& sql) {
  auto rs = std::make_unique<Recordset>();
  rs->setCursorLocation(adUseClient);
  rs->Open(sql, cn, adOpenKeyset, adLockBatchOptimistic, adCmdText);
  return rs;
}

QList<QPair<QString, QString>> catalogue(Connection& cn) {
  QList<QPair<QString, QString>> entries;
  for (auto rs = cn.OpenSchema(adSchemaTables); !rs->IsEOF(); rs->MoveNext())
    entries.append({rs->Fields(QStringLiteral("TABLE_NAME")).Value().toString(),
                    rs->Fields(QStringLiteral("TABLE_TYPE")).Value().toString()});
  return entries;
}

QStringList fieldNames(Recordset& rs) {
  QStringList names;
  for (int i = 0; i < rs.FieldCount(); ++i) names << rs.Fields(i).Name();
  return names;
}

}  // namespace

TEST(ExcelProvider, SheetsAreSystemTablesAndNamesAreTables) {
  LUMBROOK_REQUIRE_FIXTURE(path, "excel/namesdemo.xls");
  auto cn = openXls(path);
  const auto entries = catalogue(*cn);
  ASSERT_GE(entries.size(), 4);
  EXPECT_EQ(entries[0], qMakePair(QStringLiteral("Sheet1$"), QStringLiteral("SYSTEM TABLE")));
  EXPECT_TRUE(entries.contains(qMakePair(QStringLiteral("Seamus O'Reilly$"), QStringLiteral("SYSTEM TABLE"))));
  EXPECT_TRUE(entries.contains(qMakePair(QStringLiteral("rectangle1"), QStringLiteral("TABLE"))));
  EXPECT_TRUE(entries.contains(qMakePair(QStringLiteral("Москва"), QStringLiteral("TABLE"))));

  // A named range: its first row names the columns, the rest are rows.
  auto rect = query(cn, QStringLiteral("SELECT * FROM rectangle1"));
  EXPECT_EQ(fieldNames(*rect), QStringList({"1", "2", "4", "8"}));
  ASSERT_EQ(rect->RecordCount(), 1);
  EXPECT_EQ(rect->Fields(0).Type(), adDouble);
  EXPECT_EQ(rect->Fields(3).Value().toDouble(), 128.0);
}

TEST(ExcelProvider, ReadsSheetRowsWithGuessedTypes) {
  LUMBROOK_REQUIRE_FIXTURE(path, "excel/profiles.xls");
  auto cn = openXls(path);
  auto rs = query(cn, QStringLiteral("SELECT * FROM [PROFILEDEF$]"));
  EXPECT_EQ(rs->RecordCount(), 14);
  EXPECT_EQ(fieldNames(*rs).mid(0, 3), QStringList({"PROFIL", "a", "b"}));
  EXPECT_EQ(rs->Fields(0).Type(), adVarWChar);
  EXPECT_EQ(rs->Fields(0).DefinedSize(), 255);
  EXPECT_EQ(rs->Fields(1).Type(), adDouble);
  EXPECT_EQ(rs->Fields(0).Value().toString(), QStringLiteral("P8.2"));
  EXPECT_EQ(rs->Fields(QStringLiteral("l")).Value().toDouble(), 111.0);
  // The unbracketed form of a sheet name reads the same rows.
  EXPECT_EQ(query(cn, QStringLiteral("SELECT * FROM AXISDEF$"))->RecordCount(), 14);
  // An empty header cell becomes F1.
  EXPECT_EQ(query(cn, QStringLiteral("SELECT * FROM [AXISDATUMLEVELS$]"))->Fields(0).Name(), QStringLiteral("F1"));
}

TEST(ExcelProvider, RaggedRowsGiveNullsAndNamelessColumns) {
  LUMBROOK_REQUIRE_FIXTURE(path, "excel/ragged.xls");
  auto cn = openXls(path);
  auto rs = query(cn, QStringLiteral("SELECT * FROM [Sheet1$]"));
  EXPECT_EQ(fieldNames(*rs), QStringList({"a", "b", "c", "F4"}));
  ASSERT_EQ(rs->RecordCount(), 4);
  EXPECT_EQ(rs->Fields(1).Value().toString(), QStringLiteral("e"));
  EXPECT_FALSE(rs->Fields(2).Value().isValid());
  rs->MoveLast();
  EXPECT_EQ(rs->Fields(QStringLiteral("F4")).Value().toString(), QStringLiteral("l"));
  // An empty sheet is an empty table, not an error.
  EXPECT_EQ(query(cn, QStringLiteral("SELECT * FROM [Sheet2$]"))->RecordCount(), 0);
}

TEST(ExcelProvider, ReadsWorkbookWithEmbeddedChartsAndFormats) {
  LUMBROOK_REQUIRE_FIXTURE(path, "excel/Formate.xls");
  auto cn = openXls(path);
  const auto entries = catalogue(*cn);
  ASSERT_EQ(entries.size(), 4);
  EXPECT_EQ(entries[0].first, QStringLiteral("Blätt1$"));
  EXPECT_EQ(entries[1].first, QStringLiteral("ÖÄÜ$"));
  auto rs = query(cn, QStringLiteral("SELECT * FROM [Blätt1$]"));
  EXPECT_EQ(rs->RecordCount(), 9);
  EXPECT_EQ(rs->Fields(0).Value().toString(), QStringLiteral("Äcker"));
  // Dates, times and plain numbers in one column: the column is text, and
  // dates read as month/day/year.
  EXPECT_EQ(rs->Fields(1).Type(), adVarWChar);
  EXPECT_EQ(rs->Fields(1).Value().toString(), QStringLiteral("2/23/2005"));
  rs->Move(2);
  EXPECT_EQ(rs->Fields(1).Value().toString(), QStringLiteral("6:34:00"));
  auto numbers = query(cn, QStringLiteral("SELECT * FROM [Blätt3$]"));
  EXPECT_EQ(numbers->Fields(0).Name(), QStringLiteral("100"));
  EXPECT_EQ(numbers->Fields(0).Value().toDouble(), 200.0);
}

TEST(ExcelProvider, ReportsPropertiesAndRefusesUpdates) {
  LUMBROOK_REQUIRE_FIXTURE(path, "excel/ragged.xls");
  testsupport::TempDir dir;
  const QString copy = dir.file(QStringLiteral("ragged.xls"));
  ASSERT_TRUE(QFile::copy(path, copy));
  QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
  const QByteArray before = dir.read(QStringLiteral("ragged.xls"));
  {
    auto cn = openXls(copy);
    EXPECT_EQ(cn->providerName(), QStringLiteral("excel"));
    EXPECT_EQ(cn->Properties(QStringLiteral("DBMS Name")).toString(), QStringLiteral("EXCEL"));
    EXPECT_EQ(cn->Properties(QStringLiteral("Data Source")).toString(), copy);
    EXPECT_FALSE(cn->Properties(QStringLiteral("Provider Friendly Name")).toString().isEmpty());
    EXPECT_EQ(cn->Properties(QStringLiteral("User Name")).toString(), QStringLiteral("Admin"));
    auto rs = query(cn, QStringLiteral("SELECT * FROM [Sheet1$]"));
    rs->Fields(0).setValue(QStringLiteral("changed"));
    EXPECT_THROW(rs->UpdateBatch(), Error);
  }
  EXPECT_EQ(dir.read(QStringLiteral("ragged.xls")), before);
}
