#include "recordsetmodel.h"

#include "dataaccess/values.h"

#include <algorithm>
#include <limits>

namespace viewer {

RecordsetModel::RecordsetModel(QObject* parent) : QAbstractTableModel(parent) {}

namespace {
// Rows read from a loading table at a time, and the blocks kept: a few
// screens' worth.
constexpr int kBlockRows = 64;
constexpr size_t kBlocks = 16;
}  // namespace

void RecordsetModel::setRecordset(std::shared_ptr<dataaccess::Recordset> rs) {
  beginResetModel();
  rs_ = std::move(rs);
  endGrowth();
  readShape();
  endResetModel();
}

void RecordsetModel::extend(std::shared_ptr<dataaccess::Recordset> rs) {
  const int oldRows = rows_;
  const int oldColumns = columns_;
  if ((!rs_ && !growing_) || !rs || rs->State() != dataaccess::adStateOpen || oldColumns == 0)
    return setRecordset(std::move(rs));
  const int rows = int(std::min<int64_t>(rs->rowCount(), std::numeric_limits<int>::max()));
  const int columns = int(rs->fields().size());
  if (rows < oldRows || columns < oldColumns) return setRecordset(std::move(rs));
  rs_ = std::move(rs);
  endGrowth();
  locale_ = QLocale();
  if (columns > oldColumns) {
    beginInsertColumns({}, oldColumns, columns - 1);
    columns_ = columns;
    endInsertColumns();
  }
  if (rows > oldRows) {
    beginInsertRows({}, oldRows, rows - 1);
    rows_ = rows;
    endInsertRows();
  }
  // The rows shown before may read differently now (a column's type can
  // change as more of the table is seen); only the painted ones are asked.
  if (oldRows > 0) emit dataChanged(index(0, 0), index(oldRows - 1, columns_ - 1));
  emit headerDataChanged(Qt::Horizontal, 0, columns_ - 1);
}

void RecordsetModel::grow(dataaccess::PartialRowsPtr rows) {
  if (!rows) return;
  std::vector<dataaccess::FieldInfo> fields = rows->fields();
  const int count = int(std::min<int64_t>(rows->rowCount(), std::numeric_limits<int>::max()));
  const int columns = int(fields.size());
  if (count < rows_ || columns < columns_ || columns == 0) return;
  const int oldRows = rows_;
  const int oldColumns = columns_;
  growing_ = std::move(rows);
  grownFields_ = std::move(fields);
  blocks_.clear();
  if (columns > oldColumns) {
    beginInsertColumns({}, oldColumns, columns - 1);
    columns_ = columns;
    endInsertColumns();
  }
  if (count > oldRows) {
    beginInsertRows({}, oldRows, count - 1);
    rows_ = count;
    endInsertRows();
  }
  // Types may have widened since: the rows shown before are asked again.
  if (oldRows > 0) emit dataChanged(index(0, 0), index(oldRows - 1, columns_ - 1));
  emit headerDataChanged(Qt::Horizontal, 0, columns_ - 1);
}

void RecordsetModel::endGrowth() {
  growing_.reset();
  grownFields_.clear();
  blocks_.clear();
}

void RecordsetModel::reload() {
  beginResetModel();
  endGrowth();
  readShape();
  endResetModel();
}

void RecordsetModel::readShape() {
  locale_ = QLocale();
  rows_ = 0;
  columns_ = 0;
  if (!rs_ || rs_->State() != dataaccess::adStateOpen) return;
  // The view counts rows in int; a larger set shows its first 2^31-1 rows.
  rows_ = int(std::min<int64_t>(rs_->rowCount(), std::numeric_limits<int>::max()));
  columns_ = int(rs_->fields().size());
}

int RecordsetModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int RecordsetModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columns_; }

const RecordsetModel::Block* RecordsetModel::grownBlock(int row) const {
  const int first = row / kBlockRows * kBlockRows;
  for (const Block& b : blocks_)
    if (b.first == first) return row < b.first + b.rows ? &b : nullptr;
  if (!growing_->readable()) return nullptr;
  const std::vector<QVariant> values = growing_->values(first, std::min(kBlockRows, rows_ - first), columns_);
  Block block;
  block.first = first;
  block.rows = int(values.size() / size_t(columns_));
  block.texts.reserve(values.size());
  for (size_t i = 0; i < values.size(); ++i) {
    const QVariant& v = values[i];
    block.texts.push_back(v.isValid() ? dataaccess::displayText(v, grownFields_[i % size_t(columns_)].type, locale_)
                                      : QVariant(QString()));
  }
  if (blocks_.size() >= kBlocks) blocks_.erase(blocks_.begin());
  blocks_.push_back(std::move(block));
  const Block& b = blocks_.back();
  return row < b.first + b.rows ? &b : nullptr;
}

QVariant RecordsetModel::grownData(int row, int column) const {
  const Block* block = grownBlock(row);
  if (!block) return QString();
  return block->texts[size_t(row - block->first) * size_t(columns_) + size_t(column)];
}

QVariant RecordsetModel::data(const QModelIndex& index, int role) const {
  if ((role != Qt::DisplayRole && role != Qt::EditRole) || !index.isValid()) return {};
  if (index.row() >= rows_ || index.column() >= columns_) return {};
  if (growing_) {
    try {
      return grownData(index.row(), index.column());
    } catch (const std::exception&) {
      return QString();
    }
  }
  if (!rs_) return {};
  // A value that cannot be read or shown gives an empty cell: the grid
  // shows no message of its own for a data error.
  try {
    const QVariant v = rs_->valueAt(index.row(), index.column());
    if (!v.isValid()) return QString();
    return dataaccess::displayText(v, rs_->fields()[size_t(index.column())].type, locale_);
  } catch (const std::exception&) {
    return QString();
  }
}

QVariant RecordsetModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return QAbstractTableModel::headerData(section, orientation, role);
  if (section < 0 || section >= columns_) return {};
  if (growing_) return grownFields_[size_t(section)].name;
  if (!rs_) return {};
  return rs_->fields()[size_t(section)].name;
}

Qt::ItemFlags RecordsetModel::flags(const QModelIndex& index) const {
  // Editable only so that the view opens its cell editor, a read-only line
  // edit where the user selects text for the filter; setData is not
  // implemented, so no value ever changes here (the record editor does that).
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
}

}  // namespace viewer
