// The grid's current cell and the four reshaping commands of the toolbar,
// driven as a user would on a real comma-separated file: clicks on rows,
// F2 and a selection in the cell editor, Ctrl held for a further sort key.
#include "dataaccess/recordset.h"
#include "datasource/opening.h"
#include "datasource/sourcestate.h"
#include "datasource/sourceview.h"
#include "mainwindow/contentload.h"
#include "mainwindow/gridcursor.h"
#include "mainwindow/recordsetmodel.h"
#include "mainwindow/viewdb.h"
#include "testsupport/tempdir.h"
#include "window_scriptedprompts.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace viewer;
using testsupport::ScriptedPrompts;

namespace {

class WindowFilterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state() = SourceState{};
    window = new f_ViewDB;
    // Content views return once their rows are loaded (loading in the
    // background has tests of its own).
    window->setContentViewWaits(true);
    setSourceViewFactory([this] { return window.data(); });
    window->resize(900, 500);
    window->show();
    QFile f(dir.path() + "/shop.csv");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("Id,Item,Town\r\n1,Pear,Oslo\r\n2,Plum,Rome\r\n3,Peach,Oslo\r\n4,Apple,Lima\r\n");
    f.close();
    OpenSource(dir.path() + "/shop.csv");
    ASSERT_EQ(window->cmbTables->currentIndex(), -1);
    QTreeWidgetItem* node = window->TRW->topLevelItem(0)->child(0);
    emit window->TRW->itemClicked(node, 0);
    ASSERT_TRUE(window->currentRecordset());
    ASSERT_EQ(window->gridModel->rowCount(), 4);
    base = window->currentRecordset()->Source();
  }
  void TearDown() override {
    if (window) {
      window->close();
      delete window.data();
    }
    setSourceViewFactory({});
    state() = SourceState{};
  }
  QRect cellRect(int row, int column) {
    return window->GRD->visualRect(window->gridModel->index(row, column));
  }
  void clickCell(int row, int column) {
    QTest::mouseClick(window->GRD->viewport(), Qt::LeftButton, {}, cellRect(row, column).center());
  }
  QStringList column(int c) {
    QStringList out;
    for (int r = 0; r < window->gridModel->rowCount(); ++r) out << window->gridModel->index(r, c).data().toString();
    return out;
  }
  void press(const QString& key) { window->toolAction(key)->trigger(); }

  testsupport::TempDir dir;
  ScriptedPrompts prompts;
  QPointer<f_ViewDB> window;
  QString base;
};

}  // namespace

TEST_F(WindowFilterTest, ClickingARowMovesTheRecordsetAndMovingItMovesTheGrid) {
  auto rs = window->currentRecordset();
  clickCell(2, 1);
  EXPECT_EQ(rs->AbsolutePosition(), 3);
  EXPECT_EQ(rs->Fields("Item").Value().toString(), "Peach");
  rs->MoveFirst();
  EXPECT_EQ(window->GRD->currentIndex().row(), 0);
  rs->MoveLast();
  EXPECT_EQ(window->GRD->currentIndex().row(), 3);
  EXPECT_EQ(window->GRD->currentIndex().column(), 1);  // the column stays
  rs->MovePrevious();
  EXPECT_EQ(window->GRD->currentIndex().row(), 2);
  // Keyboard navigation in the grid moves the record too.
  window->GRD->setFocus();
  QTest::keyClick(window->GRD, Qt::Key_Up);
  EXPECT_EQ(rs->AbsolutePosition(), 2);
}

