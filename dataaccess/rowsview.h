// Read access to the current rows of a recordset, for the writers that
// walk all of them (XML persistence, delimited text, the converter). Rows
// without edits are read straight from the compact store; edited rows come
// as a vector of their current values.
#pragma once

#include "fieldinfo.h"
#include "rowstore.h"

#include <QVariant>
#include <vector>

namespace dataaccess {

class RowsView {
 public:
  virtual ~RowsView() = default;
  virtual const std::vector<FieldInfo>& fields() const = 0;
  virtual int64_t rowCount() const = 0;
  // The store behind the rows. REQUIRES: rows are available (open).
  virtual const RowStore& store() const = 0;
  // The current values of a row that carries an edit, or nullptr when the
  // row is exactly as stored.
  virtual const std::vector<QVariant>* editedRow(int64_t row) const = 0;

  QVariant value(int64_t row, int field) const {
    if (const std::vector<QVariant>* e = editedRow(row)) return (*e)[size_t(field)];
    return store().value(row, field);
  }
};

}  // namespace dataaccess
