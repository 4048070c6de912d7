// The rows of a table read so far, while a reader is still reading it: what
// a load hands to whoever shows rows before the whole table is there
// (LoadControl's partial-rows sink). The rows are read on demand, one cell at
// a time, from whatever the reader holds, so handing them out costs neither a
// copy nor memory beyond a small index.
//
// An object of this kind is handed out once and then grows: rowCount() only
// ever increases, and a row below it keeps its values. It may be read from
// any thread while the reader goes on. Once the reader is done with it (the
// whole table is built, or the load stopped or failed) it is closed: the
// rows it handed out can no longer be read and every value reads as Null;
// the finished table takes its place.
#pragma once

#include "fieldinfo.h"
#include "rowstore.h"

#include <QVariant>
#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace dataaccess {

class PartialRows {
 public:
  virtual ~PartialRows() = default;

  // The rows that may be read now.
  virtual int64_t rowCount() const = 0;
  // The fields, typed as the rows read so far look (a column's type may
  // widen as more of the table is seen).
  virtual std::vector<FieldInfo> fields() const = 0;
  // The canonical value (values.h) of a cell, typed as fields() says; an
  // invalid QVariant for Null, for a cell out of range and once closed.
  virtual QVariant value(int64_t row, int column) const = 0;
  // The values of `rows` rows from `firstRow` (fewer past rowCount()), row
  // by row, `columns` to a row (Null past the fields): what a grid shows at
  // once, read in one go.
  virtual std::vector<QVariant> values(int64_t firstRow, int64_t rows, int columns) const {
    std::vector<QVariant> out;
    const int64_t last = std::min(firstRow + rows, rowCount());
    for (int64_t r = std::max<int64_t>(firstRow, 0); r < last; ++r)
      for (int c = 0; c < columns; ++c) out.push_back(value(r, c));
    return out;
  }
  // Whether the rows can still be read.
  virtual bool readable() const = 0;
};

// Rows already held in a store of their own, handed out as partial rows (a
// reader that builds its rows in a store as it goes).
class StorePartialRows : public PartialRows {
 public:
  explicit StorePartialRows(RowStorePtr rows) : rows_(std::move(rows)) {}
  int64_t rowCount() const override { return rows_ ? rows_->rowCount() : 0; }
  std::vector<FieldInfo> fields() const override { return rows_ ? rows_->fields() : std::vector<FieldInfo>{}; }
  QVariant value(int64_t row, int column) const override {
    if (!rows_ || row < 0 || row >= rows_->rowCount() || column < 0 || column >= rows_->fieldCount()) return {};
    return rows_->value(row, column);
  }
  bool readable() const override { return bool(rows_); }

 private:
  RowStorePtr rows_;
};

using PartialRowsPtr = std::shared_ptr<const PartialRows>;

}  // namespace dataaccess
