// unixODBC's driver manager, opened when the first data link connects (see
// lazylibrary.h): a program that reads only files never maps libodbc and the
// libraries it brings.
//
// Every SQL function the provider calls needs a stand-in here. The provider
// is built without libodbc, so a call with no stand-in is an undefined
// reference when the programs link, never a silent failure at run time.
#include "../../lazylibrary.h"

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

namespace {
dataaccess::LazyLibrary& odbc() {
  static dataaccess::LazyLibrary library(LUMBROOK_SONAME_odbc, "the ODBC provider");
  return library;
}
}  // namespace

// Handles, attributes and transactions.
LUMBROOK_LAZY_FUNCTION(odbc(), SQLRETURN, SQLAllocHandle,
                       (SQLSMALLINT HandleType, SQLHANDLE InputHandle, SQLHANDLE* OutputHandle),
                       (HandleType, InputHandle, OutputHandle))
LUMBROOK_LAZY_FUNCTION(odbc(), SQLRETURN, SQLFreeHandle, (SQLSMALLINT HandleType, SQLHANDLE Handle),
                       (HandleType, Handle))
LUMBROOK_LAZY_FUNCTION(odbc(), SQLRETURN, SQLFreeStmt, (SQLHSTMT StatementHandle, SQLUSMALLINT Option),
                       (StatementHandle, Option))
LUMBROOK_LAZY_FUNCTION(odbc(), SQLRETURN, SQLSetEnvAttr,
                       (SQLHENV EnvironmentHandle, SQLINTEGER Attribute, SQLPOINTER Value, SQLINTEGER StringLength),
                       (EnvironmentHandle, Attribute, Value, StringLength))
LUMBROOK_LAZY_FUNCTION(odbc(), SQLRETURN, SQLSetConnectAttr,
                       (SQLHDBC ConnectionHandle, SQLINTEGER Attribute, SQLPOINTER Value, SQLINTEGER StringLength),
                       (ConnectionHandle, Attribute, Value, StringLength))
LUMBROOK_LAZY_FUNCTION(odbc(), SQLRETURN, SQLSetStmtAttr,
                       (SQLHSTMT StatementHandle, SQLINTEGER Attribute, SQLPOINTER Value, SQLINTEGER StringLength),
                       (StatementHandle, Attribute, Value, StringLength))
LUMBROOK_LAZY_FUNCTION(odbc(), SQLRETURN, SQLGetStmtAttr,
                       (SQLHSTMT StatementHandle, SQLINTEGER Attribute, SQLPOINTER Value, SQLINTEGER BufferLength,
                        SQLINTEGER* StringLength),
                       (StatementHandle, Attribute, Value, BufferLength, StringLength))
LUMBROOK_LAZY_FUNCTION(odbc(), SQLRETURN, SQLEndTran,
                       (SQLSMALLINT HandleType, SQLHANDLE Handle, SQLSMALLINT CompletionType),
                       (HandleType, Handle, CompletionType))

// Connecting, drivers and data sources.
LUMBROOK_LAZY_FUNCTION(odbc(), SQLRETURN, SQLDriverConnectW,
                       (SQLHDBC hdbc, SQLHWND hwnd, SQLWCHAR* szConnStrIn, SQLSMALLINT cbConnStrIn,
                        SQLWCHAR* szConnStrOut, SQLSMALLINT cbConnStrOutMax, SQLSMALLINT* pcbConnStrOut,
                        SQLUSMALLINT fDriverCompletion),
                       (hdbc, hwnd, szConnStrIn, cbConnStrIn, szConnStrOut, cbConnStrOutMax, pcbConnStrOut,
                        fDriverCompletion))
LUMBROOK_LAZY_FUNCTION(odbc(), SQLRETURN, SQLDisconnect, (SQLHDBC ConnectionHandle), (ConnectionHandle))
LUMBROOK_LAZY_FUNCTION(odbc(), SQLRETURN, SQLDriversW,
                       (SQLHENV henv, SQLUSMALLINT fDirection, SQLWCHAR* szDriverDesc, SQLSMALLINT cbDriverDescMax,
                        SQLSMALLINT* pcbDriverDesc, SQLWCHAR* szDriverAttributes, SQLSMALLINT cbDrvrAttrMax,
                        SQLSMALLINT* pcbDrvrAttr),
                       (henv, fDirection, szDriverDesc, cbDriverDescMax, pcbDriverDesc, szDriverAttributes,
                        cbDrvrAttrMax, pcbDrvrAttr))
