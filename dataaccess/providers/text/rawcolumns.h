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
// cell costs its text plus a byte. They lie end to end in one mapping taken
// straight from the system, which grows by moving its pages (no copy) and
// gives its pages back a few megabytes at a time while it is drained, so
// that they do not add to the peak. One mapping per column, rather than many
// blocks, keeps the calls that hand memory back (each of which stops every
// thread of the process to flush its address cache) to a few per column.
class CellArena {
 public:
  CellArena() = default;
  CellArena(CellArena&& o) noexcept
      : data_(o.data_), used_(o.used_), capacity_(o.capacity_), forgotten_(o.forgotten_) {
    o.data_ = nullptr;
    o.used_ = o.capacity_ = o.forgotten_ = 0;
  }
  CellArena& operator=(CellArena&& o) noexcept {
    std::swap(data_, o.data_);
    std::swap(used_, o.used_);
    std::swap(capacity_, o.capacity_);
    std::swap(forgotten_, o.forgotten_);
    return *this;
  }
  CellArena(const CellArena&) = delete;
  CellArena& operator=(const CellArena&) = delete;
  ~CellArena() { release(); }

  void appendNull() {
    *room(1) = 0;
    ++used_;
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
    used_ += size_t(p - start) + v.size();
  }
  // Copies the cells of `other` after these ones; `other` is left empty
  // and keeps its memory, to be filled again.
  void take(CellArena& other);
  // Forgets the cells, keeping the memory.
  void clear() { used_ = 0; }
  size_t bytesUsed() const { return used_; }

  // Calls f(cell, isNull) for every cell in order.
  template <class F>
  void forEach(F&& f) const {
    if (used_) readCells(data_, data_ + used_, f);
  }
  // The cells' bytes, read one cell at a time with nextCell (a reader on
  // another thread, while these cells do not change; textgrowing.h).
  const char* data() const { return data_; }
  // Reads the cell that starts at `p`; returns where the next one starts.
  static const char* nextCell(const char* p, std::string_view& cell, bool& null) {
    auto take = [&](std::string_view v, bool n) {
      cell = v;
      null = n;
    };
    return readCells(p, p + 1, take);
  }
  // Like forEach, giving the memory back as the cells are read; the arena
  // is left empty.
  template <class F>
  void drain(F&& f) {
    constexpr size_t kStep = size_t(4) << 20;
    const char* p = data_;
    const char* const end = data_ + used_;
    while (p < end) {
      const char* stop = end - p > ptrdiff_t(kStep) ? p + kStep : end;
      p = readCells(p, stop, f);
      forgetBefore(p);
    }
    release();
  }

 private:
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
    if (used_ + need > capacity_) grow(need);
    return data_ + used_;
  }
  void grow(size_t need);
  // Gives back the whole pages before `p` not given back yet.
  void forgetBefore(const char* p);
  void release();

  char* data_ = nullptr;
  size_t used_ = 0;
  size_t capacity_ = 0;
  size_t forgotten_ = 0;  // bytes at the start already given back while draining
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

// Prepares `segment` to read the records that follow those in `cols`,
// reusing the memory of its columns' cells from the stretch before.
void startSegment(std::vector<RawColumn>& segment, const std::vector<RawColumn>& cols);

// Joins the `segmentRows` rows read into `segment` (after startSegment)
// onto the `rows` rows of `cols`, guessing types as if one reader had read
// them all in order; the cells of `segment` are left empty, their memory
// kept for the next stretch.
void appendSegment(std::vector<RawColumn>& cols, int64_t rows, std::vector<RawColumn>& segment, int64_t segmentRows,
                   bool scanning, const ValueParser& values);

}  // namespace dataaccess::text
