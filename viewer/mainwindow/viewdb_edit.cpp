// f_ViewDB's "EditRecord" command and its keys: the record editor opens on
// the current record of the current recordset, from the toolbar, its
// shortcut Ctrl+E anywhere in the window, or Enter in the grid.
#include "editor/f_edit.h"
#include "gridcursor.h"
#include "viewdb.h"

#include "datasource/sourcestate.h"

#include <QKeyEvent>
#include <QTableView>

namespace viewer {

namespace {

// Enter or Return in the grid (not in its cell editor) runs a command.
class EnterKeyFilter : public QObject {
 public:
  EnterKeyFilter(QObject* parent, std::function<void()> command) : QObject(parent), command_(std::move(command)) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) ||
        (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
      return false;
    command_();
    return true;
  }

 private:
  std::function<void()> command_;
};

}  // namespace

void f_ViewDB::EditRecord() {
  const std::shared_ptr<dataaccess::Recordset> rs = current_;
  if (!rs || rs->State() != dataaccess::adStateOpen || rs->BOF() || rs->IsEOF()) return;
  if (gridCursor) gridCursor->endCellEdit();
  f_Edit editor(this);
  editor.View(rs, state().SourceKind);
  // The grid reads cells on demand: a repaint shows the edited values.
  GRD->viewport()->update();
}

void f_ViewDB::installEditKeys() {
  // Ctrl+E is the shortcut of the toolbar's action (installShortcuts).
  GRD->installEventFilter(new EnterKeyFilter(GRD, [this] { buttonClick(QStringLiteral("EditRecord")); }));
}

}  // namespace viewer
