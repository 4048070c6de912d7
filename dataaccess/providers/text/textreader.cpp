#include "textreader.h"

#include "../../codepage.h"
#include "../../error.h"
#include "../../loadcontrol.h"
#include "delimitedparser.h"
#include "rawcolumns.h"
#include "textgrowing.h"
#include "textinput.h"
#include "textvalues.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringDecoder>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <atomic>
#include <exception>
#include <optional>
#include <shared_mutex>
#include <thread>
#include <vector>

namespace dataaccess::text {

namespace {

// A read of the first rows alone takes smaller bites.
constexpr size_t kHeadChunk = size_t(256) << 10;
constexpr int64_t kTextSize = 255;
constexpr int64_t kMemoSize = 536870910;

std::vector<FieldInfo> describeColumns(const std::vector<RawColumn>& cols, const std::vector<QString>& header,
                                       const TextSchema& schema) {
  std::vector<FieldInfo> fields;
  QSet<QString> used;
  auto generic = [&](size_t i) {
    QString name = QStringLiteral("F%1").arg(i + 1);
    for (int k = 1; used.contains(name.toLower()); ++k) name = QStringLiteral("F%1_%2").arg(i + 1).arg(k);
    return name;
  };
  for (size_t i = 0; i < cols.size(); ++i) {
    const auto def = schema.columns.find(int(i) + 1);
    QString name;
    if (def != schema.columns.end() && !def->second.name.isEmpty())
      name = def->second.name;
    else if (i < header.size())
      name = header[i];
    if (name.isEmpty() || used.contains(name.toLower())) name = generic(i);
    used.insert(name.toLower());

    FieldInfo f;
    f.name = name;
    f.type = def != schema.columns.end() && def->second.type ? *def->second.type : cols[i].guessedType();
    f.precision = 255;
    f.numericScale = 255;
    switch (f.type) {
      case adVarWChar:
        f.definedSize = def != schema.columns.end() && def->second.width > 0 ? def->second.width : kTextSize;
        break;
      case adLongVarWChar: f.definedSize = kMemoSize; break;
      case adUnsignedTinyInt: f.precision = 3; break;
      case adSmallInt: f.precision = 5; break;
      case adInteger: f.precision = 10; break;
      case adSingle: f.precision = 7; break;
      case adDouble: f.precision = 15; break;
      case adCurrency: f.precision = 19; f.numericScale = 4; break;
      case adDate: f.precision = 19; break;
      default: break;
    }
    if (f.definedSize == 0) f.definedSize = fixedSizeOf(f.type);
    fields.push_back(std::move(f));
  }
  return fields;
}

// Turns cells into a typed store: `cells(f)` calls f(cell, isNull) for each
// of `rows` cells of `bytes` bytes in all. A cell that does not convert to
// the column's type (past the scanned rows, or against a column definition)
// becomes Null.
template <class Cells>
void convertCells(Cells&& cells, ColumnStore& out, int64_t rows, uint64_t bytes, const ValueParser& values) {
  const DataTypeEnum type = out.type();
  switch (out.storage()) {
    case ColumnStore::Storage::Text: case ColumnStore::Storage::Bytes:
      out.reserve(rows, int64_t(bytes));
      cells([&](std::string_view v, bool null) { null ? out.appendNull() : out.appendBytes(v); });
      break;
    case ColumnStore::Storage::Integer: {
      out.reserve(rows);
      int64_t lo = std::numeric_limits<int32_t>::min(), hi = std::numeric_limits<int32_t>::max();
      if (type == adSmallInt) lo = -32768, hi = 32767;
      if (type == adUnsignedTinyInt) lo = 0, hi = 255;
      cells([&](std::string_view v, bool null) {
        int64_t x;
        if (!null && values.parseInteger(v, x) && x >= lo && x <= hi)
          out.appendInteger(x);
        else
          out.appendNull();
      });
      break;
    }
    case ColumnStore::Storage::Real:
      out.reserve(rows);
      cells([&](std::string_view v, bool null) {
        double x;
        if (null || !values.parseReal(v, x)) return out.appendNull();
        if (type == adSingle) x = double(float(x));
        if (type == adCurrency) x = std::round(x * 10000.0) / 10000.0;
        out.appendReal(x);
      });
      break;
    case ColumnStore::Storage::DateTime:
      out.reserve(rows);
      cells([&](std::string_view v, bool null) {
        int64_t ms;
        if (!null && values.parseDate(v, ms))
          out.appendOleMsecs(ms);
        else
          out.appendNull();
      });
      break;
    case ColumnStore::Storage::Boolean:
      out.reserve(rows);
      cells([&](std::string_view v, bool null) {
        bool b;
        if (!null && values.parseBoolean(v, b))
          out.appendBoolean(b);
        else
          out.appendNull();
      });
      break;
  }
}

// Turns one column's cells into its typed store, freeing them as they go.
void convertColumn(RawColumn& raw, ColumnStore& out, int64_t rows, const ValueParser& values) {
  convertCells([&](auto&& f) { raw.cells.drain(f); }, out, rows, raw.bytes, values);
}

// Where the buffered text [pos, size) is split between the two threads:
// just after a line feed near its middle, or npos when it is too short or
// has none. A quoted field may hide the line feed; the caller checks.
size_t splitPoint(const char* data, size_t pos, size_t size, size_t minimum) {
  if (minimum == 0 || size - pos < minimum) return std::string_view::npos;
  const size_t mid = pos + (size - pos) / 2;
  const void* lf = std::memchr(data + mid, '\n', size - mid);
  if (!lf) return std::string_view::npos;
  const size_t at = size_t(static_cast<const char*>(lf) - data) + 1;
  return at < size ? at : std::string_view::npos;
}

// Converts every column into its store, two columns at a time.
// A stopped load (loadcontrol.h) ends the work between two columns.
void convertColumns(std::vector<RawColumn>& cols, RowStore& store, int64_t rows, const ValueParser& values) {
  // The longest columns first, so that the two threads end close together.
  std::vector<size_t> order(cols.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return cols[a].bytes > cols[b].bytes; });
  std::atomic<size_t> next{0};
  std::exception_ptr failed;
  const LoadControl* control = currentLoadControl();
  auto work = [&] {
    for (size_t k; (k = next++) < cols.size();) {
      if (control && control->cancelled()) {
        next = cols.size();
        break;
      }
      const size_t i = order[k];
      convertColumn(cols[i], store.column(int(i)), rows, values);
    }
  };
  std::thread other;
  if (cols.size() > 1) {
    other = std::thread([&] {
      try {
        work();
      } catch (...) {
        failed = std::current_exception();
        next = cols.size();
      }
    });
  }
  try {
    work();
  } catch (...) {
    next = cols.size();
    if (other.joinable()) other.join();
    throw;
  }
  if (other.joinable()) other.join();
  if (failed) std::rethrow_exception(failed);
  throwIfLoadCancelled("TextProvider.Read");
}

// Reads the whole file, or only its first `maxRows` records when maxRows >= 0.
std::shared_ptr<RowStore> readText(const QString& path, const TextSchema& schema, const QLocale& locale,
                                   bool windows1252, const TextReadTuning& tuning, int64_t maxRows = -1) {
  TextInput input(path, schema, windows1252);
  const ValueParser values(locale);
  DelimitedParser parser(schema.delimiter);
  std::vector<RawColumn> cols;
  std::vector<QString> header;
  bool headerPending = schema.colNameHeader;
  int64_t rows = 0;
  const int64_t scanLimit = schema.maxScanRows;
  // A small file is read in one piece no larger than itself, so that opening
  // it does not allocate (and, when decoding, clear) a buffer of megabytes.
  const size_t wanted = maxRows >= 0 ? kHeadChunk : std::max<size_t>(tuning.chunk, 1);
  const size_t chunk = std::min(wanted, std::max<size_t>(size_t(std::max<int64_t>(input.fileSize(), 0)) + 1, 64 << 10));
  bool enough = false;  // maxRows records read
  using Clock = std::chrono::steady_clock;
  // The rows read so far are handed out (loadcontrol.h) as a view of the
  // cells read (textgrowing.h), which may be read while this thread holds
  // no lock on it: between two stretches of the file. It is closed before
  // the cells go into the finished table.
  std::shared_ptr<GrowingTextRows> growing;
  std::unique_lock<std::shared_mutex> writing;
  if (maxRows < 0 && partialRowsWanted()) {
    growing = std::make_shared<GrowingTextRows>(&cols, locale);
    writing = std::unique_lock<std::shared_mutex>(growing->lock());
  }
  struct CloseGrowing {
    std::shared_ptr<GrowingTextRows>& view;
    std::unique_lock<std::shared_mutex>& writing;
    void operator()() {
      if (writing.owns_lock()) writing.unlock();
      if (view) view->close();
    }
    ~CloseGrowing() { (*this)(); }
  } closeGrowing{growing, writing};
  Clock::time_point lastHandOut = Clock::now();
  int64_t rowsHandedOut = 0;

  // The second half of the buffered text is read on another thread, from
  // the first line feed past its middle. That thread's records count only
  // when this one's reading of the first half ends right there; otherwise a
  // quoted field held the line feed and the second half is read again here.
  std::vector<RawColumn> segment;
  int64_t segmentRows = 0;
  size_t segmentEnd = 0;
  int64_t segmentLines = 0;
  std::exception_ptr segmentFailed;

  ByteBuffer buf;
  size_t pos = 0;
  bool atEnd = !input.fill(buf, chunk);
  // A whole file's read takes the next chunk while this one is split.
  const int64_t fileSize = input.fileSize();
  int64_t bytesRead = input.bytesRead();
  std::optional<ReadAhead> ahead;
  if (maxRows < 0 && !atEnd) {
    ahead.emplace(input);
    ahead->start(chunk);
  }
  for (;;) {
    // Only once the header is read, and when every row of the stretch is
    // scanned alike, so that the type guesses come out as in one pass.
    const bool uniform = scanLimit == 0 || rows >= scanLimit;
    const bool mayShare = !headerPending && uniform && maxRows < 0;
    const size_t split = mayShare ? splitPoint(buf.data.get(), pos, buf.size, tuning.minimumSplit)
                                                   : std::string_view::npos;
    std::thread other;
    if (split != std::string_view::npos) {
      startSegment(segment, cols);
      segmentRows = 0;
      other = std::thread([&, split] {
        try {
          DelimitedParser p(schema.delimiter);
          size_t at = split;
          while (p.next(buf.data.get(), buf.size, at, false) == DelimitedParser::Result::Record)
            addRecord(segment, segmentRows++, p.fields(), scanLimit == 0, values);
          segmentEnd = at;
          segmentLines = p.nextLine() - 1;
        } catch (...) {
          segmentFailed = std::current_exception();
        }
      });
    }
    struct Join {
      std::thread& t;
      ~Join() {
        if (t.joinable()) t.join();
      }
    } join{other};

    DelimitedParser::Result r = DelimitedParser::Result::Record;
    while (pos < split) {
      if (rows == maxRows && !headerPending) {
        enough = true;
        break;
      }
      r = parser.next(buf.data.get(), buf.size, pos, atEnd);
      if (r != DelimitedParser::Result::Record) break;
      const std::vector<std::string_view>& fields = parser.fields();
      if (headerPending) {
        headerPending = false;
        for (std::string_view f : fields) header.push_back(QString::fromUtf8(f.data(), qsizetype(f.size())).trimmed());
        if (cols.size() < fields.size()) cols.resize(fields.size());
        continue;
      }
      addRecord(cols, rows, fields, scanLimit == 0 || rows < scanLimit, values);
      ++rows;
      if (growing && rows % 256 == 0) growing->letReadersIn(writing);
    }
    if (other.joinable()) {
      // The other thread does not touch the columns handed out.
      if (writing.owns_lock()) writing.unlock();
      other.join();
      if (growing) writing.lock();
      if (segmentFailed) std::rethrow_exception(segmentFailed);
      if (r == DelimitedParser::Result::Record && pos == split) {
        appendSegment(cols, rows, segment, segmentRows, scanLimit == 0, values);
        rows += segmentRows;
        pos = segmentEnd;
        parser.setNextLine(parser.nextLine() + segmentLines);
      } else {
        segment.clear();
      }
    }
    if (enough || r == DelimitedParser::Result::End) break;
    if (r == DelimitedParser::Result::Record) continue;
    if (r == DelimitedParser::Result::Unterminated)
      textReadError(QStringLiteral("The file '%1' has a quoted field that starts on line %2 and is never closed.")
                    .arg(QFileInfo(path).fileName())
                    .arg(parser.line()));
    // NeedMore: keep the unfinished record, read on. The request grows with
    // the record so that a very long record is re-scanned only a few times.
    buf.consume(pos);
    pos = 0;
    throwIfLoadCancelled("TextProvider.Read");
    reportLoadProgress(bytesRead, fileSize);
    bool handOut = false;
    if (growing && rows > rowsHandedOut && Clock::now() - lastHandOut >= tuning.partialInterval) {
      growing->publish(rows, describeColumns(cols, header, schema));
      rowsHandedOut = rows;
      handOut = true;
      lastHandOut = Clock::now();
    }
    // Those reading the rows handed out come in while the next text arrives.
    if (writing.owns_lock()) writing.unlock();
    if (handOut) reportPartialRows(growing);
    if (!ahead) {
      if (!input.fill(buf, std::max(chunk, buf.size))) atEnd = true;
      bytesRead = input.bytesRead();
    } else {
      const size_t unfinished = buf.size;
      atEnd = !ahead->takeInto(buf);
      bytesRead = ahead->bytesRead();
      // A record longer than a chunk: the request grows with it, as above.
      if (!atEnd && unfinished > chunk) {
        atEnd = !input.fill(buf, buf.size);
        bytesRead = input.bytesRead();
      }
      if (!atEnd) ahead->start(chunk);
    }
    if (growing) writing.lock();
  }

  closeGrowing();
  std::vector<RawColumn>().swap(segment);
  if (cols.empty()) cols.resize(1);  // an empty file: one text column, no rows
  auto store = std::make_shared<RowStore>(describeColumns(cols, header, schema));
  convertColumns(cols, *store, rows, values);
  for (int64_t r = 0; r < rows; ++r) store->commitRow();
  return store;
}

}  // namespace

