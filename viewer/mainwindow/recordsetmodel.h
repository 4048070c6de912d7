// The grid's model: a read-only table over one recordset that asks the
// recordset for a cell only when the view paints it. Nothing is copied: the
// model holds the recordset (shared with the window, which may also hold it
// as the current recordset) and reads Recordset::valueAt on demand, so a
// million-row table costs the grid no more memory than a ten-row one.
//
// Cells show the ordinary text of the value (displayText: the locale's short
// date with the time when it is not midnight, True/False, numbers without
// grouping); Null shows as an empty cell. Headers are the field names.
//
// While a table loads, the model can also show the rows read so far
// (grow): they are read from the loader as they are painted, and the
// recordset bound (the first rows, or none) stays bound for the current
// record until the whole table takes their place (extend).
#pragma once

#include "dataaccess/partialrows.h"
#include "dataaccess/recordset.h"

#include <QAbstractTableModel>
#include <QLocale>
#include <memory>
#include <vector>

namespace viewer {

class RecordsetModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit RecordsetModel(QObject* parent = nullptr);

  // Binds the model to `rs` (none: the grid is empty). The model keeps the
  // recordset alive while it is bound.
  void setRecordset(std::shared_ptr<dataaccess::Recordset> rs);
  const std::shared_ptr<dataaccess::Recordset>& recordset() const { return rs_; }
  // Binds the model to `rs`, which holds the rows of the bound recordset and
  // more after them (a table still loading): the new rows are inserted and
  // the old ones repainted, without a reset, so the view keeps its current
  // cell, selection and scroll position. Anything else is a setRecordset.
  // Also ends showing rows read so far.
  void extend(std::shared_ptr<dataaccess::Recordset> rs);
  // Shows `rows`, the rows of a table read so far, in place of the rows
  // shown: the new rows (and columns) are inserted and the old ones
  // repainted, without a reset. Rows fewer than shown are left for a later
  // hand-out. setRecordset and extend end it.
  void grow(dataaccess::PartialRowsPtr rows);
  bool growing() const { return bool(growing_); }
  // The recordset was re-opened or changed in place: read its shape again.
  void reload();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  void readShape();
  // Stops showing rows read so far (the recordset bound takes over).
  void endGrowth();
  QVariant grownData(int row, int column) const;

  std::shared_ptr<dataaccess::Recordset> rs_;
  // Shape as read when bound; an unopened recordset has none.
  int rows_ = 0;
  int columns_ = 0;
  QLocale locale_;
  // The rows read so far while a table loads and their fields. They are
  // read a block of rows at a time, and the text of the last blocks read is
  // kept: painting asks the loader once for what it shows, and the rows on
  // screen keep their text while the loader builds the whole table (when it
  // hands out cells no more) until that table arrives.
  struct Block {
    int first = 0;
    int rows = 0;
    std::vector<QVariant> texts;  // row by row, columns_ to a row
  };
  const Block* grownBlock(int row) const;
  dataaccess::PartialRowsPtr growing_;
  std::vector<dataaccess::FieldInfo> grownFields_;
  mutable std::vector<Block> blocks_;  // the most recent last
};

}  // namespace viewer
