// The odbc provider over the SQLite ODBC driver: no server needed. Covers
// data links in both encodings, the catalogue, content of every kind of
// value, edits located by all original values, and the driver registered
// under a name that says Oracle.
#include "odbctestenv.h"

#include "dataaccess/error.h"
#include "dataaccess/recordset.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace dataaccess;
using odbctest::open;
using odbctest::run;
using odbctest::query;
using odbctest::column;

namespace {

QString sqliteString(const QString& file, const QString& driver = odbctest::kSqliteDriver) {
  return QStringLiteral("Driver={%1};Database=%2;").arg(driver, QDir(odbctest::workDir()).filePath(file));
}

// A fresh database with a table, a view and a table whose name has a blank.
std::shared_ptr<Connection> shopDatabase(const QString& file) {
  QFile::remove(QDir(odbctest::workDir()).filePath(file));
  auto cn = open(sqliteString(file));
  run(*cn, "CREATE TABLE items (id INTEGER, name VARCHAR(40), price NUMERIC(10,2), added DATE, "
           "stamp TIMESTAMP, ok BIT, note TEXT, picture BLOB)");
  run(*cn, "INSERT INTO items VALUES (1, 'O''Brien', 12.5, '2005-01-02', '2005-01-02 10:05:07', 1, "
           "'Grüße, 東京', X'00FF10')");
  run(*cn, "INSERT INTO items VALUES (2, NULL, NULL, NULL, NULL, 0, NULL, NULL)");
  run(*cn, "CREATE VIEW cheap AS SELECT id, name FROM items WHERE price < 20");
  run(*cn, "CREATE TABLE \"Order Details\" (line INTEGER, qty INTEGER)");
  run(*cn, "INSERT INTO \"Order Details\" VALUES (1, 3)");
  return cn;
}

}  // namespace

TEST(OdbcSqlite, DataLinksInBothEncodingsOpenTheDatabase) {
  REQUIRE_SQLITE_DRIVER();
  shopDatabase("links.sqlite");
  for (bool utf16 : {true, false}) {
    const QString udl = odbctest::writeUdl(utf16 ? "utf16.udl" : "utf8.udl",
                                           "Provider=MSDASQL.1;Persist Security Info=False;Extended Properties=\"" +
                                               sqliteString("links.sqlite") + "\"",
                                           utf16);
    auto cn = open("File Name=" + udl + ";");
    EXPECT_EQ(cn->providerName(), "odbc");
    EXPECT_EQ(cn->Properties("DBMS Name").toString(), "SQLite");
    auto rs = query(cn, "SELECT name FROM items WHERE id = 1");
    EXPECT_EQ(column(*rs, "name"), QStringList{"O'Brien"}) << (utf16 ? "UTF-16" : "UTF-8");
  }
}

TEST(OdbcSqlite, BadDataLinksGiveClearErrors) {
  const QString empty = QDir(odbctest::workDir()).filePath("empty.udl");
  QFile(empty).open(QIODevice::WriteOnly);
  const QString garbage = QDir(odbctest::workDir()).filePath("garbage.udl");
  {
    QFile f(garbage);
    f.open(QIODevice::WriteOnly);
    f.write("\x89PNG\r\n\x1a\n\0\0\0\rIHDR garbage without a connection", 45);
  }
  const QString unknown = odbctest::writeUdl("unknown.udl", "Provider=SQLOLEDB.1;Data Source=server");
  const QString noDriver = odbctest::writeUdl("nodriver.udl", "Driver={No Such Driver};Database=x");
  for (const QString& path : {empty, garbage, unknown, noDriver}) {
    Connection cn;
    try {
      cn.Open("File Name=" + path + ";");
      FAIL() << "opened " << path.toStdString();
    } catch (const Error& e) {
      EXPECT_FALSE(e.description().isEmpty()) << path.toStdString();
      EXPECT_NE(e.number(), 0);
      EXPECT_EQ(cn.State(), adStateClosed);
    }
  }
}

