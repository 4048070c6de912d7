// The odbc provider against a real PostgreSQL server that the tests start
// themselves (scripts/pg-test-server.sh), reached through odbc-postgresql.
#include "odbctestenv.h"

#include "dataaccess/error.h"
#include "dataaccess/recordset.h"
#include "dataaccess/values.h"

#include <QElapsedTimer>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace dataaccess;
using odbctest::open;
using odbctest::run;
using odbctest::query;
using odbctest::column;

namespace {

std::shared_ptr<Connection> pg() { return open("File Name=" + odbctest::writeUdl("pg.udl", odbctest::pgOdbcString()) + ";"); }

// One schema per test keeps the tests of one process apart.
std::shared_ptr<Connection> freshSchema(const QString& schema) {
  auto cn = pg();
  run(*cn, QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE; CREATE SCHEMA %1; SET search_path TO %1").arg(schema));
  return cn;
}

}  // namespace

TEST(OdbcPostgres, PropertiesNameTheServerAndTheDriver) {
  REQUIRE_PG_SERVER();
  auto cn = pg();
  EXPECT_EQ(cn->Properties("DBMS Name").toString(), "PostgreSQL");
  EXPECT_TRUE(cn->Properties("DBMS Version").toString().startsWith("15")) << cn->Properties("DBMS Version").toString().toStdString();
  EXPECT_EQ(cn->Properties("User Name").toString(), "lumbrook");
  const QString friendly = cn->Properties("Provider Friendly Name").toString();
  EXPECT_TRUE(friendly.contains(odbctest::kPgDriver)) << friendly.toStdString();
  EXPECT_TRUE(friendly.contains("psqlodbc")) << friendly.toStdString();
  EXPECT_FALSE(friendly.toLower().contains("oracle"));
  // Through a data source name as well.
  auto viaDsn = open(QStringLiteral("DSN=LumbrookPg;UID=lumbrook;PWD=lumbrook-secret;"));
  EXPECT_TRUE(viaDsn->Properties("Provider Friendly Name").toString().contains(odbctest::kPgDriver));
}

TEST(OdbcPostgres, CatalogueAndColumnsOfTablesViewsAndBlankNames) {
  REQUIRE_PG_SERVER();
  auto cn = freshSchema("cat");
  run(*cn, "CREATE TABLE cat.kinds (i integer PRIMARY KEY, s smallint, b bigint, n numeric(10,2), r real, "
           "d double precision, v varchar(20), c char(3), t text, dd date, tt time, ts timestamp, ok boolean, "
           "bin bytea, g uuid)");
  run(*cn, "CREATE VIEW cat.kind_view AS SELECT i, v FROM cat.kinds");
  run(*cn, "CREATE TABLE cat.\"Order Details\" (line integer, qty integer)");

  auto tables = cn->OpenSchema(adSchemaTables, {QVariant(), "cat"});
  QStringList entries;
  for (int64_t r = 0; r < tables->RecordCount(); ++r)
    entries << tables->valueAt(r, 2).toString() + ":" + tables->valueAt(r, 3).toString();
  entries.sort();
  EXPECT_EQ(entries, (QStringList{"Order Details:TABLE", "kind_view:VIEW", "kinds:TABLE"}));
  EXPECT_EQ(column(*tables, "TABLE_SCHEMA"), (QStringList{"cat", "cat", "cat"}));

  auto columns = cn->OpenSchema(adSchemaColumns, {QVariant(), "cat", "kinds"});
  std::map<QString, int> types;
  for (int64_t r = 0; r < columns->RecordCount(); ++r)
    types[columns->valueAt(r, columns->Fields("COLUMN_NAME").index()).toString()] =
        columns->valueAt(r, columns->Fields("DATA_TYPE").index()).toInt();
  EXPECT_EQ(types["i"], adInteger);
  EXPECT_EQ(types["s"], adSmallInt);
  EXPECT_EQ(types["b"], adBigInt);
  EXPECT_EQ(types["n"], adNumeric);
  EXPECT_EQ(types["r"], adSingle);
  EXPECT_EQ(types["d"], adDouble);
  EXPECT_EQ(types["v"], adVarWChar);
  EXPECT_EQ(types["c"], adWChar);
  EXPECT_EQ(types["t"], adLongVarWChar);
  EXPECT_EQ(types["dd"], adDBDate);
  EXPECT_EQ(types["tt"], adDBTime);
  EXPECT_EQ(types["ts"], adDBTimeStamp);
  EXPECT_EQ(types["ok"], adBoolean);
  EXPECT_EQ(types["bin"], adLongVarBinary);
  EXPECT_EQ(types["g"], adGUID);
  auto n = cn->OpenSchema(adSchemaColumns, {QVariant(), "cat", "kinds", "n"});
  ASSERT_EQ(n->RecordCount(), 1);
  EXPECT_EQ(n->Fields("NUMERIC_PRECISION").Value().toInt(), 10);
  EXPECT_EQ(n->Fields("NUMERIC_SCALE").Value().toInt(), 2);
  auto v = cn->OpenSchema(adSchemaColumns, {QVariant(), "cat", "kinds", "v"});
  EXPECT_EQ(v->Fields("CHARACTER_MAXIMUM_LENGTH").Value().toInt(), 20);
  auto blank = cn->OpenSchema(adSchemaColumns, {QVariant(), "cat", "Order Details"});
  EXPECT_EQ(column(*blank, "COLUMN_NAME"), (QStringList{"line", "qty"}));
  EXPECT_EQ(cn->OpenSchema(adSchemaColumns, {"no_such_catalog", "cat", "kinds"})->RecordCount(), 0);
}

TEST(OdbcPostgres, ColumnsRestrictedToTheUsersSchema) {
  REQUIRE_PG_SERVER();
  // The same table name in the user's own schema and in another: the
  // user-schema restriction must reach the driver's column list.
  auto cn = pg();
  run(*cn, "DROP SCHEMA IF EXISTS lumbrook CASCADE; DROP SCHEMA IF EXISTS other CASCADE");
  run(*cn, "CREATE SCHEMA lumbrook; CREATE SCHEMA other");
  run(*cn, "CREATE TABLE lumbrook.staff (mine integer, also_mine text)");
  run(*cn, "CREATE TABLE other.staff (theirs integer)");
  const QString user = cn->Properties("User Name").toString();
  auto own = cn->OpenSchema(adSchemaColumns, {QVariant(), user, "staff", QVariant()});
  EXPECT_EQ(column(*own, "COLUMN_NAME"), (QStringList{"mine", "also_mine"}));
  EXPECT_EQ(column(*own, "TABLE_SCHEMA"), (QStringList{"lumbrook", "lumbrook"}));
  auto theirs = cn->OpenSchema(adSchemaColumns, {QVariant(), "other", "staff", QVariant()});
  EXPECT_EQ(column(*theirs, "COLUMN_NAME"), QStringList{"theirs"});
}

TEST(OdbcPostgres, ContentOfEveryKindOfValue) {
  REQUIRE_PG_SERVER();
  auto cn = freshSchema("content");
  run(*cn, "CREATE TABLE content.vals (i integer, n numeric(12,2), r real, d double precision, v varchar(30), "
           "t text, dd date, tt time, ts timestamp(3), ok boolean, bin bytea, g uuid)");
  run(*cn, "INSERT INTO content.vals VALUES (-7, -12.50, 1.5, 0.1, 'It''s \"quoted\"', 'Grüße 東京 😀', "
           "'2005-01-02', '10:05:07', '2005-01-02 10:05:07.250', true, '\\x00ff10', "
           "'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11')");
  run(*cn, "INSERT INTO content.vals VALUES (NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL)");
  auto rs = query(cn, "SELECT * FROM content.vals ORDER BY i NULLS LAST");
  ASSERT_EQ(rs->RecordCount(), 2);
  EXPECT_EQ(rs->Fields("i").Value().toLongLong(), -7);
  EXPECT_EQ(rs->Fields("n").Value().toString(), "-12.50");
  EXPECT_EQ(rs->Fields("r").Value().toDouble(), 1.5);
  EXPECT_EQ(rs->Fields("d").Value().toDouble(), 0.1);
  EXPECT_EQ(rs->Fields("v").Value().toString(), "It's \"quoted\"");
  EXPECT_EQ(rs->Fields("t").Value().toString(), QString::fromUtf8("Grüße 東京 😀"));
  EXPECT_EQ(rs->Fields("dd").Value().toDate(), QDate(2005, 1, 2));
  EXPECT_EQ(rs->Fields("tt").Value().toTime(), QTime(10, 5, 7));
  EXPECT_EQ(rs->Fields("ts").Value().toDateTime(), QDateTime(QDate(2005, 1, 2), QTime(10, 5, 7, 250), Qt::UTC));
  EXPECT_EQ(rs->Fields("ok").Type(), adBoolean);
  EXPECT_TRUE(rs->Fields("ok").Value().toBool());
  EXPECT_EQ(rs->Fields("bin").Value().toByteArray(), QByteArray("\x00\xFF\x10", 3));
  EXPECT_EQ(rs->Fields("g").Value().toString().toLower(), "a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11");
  rs->MoveNext();
  for (int f = 0; f < rs->FieldCount(); ++f) EXPECT_FALSE(rs->Fields(f).Value().isValid()) << f;

  // A real is a 4-byte float however the driver hands it over, and reads
  // with the float's digits.
  run(*cn, "CREATE TABLE content.singles (r real)");
  run(*cn, "INSERT INTO content.singles VALUES (0.15), (-1.1)");
  auto singles = query(cn, "SELECT r FROM content.singles ORDER BY r");
  ASSERT_EQ(singles->RecordCount(), 2);
  EXPECT_EQ(singles->Fields("r").Value().toDouble(), double(-1.1f));
  EXPECT_EQ(displayText(singles->Fields("r").Value(), adSingle, QLocale::c()), "-1.1");
  singles->MoveNext();
  EXPECT_EQ(singles->Fields("r").Value().toDouble(), double(0.15f));
  EXPECT_EQ(invariantText(singles->Fields("r").Value(), adSingle), "0.15");

  run(*cn, "CREATE TABLE content.\"Order Details\" (line integer, qty integer)");
  run(*cn, "INSERT INTO content.\"Order Details\" SELECT g, g * 2 FROM generate_series(1, 5000) g");
  auto blank = query(cn, "SELECT * FROM content.\"Order Details\" ORDER BY line");
  ASSERT_EQ(blank->RecordCount(), 5000);
  EXPECT_EQ(blank->valueAt(4999, 1).toLongLong(), 10000);
}

TEST(OdbcPostgres, EditSavedConflictRefusedAndResync) {
  REQUIRE_PG_SERVER();
  auto cn = freshSchema("edits");
  run(*cn, "CREATE TABLE edits.people (id integer PRIMARY KEY, name varchar(40), born date, note text)");
  run(*cn, "INSERT INTO edits.people VALUES (1, 'Ann', '1970-05-06', NULL), (2, 'Bob', NULL, 'x'), (3, 'Cy', NULL, NULL)");
  auto rs = query(cn, "SELECT * FROM edits.people ORDER BY id");

  // A plain edit is saved.
  rs->Fields("name").setValue("Anne");
  rs->Fields("born").setValue(QDate(1971, 6, 7));
  rs->UpdateBatch(adAffectAll);
  auto other = pg();
  auto check = query(other, "SELECT name, born FROM edits.people WHERE id = 1");
  EXPECT_EQ(check->Fields("name").Value().toString(), "Anne");
  EXPECT_EQ(check->Fields("born").Value().toDate(), QDate(1971, 6, 7));

  // Row 3 is deleted by another connection in between: the batch (rows 2
  // and 3) is refused as a whole and names the row.
  rs->MoveNext();
  rs->Fields("note").setValue("mine");
  rs->MoveNext();
  rs->Fields("name").setValue("Cyrus");
  run(*other, "DELETE FROM edits.people WHERE id = 3");
  try {
    rs->UpdateBatch(adAffectAll);
    FAIL() << "conflict not detected";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), err::kRowConflict);
    EXPECT_TRUE(e.description().contains("record 3")) << e.description().toStdString();
    EXPECT_TRUE(e.description().contains("id = 3")) << e.description().toStdString();
  }
  auto after = query(other, "SELECT note FROM edits.people WHERE id = 2");
  EXPECT_EQ(after->Fields("note").Value().toString(), "x");  // rolled back

  // The connection is usable (auto-commit again) and Resync reads the row
  // that another user changed.
  run(*other, "UPDATE edits.people SET note = 'theirs' WHERE id = 2");
  rs->MovePrevious();
  rs->Resync(adAffectCurrent);
  EXPECT_EQ(rs->Fields("note").Value().toString(), "theirs");
  EXPECT_FALSE(rs->hasPendingChanges() && rs->Fields("note").Value() != rs->Fields("note").OriginalValue());
  run(*cn, "INSERT INTO edits.people VALUES (4, 'Dee', NULL, NULL)");
  EXPECT_EQ(query(other, "SELECT * FROM edits.people WHERE id = 4")->RecordCount(), 1);
}

