#include "rowstore.h"

namespace dataaccess {

RowStore::RowStore(std::vector<FieldInfo> fields) : fields_(std::move(fields)) {
  columns_.reserve(fields_.size());
  for (const FieldInfo& f : fields_) columns_.emplace_back(f.type);
}

int RowStore::fieldIndex(const QString& name) const {
  for (size_t i = 0; i < fields_.size(); ++i)
    if (fields_[i].name.compare(name, Qt::CaseInsensitive) == 0) return int(i);
  return -1;
}

void RowStore::appendRow(const std::vector<QVariant>& values) {
  for (size_t i = 0; i < columns_.size(); ++i) columns_[i].appendValue(i < values.size() ? values[i] : QVariant());
  ++rows_;
}

void RowStore::reserve(int64_t rows) {
  for (ColumnStore& c : columns_) c.reserve(rows);
}

void RowStore::shrinkToFit() {
  for (ColumnStore& c : columns_) c.shrinkToFit();
  rowKeys_.shrink_to_fit();
}

size_t RowStore::memoryUsage() const {
  size_t total = rowKeys_.capacity() * 8;
  for (const ColumnStore& c : columns_) total += c.memoryUsage();
  return total;
}

}  // namespace dataaccess
