// The rows a provider returns: field descriptions plus one ColumnStore per
// field. A RowStore is filled once by a provider (or the SQL engine) and then
// only read; recordsets share it and keep their edits apart (see Recordset).
// A sorted or filtered result can be a selection of another store's rows
// (selectRows): its columns are views over the shared columns of that store,
// which it keeps alive, so the result costs four bytes a row.
#pragma once

#include "columnstore.h"
#include "fieldinfo.h"

#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

namespace dataaccess {

class RowStore {
 public:
  explicit RowStore(std::vector<FieldInfo> fields);

  // The rows `rows` of `base`, in that order, as views over its columns.
  // REQUIRES: every entry is below base->rowCount().
  static std::shared_ptr<RowStore> selectRows(std::shared_ptr<const RowStore> base, std::vector<uint32_t> rows);

  RowStore(const RowStore&) = delete;
  RowStore& operator=(const RowStore&) = delete;

  const std::vector<FieldInfo>& fields() const { return fields_; }
  const FieldInfo& field(int i) const { return fields_[size_t(i)]; }
  int fieldCount() const { return int(fields_.size()); }
  int64_t rowCount() const { return rows_; }
  // Index of the field named `name` (case-insensitive), or -1.
  int fieldIndex(const QString& name) const;

  ColumnStore& column(int i) { return columns_[size_t(i)]; }
  const ColumnStore& column(int i) const { return columns_[size_t(i)]; }
  QVariant value(int64_t row, int field) const { return columns_[size_t(field)].value(row); }

  // Appends one row of canonical values (values.h), one per field.
  void appendRow(const std::vector<QVariant>& values);
  // Counts a row whose values were appended column by column.
  // REQUIRES: every column holds rowCount() + 1 values.
  void commitRow() { ++rows_; }
  void reserve(int64_t rows);
  void shrinkToFit();

  // Provider identity of each row (a record number, ...), used to write
  // changes back and to re-read a row. Empty when the provider needs none.
  std::vector<int64_t>& rowKeys() { return rowKeys_; }
  const std::vector<int64_t>& rowKeys() const { return rowKeys_; }
  int64_t rowKey(int64_t row) const { return size_t(row) < rowKeys_.size() ? rowKeys_[size_t(row)] : -1; }

  // The table the rows were read from, when they come from exactly one.
  QString baseTable;

  size_t memoryUsage() const;

 private:
  std::vector<FieldInfo> fields_;
  std::vector<ColumnStore> columns_;
  std::vector<int64_t> rowKeys_;
  int64_t rows_ = 0;
  // For a selection: the store whose columns this one's view, and the rows.
  std::shared_ptr<const RowStore> selectedFrom_;
  std::shared_ptr<const std::vector<uint32_t>> selection_;
};

using RowStorePtr = std::shared_ptr<const RowStore>;

}  // namespace dataaccess
