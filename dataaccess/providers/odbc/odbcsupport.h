// Small helpers shared by the ODBC provider's files: owning handles, UTF-16
// text to and from the driver, driver information, and the one function that
// turns a driver's diagnostics into Error.
#pragma once

#include "../../error.h"

#include <QString>
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

namespace dataaccess::odbc {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the wide ODBC calls must use UTF-16");

inline SQLWCHAR* wide(const QString& s) {
  return reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(reinterpret_cast<const char16_t*>(s.utf16())));
}
inline QString fromWide(const SQLWCHAR* p, qsizetype chars) {
  return QString::fromUtf16(reinterpret_cast<const char16_t*>(p), chars);
}

// All diagnostic records of a handle, one per line: "message [SQLSTATE]".
// `sqlState` receives the state of the first record.
QString diagnostics(SQLSMALLINT handleType, SQLHANDLE handle, QString* sqlState = nullptr);

// Raises the driver's diagnostics of `handle` as Error. The number follows
// the first record's SQLSTATE (syntax errors, missing tables, time-outs);
// other failures are provider failures. `context` is put before the
// driver's text when given.
[[noreturn]] void raiseDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle, const QString& source,
                                   const QString& context = {});

// Raises when `rc` is not a success code.
inline void check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, const QString& source,
                  const QString& context = {}) {
  if (!SQL_SUCCEEDED(rc)) raiseDiagnostics(handleType, handle, source, context);
}

// A text item of SQLGetInfo, empty when the driver does not know it.
QString infoText(SQLHDBC dbc, SQLUSMALLINT item);

// A statement handle on a connection, freed on destruction.
class Statement {
 public:
  // Allocates the handle and sets the query time-out (seconds, 0 = none).
  Statement(SQLHDBC dbc, int queryTimeout, const QString& source);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  SQLHSTMT handle() const { return h_; }
  operator SQLHSTMT() const { return h_; }
  void check(SQLRETURN rc, const QString& context = {}) const {
    odbc::check(rc, SQL_HANDLE_STMT, h_, source_, context);
  }
  const QString& source() const { return source_; }

 private:
  SQLHSTMT h_ = SQL_NULL_HSTMT;
  QString source_;
};

// Quotes an identifier with the driver's quote character, doubling that
// character inside the name.
QString quoteIdentifier(const QString& name, const QString& quote);

}  // namespace dataaccess::odbc
