#include "odbcfetch.h"

#include "../../loadcontrol.h"
#include "../../values.h"

#include <QDate>
#include <QTime>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <string>
#include <thread>

namespace dataaccess::odbc {

namespace {

// Columns declared wider than this (characters or bytes), or of unknown
// size, are read in pieces rather than bound to a fixed buffer.
constexpr SQLULEN kLongThreshold = 4000;
// Bound buffers of one block stay around this size.
constexpr size_t kBlockBytes = 1024 * 1024;
constexpr SQLULEN kMaxBlockRows = 2048;
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
    default: {
      // Exact numerics need room for sign, point and a leading zero; a
      // character may take two UTF-16 units.
      SQLULEN chars = std::max<SQLULEN>(c.columnSize, 1);
      if (!isCharType(c.sqlType)) chars = std::max<SQLULEN>(chars + 4, 40);
      return SQLLEN((2 * chars + 1) * sizeof(SQLWCHAR));
    }
  }
}

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
// of any length into `bytes` (UTF-16 for text). Returns false for Null.
bool readPieces(const Statement& stmt, SQLUSMALLINT number, const ResultColumn& c, std::string& bytes,
                std::vector<char>& piece) {
  const bool text = c.cType == SQL_C_WCHAR;
  const SQLLEN terminator = text ? SQLLEN(sizeof(SQLWCHAR)) : 0;
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
  if (c.cType == SQL_C_WCHAR) {
    appendUtf8(scratch, reinterpret_cast<const char16_t*>(p), bytes / sizeof(char16_t));
    col.appendBytes(scratch);
  } else {
    col.appendBytes(std::string_view(p, bytes));
  }
}