TEST(OdbcSqlite, CatalogueListsTablesAndViewsAndHonoursRestrictions) {
  REQUIRE_SQLITE_DRIVER();
  auto cn = shopDatabase("catalogue.sqlite");
  auto tables = cn->OpenSchema(adSchemaTables);
  QStringList entries;
  for (int64_t r = 0; r < tables->RecordCount(); ++r)
    entries << tables->valueAt(r, 2).toString() + ":" + tables->valueAt(r, 3).toString();
  EXPECT_TRUE(entries.contains("items:TABLE")) << entries.join(' ').toStdString();
  EXPECT_TRUE(entries.contains("cheap:VIEW"));
  EXPECT_TRUE(entries.contains("Order Details:TABLE"));

  auto views = cn->OpenSchema(adSchemaTables, {QVariant(), QVariant(), QVariant(), "VIEW"});
  EXPECT_EQ(column(*views, "TABLE_NAME"), QStringList{"cheap"});

  auto columns = cn->OpenSchema(adSchemaColumns, {QVariant(), QVariant(), "items"});
  EXPECT_EQ(column(*columns, "COLUMN_NAME"),
            (QStringList{"id", "name", "price", "added", "stamp", "ok", "note", "picture"}));
  EXPECT_EQ(column(*columns, "ORDINAL_POSITION").first(), "1");
  auto one = cn->OpenSchema(adSchemaColumns, {QVariant(), QVariant(), "items", "price"});
  ASSERT_EQ(one->RecordCount(), 1);
  // The SQLite driver reports NUMERIC columns as double precision.
  EXPECT_EQ(one->Fields("DATA_TYPE").Value().toInt(), adDouble);
  // "_" is a pattern character in ODBC; a restriction matches exactly.
  EXPECT_EQ(cn->OpenSchema(adSchemaColumns, {QVariant(), QVariant(), "item_"})->RecordCount(), 0);
  auto blank = cn->OpenSchema(adSchemaColumns, {QVariant(), QVariant(), "Order Details"});
  EXPECT_EQ(column(*blank, "COLUMN_NAME"), (QStringList{"line", "qty"}));
}

TEST(OdbcSqlite, ContentKeepsNullsNumbersDatesAndText) {
  REQUIRE_SQLITE_DRIVER();
  auto cn = shopDatabase("content.sqlite");
  auto rs = query(cn, "SELECT * FROM items ORDER BY id");
  ASSERT_EQ(rs->RecordCount(), 2);
  EXPECT_EQ(rs->Fields("id").Type(), adInteger);
  EXPECT_EQ(rs->Fields("price").Type(), adDouble);  // as the SQLite driver declares NUMERIC
  EXPECT_EQ(rs->Fields("added").Type(), adDBDate);
  EXPECT_EQ(rs->Fields("stamp").Type(), adDBTimeStamp);
  EXPECT_EQ(rs->Fields("ok").Type(), adBoolean);
  EXPECT_TRUE(isBinaryType(rs->Fields("picture").Type()));
  EXPECT_EQ(rs->Fields("name").Value().toString(), "O'Brien");
  EXPECT_EQ(rs->Fields("price").Value().toDouble(), 12.5);
  EXPECT_EQ(rs->Fields("added").Value().toDate(), QDate(2005, 1, 2));
  EXPECT_EQ(rs->Fields("stamp").Value().toDateTime(), QDateTime(QDate(2005, 1, 2), QTime(10, 5, 7), Qt::UTC));
  EXPECT_EQ(rs->Fields("ok").Value().toBool(), true);
  EXPECT_EQ(rs->Fields("note").Value().toString(), QString::fromUtf8("Grüße, 東京"));
  EXPECT_EQ(rs->Fields("picture").Value().toByteArray(), QByteArray("\x00\xFF\x10", 3));
  rs->MoveNext();
  for (const char* f : {"name", "price", "added", "stamp", "note", "picture"})
    EXPECT_FALSE(rs->Fields(f).Value().isValid()) << f;
}

TEST(OdbcSqlite, LongValuesAndValuesBeyondTheDeclaredSizeArriveWhole) {
  REQUIRE_SQLITE_DRIVER();
  QFile::remove(QDir(odbctest::workDir()).filePath("long.sqlite"));
  auto cn = open(sqliteString("long.sqlite"));
  // SQLite does not enforce VARCHAR sizes: the driver declares 5.
  run(*cn, "CREATE TABLE t (id INTEGER, short VARCHAR(5), memo TEXT, data BLOB)");
  const QString longText = QString("abcdefghij").repeated(5000) + QString::fromUtf8("€");
  run(*cn, "INSERT INTO t VALUES (1, 'far longer than five', '" + longText + "', zeroblob(100000))");
  run(*cn, "WITH RECURSIVE s(i) AS (SELECT 2 UNION ALL SELECT i + 1 FROM s WHERE i < 3000) "
           "INSERT INTO t SELECT i, 'v' || i, 'm', NULL FROM s");
  auto rs = query(cn, "SELECT * FROM t ORDER BY id");
  ASSERT_EQ(rs->RecordCount(), 3000);
  EXPECT_EQ(rs->Fields("short").Value().toString(), "far longer than five");
  EXPECT_EQ(rs->Fields("memo").Value().toString(), longText);
  EXPECT_EQ(rs->Fields("data").Value().toByteArray(), QByteArray(100000, '\0'));
  EXPECT_EQ(rs->valueAt(2999, 1).toString(), "v3000");

  auto narrow = query(cn, "SELECT id, short FROM t ORDER BY id");
  EXPECT_EQ(narrow->Fields("short").Value().toString(), "far longer than five");
  EXPECT_EQ(narrow->valueAt(1, 1).toString(), "v2");
}