TEST_F(WindowFilterTest, FilterUsesTheCurrentCellOrTheSelectionInItsEditor) {
  clickCell(0, 2);  // Oslo
  press("filter");
  EXPECT_EQ(window->currentRecordset()->Source(), base + " WHERE   Town='Oslo'");
  EXPECT_EQ(column(1), (QStringList{"Pear", "Peach"}));
  press("FilterRemove");
  EXPECT_EQ(window->gridModel->rowCount(), 4);

  // F2 opens a read-only line edit in the cell; part of its text selected
  // gives a pattern.
  clickCell(2, 1);  // Peach
  QTest::keyClick(window->GRD, Qt::Key_F2);
  auto* edit = window->gridCursor->delegate()->openEditor();
  ASSERT_TRUE(edit);
  EXPECT_TRUE(edit->isReadOnly());
  EXPECT_EQ(edit->text(), "Peach");
  edit->setSelection(1, 2);  // "ea"
  press("filter");
  EXPECT_EQ(window->currentRecordset()->Source(), base + " WHERE   Item LIKE '%ea%'");
  EXPECT_EQ(column(1), (QStringList{"Pear", "Peach"}));
  EXPECT_FALSE(window->gridCursor->delegate()->openEditor());  // the edit was ended
  EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(WindowFilterTest, SortButtonsAndCtrlHeldWhenTheSortRuns) {
  bool ctrl = false;
  window->gridCursor->setModifierReader([&ctrl] { return ctrl ? Qt::ControlModifier : Qt::NoModifier; });
  clickCell(0, 2);
  press("Sort Ascending");
  EXPECT_EQ(window->currentRecordset()->Source(), base + " ORDER BY Town");
  clickCell(0, 1);
  ctrl = true;
  press("Sort Descending");
  EXPECT_EQ(window->currentRecordset()->Source(), base + " ORDER BY Town,Item DESC");
  EXPECT_EQ(column(1), (QStringList{"Apple", "Pear", "Peach", "Plum"}));
  // After a re-open the grid's current row is the recordset's first record.
  EXPECT_EQ(window->GRD->currentIndex().row(), 0);
  EXPECT_EQ(window->currentRecordset()->AbsolutePosition(), 1);
  EXPECT_EQ(window->GRD->currentIndex().column(), 1);
}

TEST_F(WindowFilterTest, PersistedRecordsetIgnoresTheCommands) {
  state().SourceKind = kind::PersistedRecordset;
  clickCell(0, 2);
  press("filter");
  press("Sort Ascending");
  EXPECT_EQ(window->currentRecordset()->Source(), base);
}

// The sort's query runs on a worker: while it runs the window answers
// events, shows the old rows with a busy pointer and a status text, and
// refuses other commands; the new rows come once it is done, with the
// controls usable again.
TEST_F(WindowFilterTest, SortRunsOnAWorkerWhileTheWindowAnswers) {
  clickCell(0, 1);
  bool seen = false;
  QTimer::singleShot(0, window, [&] {
    // Posted before the query started, so it runs while the query is still
    // running (its outcome is queued behind this).
    seen = true;
    EXPECT_TRUE(window->queryLoad()->running());
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
    EXPECT_TRUE(window->statusBar()->currentMessage().startsWith("Running the query on shop#csv"));
    EXPECT_EQ(column(1), (QStringList{"Pear", "Plum", "Peach", "Apple"}));
    // Another command now does nothing, and nothing breaks.
    window->buttonClick("FilterRemove");
    window->buttonClick("Sort Descending");
  });
  press("Sort Ascending");
  EXPECT_TRUE(seen);
  EXPECT_FALSE(window->queryLoad()->running());
  EXPECT_EQ(window->currentRecordset()->Source(), base + " ORDER BY Item");
  EXPECT_EQ(column(1), (QStringList{"Apple", "Peach", "Pear", "Plum"}));
  EXPECT_TRUE(window->Toolbar1->isEnabled());
  EXPECT_TRUE(window->TRW->isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_FALSE(window->statusBar()->currentMessage().startsWith("Running the query"));
}

// A failed filter query reports its error as before and leaves the rows;
// closing the window while a query runs is safe.
TEST_F(WindowFilterTest, FailedOrAbandonedQueryLeavesTheRows) {
  QFile::remove(dir.path() + "/shop.csv");
  clickCell(1, 2);
  press("filter");
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(window->currentRecordset()->Source(), base);
  EXPECT_EQ(window->gridModel->rowCount(), 4);
  EXPECT_TRUE(window->Toolbar1->isEnabled());

  QTimer::singleShot(0, window, [&] { window->close(); });
  press("Sort Ascending");
  EXPECT_FALSE(window->queryLoad()->running());
}
