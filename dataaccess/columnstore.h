// Compact storage of one column of a row set. Values are kept in typed
// arrays (integers, reals, Booleans, dates as milliseconds) or, for text and
// binary data, in one byte arena with an end offset per row, so that a table
// of millions of rows costs a few bytes per cell and no heap object per cell.
// Text is kept as UTF-8.
//
// A column can also be a view: a list of rows of another column (a sorted or
// filtered result over a cached table), reading that column's values without
// copying them. Replacing a value in a view (set) keeps the replacement in
// the view; appending to one first copies the rows it shows.
#pragma once

#include "adtypes.h"

#include <QString>
#include <QVariant>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace dataaccess {

class ColumnStore {
 public:
  enum class Storage : uint8_t { Integer, Real, Boolean, DateTime, Text, Bytes };

  explicit ColumnStore(DataTypeEnum type);

  static Storage storageFor(DataTypeEnum type);

  // A view of the rows `rows` of `base`, in that order. A view of a view
  // reads the first column directly. REQUIRES: `base` (or the column it
  // views) outlives the view and is not changed while the view exists; every
  // entry of `rows` is below base.size().
  static ColumnStore viewOf(const ColumnStore& base, std::shared_ptr<const std::vector<uint32_t>> rows);
  bool isView() const { return base_ != nullptr; }

  DataTypeEnum type() const { return type_; }
  Storage storage() const { return storage_; }
  int64_t size() const { return size_; }
  void reserve(int64_t rows, int64_t bytes = 0);
  // Releases spare capacity once loading is done.
  void shrinkToFit();

  // Appending. REQUIRES: the typed calls match storage(): appendInteger for
  // Integer, appendReal for Real, appendBoolean for Boolean, appendOleMsecs
  // for DateTime, appendBytes/appendText for Text (UTF-8) and Bytes (raw).
  void appendNull();
  void appendInteger(int64_t v);
  void appendReal(double v);
  void appendBoolean(bool v);
  void appendOleMsecs(int64_t ms);
  void appendBytes(std::string_view bytes);
  void appendText(QStringView text);
  // Appends a value in the canonical form of values.h for type().
  void appendValue(const QVariant& v);

  bool isNull(int64_t row) const {
    if (!replaced_.empty()) return replacedIsNull(row);
    if (base_) return base_->isNull(map_[row]);
    const size_t word = size_t(row / 64);
    return word < nullBits_.size() && (nullBits_[word] >> (row % 64)) & 1;
  }
  // The canonical value (values.h) of a row; an invalid QVariant for Null.
  QVariant value(int64_t row) const;

  // Fast typed reads for writers and the SQL engine.
  // REQUIRES: !isNull(row), the storage matches, and no value of the row was
  // replaced with set() (see hasReplacements()).
  int64_t integerAt(int64_t row) const { return base_ ? base_->ints_[map_[row]] : ints_[size_t(row)]; }
  double realAt(int64_t row) const { return base_ ? base_->reals_[map_[row]] : reals_[size_t(row)]; }
  bool booleanAt(int64_t row) const { return (base_ ? base_->bools_[map_[row]] : bools_[size_t(row)]) != 0; }
  int64_t oleMsecsAt(int64_t row) const { return integerAt(row); }
  std::string_view bytesAt(int64_t row) const {
    if (base_) return base_->bytesAt(map_[row]);
    const uint64_t end = ends_[size_t(row)];
    const uint64_t begin = row == 0 ? 0 : ends_[size_t(row - 1)];
    return std::string_view(arena_.data() + begin, size_t(end - begin));
  }
  bool hasReplacements() const { return !replaced_.empty() || (base_ && base_->hasReplacements()); }

  // Replaces the value of a row after loading (a re-read or a saved edit).
  // On a view the replacement stays in the view; the viewed column keeps
  // its value.
  void set(int64_t row, const QVariant& canonical);

  size_t memoryUsage() const;

 private:
  void markNull();
  bool replacedIsNull(int64_t row) const;
  // Turns a view into a column of its own, copying the rows it shows
  // (replacements stay as they are). Does nothing to a column of its own.
  void materialize();
  void appendStoredRow(const ColumnStore& from, int64_t row);

  DataTypeEnum type_;
  Storage storage_;
  int64_t size_ = 0;
  std::vector<int64_t> ints_;     // Integer, DateTime
  std::vector<double> reals_;     // Real
  std::vector<uint8_t> bools_;    // Boolean
  std::string arena_;             // Text, Bytes
  std::vector<uint64_t> ends_;    // Text, Bytes: end offset of each row
  std::vector<uint64_t> nullBits_;  // allocated at the first Null
  std::unordered_map<int64_t, QVariant> replaced_;
  // A view: the column read and, for each row of the view, its row there.
  const ColumnStore* base_ = nullptr;
  std::shared_ptr<const std::vector<uint32_t>> rows_;
  const uint32_t* map_ = nullptr;  // rows_->data()
};

}  // namespace dataaccess
