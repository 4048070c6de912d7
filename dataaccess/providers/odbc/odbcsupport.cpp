#include "odbcsupport.h"

#include <QStringList>

namespace dataaccess::odbc {

QString diagnostics(SQLSMALLINT handleType, SQLHANDLE handle, QString* sqlState) {
  QStringList lines;
  for (SQLSMALLINT rec = 1; rec < 64; ++rec) {
    SQLWCHAR state[6] = {};
    SQLINTEGER nativeError = 0;
    SQLSMALLINT length = 0;
    SQLRETURN rc = SQLGetDiagRecW(handleType, handle, rec, state, &nativeError, nullptr, 0, &length);
    if (rc == SQL_NO_DATA || !SQL_SUCCEEDED(rc)) break;
    std::vector<SQLWCHAR> text(size_t(length) + 1);
    rc = SQLGetDiagRecW(handleType, handle, rec, state, &nativeError, text.data(), SQLSMALLINT(text.size()), &length);
    if (!SQL_SUCCEEDED(rc)) break;
    const QString st = fromWide(state, 5);
    if (sqlState && sqlState->isEmpty()) *sqlState = st;
    const QString message = fromWide(text.data(), std::min<qsizetype>(length, qsizetype(text.size()) - 1)).trimmed();
    lines << QStringLiteral("%1 [%2]").arg(message, st);
  }
  return lines.join(QLatin1Char('\n'));
}

void raiseDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle, const QString& source, const QString& context) {
  QString state;
  QString text = handle ? diagnostics(handleType, handle, &state) : QString();
  if (text.isEmpty()) text = QStringLiteral("The ODBC driver reported a failure without a message.");
  if (!context.isEmpty()) text = context + QLatin1Char('\n') + text;
  int32_t number = err::kProviderFailure;
  if (state == QLatin1String("42S02") || state == QLatin1String("42P01"))
    number = err::kTableNotFound;
  else if (state.startsWith(QLatin1String("42")) || state == QLatin1String("37000"))
    number = err::kCommandError;
  else if (state == QLatin1String("HYT00") || state == QLatin1String("HYT01"))
    number = -2147217871;  // 0x80040E31, "Query timeout expired"
  throw Error(number, source, text);
}

QString infoText(SQLHDBC dbc, SQLUSMALLINT item) {
  SQLWCHAR buffer[512] = {};
  SQLSMALLINT bytes = 0;
  if (!SQL_SUCCEEDED(SQLGetInfoW(dbc, item, buffer, sizeof(buffer), &bytes))) return {};
  const qsizetype chars = std::min<qsizetype>(bytes / qsizetype(sizeof(SQLWCHAR)), 511);
  return fromWide(buffer, chars);
}

Statement::Statement(SQLHDBC dbc, int queryTimeout, const QString& source) : source_(source) {
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &h_))) {
    h_ = SQL_NULL_HSTMT;
    raiseDiagnostics(SQL_HANDLE_DBC, dbc, source, QStringLiteral("Cannot create an ODBC statement."));
  }
  // Drivers without time-outs answer with a warning or an error; the
  // statement still runs, only without the limit.
  if (queryTimeout > 0)
    SQLSetStmtAttr(h_, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(queryTimeout)), 0);
}

Statement::~Statement() {
  if (h_ != SQL_NULL_HSTMT) {
    SQLFreeStmt(h_, SQL_CLOSE);
    SQLFreeHandle(SQL_HANDLE_STMT, h_);
  }
}

QString quoteIdentifier(const QString& name, const QString& quote) {
  const QString q = quote.trimmed();
  if (q.isEmpty()) return name;
  QString inner = name;
  inner.replace(q, q + q);
  return q + inner + q;
}

}  // namespace dataaccess::odbc
