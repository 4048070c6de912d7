// The connection side of the ODBC provider: the environment and connection
// handles, the ODBC string handed to the driver manager, and what the driver
// says about itself.
#pragma once

#include "../../connectionstring.h"
#include "../../provider.h"
#include "odbcsupport.h"

#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

namespace dataaccess::odbc {

// Turns a data-link string into the string for SQLDriverConnect: the keys
// only an OLE DB consumer knows ("Provider", "Persist Security Info", ...)
// are dropped, "Extended Properties" (where a data link built for ODBC keeps
// the ODBC string) is merged in, and the classic names "Data Source",
// "User ID", "Password" and "Initial Catalog" become DSN, UID, PWD and
// DATABASE. `userName`/`password` are added when the string has none.
QString odbcConnectionString(const ConnectionString& cs, const QString& userName, const QString& password);

// Values are wrapped in braces where the ODBC syntax needs it.
QString odbcValue(const QString& value);

class OdbcConnection {
 public:
  OdbcConnection() = default;
  ~OdbcConnection();
  OdbcConnection(const OdbcConnection&) = delete;
  OdbcConnection& operator=(const OdbcConnection&) = delete;

  // Connects with the login time-out (seconds, 0 = the driver's default).
  // Unless `trusted`, a string that would make the driver manager or a
  // driver load a library or use a file it names is refused first
  // (linkpolicy.h). Throws Error carrying every diagnostic record of the
  // driver.
  void connect(const QString& odbcString, int loginTimeout, bool trusted = false);
  void disconnect();
  bool connected() const { return connected_; }
  SQLHDBC dbc() const { return dbc_; }

  // The name under which the driver is registered (odbcinst.ini), taken
  // from DRIVER= or looked up for DSN=.
  const QString& registeredDriver() const { return registeredDriver_; }
  // SQLGetInfo answers read once after connecting.
  QString driverFile, driverVersion, dbmsName, dbmsVersion, userName, dataSourceName, databaseName;
  QString identifierQuote, searchEscape;
  // The driver can re-read a bound cell of a block by position.
  bool blockRereads = false;
  // The PostgreSQL driver (psqlodbc).
  bool postgresDriver = false;
  // Whether the PostgreSQL driver hands text bound as SQL_C_CHAR over as
  // UTF-8. Its Unicode build converts such text to the character set of the
  // process's locale, which need not be UTF-8 (and fails on characters that
  // set lacks); asked once, with a value that is not ASCII.
  bool charTextIsUtf8();

  // Runs `work` with auto-commit off; commits when it returns, rolls back
  // when it throws (and rethrows). Auto-commit is on again afterwards.
  template <typename F>
  void inTransaction(F&& work);

 private:
  void endTransaction(SQLSMALLINT completion);
  QString lookupDsnDriver(const QString& dsn) const;
  // Every registered driver: its name and its NUL-separated attributes.
  std::vector<std::pair<QString, QString>> drivers() const;
  // The names of the drivers registered with the driver manager.
  QStringList installedDrivers() const;
  // The library file of a registered driver, or empty.
  QString driverLibrary(const QString& driver) const;

  SQLHENV env_ = SQL_NULL_HENV;
  SQLHDBC dbc_ = SQL_NULL_HDBC;
  bool connected_ = false;
  QString registeredDriver_;
  std::optional<bool> charTextIsUtf8_;
};

template <typename F>
void OdbcConnection::inTransaction(F&& work) {
  const QString source = QStringLiteral("Recordset.UpdateBatch");
  check(SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQLULEN(SQL_AUTOCOMMIT_OFF)), 0),
        SQL_HANDLE_DBC, dbc_, source, QStringLiteral("The driver cannot start a transaction."));
  try {
    work();
  } catch (...) {
    endTransaction(SQL_ROLLBACK);
    throw;
  }
  endTransaction(SQL_COMMIT);
}

}  // namespace dataaccess::odbc
