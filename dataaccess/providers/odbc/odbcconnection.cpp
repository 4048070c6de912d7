#include "odbcconnection.h"

#include "linkpolicy.h"

#include <QStringList>
#include <cstring>

namespace dataaccess::odbc {

namespace {

const QString kOpen = QStringLiteral("Connection.Open");

bool is(const QString& key, const char* name) { return key.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; }

}  // namespace

QString odbcValue(const QString& value) {
  if (value.contains(QLatin1Char(';')) || value.contains(QLatin1Char('{')) || value.contains(QLatin1Char('}')) ||
      value.contains(QLatin1Char('=')) || value != value.trimmed()) {
    QString v = value;
    v.replace(QLatin1String("}"), QLatin1String("}}"));
    return QLatin1Char('{') + v + QLatin1Char('}');
  }
  return value;
}

QString odbcConnectionString(const ConnectionString& cs, const QString& userName, const QString& password) {
  QList<std::pair<QString, QString>> pairs;
  auto has = [&](const char* key) {
    for (const auto& [k, v] : pairs)
      if (is(k, key)) return true;
    return false;
  };
  auto add = [&](const QString& key, const QString& value) {
    if (!has(key.toLatin1().constData())) pairs.append({key, value});
  };
  // The ODBC string inside an OLE DB data link comes first: its keys win.
  const QString extended = cs.value(QStringLiteral("Extended Properties"));
  const ConnectionString inner = ConnectionString::parse(extended);
  for (const auto& [k, v] : inner.pairs()) add(k, v);
  for (const auto& [k, v] : cs.pairs()) {
    if (is(k, "Provider") || is(k, "Extended Properties") || is(k, "Persist Security Info") ||
        is(k, "File Name") || is(k, "Prompt") || is(k, "Mode"))
      continue;
    if (is(k, "Data Source"))
      add(QStringLiteral("DSN"), v);
    else if (is(k, "User ID"))
      add(QStringLiteral("UID"), v);
    else if (is(k, "Password"))
      add(QStringLiteral("PWD"), v);
    else if (is(k, "Initial Catalog"))
      add(QStringLiteral("DATABASE"), v);
    else
      add(k, v);
  }
  // A DSN together with a DRIVER confuses the driver manager; DRIVER wins.
  if (has("DRIVER") && has("DSN"))
    pairs.removeIf([](const auto& p) { return is(p.first, "DSN"); });
  if (!userName.isEmpty()) add(QStringLiteral("UID"), userName);
  if (!password.isEmpty()) add(QStringLiteral("PWD"), password);
  QStringList parts;
  for (const auto& [k, v] : pairs) {
    // Driver names hold blanks and parentheses: always in braces.
    const bool driver = is(k, "DRIVER") && !v.startsWith(QLatin1Char('{'));
    parts << k + QLatin1Char('=') + (driver ? QLatin1Char('{') + QString(v).replace(QLatin1String("}"), QLatin1String("}}")) + QLatin1Char('}') : odbcValue(v));
  }
  return parts.join(QLatin1Char(';'));
}

OdbcConnection::~OdbcConnection() { disconnect(); }

void OdbcConnection::connect(const QString& odbcString, int loginTimeout, bool trusted) {
  disconnect();
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_))) {
    env_ = SQL_NULL_HENV;
    throw Error(err::kProviderFailure, kOpen, QStringLiteral("The ODBC driver manager cannot be initialised."));
  }
  SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  check(SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_), SQL_HANDLE_ENV, env_, kOpen);
  if (loginTimeout > 0) {
    SQLSetConnectAttr(dbc_, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(loginTimeout)), 0);
    SQLSetConnectAttr(dbc_, SQL_ATTR_CONNECTION_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(loginTimeout)), 0);
  }
  if (!trusted) {
    if (const auto refusal = refuseLink(odbcString, installedDrivers())) {
      disconnect();
      throw Error(err::kProviderFailure, kOpen, refusalMessage(*refusal));
    }
  }
  const ConnectionString given = ConnectionString::parse(odbcString);
  registeredDriver_ = given.value(QStringLiteral("DRIVER")).trimmed();
  if (registeredDriver_.isEmpty()) {
    const QString dsn = given.value(QStringLiteral("DSN")).trimmed();
    registeredDriver_ = lookupDsnDriver(dsn.isEmpty() ? QStringLiteral("DEFAULT") : dsn);
  }
  QString effective = odbcString;
  // The PostgreSQL driver keeps a whole result in memory unless told to read
  // it through a cursor in batches; a table of millions of rows would then
  // be held twice. Asked for unless the link sets it itself.
  postgresDriver = driverLibrary(registeredDriver_).contains(QLatin1String("psqlodbc"), Qt::CaseInsensitive);
  charTextIsUtf8_.reset();
  if (postgresDriver && !given.contains(QStringLiteral("UseDeclareFetch")))
    effective += QStringLiteral(";UseDeclareFetch=1;Fetch=8192");

  SQLWCHAR out[2048] = {};
  SQLSMALLINT outLength = 0;
  const SQLRETURN rc = SQLDriverConnectW(dbc_, nullptr, wide(effective), SQL_NTS, out, 2048, &outLength,
                                         SQL_DRIVER_NOPROMPT);
  if (!SQL_SUCCEEDED(rc)) {
    QString state;
    QString text = diagnostics(SQL_HANDLE_DBC, dbc_, &state);
    if (text.isEmpty()) text = QStringLiteral("The ODBC driver refused the connection without a message.");
    disconnect();
    throw Error(err::kProviderFailure, kOpen, text);
  }
  connected_ = true;
  driverFile = infoText(dbc_, SQL_DRIVER_NAME);
  driverVersion = infoText(dbc_, SQL_DRIVER_VER);
  dbmsName = infoText(dbc_, SQL_DBMS_NAME);
  dbmsVersion = infoText(dbc_, SQL_DBMS_VER);
  userName = infoText(dbc_, SQL_USER_NAME);
  dataSourceName = infoText(dbc_, SQL_DATA_SOURCE_NAME);
  databaseName = infoText(dbc_, SQL_DATABASE_NAME);
  identifierQuote = infoText(dbc_, SQL_IDENTIFIER_QUOTE_CHAR).trimmed();
  searchEscape = infoText(dbc_, SQL_SEARCH_PATTERN_ESCAPE);
  SQLUINTEGER getData = 0;
  if (SQL_SUCCEEDED(SQLGetInfo(dbc_, SQL_GETDATA_EXTENSIONS, &getData, sizeof getData, nullptr)))
    blockRereads = (getData & SQL_GD_BLOCK) && (getData & SQL_GD_BOUND);
}

