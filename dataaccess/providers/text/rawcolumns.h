// The columns of a delimited text file while it is read: each column's
// cells as compact UTF-8 lists and what its type can still be. A stretch of
// records may be read on another thread into its own RawColumns and then
// joined onto the table's with appendSegment, with the same result as one
// thread reading every record in order.
#pragma once

#include "../../adtypes.h"
#include "textvalues.h"

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace dataaccess::text {

// The cells of one column while the file is read: each cell is a varint of
// its length + 1 (0 for an empty cell) followed by its UTF-8 bytes, so a
// cell costs its text plus a byte. They lie end to end in mappings taken
// straight from the system: one that grows by moving its pages (no copy),
// preceded by the earlier mappings of stretches read on another thread and
// joined on (take) without copying. While the cells are drained the pages
// are given back a few megabytes at a time, so that they do not add to the
// peak.
class CellArena {
 public:
  CellArena() = default;
  CellArena(CellArena&& o) noexcept { swap(o); }
  CellArena& operator=(CellArena&& o) noexcept {
    swap(o);
    return *this;
  }
  CellArena(const CellArena&) = delete;
  CellArena& operator=(const CellArena&) = delete;
  ~CellArena() { release(); }

  void appendNull() {
    *room(1) = 0;
    ++cur_.used;
  }
  void appendNulls(int64_t n) {
    for (int64_t i = 0; i < n; ++i) appendNull();
  }
  void append(std::string_view v) {
    char* start = room(v.size() + 10);
    char* p = start;
    uint64_t x = uint64_t(v.size()) + 1;
    while (x >= 0x80) {
      *p++ = char(uint8_t(x) | 0x80);
      x >>= 7;
    }
    *p++ = char(x);
    std::memcpy(p, v.data(), v.size());
    cur_.used += size_t(p - start) + v.size();
  }
  // Puts the cells of `other` after these ones, taking over its memory
  // (no copy); `other` is left empty. Cells appended afterwards go into a
  // new mapping.
  void take(CellArena& other);
  // Forgets the cells, keeping the memory of the growing mapping.
  void clear();
  size_t bytesUsed() const {
    size_t n = cur_.used;
    for (const Block& b : earlier_) n += b.used;
    return n;
  }

  // Calls f(cell, isNull) for every cell in order.
  template <class F>
  void forEach(F&& f) const {
    for (const Block& b : earlier_)
      if (b.used) readCells(b.data, b.data + b.used, f);
    if (cur_.used) readCells(cur_.data, cur_.data + cur_.used, f);
  }
  // Where a cell starts: the mapping (the earlier ones in order, then the
  // one appended to) and the offset in it. A place stays good while cells
  // are appended or taken over, as mappings are only ever added after the
  // others; a place at the end of a mapping stands for the start of the next.
  struct Place {
    size_t block = 0;
    size_t offset = 0;
  };
  // Reads the cell at `at` and moves `at` past it; a place past the last
  // cell reads as Null. For a reader on another thread while these cells do
  // not change (textgrowing.h).
  void readAt(Place& at, std::string_view& cell, bool& null) const {
    const Block* b = nullptr;
    for (;;) {
      if (at.block > earlier_.size()) {
        cell = {};
        null = true;
        return;
      }
      b = at.block < earlier_.size() ? &earlier_[at.block] : &cur_;
      if (at.offset < b->used) break;
      ++at.block;
      at.offset = 0;
    }
    const char* p = b->data + at.offset;
    auto take = [&](std::string_view v, bool n) {
      cell = v;
      null = n;
    };
    at.offset += size_t(readCells(p, p + 1, take) - p);
  }
  // Like forEach, giving the memory back as the cells are read; the arena
  // is left empty.
  template <class F>
  void drain(F&& f) {
    for (Block& b : earlier_) drainBlock(b, f);
    drainBlock(cur_, f);
    release();
  }

 private:
  struct Block {
    char* data = nullptr;
    size_t used = 0;
    size_t capacity = 0;
    size_t forgotten = 0;  // bytes at the start already given back while draining
    size_t ready = 0;      // bytes from the start with their pages in place
  };

  // Reads the cells of `b` and unmaps it.
  template <class F>
  static void drainBlock(Block& b, F& f) {
    constexpr size_t kStep = size_t(4) << 20;
    const char* p = b.data;
    const char* const end = b.data + b.used;
    while (p < end) {
      const char* stop = end - p > ptrdiff_t(kStep) ? p + kStep : end;
      p = readCells(p, stop, f);
      if (p < end) forgetBefore(b, p);
    }
    unmap(b);
  }
  // Reads the cells that start before `stop` (the last may run on past
  // it); returns where the next cell starts.
  template <class F>
  static const char* readCells(const char* p, const char* stop, F& f) {
    while (p < stop) {
      uint64_t x = 0;
      int shift = 0;
      uint8_t c;
      do {
        c = uint8_t(*p++);
        x |= uint64_t(c & 0x7F) << shift;
        shift += 7;
      } while (c & 0x80);
      if (x == 0) {
        f(std::string_view(), true);
      } else {
        f(std::string_view(p, size_t(x - 1)), false);
        p += x - 1;
      }
    }
    return p;
  }
  char* room(size_t need) {
    if (cur_.used + need > cur_.ready) prepare(need);
    return cur_.data + cur_.used;
  }
  // Makes room for `need` more bytes: grows the mapping when it is full and
  // has the system supply the pages ahead in one call.
  void prepare(size_t need);
  void grow(size_t need);
  // Gives back the whole pages of `b` before `p` not given back yet.
  static void forgetBefore(Block& b, const char* p);
  static void unmap(Block& b);
  void release();
  void swap(CellArena& o) noexcept {
    std::swap(cur_, o.cur_);
    std::swap(earlier_, o.earlier_);
    std::swap(nextCapacity_, o.nextCapacity_);
  }

  Block cur_;                  // the mapping appended to
  std::vector<Block> earlier_;  // full mappings before it, in order
  // The size of the next new mapping: the largest this arena's mappings
  // grew to, so that the stretches after the first need no growth.
  size_t nextCapacity_ = 0;
};

// One column while reading: its cells and what its type can still be.
struct RawColumn {
  CellArena cells;
  unsigned possible = ValueParser::kInteger | ValueParser::kReal | ValueParser::kDate;
  unsigned startPossible = possible;  // `possible` when this stretch of records began
  bool scannedValue = false;  // a non-empty cell within the scanned rows
  bool over255 = false;       // a cell longer than 255 characters
  uint64_t bytes = 0;

  void add(std::string_view v, bool scanning, const ValueParser& values);
  // The type guess's part of add.
  void scan(std::string_view v, const ValueParser& values);
  DataTypeEnum guessedType() const;
};

// Adds one record's fields as the next row; a ragged row longer than any
// before adds columns, Null above.
void addRecord(std::vector<RawColumn>& cols, int64_t rows, const std::vector<std::string_view>& fields,
               bool scanning, const ValueParser& values);

// Prepares `segment` to read the records that follow those in `cols`.
void startSegment(std::vector<RawColumn>& segment, const std::vector<RawColumn>& cols);

// Joins the `segmentRows` rows read into `segment` (after startSegment)
// onto the `rows` rows of `cols`, guessing types as if one reader had read
// them all in order; the cells of `segment` move over without a copy,
// leaving it empty.
void appendSegment(std::vector<RawColumn>& cols, int64_t rows, std::vector<RawColumn>& segment, int64_t segmentRows,
                   bool scanning, const ValueParser& values);

}  // namespace dataaccess::text
