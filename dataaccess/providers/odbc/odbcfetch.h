// Reading a driver's result set into a RowStore: the ODBC type of each
// column mapped to a field type, then rows fetched in blocks into bound
// column arrays, or row by row with long and binary columns read in pieces.
#pragma once

#include "../../rowstore.h"
#include "odbcsupport.h"

#include <memory>
#include <vector>

namespace dataaccess::odbc {

// One result column as the driver describes it, with how it is fetched.
struct ResultColumn {
  FieldInfo field;
  SQLSMALLINT sqlType = SQL_UNKNOWN_TYPE;
  SQLULEN columnSize = 0;
  SQLSMALLINT decimalDigits = 0;
  SQLSMALLINT cType = SQL_C_WCHAR;  // how the value is fetched
  bool longData = false;            // read with SQLGetData in pieces
  QString baseCatalog, baseSchema, baseTable, baseColumn;
};

// The field type for an ODBC SQL type.
DataTypeEnum fieldTypeFor(SQLSMALLINT sqlType, bool isUnsigned);
// A field description (type, size, precision, scale) for an ODBC column.
FieldInfo fieldInfoFor(const QString& name, SQLSMALLINT sqlType, SQLULEN columnSize, SQLSMALLINT decimalDigits,
                       bool nullable, bool isUnsigned);

// Describes the columns of the executed statement's current result set.
std::vector<ResultColumn> describeResult(const Statement& stmt);

// What the driver allows when a result is fetched.
struct FetchWays {
  // Many rows per call into bound arrays (the driver must then be able to
  // re-read a bound cell by position, for values longer than declared).
  bool blocks = false;
  // Text and exact numerics are bound as SQL_C_CHAR, which the driver hands
  // over as UTF-8 (OdbcConnection::charTextIsUtf8), and stored as they come
  // instead of being converted to UTF-16 and back.
  bool utf8Text = false;
};

// Fetches every row of the current result set.
std::shared_ptr<RowStore> fetchRows(const Statement& stmt, const std::vector<ResultColumn>& columns,
                                    const FetchWays& ways);

// Fetches a small result set (catalog functions) as text, one vector per row;
// Null values are invalid QVariants.
std::vector<std::vector<QVariant>> fetchAsText(const Statement& stmt);

}  // namespace dataaccess::odbc