bool OdbcConnection::charTextIsUtf8() {
  if (charTextIsUtf8_) return *charTextIsUtf8_;
  charTextIsUtf8_ = false;
  if (!postgresDriver || !connected_) return false;
  // "ü東😀": two, three and four bytes in UTF-8. Only a UTF-8 database is
  // asked (the answer is Null elsewhere), so that the statement cannot fail
  // and spoil a transaction the user began.
  static const char kExpected[] = "\xC3\xBC\xE6\x9D\xB1\xF0\x9F\x98\x80";
  static const QString kProbe = QStringLiteral(
      "SELECT CASE WHEN current_setting('server_encoding') = 'UTF8' "
      "THEN convert_from(decode('c3bce69db1f09f9880', 'hex'), 'UTF8') END");
  try {
    Statement stmt(dbc_, 0, kOpen);
    if (!SQL_SUCCEEDED(SQLExecDirectW(stmt, wide(kProbe), SQL_NTS)) ||
        !SQL_SUCCEEDED(SQLFetch(stmt)))
      return false;
    char buffer[32] = {};
    SQLLEN ind = 0;
    if (!SQL_SUCCEEDED(SQLGetData(stmt, 1, SQL_C_CHAR, buffer, sizeof buffer, &ind))) return false;
    charTextIsUtf8_ = ind == SQLLEN(sizeof kExpected - 1) && std::memcmp(buffer, kExpected, sizeof kExpected - 1) == 0;
  } catch (const Error&) {
  }
  return *charTextIsUtf8_;
}

