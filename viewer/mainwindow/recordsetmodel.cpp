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
