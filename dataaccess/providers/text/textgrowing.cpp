#include "textgrowing.h"

#include <algorithm>

namespace dataaccess::text {

namespace {
// Rows between two remembered cell offsets: finding a row reads at most
// this many cells of its column.
constexpr int64_t kStride = 256;
}  // namespace

GrowingTextRows::GrowingTextRows(const std::vector<RawColumn>* cols, const QLocale& locale)
    : cols_(cols), values_(locale) {}

void GrowingTextRows::publish(int64_t rows, std::vector<FieldInfo> fields) {
  rows_ = std::max(rows_, rows);
  fields_ = std::move(fields);
}

void GrowingTextRows::close() {
  std::unique_lock<std::shared_mutex> hold(lock_);
  cols_ = nullptr;
  std::lock_guard<std::mutex> marks(marksLock_);
  decltype(marks_)().swap(marks_);
}

std::shared_lock<std::shared_mutex> GrowingTextRows::readLock() const {
  waiting_.fetch_add(1, std::memory_order_relaxed);
  std::shared_lock<std::shared_mutex> hold(lock_);
  waiting_.fetch_sub(1, std::memory_order_release);
  return hold;
}

int64_t GrowingTextRows::rowCount() const {
  const auto hold = readLock();
  return rows_;
}

std::vector<FieldInfo> GrowingTextRows::fields() const {
  const auto hold = readLock();
  return fields_;
}

bool GrowingTextRows::readable() const {
  const auto hold = readLock();
  return cols_ != nullptr;
}

CellArena::Place GrowingTextRows::cellAt(int64_t row, size_t column) const {
  const CellArena& cells = (*cols_)[column].cells;
  std::string_view skipped;
  bool null = false;
  std::lock_guard<std::mutex> hold(marksLock_);
  if (marks_.size() <= column) marks_.resize(column + 1);
  std::vector<CellArena::Place>& marks = marks_[column];
  if (marks.empty()) marks.push_back({});
  // Every row below rows_ has its cell, so the strides up to `row` are there.
  const size_t stride = size_t(row / kStride);
  while (marks.size() <= stride) {
    CellArena::Place at = marks.back();
    for (int64_t i = 0; i < kStride; ++i) cells.readAt(at, skipped, null);
    marks.push_back(at);
  }
  CellArena::Place at = marks[stride];
  for (int64_t i = int64_t(stride) * kStride; i < row; ++i) cells.readAt(at, skipped, null);
  return at;
}

QVariant GrowingTextRows::value(int64_t row, int column) const {
  const auto hold = readLock();
  if (!cols_ || row < 0 || row >= rows_ || column < 0 || size_t(column) >= fields_.size()) return {};
  std::string_view cell;
  bool null = false;
  CellArena::Place at = cellAt(row, size_t(column));
  (*cols_)[size_t(column)].cells.readAt(at, cell, null);
  return textCellValue(fields_[size_t(column)].type, cell, null, values_);
}

std::vector<QVariant> GrowingTextRows::values(int64_t firstRow, int64_t rows, int columns) const {
  const auto hold = readLock();
  std::vector<QVariant> out;
  if (!cols_ || columns <= 0) return out;
  firstRow = std::max<int64_t>(firstRow, 0);
  const int64_t count = std::max<int64_t>(0, std::min(firstRow + rows, rows_) - firstRow);
  out.resize(size_t(count) * size_t(columns));
  std::string_view cell;
  bool null = false;
  for (int c = 0; c < columns && size_t(c) < fields_.size(); ++c) {
    if (count == 0) break;
    const CellArena& cells = (*cols_)[size_t(c)].cells;
    CellArena::Place at = cellAt(firstRow, size_t(c));
    for (int64_t r = 0; r < count; ++r) {
      cells.readAt(at, cell, null);
      out[size_t(r) * size_t(columns) + size_t(c)] = textCellValue(fields_[size_t(c)].type, cell, null, values_);
    }
  }
  return out;
}

}  // namespace dataaccess::text
