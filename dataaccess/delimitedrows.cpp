#include "delimitedrows.h"

#include "values.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace dataaccess {

// The end of `out` as raw memory: room is made in large steps and the
// array is cut back to what was written when the sink goes.
class DelimitedRowWriter::Sink {
 public:
  explicit Sink(QByteArray& out) : out_(out) { p_ = end_ = out.data() + out.size(); }
  ~Sink() { out_.resize(qsizetype(p_ - out_.data())); }
  Sink(const Sink&) = delete;
  Sink& operator=(const Sink&) = delete;

  // At least `n` writable bytes at the returned place; advance() past
  // what was written.
  char* room(size_t n) {
    if (size_t(end_ - p_) < n) grow(n);
    return p_;
  }
  void advance(char* to) { p_ = to; }
  void put(const char* s, size_t n) {
    std::memcpy(room(n), s, n);
    p_ += n;
  }
  void put(const QByteArray& b) { put(b.constData(), size_t(b.size())); }

 private:
  void grow(size_t n) {
    const size_t used = size_t(p_ - out_.data());
    out_.resize(qsizetype(std::max(used + n, used * 2 + (size_t(64) << 10))));
    p_ = out_.data() + used;
    end_ = out_.data() + out_.size();
  }

  QByteArray& out_;
  char* p_;
  char* end_;
};

namespace {

bool isDigitOrMinus(char c) { return (c >= '0' && c <= '9') || c == '-'; }

constexpr uint64_t kOnes = 0x0101010101010101ULL;
constexpr uint64_t kHighs = 0x8080808080808080ULL;

// Whether one of the eight bytes of `v` is the byte repeated in `pattern`.
inline uint64_t hasByte(uint64_t v, uint64_t pattern) {
  const uint64_t x = v ^ pattern;
  return (x - kOnes) & ~x & kHighs;
}

}  // namespace

DelimitedRowWriter::DelimitedRowWriter(const RowsView& rows, const QByteArray& colDelimiter,
                                       const QByteArray& rowDelimiter, const QByteArray& nullText, bool quote)
    : rows_(rows), col_(colDelimiter), row_(rowDelimiter), null_(nullText), quote_(quote) {
  // The bytes that call for quotes in a cell.
  QByteArray watched = col_ + "\"\r\n";
  auto mayHold = [&](auto&& holds) {
    return quote_ && std::any_of(watched.cbegin(), watched.cend(), holds);
  };
  const RowStore& store = rows.store();
  for (int f = 0; f < store.fieldCount(); ++f) {
    Column c{&store.column(f), store.field(f).type, Kind::General, false};
    const bool plain = !c.store->hasReplacements();
    switch (c.store->storage()) {
      case ColumnStore::Storage::Integer:
        if (plain) c.kind = Kind::Integer;
        c.check = mayHold(isDigitOrMinus);
        break;
      case ColumnStore::Storage::Real:
        if (plain) c.kind = Kind::Real;
        c.check = mayHold([](char b) { return isDigitOrMinus(b) || b == '.'; });
        break;
      case ColumnStore::Storage::DateTime:
        if (plain) c.kind = Kind::DateTime;
        c.check = mayHold([this](char b) { return formatter_.dateTextMayHold(b); });
        break;
      case ColumnStore::Storage::Text:
        // Decimals stored as text are written with the locale's point.
        if (plain && ((c.type != adNumeric && c.type != adDecimal) || QLocale().decimalPoint() == QLatin1String(".")))
          c.kind = Kind::Text;
        break;
      default:
        break;
    }
    columns_.push_back(c);
  }
}

void DelimitedRowWriter::appendRows(QByteArray& out, int64_t begin, int64_t end) const {
  Sink sink(out);
  QByteArray scratch;
  for (int64_t r = begin; r < end; ++r) {
    if (const std::vector<QVariant>* edited = rows_.editedRow(r)) {
      writeEdited(sink, *edited, scratch);
    } else {
      for (size_t f = 0; f < columns_.size(); ++f) {
        if (f) sink.put(col_);
        writeCell(sink, columns_[f], r, scratch);
      }
    }
    sink.put(row_);
  }
}

