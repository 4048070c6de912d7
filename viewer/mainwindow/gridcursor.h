// Ties the grid GRD to the recordset it shows: the grid's current row is the
// recordset's current record both ways (a click on row 3 moves the
// recordset to record 3; navigating the recordset moves the grid's current
// row), and it answers what the filter and sort commands ask of the grid
// (GridSeam): the current column, the text selected in the current cell and
// whether Ctrl is held.
//
// The grid stays read-only. F2 or a double-click opens a read-only line edit
// in the current cell, where the user selects part of the text with mouse or
// keyboard; with no line edit open the selection is empty.
#pragma once

#include "dataaccess/partialrows.h"
#include "query/filtersort.h"

#include <QLineEdit>
#include <QObject>
#include <QPointer>
#include <QStyledItemDelegate>
#include <functional>

class QTableView;

namespace viewer {

class RecordsetModel;

// The cell editor of the grid: a read-only line edit, so text can be
// selected but never changed in the grid.
class SelectableCellDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  explicit SelectableCellDelegate(QObject* parent = nullptr);
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  void setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const override {}
  // The line edit open in the grid, or none.
  QLineEdit* openEditor() const { return editor_.data(); }
  // Closes the open line edit, if any.
  void closeOpenEditor();

 private:
  mutable QPointer<QLineEdit> editor_;
};

class GridCursor : public QObject, public GridSeam {
  Q_OBJECT

 public:
  GridCursor(QTableView* grid, RecordsetModel* model, QObject* parent = nullptr);
  ~GridCursor() override;

  // Binds the grid to `rs` (none: empty) and follows its current record.
  void bind(std::shared_ptr<dataaccess::Recordset> rs);
  // Binds the grid to `rs`, which holds the rows shown and more after them
  // (RecordsetModel::extend): the current cell, selection and scroll
  // position stay, and `rs` moves to the grid's current row.
  void extend(std::shared_ptr<dataaccess::Recordset> rs);
  // Shows the rows of a table read so far (RecordsetModel::grow): the
  // current cell, selection and scroll position stay; the bound recordset
  // stays bound.
  void grow(dataaccess::PartialRowsPtr rows);

  // How runQuery runs the new text of a filter or sort (the window: on a
  // worker thread); without one it runs at once.
  using QueryRunner =
      std::function<dataaccess::RowStorePtr(const std::shared_ptr<dataaccess::Connection>&, const QString&)>;
  void setQueryRunner(QueryRunner runner) { runner_ = std::move(runner); }

  // Replaces the reading of the keyboard state (tests hold Ctrl this way).
  void setModifierReader(std::function<Qt::KeyboardModifiers()> reader) { modifiers_ = std::move(reader); }

  // GridSeam
  std::shared_ptr<dataaccess::Recordset> recordset() const override;
  int currentColumn() const override;
  QString selectedText() const override;
  void endCellEdit() override;
  void takeSelectedColumn() override;
  bool ctrlHeld() const override;
  void rowsChanged() override;
  dataaccess::RowStorePtr runQuery(const std::shared_ptr<dataaccess::Connection>& cn, const QString& text) override;

  SelectableCellDelegate* delegate() const { return delegate_; }

 private:
  void listen(const std::shared_ptr<dataaccess::Recordset>& rs);
  void gridRowChanged(int row);
  void recordMoved(int64_t row);

  QTableView* grid_;
  RecordsetModel* model_;
  SelectableCellDelegate* delegate_;
  std::function<Qt::KeyboardModifiers()> modifiers_;
  QueryRunner runner_;
  std::weak_ptr<dataaccess::Recordset> listened_;
  bool syncing_ = false;
};

}  // namespace viewer
