#include "gridcursor.h"

#include "recordsetmodel.h"

#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTableView>

namespace viewer {

SelectableCellDelegate::SelectableCellDelegate(QObject* parent) : QStyledItemDelegate(parent) {
  // Whoever ends the edit (this class, or the view when the editor loses the
  // focus), the editor no longer counts as open.
  connect(this, &QAbstractItemDelegate::closeEditor, this, [this](QWidget* editor) {
    if (editor == editor_.data()) editor_.clear();
  });
}

QWidget* SelectableCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                              const QModelIndex&) const {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QStringLiteral("cellEditor"));
  edit->setReadOnly(true);
  edit->setFrame(false);
  editor_ = edit;
  return edit;
}

void SelectableCellDelegate::closeOpenEditor() {
  if (QLineEdit* edit = editor_.data()) emit closeEditor(edit, QAbstractItemDelegate::NoHint);
}

GridCursor::GridCursor(QTableView* grid, RecordsetModel* model, QObject* parent)
    : QObject(parent), grid_(grid), model_(model), delegate_(new SelectableCellDelegate(grid)) {
  grid_->setItemDelegate(delegate_);
  grid_->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::DoubleClicked);
  connect(grid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) { gridRowChanged(current.isValid() ? current.row() : -1); });
}

GridCursor::~GridCursor() {
  if (auto rs = listened_.lock()) rs->setPositionListener({});
}

void GridCursor::bind(std::shared_ptr<dataaccess::Recordset> rs) {
  delegate_->closeOpenEditor();
  if (auto old = listened_.lock()) old->setPositionListener({});
  listened_.reset();
  syncing_ = true;
  model_->setRecordset(rs);
  syncing_ = false;
  listen(rs);
  if (rs && rs->State() == dataaccess::adStateOpen) recordMoved(rs->currentRow());
}

void GridCursor::extend(std::shared_ptr<dataaccess::Recordset> rs) {
  if (auto old = listened_.lock()) old->setPositionListener({});
  listened_.reset();
  const QModelIndex at = grid_->currentIndex();
  syncing_ = true;
  model_->extend(rs);
  if (rs && rs->State() == dataaccess::adStateOpen && at.isValid() && at.row() < model_->rowCount()) {
    try {
      rs->setAbsolutePosition(int64_t(at.row()) + 1);
    } catch (const std::exception&) {
    }
  }
  syncing_ = false;
  listen(rs);
}

void GridCursor::grow(dataaccess::PartialRowsPtr rows) {
  syncing_ = true;
  model_->grow(std::move(rows));
  syncing_ = false;
}

void GridCursor::listen(const std::shared_ptr<dataaccess::Recordset>& rs) {
  if (!rs) return;
  listened_ = rs;
  rs->setPositionListener([this](int64_t row) { recordMoved(row); });
}

void GridCursor::gridRowChanged(int row) {
  if (syncing_ || row < 0) return;
  const auto& rs = model_->recordset();
  if (!rs || rs->State() != dataaccess::adStateOpen) return;
  syncing_ = true;
  try {
    rs->setAbsolutePosition(int64_t(row) + 1);
  } catch (const std::exception&) {
  }
  syncing_ = false;
}

void GridCursor::recordMoved(int64_t row) {
  if (syncing_) return;
  // BOF and EOF have no row in the grid: the current row stays where it is.
  if (row < 0 || row >= model_->rowCount()) return;
  const int column = std::max(0, grid_->currentIndex().column());
  syncing_ = true;
  const QModelIndex index = model_->index(int(row), column);
  grid_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
  grid_->scrollTo(index);
  syncing_ = false;
}

std::shared_ptr<dataaccess::Recordset> GridCursor::recordset() const { return model_->recordset(); }

int GridCursor::currentColumn() const {
  const QModelIndex index = grid_->currentIndex();
  if (index.isValid()) return index.column();
  // Like the classic grid, the first column is current until another is
  // chosen.
  return model_->columnCount() > 0 ? 0 : -1;
}

QString GridCursor::selectedText() const {
  const QLineEdit* edit = delegate_->openEditor();
  return edit ? edit->selectedText() : QString();
}

void GridCursor::endCellEdit() { delegate_->closeOpenEditor(); }

void GridCursor::takeSelectedColumn() {
  QItemSelectionModel* selection = grid_->selectionModel();
  const QModelIndexList columns = selection->selectedColumns();
  if (columns.isEmpty()) return;
  const auto& rs = model_->recordset();
  int row = grid_->currentIndex().row();
  if (row < 0 && rs && rs->State() == dataaccess::adStateOpen) row = int(std::max<int64_t>(0, rs->currentRow()));
  syncing_ = true;
  selection->clearSelection();
  selection->setCurrentIndex(model_->index(std::max(0, row), columns.first().column()), QItemSelectionModel::NoUpdate);
  syncing_ = false;
}

bool GridCursor::ctrlHeld() const {
  const Qt::KeyboardModifiers held = modifiers_ ? modifiers_() : QGuiApplication::queryKeyboardModifiers();
  return held.testFlag(Qt::ControlModifier);
}

dataaccess::RowStorePtr GridCursor::runQuery(const std::shared_ptr<dataaccess::Connection>& cn,
                                             const QString& text) {
  return runner_ ? runner_(cn, text) : GridSeam::runQuery(cn, text);
}

void GridCursor::rowsChanged() {
  const int column = currentColumn();
  delegate_->closeOpenEditor();
  syncing_ = true;
  model_->reload();
  syncing_ = false;
  const auto& rs = model_->recordset();
  if (!rs || rs->State() != dataaccess::adStateOpen || model_->rowCount() == 0) return;
  syncing_ = true;
  grid_->selectionModel()->setCurrentIndex(model_->index(int(std::clamp<int64_t>(rs->currentRow(), 0, model_->rowCount() - 1)),
                                                         std::max(0, column)),
                                           QItemSelectionModel::ClearAndSelect);
  syncing_ = false;
  grid_->scrollToTop();
}

}  // namespace viewer