TEST(OdbcPostgres, WrongPasswordAndUnreachableServersFailWithTheDriversMessage) {
  REQUIRE_PG_SERVER();
  const auto& s = odbctest::pgServer();
  auto attempt = [](const QString& cs, int timeout) {
    Connection cn;
    cn.setConnectionTimeout(timeout);
    try {
      cn.Open(cs);
    } catch (const Error& e) {
      return e.description();
    }
    return QString();
  };
  const QString wrong = attempt(QStringLiteral("Driver={%1};Servername=127.0.0.1;Port=%2;Database=postgres;"
                                               "UID=lumbrook;PWD=wrong;")
                                    .arg(odbctest::kPgDriver)
                                    .arg(s.port),
                                30);
  EXPECT_TRUE(wrong.contains("password authentication failed")) << wrong.toStdString();

  // A port where a socket listens but no server ever answers.
  const int sock = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(::listen(sock, 4), 0);
  socklen_t len = sizeof addr;
  ::getsockname(sock, reinterpret_cast<sockaddr*>(&addr), &len);
  const int silentPort = ntohs(addr.sin_port);
  QElapsedTimer timer;
  timer.start();
  const QString silent = attempt(QStringLiteral("Driver={%1};Servername=127.0.0.1;Port=%2;Database=postgres;"
                                                "UID=lumbrook;PWD=x;")
                                     .arg(odbctest::kPgDriver)
                                     .arg(silentPort),
                                 3);
  ::close(sock);
  EXPECT_FALSE(silent.isEmpty());
  EXPECT_LT(timer.elapsed(), 60000) << "the connection time-out was not honoured";

  // A closed port.
  const QString refused = attempt(QStringLiteral("Driver={%1};Servername=127.0.0.1;Port=%2;Database=postgres;"
                                                 "UID=lumbrook;PWD=x;")
                                      .arg(odbctest::kPgDriver)
                                      .arg(silentPort),
                                  3);
  EXPECT_FALSE(refused.isEmpty());
}

TEST(OdbcPostgres, CommandTimeoutEndsALongStatement) {
  REQUIRE_PG_SERVER();
  auto cn = std::make_shared<Connection>();
  cn->setCommandTimeout(1);
  cn->Open(odbctest::pgOdbcString());
  QElapsedTimer timer;
  timer.start();
  EXPECT_THROW(query(cn, "SELECT pg_sleep(30)"), Error);
  EXPECT_LT(timer.elapsed(), 25000);
}