QString OdbcConnection::lookupDsnDriver(const QString& dsn) const {
  // SQLDataSources pairs every data source name with its driver's
  // registered name.
  SQLWCHAR name[SQL_MAX_DSN_LENGTH + 1] = {};
  SQLWCHAR description[512] = {};
  SQLSMALLINT nameLength = 0, descriptionLength = 0;
  for (SQLUSMALLINT direction = SQL_FETCH_FIRST;; direction = SQL_FETCH_NEXT) {
    const SQLRETURN rc = SQLDataSourcesW(env_, direction, name, SQL_MAX_DSN_LENGTH + 1, &nameLength, description,
                                         512, &descriptionLength);
    if (!SQL_SUCCEEDED(rc)) break;
    if (fromWide(name, std::min<qsizetype>(nameLength, SQL_MAX_DSN_LENGTH)).compare(dsn, Qt::CaseInsensitive) == 0)
      return fromWide(description, std::min<qsizetype>(descriptionLength, 511));
  }
  return {};
}

std::vector<std::pair<QString, QString>> OdbcConnection::drivers() const {
  // SQLDrivers lists each registered driver with its attributes as
  // "key=value" strings separated by NUL characters.
  std::vector<std::pair<QString, QString>> out;
  SQLWCHAR name[256] = {};
  SQLWCHAR attributes[4096] = {};
  SQLSMALLINT nameLength = 0, attributesLength = 0;
  for (SQLUSMALLINT direction = SQL_FETCH_FIRST;; direction = SQL_FETCH_NEXT) {
    const SQLRETURN rc = SQLDriversW(env_, direction, name, 256, &nameLength, attributes, 4096, &attributesLength);
    if (!SQL_SUCCEEDED(rc)) break;
    out.emplace_back(fromWide(name, std::min<qsizetype>(nameLength, 255)),
                     fromWide(attributes, std::min<qsizetype>(attributesLength, 4095)));
  }
  return out;
}

QStringList OdbcConnection::installedDrivers() const {
  QStringList names;
  for (const auto& [name, attributes] : drivers()) names << name;
  return names;
}

QString OdbcConnection::driverLibrary(const QString& driver) const {
  if (driver.isEmpty()) return {};
  for (const auto& [name, attributes] : drivers()) {
    if (name.compare(driver, Qt::CaseInsensitive) != 0) continue;
    for (const QString& item : attributes.split(QChar(0), Qt::SkipEmptyParts))
      if (item.startsWith(QLatin1String("Driver="), Qt::CaseInsensitive)) return item.mid(7).trimmed();
    return {};
  }
  // A DSN may name the library itself instead of a registered driver.
  return driver.contains(QLatin1Char('/')) ? driver : QString();
}

void OdbcConnection::endTransaction(SQLSMALLINT completion) {
  const SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, dbc_, completion);
  QString failure;
  if (!SQL_SUCCEEDED(rc)) failure = diagnostics(SQL_HANDLE_DBC, dbc_);
  SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQLULEN(SQL_AUTOCOMMIT_ON)), 0);
  // A failed rollback while another error is on its way is left to that
  // error; a failed commit is the batch's failure.
  if (!SQL_SUCCEEDED(rc) && completion == SQL_COMMIT)
    throw Error(err::kProviderFailure, QStringLiteral("Recordset.UpdateBatch"),
                QStringLiteral("The changes could not be committed.\n") + failure);
}

void OdbcConnection::disconnect() {
  if (dbc_ != SQL_NULL_HDBC) {
    if (connected_) SQLDisconnect(dbc_);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    dbc_ = SQL_NULL_HDBC;
  }
  if (env_ != SQL_NULL_HENV) {
    SQLFreeHandle(SQL_HANDLE_ENV, env_);
    env_ = SQL_NULL_HENV;
  }
  connected_ = false;
}

}  // namespace dataaccess::odbc
