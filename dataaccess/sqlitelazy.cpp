// SQLite, opened the first time a statement goes through the SQL engine (see
// lazylibrary.h): listing or reading a source without a query never maps it.
//
// Every sqlite3_ function the data-access layer calls needs a stand-in here.
// The layer is built without libsqlite3, so a call with no stand-in is an
// undefined reference when the programs link, never a failure at run time.
#include "lazylibrary.h"

#include <sqlite3.h>

#include <cstdarg>

namespace {
dataaccess::LazyLibrary& sqlite() {
  static dataaccess::LazyLibrary library(LUMBROOK_SONAME_sqlite, "the SQL engine");
  return library;
}
}  // namespace

// Connections and statements.
LUMBROOK_LAZY_FUNCTION(sqlite(), int, sqlite3_open_v2,
                       (const char* filename, sqlite3** ppDb, int flags, const char* zVfs),
                       (filename, ppDb, flags, zVfs))
LUMBROOK_LAZY_FUNCTION(sqlite(), int, sqlite3_close, (sqlite3 * db), (db))
LUMBROOK_LAZY_FUNCTION(sqlite(), const char*, sqlite3_errmsg, (sqlite3 * db), (db))
LUMBROOK_LAZY_FUNCTION(sqlite(), int, sqlite3_errcode, (sqlite3 * db), (db))
LUMBROOK_LAZY_FUNCTION(sqlite(), int, sqlite3_extended_errcode, (sqlite3 * db), (db))
LUMBROOK_LAZY_FUNCTION(sqlite(), int, sqlite3_changes, (sqlite3 * db), (db))
LUMBROOK_LAZY_FUNCTION(sqlite(), void, sqlite3_interrupt, (sqlite3 * db), (db))
LUMBROOK_LAZY_FUNCTION(sqlite(), int, sqlite3_exec,
                       (sqlite3 * db, const char* sql, int (*callback)(void*, int, char**, char**), void* arg,
                        char** errmsg),
                       (db, sql, callback, arg, errmsg))
LUMBROOK_LAZY_FUNCTION(sqlite(), void, sqlite3_free, (void* p), (p))
LUMBROOK_LAZY_FUNCTION(sqlite(), void, sqlite3_progress_handler, (sqlite3 * db, int n, int (*handler)(void*), void* arg),
                       (db, n, handler, arg))
LUMBROOK_LAZY_FUNCTION(sqlite(), int, sqlite3_prepare_v2,
                       (sqlite3 * db, const char* zSql, int nByte, sqlite3_stmt** ppStmt, const char** pzTail),
                       (db, zSql, nByte, ppStmt, pzTail))
LUMBROOK_LAZY_FUNCTION(sqlite(), int, sqlite3_step, (sqlite3_stmt * stmt), (stmt))
LUMBROOK_LAZY_FUNCTION(sqlite(), int, sqlite3_reset, (sqlite3_stmt * stmt), (stmt))
LUMBROOK_LAZY_FUNCTION(sqlite(), int, sqlite3_clear_bindings, (sqlite3_stmt * stmt), (stmt))
LUMBROOK_LAZY_FUNCTION(sqlite(), int, sqlite3_finalize, (sqlite3_stmt * stmt), (stmt))
LUMBROOK_LAZY_FUNCTION(sqlite(), int, sqlite3_stmt_readonly, (sqlite3_stmt * stmt), (stmt))

// sqlite3_db_config takes its further arguments by the option; the engine
// uses only the options that take an int and an int* (DBCONFIG_DQS_*,
// DBCONFIG_DEFENSIVE and the like), which this stand-in passes on.
extern "C" int sqlite3_db_config(sqlite3* db, int op, ...) {
  using Real = int (*)(sqlite3*, int, ...);
  static const auto real = reinterpret_cast<Real>(sqlite().symbol("sqlite3_db_config"));
  va_list args;
  va_start(args, op);
  const int value = va_arg(args, int);
  int* result = va_arg(args, int*);
  va_end(args);
  return real(db, op, value, result);
}

// Parameters.
LUMBROOK_LAZY_FUNCTION(sqlite(), int, sqlite3_bind_blob,
                       (sqlite3_stmt * stmt, int i, const void* data, int n, void (*destroy)(void*)),
                       (stmt, i, data, n, destroy))
LUMBROOK_LAZY_FUNCTION(sqlite(), int, sqlite3_bind_double, (sqlite3_stmt * stmt, int i, double v), (stmt, i, v))
LUMBROOK_LAZY_FUNCTION(sqlite(), int, sqlite3_bind_int, (sqlite3_stmt * stmt, int i, int v), (stmt, i, v))
LUMBROOK_LAZY_FUNCTION(sqlite(), int, sqlite3_bind_int64, (sqlite3_stmt * stmt, int i, sqlite3_int64 v), (stmt, i, v))
LUMBROOK_LAZY_FUNCTION(sqlite(), int, sqlite3_bind_null, (sqlite3_stmt * stmt, int i), (stmt, i))
LUMBROOK_LAZY_FUNCTION(sqlite(), int, sqlite3_bind_text,
                       (sqlite3_stmt * stmt, int i, const char* text, int n, void (*destroy)(void*)),
                       (stmt, i, text, n, destroy))
LUMBROOK_LAZY_FUNCTION(sqlite(), int, sqlite3_bind_parameter_count, (sqlite3_stmt * stmt), (stmt))

