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

// Memory for the cell lists, taken straight from the system so that each
// block goes back to it as soon as it has been converted: from the general
// heap it would stay with the process and add to the peak.
class MappedBlock {
 public:
  MappedBlock() = default;
  explicit MappedBlock(size_t capacity);
  MappedBlock(MappedBlock&& o) noexcept : data_(o.data_), capacity_(o.capacity_), used(o.used) { o.data_ = nullptr; }
  MappedBlock& operator=(MappedBlock&& o) noexcept {
    std::swap(data_, o.data_);
    std::swap(capacity_, o.capacity_);
    std::swap(used, o.used);
    return *this;
  }
  ~MappedBlock() { release(); }
  void release();
  char* data() const { return data_; }
  size_t capacity() const { return capacity_; }

 private:
  char* data_ = nullptr;
  size_t capacity_ = 0;

 public:
  size_t used = 0;
};

// The cells of one column while the file is read: each cell is a varint of
// its length + 1 (0 for an empty cell) followed by its UTF-8 bytes, packed
// into blocks that grow up to 1 MB, so a cell costs its text plus a byte.
class CellArena {
 public:
  void appendNull() {
    *room(1) = 0;
    ++blocks_.back().used;
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
    blocks_.back().used += size_t(p - start) + v.size();
  }
  // Moves the cells of `other` after these ones; `other` is left empty.
  void take(CellArena& other);

  // Calls f(cell, isNull) for every cell in order.
  template <class F>
  void forEach(F&& f) const {
    for (const MappedBlock& b : blocks_) readBlock(b, f);
  }
  // Like forEach, releasing each block once it has been read.
  template <class F>
  void drain(F&& f) {
    for (MappedBlock& b : blocks_) {
      readBlock(b, f);
      b.release();
    }
    blocks_.clear();
    blocks_.shrink_to_fit();
  }

 private:
  template <class F>
  static void readBlock(const MappedBlock& b, F& f) {
    const char* p = b.data();
    const char* const end = p + b.used;
    while (p < end) {
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
  }
  char* room(size_t need) {
    if (blocks_.empty() || blocks_.back().used + need > blocks_.back().capacity()) grow(need);
    return blocks_.back().data() + blocks_.back().used;
  }
  void grow(size_t need);

  std::vector<MappedBlock> blocks_;
  size_t nextCapacity_ = 4096;
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
// them all in order; `segment` is left empty.
void appendSegment(std::vector<RawColumn>& cols, int64_t rows, std::vector<RawColumn>& segment, int64_t segmentRows,
                   bool scanning, const ValueParser& values);

}  // namespace dataaccess::text