void DelimitedRowWriter::writeEdited(Sink& out, const std::vector<QVariant>& values, QByteArray& scratch) const {
  for (size_t f = 0; f < columns_.size(); ++f) {
    if (f) out.put(col_);
    const QVariant& v = values[f];
    if (!v.isValid()) {
      writeText(out, std::string_view(null_.constData(), size_t(null_.size())));
      continue;
    }
    scratch.resize(0);
    formatter_.appendValue(scratch, v, columns_[f].type);
    writeText(out, std::string_view(scratch.constData(), size_t(scratch.size())));
  }
}

void DelimitedRowWriter::writeCell(Sink& out, const Column& c, int64_t row, QByteArray& scratch) const {
  const ColumnStore& s = *c.store;
  if (s.isNull(row)) {
    writeText(out, std::string_view(null_.constData(), size_t(null_.size())));
    return;
  }
  // A number or date is written in place; when its text may need quotes
  // it is written aside first and then checked as text.
  char local[64];
  char* at = nullptr;
  char* end = nullptr;
  switch (c.kind) {
    case Kind::Text: {
      writeText(out, s.bytesAt(row));
      return;
    }
    case Kind::Integer:
      at = c.check ? local : out.room(24);
      end = std::to_chars(at, at + 24, s.integerAt(row)).ptr;
      break;
    case Kind::Real: {
      const double v = c.type == adSingle ? singleAsDecimal(s.realAt(row)) : s.realAt(row);
      at = c.check ? local : out.room(CellFormatter::kMaxRealBytes);
      end = formatter_.writeReal(at, v);
      break;
    }
    case Kind::DateTime:
      if (c.check) {
        scratch.resize(qsizetype(formatter_.maxDateTimeBytes()));
        at = scratch.data();
      } else {
        at = out.room(formatter_.maxDateTimeBytes());
      }
      end = formatter_.writeDateTime(at, s.oleMsecsAt(row), c.type);
      break;
    case Kind::General:
      break;
  }
  if (end && !c.check) {
    out.advance(end);
    return;
  }
  if (end) {
    writeText(out, std::string_view(at, size_t(end - at)));
    return;
  }
  scratch.resize(0);
  formatter_.appendStored(scratch, s, row, c.type);
  writeText(out, std::string_view(scratch.constData(), size_t(scratch.size())));
}

bool DelimitedRowWriter::mayNeedQuotes(std::string_view text) const {
  // Eight bytes at a time for the bytes that matter: most cells hold none.
  // A delimiter of several bytes is looked for by its first.
  const char first = col_.isEmpty() ? '"' : col_[0];
  const uint64_t delimiter = kOnes * uint8_t(first);
  const char* p = text.data();
  const char* const end = p + text.size();
  for (; end - p >= 8; p += 8) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    if (hasByte(v, kOnes * uint8_t('"')) | hasByte(v, kOnes * uint8_t('\r')) | hasByte(v, kOnes * uint8_t('\n')) |
        hasByte(v, delimiter))
      return true;
  }
  for (; p < end; ++p)
    if (*p == '"' || *p == '\r' || *p == '\n' || *p == first) return true;
  return false;
}

void DelimitedRowWriter::writeText(Sink& out, std::string_view text) const {
  qsizetype quotes = 0;
  if (!quote_ || !mayNeedQuotes(text) || !delimitedCellNeedsQuotes(text, col_, quotes)) {
    out.put(text.data(), text.size());
    return;
  }
  char* p = out.room(text.size() + size_t(quotes) + 2);
  *p++ = '"';
  for (char ch : text) {
    *p++ = ch;
    if (ch == '"') *p++ = '"';
  }
  *p++ = '"';
  out.advance(p);
}

}  // namespace dataaccess
