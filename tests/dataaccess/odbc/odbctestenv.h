// The ODBC test environment: an odbcinst.ini/odbc.ini written into a
// temporary folder (ODBCSYSINI and ODBCINI point there before any ODBC call)
// and a throwaway PostgreSQL server started on first use by
// scripts/pg-test-server.sh and stopped when the tests end.
#pragma once

#include "dataaccess/connection.h"
#include "dataaccess/recordset.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace odbctest {

// Registered driver names in the test's odbcinst.ini.
inline const QString kPgDriver = QStringLiteral("PostgreSQL Unicode");
inline const QString kSqliteDriver = QStringLiteral("SQLite3");
// The SQLite driver registered a second time under a name that says Oracle.
inline const QString kOracleNamedDriver = QStringLiteral("Oracle in OraClient19Home1");

// Path of a driver library, or empty when it is not installed.
QString driverLibrary(const QString& fileName);
// Folder of the test's ini files; also a scratch folder for databases.
QString workDir();

struct PgServer {
  QString dir;
  int port = 0;
  QString user;
  QString password;
  QString error;        // why there is no server
  bool missing = false;  // the server binaries are not installed
};

// The server of this test process, started on the first call.
const PgServer& pgServer();

// An ODBC string for the test server (extra "key=value;" pairs appended).
QString pgOdbcString(const QString& extra = {});
// Writes a .udl file holding `connectionString` (UTF-16LE with BOM when
// `utf16`, else UTF-8) and returns its path.
QString writeUdl(const QString& name, const QString& connectionString, bool utf16 = true);
// Opens a connection with the viewer's time-outs.
std::shared_ptr<dataaccess::Connection> open(const QString& connectionString, int connectionTimeout = 30);
// Runs a statement that returns no rows.
void run(dataaccess::Connection& cn, const QString& sql);
// Opens `sql` as a client-side keyset recordset, as the window opens a table.
std::unique_ptr<dataaccess::Recordset> query(const std::shared_ptr<dataaccess::Connection>& cn, const QString& sql);
// The text of every value of `field`, row by row.
QStringList column(dataaccess::Recordset& rs, const QString& field);

}  // namespace odbctest

// Skips the test when the PostgreSQL server cannot run here; fails it when
// the server is installed but would not start.
#define REQUIRE_PG_SERVER()                                                                   \
  do {                                                                                        \
    const auto& pg_ = ::odbctest::pgServer();                                                 \
    if (pg_.missing) GTEST_SKIP() << "PostgreSQL not available: " << pg_.error.toStdString(); \
    ASSERT_TRUE(pg_.error.isEmpty()) << pg_.error.toStdString();                              \
    if (::odbctest::driverLibrary("psqlodbcw.so").isEmpty())                                  \
      GTEST_SKIP() << "the PostgreSQL ODBC driver (odbc-postgresql) is not installed";        \
  } while (0)

#define REQUIRE_SQLITE_DRIVER()                                                                 \
  do {                                                                                          \
    if (::odbctest::driverLibrary("libsqlite3odbc.so").isEmpty())                               \
      GTEST_SKIP() << "the SQLite ODBC driver (libsqliteodbc) is not installed";                \
  } while (0)