// Reads one cell of the current row with SQLGetData: fixed types at once,
// text and binary data in pieces of any length.
void getCell(const Statement& stmt, SQLUSMALLINT number, const ResultColumn& c, ColumnStore& col,
             std::string& scratch, std::vector<char>& piece) {
  if (c.cType != SQL_C_WCHAR && c.cType != SQL_C_BINARY) {
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

// One set of bound column arrays and what one SQLFetch left in it.
struct Block {
  std::vector<std::vector<char>> data;
  std::vector<std::vector<SQLLEN>> ind;
  std::vector<SQLUSMALLINT> status;
  SQLULEN fetched = 0;
  // Cells longer than their bound element, read again by position right
  // after the fetch, in row then column order.
  struct LongCell {
    bool null = false;
    std::string bytes;
  };
  std::vector<LongCell> longCells;
  bool end = false;  // no more rows, or the fetch failed
  std::exception_ptr failure;
};

// Whether a bound text or binary cell did not fit its element.
bool overflows(const ResultColumn& c, SQLLEN n, SQLLEN elem) {
  if (n == SQL_NULL_DATA || (c.cType != SQL_C_WCHAR && c.cType != SQL_C_BINARY)) return false;
  const SQLLEN room = elem - (c.cType == SQL_C_WCHAR ? SQLLEN(sizeof(SQLWCHAR)) : 0);
  return n == SQL_NO_TOTAL || n > room;
}

// Fetches the next rowset into `b` and reads its over-long cells while the
// driver still stands on that rowset. Runs on the fetching thread.
void fetchBlock(const Statement& stmt, const std::vector<ResultColumn>& columns, const std::vector<SQLLEN>& elem,
                SQLULEN blockRows, Block& b, std::vector<char>& piece) {
  b.fetched = 0;
  b.longCells.clear();
  // The two blocks take turns: binding again before each fetch points the
  // driver at the block that is free.
  for (size_t i = 0; i < columns.size(); ++i)
    stmt.check(SQLBindCol(stmt, SQLUSMALLINT(i + 1), columns[i].cType, b.data[i].data(), elem[i], b.ind[i].data()),
               QStringLiteral("Cannot bind the field '%1'.").arg(columns[i].field.name));
  SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &b.fetched, 0);
  SQLSetStmtAttr(stmt, SQL_ATTR_ROW_STATUS_PTR, b.status.data(), 0);
  const SQLRETURN rc = SQLFetch(stmt);
  if (rc == SQL_NO_DATA) {
    b.end = true;
    return;
  }
  stmt.check(rc, QStringLiteral("Cannot read the rows."));
  b.fetched = std::min(b.fetched, blockRows);
  for (SQLULEN r = 0; r < b.fetched; ++r) {
    if (b.status[r] == SQL_ROW_NOROW) continue;
    if (b.status[r] == SQL_ROW_ERROR)
      odbc::raiseDiagnostics(SQL_HANDLE_STMT, stmt, stmt.source(), QStringLiteral("Cannot read a row."));
    bool positioned = false;
    for (size_t i = 0; i < columns.size(); ++i) {
      if (!overflows(columns[i], b.ind[i][r], elem[i])) continue;
      // Longer than the driver declared: read the whole cell again by
      // position (the driver said it can).
      if (!positioned)
        stmt.check(SQLSetPos(stmt, SQLSETPOSIROW(r + 1), SQL_POSITION, SQL_LOCK_NO_CHANGE),
                   QStringLiteral("The field '%1' holds a value longer than its declared size.")
                       .arg(columns[i].field.name));
      positioned = true;
      Block::LongCell cell;
      cell.null = !readPieces(stmt, SQLUSMALLINT(i + 1), columns[i], cell.bytes, piece);
      b.longCells.push_back(std::move(cell));
    }
  }
}

// Appends the rows of a fetched block to the store. Runs on the caller's
// thread while the driver fills the other block.
void convertBlock(const std::vector<ResultColumn>& columns, const std::vector<SQLLEN>& elem, const Block& b,
                  RowStore& rows, std::string& scratch) {
  size_t nextLong = 0;
  for (SQLULEN r = 0; r < b.fetched; ++r) {
    if (b.status[r] == SQL_ROW_NOROW) continue;
    for (size_t i = 0; i < columns.size(); ++i) {
      const ResultColumn& c = columns[i];
      ColumnStore& col = rows.column(int(i));
      const SQLLEN n = b.ind[i][r];
      const char* p = b.data[i].data() + size_t(elem[i]) * r;
      if (n == SQL_NULL_DATA) {
        col.appendNull();
      } else if (c.cType != SQL_C_WCHAR && c.cType != SQL_C_BINARY) {
        appendFixed(col, c, p);
      } else if (overflows(c, n, elem[i])) {
        const Block::LongCell& cell = b.longCells.at(nextLong++);
        if (cell.null)
          col.appendNull();
        else
          appendVariable(col, c, cell.bytes.data(), cell.bytes.size(), scratch);
      } else {
        appendVariable(col, c, p, size_t(n), scratch);
      }
    }
    rows.commitRow();
  }
}

// Rows of a block fetch are converted into pieces of about kPieceRows rows
// and joined once at the end into columns reserved at their final size:
// growing one array per column by doubling and trimming it afterwards
// copied (and faulted in) every byte two or three times.
constexpr int64_t kPieceRows = 65536;

// The text (or binary) bytes a column of a piece holds.
int64_t arenaBytes(const ColumnStore& c) {
  if (c.storage() != ColumnStore::Storage::Text && c.storage() != ColumnStore::Storage::Bytes) return 0;
  for (int64_t r = c.size() - 1; r >= 0; --r) {
    if (c.isNull(r)) continue;
    const std::string_view last = c.bytesAt(r);
    return int64_t(last.data() + last.size() - c.bytesAt(0).data());
  }
  return 0;
}

std::unique_ptr<RowStore> newPiece(const RowStore& rows, const std::vector<std::unique_ptr<RowStore>>& pieces) {
  auto piece = std::make_unique<RowStore>(rows.fields());
  for (int i = 0; i < rows.fieldCount(); ++i) {
    // Text takes about as much room as in the piece before.
    const int64_t bytes = pieces.empty() ? 0 : arenaBytes(pieces.back()->column(i)) / 8 * 9;
    piece->column(i).reserve(kPieceRows + int64_t(kMaxBlockRows), bytes);
  }
  return piece;
}

void appendPiece(ColumnStore& to, const ColumnStore& from) {
  const int64_t n = from.size();
  for (int64_t r = 0; r < n; ++r) {
    if (from.isNull(r)) {
      to.appendNull();
      continue;
    }
    switch (from.storage()) {
      case ColumnStore::Storage::Integer: to.appendInteger(from.integerAt(r)); break;
      case ColumnStore::Storage::Real: to.appendReal(from.realAt(r)); break;
      case ColumnStore::Storage::Boolean: to.appendBoolean(from.booleanAt(r)); break;
      case ColumnStore::Storage::DateTime: to.appendOleMsecs(from.oleMsecsAt(r)); break;
      case ColumnStore::Storage::Text: case ColumnStore::Storage::Bytes: to.appendBytes(from.bytesAt(r)); break;
    }
  }
}

void joinPieces(std::vector<std::unique_ptr<RowStore>>& pieces, RowStore& rows) {
  int64_t total = 0;
  for (const auto& p : pieces) total += p->rowCount();
  for (int i = 0; i < rows.fieldCount(); ++i) {
    int64_t bytes = 0;
    for (const auto& p : pieces) bytes += arenaBytes(p->column(i));
    rows.column(i).reserve(total, bytes);
  }
  for (auto& p : pieces) {
    for (int i = 0; i < rows.fieldCount(); ++i) appendPiece(rows.column(i), p->column(i));
    for (int64_t r = 0; r < p->rowCount(); ++r) rows.commitRow();
    p.reset();  // each piece goes as soon as it is copied
  }
}

// Fetches many rows per call into bound column arrays. A second thread
// talks to the driver (which mostly waits for the server) while this one
// converts the previous block, so the two overlap.
void fetchInBlocks(const Statement& stmt, const std::vector<ResultColumn>& columns, RowStore& rows) {
  std::vector<SQLLEN> elem(columns.size());
  size_t rowBytes = 0;
  for (size_t i = 0; i < columns.size(); ++i) {
    elem[i] = elementBytes(columns[i]);
    rowBytes += size_t(elem[i]) + sizeof(SQLLEN);
  }
  SQLULEN blockRows = std::clamp<SQLULEN>(kBlockBytes / std::max<size_t>(rowBytes, 1), 1, kMaxBlockRows);
  SQLSetStmtAttr(stmt, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQLULEN(SQL_BIND_BY_COLUMN)), 0);
  SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(blockRows), 0);
  // The driver may have chosen a smaller block.
  SQLULEN granted = 0;
  if (SQL_SUCCEEDED(SQLGetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, &granted, 0, nullptr)) && granted > 0 &&
      granted < blockRows)
    blockRows = granted;

  Block blocks[2];
  for (Block& b : blocks) {
    b.data.resize(columns.size());
    b.ind.resize(columns.size());
    b.status.assign(blockRows, SQL_ROW_NOROW);
    for (size_t i = 0; i < columns.size(); ++i) {
      b.data[i].resize(size_t(elem[i]) * blockRows);
      b.ind[i].resize(blockRows);
    }
  }
  struct Reset {
    SQLHSTMT h;
    ~Reset() {
      SQLFreeStmt(h, SQL_UNBIND);
      SQLSetStmtAttr(h, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
      SQLSetStmtAttr(h, SQL_ATTR_ROW_STATUS_PTR, nullptr, 0);
    }
  } reset{stmt.handle()};

  // Block k is filled by the fetching thread when ready[k % 2] is false and
  // converted here when it is true.
  std::mutex mutex;
  std::condition_variable changed;
  bool ready[2] = {false, false};
  bool stop = false;
  std::thread fetcher([&] {
    std::vector<char> piece;
    for (size_t k = 0;; k = 1 - k) {
      {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return stop || !ready[k]; });
        if (stop) return;
      }
      Block& b = blocks[k];
      try {
        fetchBlock(stmt, columns, elem, blockRows, b, piece);
      } catch (...) {
        b.failure = std::current_exception();
        b.end = true;
      }
      const bool end = b.end;
      {
        std::lock_guard lock(mutex);
        ready[k] = true;
      }
      changed.notify_all();
      if (end) return;
    }
  });
  // However this function ends, the fetching thread stops before the
  // blocks and bindings go away.
  struct Join {
    std::thread& t;
    std::mutex& m;
    std::condition_variable& cv;
    bool& stop;
    ~Join() {
      {
        std::lock_guard lock(m);
        stop = true;
      }
      cv.notify_all();
      t.join();
    }
  } join{fetcher, mutex, changed, stop};

  std::string scratch;
  std::vector<std::unique_ptr<RowStore>> pieces;
  for (size_t k = 0;; k = 1 - k) {
    {
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return ready[k]; });
    }
    Block& b = blocks[k];
    if (b.failure) std::rethrow_exception(b.failure);
    if (b.end) break;
    // A load stopped from the window ends between blocks.
    throwIfLoadCancelled("Recordset.Open");
    if (pieces.empty() || pieces.back()->rowCount() >= kPieceRows) pieces.push_back(newPiece(rows, pieces));
    convertBlock(columns, elem, b, *pieces.back(), scratch);
    {
      std::lock_guard lock(mutex);
      ready[k] = false;
    }
    changed.notify_all();
  }
  joinPieces(pieces, rows);
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

std::shared_ptr<RowStore> fetchRows(const Statement& stmt, const std::vector<ResultColumn>& columns, bool blocks) {
  auto rows = emptyStore(columns);
  bool anyLong = false;
  for (const ResultColumn& c : columns) anyLong = anyLong || c.longData;
  if (blocks && !anyLong && !columns.empty())
    fetchInBlocks(stmt, columns, *rows);
  else
    fetchRowByRow(stmt, columns, *rows);
  rows->shrinkToFit();
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
