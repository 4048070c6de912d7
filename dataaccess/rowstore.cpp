#include "rowstore.h"

namespace dataaccess {

RowStore::RowStore(std::vector<FieldInfo> fields) : fields_(std::move(fields)) {
  columns_.reserve(fields_.size());
  for (const FieldInfo& f : fields_) columns_.emplace_back(f.type);
}

std::shared_ptr<RowStore> RowStore::selectRows(std::shared_ptr<const RowStore> base, std::vector<uint32_t> rows) {
  auto result = std::make_shared<RowStore>(base->fields());
  auto selection = std::make_shared<const std::vector<uint32_t>>(std::move(rows));
  for (int f = 0; f < base->fieldCount(); ++f) result->columns_[size_t(f)] = ColumnStore::viewOf(base->column(f), selection);
  result->rows_ = int64_t(selection->size());
  if (!base->rowKeys_.empty()) {
    result->rowKeys_.reserve(selection->size());
    for (uint32_t r : *selection) result->rowKeys_.push_back(base->rowKey(r));
  }
  result->baseTable = base->baseTable;
  result->selectedFrom_ = std::move(base);
  result->selection_ = std::move(selection);
  return result;
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
  size_t total = rowKeys_.capacity() * 8 + (selection_ ? selection_->capacity() * 4 : 0);
  for (const ColumnStore& c : columns_) total += c.memoryUsage();
  return total;
}

}  // namespace dataaccess