LUMBROOK_LAZY_FUNCTION(odbc(), SQLRETURN, SQLDataSourcesW,
                       (SQLHENV henv, SQLUSMALLINT fDirection, SQLWCHAR* szDSN, SQLSMALLINT cbDSNMax,
                        SQLSMALLINT* pcbDSN, SQLWCHAR* szDescription, SQLSMALLINT cbDescriptionMax,
                        SQLSMALLINT* pcbDescription),
                       (henv, fDirection, szDSN, cbDSNMax, pcbDSN, szDescription, cbDescriptionMax, pcbDescription))
LUMBROOK_LAZY_FUNCTION(odbc(), SQLRETURN, SQLGetInfo,
                       (SQLHDBC ConnectionHandle, SQLUSMALLINT InfoType, SQLPOINTER InfoValue, SQLSMALLINT BufferLength,
                        SQLSMALLINT* StringLength),
                       (ConnectionHandle, InfoType, InfoValue, BufferLength, StringLength))
LUMBROOK_LAZY_FUNCTION(odbc(), SQLRETURN, SQLGetInfoW,
                       (SQLHDBC hdbc, SQLUSMALLINT fInfoType, SQLPOINTER rgbInfoValue, SQLSMALLINT cbInfoValueMax,
                        SQLSMALLINT* pcbInfoValue),
                       (hdbc, fInfoType, rgbInfoValue, cbInfoValueMax, pcbInfoValue))
LUMBROOK_LAZY_FUNCTION(odbc(), SQLRETURN, SQLGetDiagRecW,
                       (SQLSMALLINT fHandleType, SQLHANDLE handle, SQLSMALLINT iRecord, SQLWCHAR* szSqlState,
                        SQLINTEGER* pfNativeError, SQLWCHAR* szErrorMsg, SQLSMALLINT cbErrorMsgMax,
                        SQLSMALLINT* pcbErrorMsg),
                       (fHandleType, handle, iRecord, szSqlState, pfNativeError, szErrorMsg, cbErrorMsgMax,
                        pcbErrorMsg))

// Catalogue functions.
LUMBROOK_LAZY_FUNCTION(odbc(), SQLRETURN, SQLTablesW,
                       (SQLHSTMT hstmt, SQLWCHAR* szCatalogName, SQLSMALLINT cbCatalogName, SQLWCHAR* szSchemaName,
                        SQLSMALLINT cbSchemaName, SQLWCHAR* szTableName, SQLSMALLINT cbTableName,
                        SQLWCHAR* szTableType, SQLSMALLINT cbTableType),
                       (hstmt, szCatalogName, cbCatalogName, szSchemaName, cbSchemaName, szTableName, cbTableName,
                        szTableType, cbTableType))
LUMBROOK_LAZY_FUNCTION(odbc(), SQLRETURN, SQLColumnsW,
                       (SQLHSTMT hstmt, SQLWCHAR* szCatalogName, SQLSMALLINT cbCatalogName, SQLWCHAR* szSchemaName,
                        SQLSMALLINT cbSchemaName, SQLWCHAR* szTableName, SQLSMALLINT cbTableName,
                        SQLWCHAR* szColumnName, SQLSMALLINT cbColumnName),
                       (hstmt, szCatalogName, cbCatalogName, szSchemaName, cbSchemaName, szTableName, cbTableName,
                        szColumnName, cbColumnName))
LUMBROOK_LAZY_FUNCTION(odbc(), SQLRETURN, SQLPrimaryKeysW,
                       (SQLHSTMT hstmt, SQLWCHAR* szCatalogName, SQLSMALLINT cbCatalogName, SQLWCHAR* szSchemaName,
                        SQLSMALLINT cbSchemaName, SQLWCHAR* szTableName, SQLSMALLINT cbTableName),
                       (hstmt, szCatalogName, cbCatalogName, szSchemaName, cbSchemaName, szTableName, cbTableName))

