#include "odbcfetch.h"

#include "odbcblocks.h"

#include "../../loadcontrol.h"
#include "../../values.h"

#include <QDate>
#include <QTime>
#include <cstring>
#include <string>

namespace dataaccess::odbc {

namespace {

// Columns declared wider than this (characters or bytes), or of unknown
// size, are read in pieces rather than bound to a fixed buffer.
constexpr SQLULEN kLongThreshold = 4000;
constexpr SQLLEN kPieceBytes = 32 * 1024;

const QString kSource = QStringLiteral("Recordset.Open");

bool isCharType(SQLSMALLINT t) {
  switch (t) {
    case SQL_CHAR: case SQL_VARCHAR: case SQL_LONGVARCHAR:
    case SQL_WCHAR: case SQL_WVARCHAR: case SQL_WLONGVARCHAR:
      return true;
    default:
      return false;
  }
}

bool isBinarySqlType(SQLSMALLINT t) { return t == SQL_BINARY || t == SQL_VARBINARY || t == SQL_LONGVARBINARY; }

// The C type in which a column of field type `t` is fetched.
SQLSMALLINT cTypeFor(DataTypeEnum t) {
  switch (t) {
    case adTinyInt: case adUnsignedTinyInt: case adSmallInt: case adUnsignedSmallInt:
    case adInteger: case adUnsignedInt: case adBigInt: case adUnsignedBigInt:
      return SQL_C_SBIGINT;
    case adSingle: case adDouble: case adCurrency: return SQL_C_DOUBLE;
    case adBoolean: return SQL_C_BIT;
    case adDBDate: return SQL_C_TYPE_DATE;
    case adDBTime: return SQL_C_TYPE_TIME;
    case adDBTimeStamp: case adDate: return SQL_C_TYPE_TIMESTAMP;
    case adBinary: case adVarBinary: case adLongVarBinary: return SQL_C_BINARY;
    default: return SQL_C_WCHAR;  // text, exact numerics, GUIDs, unknown types
  }
}

}  // namespace

// Bytes of one bound element of a column (block fetches).
SQLLEN elementBytes(const ResultColumn& c) {
  switch (c.cType) {
    case SQL_C_SBIGINT: return sizeof(SQLBIGINT);
    case SQL_C_DOUBLE: return sizeof(SQLDOUBLE);
    case SQL_C_BIT: return sizeof(SQLCHAR);
    case SQL_C_TYPE_DATE: return sizeof(SQL_DATE_STRUCT);
    case SQL_C_TYPE_TIME: return sizeof(SQL_TIME_STRUCT);
    case SQL_C_TYPE_TIMESTAMP: return sizeof(SQL_TIMESTAMP_STRUCT);
    case SQL_C_BINARY: return SQLLEN(std::max<SQLULEN>(c.columnSize, 1));
    case SQL_C_CHAR: {
      // UTF-8: up to four bytes a character.
      SQLULEN chars = std::max<SQLULEN>(c.columnSize, 1);
      if (!isCharType(c.sqlType)) chars = std::max<SQLULEN>(chars + 4, 40);
      return SQLLEN(4 * chars + 1);
    }
    default: {
      // Exact numerics need room for sign, point and a leading zero; a
      // character may take two UTF-16 units.
      SQLULEN chars = std::max<SQLULEN>(c.columnSize, 1);
      if (!isCharType(c.sqlType)) chars = std::max<SQLULEN>(chars + 4, 40);
      return SQLLEN((2 * chars + 1) * sizeof(SQLWCHAR));
    }
  }
}

namespace {

// UTF-16 to UTF-8 into a reused buffer: one conversion per cell without a
// temporary QByteArray.
void appendUtf8(std::string& out, const char16_t* p, size_t n) {
  out.clear();
  out.reserve(n * 3);
  for (size_t i = 0; i < n; ++i) {
    uint32_t c = p[i];
    if (c < 0x80) {
      out.push_back(char(c));
      continue;
    }
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && p[i + 1] >= 0xDC00 && p[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (uint32_t(p[i + 1]) - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;  // a lone surrogate
    }
    if (c < 0x800) {
      out.push_back(char(0xC0 | (c >> 6)));
    } else if (c < 0x10000) {
      out.push_back(char(0xE0 | (c >> 12)));
      out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
    } else {
      out.push_back(char(0xF0 | (c >> 18)));
      out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
    }
    out.push_back(char(0x80 | (c & 0x3F)));
  }
}

int64_t dateMsecs(const SQL_DATE_STRUCT& d, bool* ok) {
  const QDate date(d.year, d.month, d.day);
  *ok = date.isValid();
  return *ok ? toOleMsecs(date) : 0;
}

int64_t timeMsecs(int h, int m, int s, SQLUINTEGER fractionNs) {
  return ((int64_t(h) * 60 + m) * 60 + s) * 1000 + fractionNs / 1000000;
}

}  // namespace

// Appends a fixed-width value held in `p` (C type of the column).
void appendFixed(ColumnStore& col, const ResultColumn& c, const char* p) {
  switch (c.cType) {
    case SQL_C_SBIGINT: {
      SQLBIGINT v;
      std::memcpy(&v, p, sizeof v);
      col.appendInteger(v);
      return;
    }
    case SQL_C_DOUBLE: {
      SQLDOUBLE v;
      std::memcpy(&v, p, sizeof v);
      // A real column holds 4-byte floats; a driver that converts through
      // text may hand a double that is not one.
      col.appendReal(c.field.type == adSingle ? double(float(v)) : v);
      return;
    }
    case SQL_C_BIT: col.appendBoolean(*p != 0); return;
    case SQL_C_TYPE_DATE: {
      SQL_DATE_STRUCT d;
      std::memcpy(&d, p, sizeof d);
      bool ok = false;
      const int64_t ms = dateMsecs(d, &ok);
      ok ? col.appendOleMsecs(ms) : col.appendNull();  // dates outside the calendar (infinity)
      return;
    }
    case SQL_C_TYPE_TIME: {
      SQL_TIME_STRUCT t;
      std::memcpy(&t, p, sizeof t);
      col.appendOleMsecs(timeMsecs(t.hour, t.minute, t.second, 0));
      return;
    }
    case SQL_C_TYPE_TIMESTAMP: {
      SQL_TIMESTAMP_STRUCT ts;
      std::memcpy(&ts, p, sizeof ts);
      bool ok = false;
      const int64_t ms = dateMsecs(SQL_DATE_STRUCT{ts.year, ts.month, ts.day}, &ok);
      ok ? col.appendOleMsecs(ms + timeMsecs(ts.hour, ts.minute, ts.second, ts.fraction)) : col.appendNull();
      return;
    }
    default: col.appendNull(); return;
  }
}

// Reads a text or binary cell of the current row with SQLGetData in pieces
// of any length into `bytes` (UTF-16 or UTF-8 for text, as c.cType says).
// Returns false for Null.
bool readPieces(const Statement& stmt, SQLUSMALLINT number, const ResultColumn& c, std::string& bytes,
                std::vector<char>& piece) {
  const SQLLEN terminator = terminatorBytes(c.cType);
  if (piece.size() < size_t(kPieceBytes)) piece.resize(size_t(kPieceBytes));
  bytes.clear();
  SQLLEN ind = 0;
  for (bool first = true;; first = false) {
    const SQLRETURN rc = SQLGetData(stmt, number, c.cType, piece.data(), SQLLEN(piece.size()), &ind);
    if (rc == SQL_NO_DATA) break;
    stmt.check(rc, QStringLiteral("Cannot read the field '%1'.").arg(c.field.name));
    if (ind == SQL_NULL_DATA) return !first;
    const SQLLEN room = SQLLEN(piece.size()) - terminator;
    const bool more = ind == SQL_NO_TOTAL || ind > room;
    const SQLLEN got = more ? room : ind;
    bytes.append(piece.data(), size_t(got));
    if (!more) break;
  }
  return true;
}

// Appends a text (UTF-16) or binary cell.
void appendVariable(ColumnStore& col, const ResultColumn& c, const char* p, size_t bytes, std::string& scratch) {
  // SQL_C_CHAR is UTF-8 here (FetchWays::utf8Text) or ASCII (numbers), and
  // binary data is stored as it comes.
  if (c.cType == SQL_C_WCHAR) {
    appendUtf8(scratch, reinterpret_cast<const char16_t*>(p), bytes / sizeof(char16_t));
    col.appendBytes(scratch);
  } else {
    col.appendBytes(std::string_view(p, bytes));
  }
}

SQLLEN terminatorBytes(SQLSMALLINT cType) {
  return cType == SQL_C_WCHAR ? SQLLEN(sizeof(SQLWCHAR)) : cType == SQL_C_CHAR ? 1 : 0;
}

namespace {

// Reads one cell of the current row with SQLGetData: fixed types at once,
// text and binary data in pieces of any length.
void getCell(const Statement& stmt, SQLUSMALLINT number, const ResultColumn& c, ColumnStore& col,
             std::string& scratch, std::vector<char>& piece) {
  if (c.cType != SQL_C_WCHAR && c.cType != SQL_C_CHAR && c.cType != SQL_C_BINARY) {
    SQLLEN ind = 0;
    alignas(8) char buffer[64] = {};
    stmt.check(SQLGetData(stmt, number, c.cType, buffer, sizeof buffer, &ind),
               QStringLiteral("Cannot read the field '%1'.").arg(c.field.name));
    if (ind == SQL_NULL_DATA)
      col.appendNull();
    else
      appendFixed(col, c, buffer);
    return;
  }
  std::string bytes;
  if (readPieces(stmt, number, c, bytes, piece))
    appendVariable(col, c, bytes.data(), bytes.size(), scratch);
  else
    col.appendNull();
}

std::shared_ptr<RowStore> emptyStore(const std::vector<ResultColumn>& columns) {
  std::vector<FieldInfo> fields;
  fields.reserve(columns.size());
  for (const ResultColumn& c : columns) fields.push_back(c.field);
  return std::make_shared<RowStore>(std::move(fields));
}

void fetchRowByRow(const Statement& stmt, const std::vector<ResultColumn>& columns, RowStore& rows) {
  std::string scratch;
  std::vector<char> piece;
  for (;;) {
    // A load stopped from the window ends between rows.
    throwIfLoadCancelled("Recordset.Open");
    const SQLRETURN rc = SQLFetch(stmt);
    if (rc == SQL_NO_DATA) break;
    stmt.check(rc, QStringLiteral("Cannot read the rows."));
    for (size_t i = 0; i < columns.size(); ++i)
      getCell(stmt, SQLUSMALLINT(i + 1), columns[i], rows.column(int(i)), scratch, piece);
    rows.commitRow();
  }
}

}  // namespace

DataTypeEnum fieldTypeFor(SQLSMALLINT sqlType, bool isUnsigned) {
  switch (sqlType) {
    case SQL_CHAR: return adChar;
    case SQL_VARCHAR: return adVarChar;
    case SQL_LONGVARCHAR: return adLongVarChar;
    case SQL_WCHAR: return adWChar;
    case SQL_WVARCHAR: return adVarWChar;
    case SQL_WLONGVARCHAR: return adLongVarWChar;
    case SQL_DECIMAL: case SQL_NUMERIC: return adNumeric;
    case SQL_TINYINT: return isUnsigned ? adUnsignedTinyInt : adTinyInt;
    case SQL_SMALLINT: return isUnsigned ? adUnsignedSmallInt : adSmallInt;
    case SQL_INTEGER: return isUnsigned ? adUnsignedInt : adInteger;
    case SQL_BIGINT: return isUnsigned ? adUnsignedBigInt : adBigInt;
    case SQL_REAL: return adSingle;
    case SQL_FLOAT: case SQL_DOUBLE: return adDouble;
    case SQL_BIT: return adBoolean;
    case SQL_TYPE_DATE: case SQL_DATE: return adDBDate;
    case SQL_TYPE_TIME: case SQL_TIME: return adDBTime;
    case SQL_TYPE_TIMESTAMP: case SQL_TIMESTAMP: return adDBTimeStamp;
    case SQL_BINARY: return adBinary;
    case SQL_VARBINARY: return adVarBinary;
    case SQL_LONGVARBINARY: return adLongVarBinary;
    case SQL_GUID: return adGUID;
    default: return adVarWChar;  // intervals and driver-specific types arrive as text
  }
}

FieldInfo fieldInfoFor(const QString& name, SQLSMALLINT sqlType, SQLULEN columnSize, SQLSMALLINT decimalDigits,
                       bool nullable, bool isUnsigned) {
  FieldInfo f(name, fieldTypeFor(sqlType, isUnsigned));
  f.nullable = nullable;
  f.precision = 255;
  f.numericScale = 255;
  if (isTextType(f.type) || isBinaryType(f.type)) {
    f.definedSize = columnSize > SQLULEN(INT32_MAX) ? 0 : int64_t(columnSize);
  } else if (f.type == adGUID) {
    f.definedSize = 16;
  } else {
    f.definedSize = fixedSizeOf(f.type);
  }
  if (f.type == adNumeric) {
    f.precision = int(std::min<SQLULEN>(columnSize, 255));
    f.numericScale = decimalDigits;
    f.definedSize = 19;
  } else if (f.type == adSingle) {
    f.precision = 7;
  } else if (f.type == adDouble) {
    f.precision = 15;
  }
  return f;
}

std::vector<ResultColumn> describeResult(const Statement& stmt) {
  SQLSMALLINT count = 0;
  stmt.check(SQLNumResultCols(stmt, &count));
  std::vector<ResultColumn> columns;
  columns.reserve(size_t(count));
  auto textAttribute = [&](SQLUSMALLINT n, SQLUSMALLINT id) {
    SQLWCHAR buffer[256] = {};
    SQLSMALLINT bytes = 0;
    if (!SQL_SUCCEEDED(SQLColAttributeW(stmt, n, id, buffer, sizeof buffer, &bytes, nullptr))) return QString();
    return fromWide(buffer, std::min<qsizetype>(bytes / qsizetype(sizeof(SQLWCHAR)), 255));
  };
  for (SQLSMALLINT i = 1; i <= count; ++i) {
    SQLWCHAR name[256] = {};
    SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    stmt.check(SQLDescribeColW(stmt, SQLUSMALLINT(i), name, 256, &nameLength, &type, &size, &digits, &nullable),
               QStringLiteral("Cannot describe the result's columns."));
    SQLLEN isUnsigned = SQL_FALSE;
    SQLColAttributeW(stmt, SQLUSMALLINT(i), SQL_DESC_UNSIGNED, nullptr, 0, nullptr, &isUnsigned);
    ResultColumn c;
    const QString fieldName = fromWide(name, std::min<qsizetype>(nameLength, 255));
    c.sqlType = type;
    c.columnSize = size;
    c.decimalDigits = digits;
    const bool numericLike = type == SQL_TINYINT || type == SQL_SMALLINT || type == SQL_INTEGER || type == SQL_BIGINT;
    c.field = fieldInfoFor(fieldName, type, size, digits, nullable != SQL_NO_NULLS,
                           isUnsigned == SQL_TRUE && numericLike);
    c.cType = cTypeFor(c.field.type);
    c.longData = (c.cType == SQL_C_WCHAR || c.cType == SQL_C_BINARY) &&
                 (isLongType(c.field.type) || size == 0 || size > kLongThreshold ||
                  (!isCharType(type) && !isBinarySqlType(type) && c.field.type != adNumeric && c.field.type != adGUID));
    if (isLongType(c.field.type)) c.field.definedSize = 0;
    c.baseCatalog = textAttribute(SQLUSMALLINT(i), SQL_DESC_CATALOG_NAME);
    c.baseSchema = textAttribute(SQLUSMALLINT(i), SQL_DESC_SCHEMA_NAME);
    c.baseTable = textAttribute(SQLUSMALLINT(i), SQL_DESC_BASE_TABLE_NAME);
    c.baseColumn = textAttribute(SQLUSMALLINT(i), SQL_DESC_BASE_COLUMN_NAME);
    c.field.baseTable = c.baseTable;
    c.field.baseColumn = c.baseColumn;
    columns.push_back(std::move(c));
  }
  return columns;
}

std::shared_ptr<RowStore> fetchRows(const Statement& stmt, const std::vector<ResultColumn>& columns,
                                    const FetchWays& ways) {
  auto rows = emptyStore(columns);
  bool anyLong = false;
  for (const ResultColumn& c : columns) anyLong = anyLong || c.longData;
  if (ways.blocks && !anyLong && !columns.empty())
    fetchInBlocks(stmt, columns, ways, *rows);
  else
    fetchRowByRow(stmt, columns, *rows);
  // Block fetches grow the columns well ahead of the rows (odbcblocks.cpp).
  // In a large result that spare capacity was never written and holds no
  // memory, and trimming it would copy every column once more; a small
  // result is trimmed, as the copy costs nothing there.
  constexpr int64_t kTrimBelowRows = 262144;
  if (!(ways.blocks && !anyLong) || rows->rowCount() < kTrimBelowRows) rows->shrinkToFit();
  return rows;
}

std::vector<std::vector<QVariant>> fetchAsText(const Statement& stmt) {
  SQLSMALLINT count = 0;
  stmt.check(SQLNumResultCols(stmt, &count));
  std::vector<FieldInfo> fields;
  std::vector<ResultColumn> columns(static_cast<size_t>(count));
  for (ResultColumn& c : columns) {
    c.field = FieldInfo(QStringLiteral("c"), adLongVarWChar);
    c.cType = SQL_C_WCHAR;
    fields.push_back(c.field);
  }
  RowStore rows(std::move(fields));
  fetchRowByRow(stmt, columns, rows);
  std::vector<std::vector<QVariant>> out(size_t(rows.rowCount()));
  for (int64_t r = 0; r < rows.rowCount(); ++r)
    for (int i = 0; i < count; ++i) out[size_t(r)].push_back(rows.value(r, i));
  return out;
}

}  // namespace dataaccess::odbc
