#include "rawcolumns.h"

#include <algorithm>
#include <new>
#include <cstring>
#include <sys/mman.h>

namespace dataaccess::text {

namespace {

constexpr size_t kTextSize = 255;

size_t utf8Chars(std::string_view s) {
  size_t n = 0;
  for (char c : s) n += (uint8_t(c) & 0xC0) != 0x80;
  return n;
}

}  // namespace

void CellArena::grow(size_t need) {
  constexpr size_t kPage = 4096;
  // Doubling: untouched pages of the mapping cost address space only.
  const size_t least = cur_.data ? cur_.capacity * 2 : std::max(nextCapacity_, size_t(64) << 10);
  const size_t want = (std::max(least, cur_.used + need) + kPage - 1) / kPage * kPage;
  void* p = cur_.data ? ::mremap(cur_.data, cur_.capacity, want, MREMAP_MAYMOVE)
                      : ::mmap(nullptr, want, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
  cur_.data = static_cast<char*>(p);
  cur_.capacity = want;
}

void CellArena::prepare(size_t need) {
  if (cur_.used + need > cur_.capacity) grow(need);
  // Pages taken a few dozen at a time in one call rather than one fault
  // each: faults are most of the cost of filling fresh memory.
  constexpr size_t kAhead = size_t(64) << 10;
  constexpr size_t kPage = 4096;
  const size_t from = cur_.ready / kPage * kPage;
  const size_t to = std::min(cur_.capacity, (cur_.used + need + kAhead + kPage - 1) / kPage * kPage);
  if (to > from && ::madvise(cur_.data + from, to - from, MADV_POPULATE_WRITE) != 0) {
    cur_.ready = cur_.capacity;  // not supported here: pages come by faults
    return;
  }
  cur_.ready = to;
}

void CellArena::forgetBefore(Block& b, const char* p) {
  constexpr size_t kPage = 4096;
  const size_t upTo = size_t(p - b.data) / kPage * kPage;
  if (upTo <= b.forgotten) return;
  ::madvise(b.data + b.forgotten, upTo - b.forgotten, MADV_DONTNEED);
  b.forgotten = upTo;
}

void CellArena::unmap(Block& b) {
  if (b.data) ::munmap(b.data, b.capacity);
  b = Block();
}

void CellArena::release() {
  for (Block& b : earlier_) unmap(b);
  earlier_.clear();
  unmap(cur_);
}

void CellArena::clear() {
  for (Block& b : earlier_) unmap(b);
  earlier_.clear();
  cur_.used = 0;
}

void CellArena::take(CellArena& other) {
  if (other.bytesUsed() == 0) return;
  auto retire = [](CellArena& a, std::vector<Block>& to) {
    a.nextCapacity_ = std::max(a.nextCapacity_, a.cur_.capacity);
    if (a.cur_.used)
      to.push_back(a.cur_);
    else
      unmap(a.cur_);
    a.cur_ = Block();
  };
  retire(*this, earlier_);
  earlier_.insert(earlier_.end(), other.earlier_.begin(), other.earlier_.end());
  other.earlier_.clear();
  retire(other, earlier_);
}

void RawColumn::add(std::string_view v, bool scanning, const ValueParser& values) {
  if (v.empty()) {
    cells.appendNull();
    return;
  }
  cells.append(v);
  bytes += v.size();
  if (v.size() > kTextSize && !over255 && utf8Chars(v) > kTextSize) over255 = true;
  if (scanning) scan(v, values);
}

void RawColumn::scan(std::string_view v, const ValueParser& values) {
  if (!possible) {
    scannedValue = true;
    return;
  }
  // A cell of blanks is kept (as text, should the column be text) but
  // does not turn a column of numbers or dates into text.
  const ValueParser::Kind kind = values.classify(v, possible);
  if (kind == ValueParser::kBlank) return;
  scannedValue = true;
  switch (kind) {
    case ValueParser::kBlank: break;
    case ValueParser::kInteger: possible &= ValueParser::kInteger | ValueParser::kReal; break;
    case ValueParser::kReal: possible &= ValueParser::kReal; break;
    case ValueParser::kDate: possible &= ValueParser::kDate; break;
    case ValueParser::kText: possible = 0; break;
  }
}

DataTypeEnum RawColumn::guessedType() const {
  if (scannedValue && possible) {
    if (possible & ValueParser::kInteger) return adInteger;
    if (possible & ValueParser::kReal) return adDouble;
    if (possible & ValueParser::kDate) return adDate;
  }
  return over255 ? adLongVarWChar : adVarWChar;
}

void addRecord(std::vector<RawColumn>& cols, int64_t rows, const std::vector<std::string_view>& fields,
               bool scanning, const ValueParser& values) {
  if (fields.size() > cols.size()) {
    const size_t old = cols.size();
    cols.resize(fields.size());
    for (size_t i = old; i < cols.size(); ++i) cols[i].cells.appendNulls(rows);
  }
  size_t i = 0;
  for (; i < fields.size(); ++i) cols[i].add(fields[i], scanning, values);
  for (; i < cols.size(); ++i) cols[i].cells.appendNull();
}

void startSegment(std::vector<RawColumn>& segment, const std::vector<RawColumn>& cols) {
  segment.resize(cols.size());
  for (size_t i = 0; i < cols.size(); ++i) {
    RawColumn& s = segment[i];
    s.cells.clear();
    s.possible = s.startPossible = cols[i].possible;
    s.scannedValue = s.over255 = false;
    s.bytes = 0;
  }
}

void appendSegment(std::vector<RawColumn>& cols, int64_t rows, std::vector<RawColumn>& segment, int64_t segmentRows,
                   bool scanning, const ValueParser& values) {
  if (cols.size() < segment.size()) {
    const size_t old = cols.size();
    cols.resize(segment.size());
    for (size_t i = old; i < cols.size(); ++i) cols[i].cells.appendNulls(rows);
  }
  for (size_t i = 0; i < cols.size(); ++i) {
    RawColumn& c = cols[i];
    if (i >= segment.size()) {  // the segment's rows were all shorter
      c.cells.appendNulls(segmentRows);
      continue;
    }
    RawColumn& s = segment[i];
    if (scanning) {
      if (c.possible == s.startPossible) {
        // The segment began from this very state, so its guess is the one a
        // single reader would have reached.
        c.possible = s.possible;
        c.scannedValue = c.scannedValue || s.scannedValue;
      } else {
        s.cells.forEach([&](std::string_view v, bool null) {
          if (!null) c.scan(v, values);
        });
      }
    }
    c.over255 = c.over255 || s.over255;
    c.bytes += s.bytes;
    c.cells.take(s.cells);
  }
}

}  // namespace dataaccess::text