// Statements, results and fetching.
LUMBROOK_LAZY_FUNCTION(odbc(), SQLRETURN, SQLExecDirectW, (SQLHSTMT hstmt, SQLWCHAR* szSqlStr, SQLINTEGER cbSqlStr),
                       (hstmt, szSqlStr, cbSqlStr))
LUMBROOK_LAZY_FUNCTION(odbc(), SQLRETURN, SQLExecute, (SQLHSTMT StatementHandle), (StatementHandle))
LUMBROOK_LAZY_FUNCTION(odbc(), SQLRETURN, SQLBindParameter,
                       (SQLHSTMT hstmt, SQLUSMALLINT ipar, SQLSMALLINT fParamType, SQLSMALLINT fCType,
                        SQLSMALLINT fSqlType, SQLULEN cbColDef, SQLSMALLINT ibScale, SQLPOINTER rgbValue,
                        SQLLEN cbValueMax, SQLLEN* pcbValue),
                       (hstmt, ipar, fParamType, fCType, fSqlType, cbColDef, ibScale, rgbValue, cbValueMax, pcbValue))
LUMBROOK_LAZY_FUNCTION(odbc(), SQLRETURN, SQLNumResultCols, (SQLHSTMT StatementHandle, SQLSMALLINT* ColumnCount),
                       (StatementHandle, ColumnCount))
LUMBROOK_LAZY_FUNCTION(odbc(), SQLRETURN, SQLDescribeColW,
                       (SQLHSTMT hstmt, SQLUSMALLINT icol, SQLWCHAR* szColName, SQLSMALLINT cbColNameMax,
                        SQLSMALLINT* pcbColName, SQLSMALLINT* pfSqlType, SQLULEN* pcbColDef, SQLSMALLINT* pibScale,
                        SQLSMALLINT* pfNullable),
                       (hstmt, icol, szColName, cbColNameMax, pcbColName, pfSqlType, pcbColDef, pibScale, pfNullable))
LUMBROOK_LAZY_FUNCTION(odbc(), SQLRETURN, SQLColAttributeW,
                       (SQLHSTMT hstmt, SQLUSMALLINT iCol, SQLUSMALLINT iField, SQLPOINTER pCharAttr,
                        SQLSMALLINT cbCharAttrMax, SQLSMALLINT* pcbCharAttr, SQLLEN* pNumAttr),
                       (hstmt, iCol, iField, pCharAttr, cbCharAttrMax, pcbCharAttr, pNumAttr))
LUMBROOK_LAZY_FUNCTION(odbc(), SQLRETURN, SQLBindCol,
                       (SQLHSTMT StatementHandle, SQLUSMALLINT ColumnNumber, SQLSMALLINT TargetType,
                        SQLPOINTER TargetValue, SQLLEN BufferLength, SQLLEN* StrLen_or_Ind),
                       (StatementHandle, ColumnNumber, TargetType, TargetValue, BufferLength, StrLen_or_Ind))
LUMBROOK_LAZY_FUNCTION(odbc(), SQLRETURN, SQLFetch, (SQLHSTMT StatementHandle), (StatementHandle))
LUMBROOK_LAZY_FUNCTION(odbc(), SQLRETURN, SQLGetData,
                       (SQLHSTMT StatementHandle, SQLUSMALLINT ColumnNumber, SQLSMALLINT TargetType,
                        SQLPOINTER TargetValue, SQLLEN BufferLength, SQLLEN* StrLen_or_Ind),
                       (StatementHandle, ColumnNumber, TargetType, TargetValue, BufferLength, StrLen_or_Ind))
LUMBROOK_LAZY_FUNCTION(odbc(), SQLRETURN, SQLMoreResults, (SQLHSTMT hstmt), (hstmt))
LUMBROOK_LAZY_FUNCTION(odbc(), SQLRETURN, SQLRowCount, (SQLHSTMT StatementHandle, SQLLEN* RowCount),
                       (StatementHandle, RowCount))
LUMBROOK_LAZY_FUNCTION(odbc(), SQLRETURN, SQLSetPos,
                       (SQLHSTMT hstmt, SQLSETPOSIROW irow, SQLUSMALLINT fOption, SQLUSMALLINT fLock),
                       (hstmt, irow, fOption, fLock))