QVariant textCellValue(DataTypeEnum type, std::string_view cell, bool null, const ValueParser& values) {
  ColumnStore out(type);
  convertCells([&](auto&& f) { f(cell, null); }, out, 1, cell.size(), values);
  return out.value(0);
}

std::shared_ptr<RowStore> readTextTableHead(const QString& path, const TextSchema& schema, int64_t maxRows,
                                            const QLocale& locale) {
  try {
    return readText(path, schema, locale, false, TextReadTuning(), std::max<int64_t>(0, maxRows));
  } catch (const NotUtf8&) {
    return readText(path, schema, locale, true, TextReadTuning(), std::max<int64_t>(0, maxRows));
  }
}

std::shared_ptr<RowStore> readTextTable(const QString& path, const TextSchema& schema, const QLocale& locale) {
  return readTextTable(path, schema, locale, TextReadTuning());
}

std::shared_ptr<RowStore> readTextTable(const QString& path, const TextSchema& schema, const QLocale& locale,
                                        const TextReadTuning& tuning) {
  try {
    return readText(path, schema, locale, false, tuning);
  } catch (const NotUtf8&) {
    // The bad byte usually stands in the first chunk, so little is read twice.
    return readText(path, schema, locale, true, tuning);
  }
}

}  // namespace dataaccess::text