// Result columns.
LUMBROOK_LAZY_FUNCTION(sqlite(), int, sqlite3_column_count, (sqlite3_stmt * stmt), (stmt))
LUMBROOK_LAZY_FUNCTION(sqlite(), const char*, sqlite3_column_name, (sqlite3_stmt * stmt, int n), (stmt, n))
LUMBROOK_LAZY_FUNCTION(sqlite(), const char*, sqlite3_column_origin_name, (sqlite3_stmt * stmt, int n), (stmt, n))
LUMBROOK_LAZY_FUNCTION(sqlite(), const char*, sqlite3_column_table_name, (sqlite3_stmt * stmt, int n), (stmt, n))
LUMBROOK_LAZY_FUNCTION(sqlite(), const char*, sqlite3_column_decltype, (sqlite3_stmt * stmt, int n), (stmt, n))
LUMBROOK_LAZY_FUNCTION(sqlite(), int, sqlite3_column_type, (sqlite3_stmt * stmt, int i), (stmt, i))
LUMBROOK_LAZY_FUNCTION(sqlite(), const void*, sqlite3_column_blob, (sqlite3_stmt * stmt, int i), (stmt, i))
LUMBROOK_LAZY_FUNCTION(sqlite(), int, sqlite3_column_bytes, (sqlite3_stmt * stmt, int i), (stmt, i))
LUMBROOK_LAZY_FUNCTION(sqlite(), double, sqlite3_column_double, (sqlite3_stmt * stmt, int i), (stmt, i))
LUMBROOK_LAZY_FUNCTION(sqlite(), int, sqlite3_column_int, (sqlite3_stmt * stmt, int i), (stmt, i))
LUMBROOK_LAZY_FUNCTION(sqlite(), sqlite3_int64, sqlite3_column_int64, (sqlite3_stmt * stmt, int i), (stmt, i))
LUMBROOK_LAZY_FUNCTION(sqlite(), const unsigned char*, sqlite3_column_text, (sqlite3_stmt * stmt, int i), (stmt, i))

// Functions and collations the engine adds.
LUMBROOK_LAZY_FUNCTION(sqlite(), int, sqlite3_create_collation_v2,
                       (sqlite3 * db, const char* zName, int eTextRep, void* pArg,
                        int (*xCompare)(void*, int, const void*, int, const void*), void (*xDestroy)(void*)),
                       (db, zName, eTextRep, pArg, xCompare, xDestroy))
LUMBROOK_LAZY_FUNCTION(sqlite(), int, sqlite3_create_function_v2,
                       (sqlite3 * db, const char* zFunctionName, int nArg, int eTextRep, void* pApp,
                        void (*xFunc)(sqlite3_context*, int, sqlite3_value**),
                        void (*xStep)(sqlite3_context*, int, sqlite3_value**), void (*xFinal)(sqlite3_context*),
                        void (*xDestroy)(void*)),
                       (db, zFunctionName, nArg, eTextRep, pApp, xFunc, xStep, xFinal, xDestroy))
LUMBROOK_LAZY_FUNCTION(sqlite(), void*, sqlite3_get_auxdata, (sqlite3_context * ctx, int n), (ctx, n))
LUMBROOK_LAZY_FUNCTION(sqlite(), void, sqlite3_set_auxdata,
                       (sqlite3_context * ctx, int n, void* data, void (*destroy)(void*)), (ctx, n, data, destroy))
LUMBROOK_LAZY_FUNCTION(sqlite(), int, sqlite3_value_type, (sqlite3_value * v), (v))
LUMBROOK_LAZY_FUNCTION(sqlite(), int, sqlite3_value_bytes, (sqlite3_value * v), (v))
LUMBROOK_LAZY_FUNCTION(sqlite(), const unsigned char*, sqlite3_value_text, (sqlite3_value * v), (v))
LUMBROOK_LAZY_FUNCTION(sqlite(), const void*, sqlite3_value_blob, (sqlite3_value * v), (v))
LUMBROOK_LAZY_FUNCTION(sqlite(), double, sqlite3_value_double, (sqlite3_value * v), (v))
LUMBROOK_LAZY_FUNCTION(sqlite(), sqlite3_int64, sqlite3_value_int64, (sqlite3_value * v), (v))
LUMBROOK_LAZY_FUNCTION(sqlite(), void, sqlite3_result_error, (sqlite3_context * ctx, const char* msg, int n),
                       (ctx, msg, n))
LUMBROOK_LAZY_FUNCTION(sqlite(), void, sqlite3_result_int, (sqlite3_context * ctx, int v), (ctx, v))
LUMBROOK_LAZY_FUNCTION(sqlite(), void, sqlite3_result_int64, (sqlite3_context * ctx, sqlite3_int64 v), (ctx, v))
LUMBROOK_LAZY_FUNCTION(sqlite(), void, sqlite3_result_double, (sqlite3_context * ctx, double v), (ctx, v))
LUMBROOK_LAZY_FUNCTION(sqlite(), void, sqlite3_result_null, (sqlite3_context * ctx), (ctx))
LUMBROOK_LAZY_FUNCTION(sqlite(), void, sqlite3_result_text,
                       (sqlite3_context * ctx, const char* text, int n, void (*destroy)(void*)),
                       (ctx, text, n, destroy))
