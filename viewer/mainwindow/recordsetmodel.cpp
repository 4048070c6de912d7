#include "recordsetmodel.h"

#include "dataaccess/values.h"

#include <algorithm>
#include <limits>

namespace viewer {

RecordsetModel::RecordsetModel(QObject* parent) : QAbstractTableModel(parent) {}

void RecordsetModel::setRecordset(std::shared_ptr<dataaccess::Recordset> rs) {
  beginResetModel();
  rs_ = std::move(rs);
  readShape();
  endResetModel();
}

void RecordsetModel::extend(std::shared_ptr<dataaccess::Recordset> rs) {
  const int oldRows = rows_;
  const int oldColumns = columns_;
  if (!rs_ || !rs || rs->State() != dataaccess::adStateOpen || oldColumns == 0) return setRecordset(std::move(rs));
  const int rows = int(std::min<int64_t>(rs->rowCount(), std::numeric_limits<int>::max()));
  const int columns = int(rs->fields().size());
  if (rows < oldRows || columns < oldColumns) return setRecordset(std::move(rs));
  rs_ = std::move(rs);
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

void RecordsetModel::reload() {
  beginResetModel();
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

QVariant RecordsetModel::data(const QModelIndex& index, int role) const {
  if ((role != Qt::DisplayRole && role != Qt::EditRole) || !rs_ || !index.isValid()) return {};
  if (index.row() >= rows_ || index.column() >= columns_) return {};
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
  if (!rs_ || section < 0 || section >= columns_) return {};
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