TEST(OdbcSqlite, EditsWithoutPrimaryKeyAreLocatedByEveryOriginalValue) {
  REQUIRE_SQLITE_DRIVER();
  auto cn = shopDatabase("edit.sqlite");
  auto rs = query(cn, "SELECT * FROM items ORDER BY id");
  rs->Fields("name").setValue("Renamed");
  rs->MoveNext();  // the row full of Nulls: located with IS NULL
  rs->Fields("note").setValue("now set");
  rs->UpdateBatch(adAffectAll);

  auto check = query(open(sqliteString("edit.sqlite")), "SELECT name, note FROM items ORDER BY id");
  EXPECT_EQ(column(*check, "name"), (QStringList{"Renamed", ""}));
  EXPECT_EQ(column(*check, "note"), (QStringList{QString::fromUtf8("Grüße, 東京"), "now set"}));

  rs->Resync(adAffectCurrent);
  EXPECT_EQ(rs->Fields("note").Value().toString(), "now set");
}

TEST(OdbcSqlite, ConflictRollsBackTheWholeBatchAndNamesTheRow) {
  REQUIRE_SQLITE_DRIVER();
  auto cn = shopDatabase("conflict.sqlite");
  auto rs = query(cn, "SELECT id, name FROM items ORDER BY id");
  rs->Fields("name").setValue("first edit");
  rs->MoveNext();
  rs->Fields("name").setValue("second edit");
  // Another user changes the second row in between.
  run(*open(sqliteString("conflict.sqlite")), "UPDATE items SET name = 'theirs' WHERE id = 2");
  try {
    rs->UpdateBatch(adAffectAll);
    FAIL() << "conflict not detected";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), err::kRowConflict);
    EXPECT_TRUE(e.description().contains("record 2")) << e.description().toStdString();
  }
  auto check = query(open(sqliteString("conflict.sqlite")), "SELECT name FROM items ORDER BY id");
  EXPECT_EQ(column(*check, "name"), (QStringList{"O'Brien", "theirs"}));  // first row not written
  EXPECT_TRUE(rs->hasPendingChanges());
}

TEST(OdbcSqlite, DuplicateRowsAreNotUpdatedTogether) {
  REQUIRE_SQLITE_DRIVER();
  QFile::remove(QDir(odbctest::workDir()).filePath("dupes.sqlite"));
  auto cn = open(sqliteString("dupes.sqlite"));
  run(*cn, "CREATE TABLE t (a INTEGER, b VARCHAR(10))");
  run(*cn, "INSERT INTO t VALUES (1, 'same')");
  run(*cn, "INSERT INTO t VALUES (1, 'same')");
  auto rs = query(cn, "SELECT * FROM t");
  rs->Fields("b").setValue("changed");
  EXPECT_THROW(rs->UpdateBatch(), Error);
  auto check = query(cn, "SELECT b FROM t");
  EXPECT_EQ(column(*check, "b"), (QStringList{"same", "same"}));
}

TEST(OdbcSqlite, DriverRegisteredUnderAnOracleNameIsRecognised) {
  REQUIRE_SQLITE_DRIVER();
  QFile::remove(QDir(odbctest::workDir()).filePath("oracle-link.sqlite"));
  // By driver name in the string, and through a data source name whose
  // driver is registered under that name.
  for (const QString& cs : {sqliteString("oracle-link.sqlite", odbctest::kOracleNamedDriver),
                            QStringLiteral("DSN=LumbrookOracleLink;")}) {
    auto cn = open("File Name=" + odbctest::writeUdl("oracle.udl", cs) + ";");
    const QString friendly = cn->Properties("Provider Friendly Name").toString();
    EXPECT_TRUE(friendly.toLower().contains("oracle")) << friendly.toStdString();
    EXPECT_NE(cn->Properties("DBMS Name").toString(), "Microsoft SQL Server");
  }
  auto plain = open(sqliteString("plain.sqlite"));
  EXPECT_FALSE(plain->Properties("Provider Friendly Name").toString().toLower().contains("oracle"));
  EXPECT_TRUE(plain->Properties("Provider Friendly Name").toString().contains("SQLite3"));
}

TEST(OdbcSqlite, StatementErrorsCarryTheDriversMessage) {
  REQUIRE_SQLITE_DRIVER();
  auto cn = shopDatabase("errors.sqlite");
  try {
    query(cn, "SELECT * FROM no_such_table");
    FAIL();
  } catch (const Error& e) {
    EXPECT_TRUE(e.description().contains("no_such_table")) << e.description().toStdString();
  }
  // A join has no single base table: reading works, saving is refused.
  auto rs = query(cn, "SELECT i.id, d.qty FROM items i, \"Order Details\" d WHERE i.id = d.line");
  rs->Fields("qty").setValue(9);
  EXPECT_THROW(rs->UpdateBatch(), Error);
}
