#include "odbcblocks.h"

#include "../../loadcontrol.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace dataaccess::odbc {

namespace {

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

// How one column is bound: the described column with the C type handed to
// SQLBindCol, and the bytes of one element.
struct Binding {
  ResultColumn bound;
  SQLLEN elem = 0;
};

std::vector<Binding> bindingsFor(const std::vector<ResultColumn>& columns, const FetchWays& ways) {
  std::vector<Binding> out(columns.size());
  for (size_t i = 0; i < columns.size(); ++i) {
    Binding& b = out[i];
    b.bound = columns[i];
    if (ways.utf8Text && columns[i].cType == SQL_C_WCHAR) b.bound.cType = SQL_C_CHAR;
    b.elem = elementBytes(b.bound);
  }
  return out;
}

// Whether a bound text or binary cell did not fit its element.
bool overflows(const Binding& b, SQLLEN n) {
  const SQLSMALLINT t = b.bound.cType;
  if (n == SQL_NULL_DATA || (t != SQL_C_WCHAR && t != SQL_C_CHAR && t != SQL_C_BINARY)) return false;
  return n == SQL_NO_TOTAL || n > b.elem - terminatorBytes(t);
}

// Fetches the next rowset into `b` and reads its over-long cells while the
// driver still stands on that rowset. Runs on the fetching thread.
void fetchBlock(const Statement& stmt, const std::vector<Binding>& bindings, SQLULEN blockRows, Block& b,
                std::vector<char>& piece) {
  b.fetched = 0;
  b.longCells.clear();
  // The two blocks take turns: binding again before each fetch points the
  // driver at the block that is free.
  for (size_t i = 0; i < bindings.size(); ++i)
    stmt.check(SQLBindCol(stmt, SQLUSMALLINT(i + 1), bindings[i].bound.cType, b.data[i].data(), bindings[i].elem,
                          b.ind[i].data()),
               QStringLiteral("Cannot bind the field '%1'.").arg(bindings[i].bound.field.name));
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
    for (size_t i = 0; i < bindings.size(); ++i) {
      const Binding& bind = bindings[i];
      if (!overflows(bind, b.ind[i][r])) continue;
      // Longer than the driver declared: read the whole cell again by
      // position (the driver said it can).
      if (!positioned)
        stmt.check(SQLSetPos(stmt, SQLSETPOSIROW(r + 1), SQL_POSITION, SQL_LOCK_NO_CHANGE),
                   QStringLiteral("The field '%1' holds a value longer than its declared size.")
                       .arg(bind.bound.field.name));
      positioned = true;
      Block::LongCell cell;
      cell.null = !readPieces(stmt, SQLUSMALLINT(i + 1), bind.bound, cell.bytes, piece);
      b.longCells.push_back(std::move(cell));
    }
  }
}

// Grows the columns ahead of the rows in large steps. Left to themselves
// they double one append at a time, and each copy faults in every small page
// of fresh memory; ColumnStore::reserve asks for large pages. Capacity that
// is never written costs no memory.
class Growth {
 public:
  explicit Growth(size_t columns) : bytes_(columns, 0) {}

  // Before a block of `incoming` rows is appended.
  void ahead(RowStore& rows, const std::vector<Binding>& bindings, SQLULEN incoming) {
    const int64_t need = rows.rowCount() + int64_t(incoming);
    if (need <= reserved_) return;
    reserved_ = std::max<int64_t>({need, 4 * reserved_, kFirstRows});
    for (size_t i = 0; i < bindings.size(); ++i) {
      const ColumnStore::Storage s = ColumnStore::storageFor(bindings[i].bound.field.type);
      int64_t bytes = 0;
      if ((s == ColumnStore::Storage::Text || s == ColumnStore::Storage::Bytes) && rows.rowCount() > 0)
        bytes = bytes_[i] / rows.rowCount() * reserved_ * 5 / 4;  // the average so far, and a quarter more
      rows.column(int(i)).reserve(reserved_, bytes);
    }
  }
  // Text or binary bytes appended to column `i` (about: UTF-16 counts half).
  void added(size_t i, SQLLEN n, SQLSMALLINT cType) { bytes_[i] += cType == SQL_C_WCHAR ? n / 2 : n; }

 private:
  static constexpr int64_t kFirstRows = 16384;
  int64_t reserved_ = 0;
  std::vector<int64_t> bytes_;
};

// Appends the rows of a fetched block to the store. Runs on the caller's
// thread while the driver fills the other block.
void convertBlock(const std::vector<Binding>& bindings, const Block& b, RowStore& rows, Growth& growth,
                  std::string& scratch) {
  growth.ahead(rows, bindings, b.fetched);
  size_t nextLong = 0;
  for (SQLULEN r = 0; r < b.fetched; ++r) {
    if (b.status[r] == SQL_ROW_NOROW) continue;
    for (size_t i = 0; i < bindings.size(); ++i) {
      const Binding& bind = bindings[i];
      const ResultColumn& c = bind.bound;
      ColumnStore& col = rows.column(int(i));
      const SQLLEN n = b.ind[i][r];
      const char* p = b.data[i].data() + size_t(bind.elem) * r;
      if (n == SQL_NULL_DATA) {
        col.appendNull();
      } else if (c.cType != SQL_C_WCHAR && c.cType != SQL_C_CHAR && c.cType != SQL_C_BINARY) {
        appendFixed(col, c, p);
      } else if (overflows(bind, n)) {
        const Block::LongCell& cell = b.longCells.at(nextLong++);
        if (cell.null)
          col.appendNull();
        else
          appendVariable(col, c, cell.bytes.data(), cell.bytes.size(), scratch);
      } else {
        appendVariable(col, c, p, size_t(n), scratch);
        growth.added(i, n, c.cType);
      }
    }
    rows.commitRow();
  }
}

}  // namespace

// Fetches many rows per call into bound column arrays. A second thread
// talks to the driver (which mostly waits for the server) while this one
// converts the previous block, so the two overlap.
void fetchInBlocks(const Statement& stmt, const std::vector<ResultColumn>& columns, const FetchWays& ways,
                   RowStore& rows) {
  const std::vector<Binding> bindings = bindingsFor(columns, ways);
  size_t rowBytes = 0;
  for (const Binding& b : bindings) rowBytes += size_t(b.elem) + sizeof(SQLLEN);
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
      b.data[i].resize(size_t(bindings[i].elem) * blockRows);
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
        fetchBlock(stmt, bindings, blockRows, b, piece);
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
  Growth growth(bindings.size());
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
    convertBlock(bindings, b, rows, growth, scratch);
    {
      std::lock_guard lock(mutex);
      ready[k] = false;
    }
    changed.notify_all();
  }
}
}  // namespace dataaccess::odbc
