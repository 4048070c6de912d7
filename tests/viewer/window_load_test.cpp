// The content view loading in the background: the first rows shown while
// the rest loads, the loaded rows replacing them where the user left them,
// Esc stopping the load, commands and Ctrl+End waiting for all rows, and
// closing or switching tables during a load. The load is held between its
// first rows and its full read by the loader's gate, so nothing depends on
// timing.
#include "dataaccess/loadcontrol.h"
#include "dataaccess/recordset.h"
#include "datasource/catalogue.h"
#include "datasource/opening.h"
#include "datasource/sourcestate.h"
#include "datasource/sourceview.h"
#include "mainwindow/contentload.h"
#include "mainwindow/recordsetmodel.h"
#include "mainwindow/viewdb.h"
#include "testsupport/tempdir.h"
#include "window_scriptedprompts.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QKeyEvent>
#include <QPointer>
#include <QScrollBar>
#include <QSemaphore>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <gtest/gtest.h>
#include <atomic>

using namespace viewer;
using testsupport::ScriptedPrompts;

namespace {

constexpr int kRows = 3000;
constexpr int kPreview = 100;

// Rows of varied kinds: numbers, text with quotes and commas, empty cells,
// dates, and a column that turns from numbers to text after the first rows
// (so the first rows guess another type than the whole file).
QByteArray tableText(int rows, const char* tag) {
  QByteArray text = "Id,Name,Amount,When,Mixed\r\n";
  for (int i = 0; i < rows; ++i) {
    text += QByteArray::number(i + 1) + ",";
    text += i % 7 == 0 ? QByteArray("\"") + tag + " \"\"q\"\", " + QByteArray::number(i) + "\"" : tag + QByteArray::number(i);
    text += ",";
    if (i % 5 != 0) text += QByteArray::number(i * 1.25, 'f', 2);
    text += ",";
    text += QByteArray::number(1 + i % 12) + "/" + QByteArray::number(1 + i % 28) + "/2020";
    text += ",";
    text += i < 2000 ? QByteArray::number(i) : QByteArray("x") + QByteArray::number(i);
    text += "\r\n";
  }
  return text;
}

void writeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

// Holds the worker between the first rows and the full read until released
// (or until the load is stopped).
class HeldGate {
 public:
  ContentLoad::Gate gate() {
    return [this] {
      ++reached;
      while (!released_.tryAcquire(1, 5))
        if (dataaccess::loadCancelled()) return;
    };
  }
  void release() { released_.release(); }
  std::atomic<int> reached{0};

 private:
  QSemaphore released_;
};

class WindowLoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state() = SourceState{};
    window = new f_ViewDB;
    setSourceViewFactory([this] { return window.data(); });
    window->resize(800, 500);
    window->show();
    window->setPreviewRows(kPreview);
    window->contentLoad()->setGate(gate.gate());
  }
  void TearDown() override {
    if (window) {
      window->close();
      delete window.data();
    }
    setSourceViewFactory({});
    state() = SourceState{};
  }

  // Opens shop.<ext> of a folder holding two such files and starts viewing
  // it (a .csv source always shows the opened file; a .txt one the table
  // named).
  void openAndView(const QString& ext = "csv") {
    writeFile(dir.path() + "/shop." + ext, tableText(kRows, "item"));
    writeFile(dir.path() + "/other." + ext, tableText(kRows / 2, "other"));
    OpenSource(dir.path() + "/shop." + ext);
    window->cmbTables->setCurrentIndex(window->cmbTables->findText("shop#" + ext));
    window->buttonClick("view");
  }

  // Runs events until the first rows are in the grid.
  void untilFirstRows() {
    while (window->gridModel->rowCount() == 0 && window->contentLoad()->running())
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }

  void focusGrid() {
    window->GRD->setFocus();
    QApplication::setActiveWindow(window);
  }

  QString cell(int row, int column) { return window->gridModel->index(row, column).data().toString(); }

  // Every cell of the grid against a plain, synchronous load of the file.
  void expectGridEqualsPlainLoad(const QString& table) {
    auto plain = OpenContent(state().CurrentConnection, table, window->dataSourceKind(), state().SourceKind,
                             state().CurrentPath);
    RecordsetModel model;
    model.setRecordset(std::shared_ptr<dataaccess::Recordset>(std::move(plain)));
    ASSERT_EQ(window->gridModel->rowCount(), model.rowCount());
    ASSERT_EQ(window->gridModel->columnCount(), model.columnCount());
    for (int r = 0; r < model.rowCount(); ++r)
      for (int c = 0; c < model.columnCount(); ++c)
        ASSERT_EQ(cell(r, c), model.index(r, c).data().toString()) << r << "," << c;
  }

  ScriptedPrompts prompts;
  testsupport::TempDir dir;
  HeldGate gate;
  QPointer<f_ViewDB> window;
};

}  // namespace

TEST_F(WindowLoadTest, FirstRowsShowBeforeTheLoadEndsAndAllRowsReplaceThemInPlace) {
  openAndView();
  untilFirstRows();
  ASSERT_TRUE(window->contentLoad()->running());
  EXPECT_EQ(window->gridModel->rowCount(), kPreview);
  EXPECT_EQ(cell(0, 1), "item \"q\", 0");
  EXPECT_EQ(cell(kPreview - 1, 0), QString::number(kPreview));
  // No current recordset yet: nothing may act on a part of the table.
  EXPECT_EQ(window->currentRecordset(), nullptr);
  EXPECT_TRUE(window->statusBar()->currentMessage().startsWith("Loading shop#csv")) <<
      window->statusBar()->currentMessage().toStdString();
  EXPECT_NE(QApplication::overrideCursor(), nullptr);

  // The user moves down the first rows and scrolls while the rest loads.
  focusGrid();
  window->GRD->setCurrentIndex(window->gridModel->index(60, 2));
  window->GRD->scrollTo(window->gridModel->index(60, 2));
  const int scroll = window->GRD->verticalScrollBar()->value();
  ASSERT_GT(scroll, 0);

  gate.release();
  ASSERT_TRUE(window->awaitContent());
  ASSERT_NE(window->currentRecordset(), nullptr);
  EXPECT_EQ(window->GRD->currentIndex().row(), 60);
  EXPECT_EQ(window->GRD->currentIndex().column(), 2);
  EXPECT_EQ(window->currentRecordset()->AbsolutePosition(), 61);
  EXPECT_EQ(window->GRD->verticalScrollBar()->value(), scroll);
  EXPECT_EQ(window->statusBar()->currentMessage(), "3,000 rows");
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_TRUE(prompts.messages.empty());
  expectGridEqualsPlainLoad("shop#csv");
}

TEST_F(WindowLoadTest, EscStopsTheLoadAndTheWindowStaysUsable) {
  openAndView();
  untilFirstRows();
  ASSERT_TRUE(window->contentLoad()->running());
  focusGrid();
  QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(window->GRD, &esc);
  EXPECT_FALSE(window->awaitContent());
  // Esc stopped the load; it did not ask to exit.
  EXPECT_TRUE(prompts.messages.empty());
  EXPECT_FALSE(window->contentLoad()->running());
  EXPECT_EQ(window->currentRecordset(), nullptr);
  EXPECT_EQ(window->gridModel->rowCount(), 0);
  EXPECT_EQ(window->statusBar()->currentMessage(), "The load of shop#csv was stopped.");
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  // The next view loads the whole table, and Esc asks to exit again.
  gate.release();
  window->buttonClick("view");
  ASSERT_TRUE(window->awaitContent());
  expectGridEqualsPlainLoad("shop#csv");
  QApplication::sendEvent(window->GRD, &esc);
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].text, "Exit from program?");
}

TEST_F(WindowLoadTest, CommandNeedingAllRowsWaitsAndThenSeesThem) {
  openAndView();
  untilFirstRows();
  ASSERT_TRUE(window->contentLoad()->running());
  window->GRD->setCurrentIndex(window->gridModel->index(0, 0));
  // The rest arrives while the command waits.
  QTimer::singleShot(0, window, [this] { gate.release(); });
  window->buttonClick("Sort Descending");
  ASSERT_NE(window->currentRecordset(), nullptr);
  EXPECT_TRUE(window->currentRecordset()->Source().contains("ORDER BY")) <<
      window->currentRecordset()->Source().toStdString();
  ASSERT_EQ(window->gridModel->rowCount(), kRows);
  EXPECT_EQ(cell(0, 0), QString::number(kRows));
  EXPECT_EQ(cell(kRows - 1, 0), "1");
}

TEST_F(WindowLoadTest, CommandStoppedWhileWaitingDoesNothing) {
  openAndView();
  untilFirstRows();
  // Esc while the command waits: the command gives up, no editor opens.
  QTimer::singleShot(0, window, [this] {
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(window->GRD, &esc);
  });
  focusGrid();
  window->buttonClick("EditRecord");
  EXPECT_EQ(window->currentRecordset(), nullptr);
  EXPECT_EQ(window->gridModel->rowCount(), 0);
  EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(WindowLoadTest, CtrlEndDuringTheLoadGoesToTheLastRowOfTheTable) {
  openAndView();
  untilFirstRows();
  focusGrid();
  window->GRD->setCurrentIndex(window->gridModel->index(0, 0));
  QTimer::singleShot(0, window, [this] { gate.release(); });
  QKeyEvent ctrlEnd(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
  QApplication::sendEvent(window->GRD, &ctrlEnd);
  EXPECT_EQ(window->GRD->currentIndex().row(), kRows - 1);
  EXPECT_EQ(cell(window->GRD->currentIndex().row(), 0), QString::number(kRows));
}

TEST_F(WindowLoadTest, AnotherTableDuringTheLoadReplacesIt) {
  openAndView("txt");
  untilFirstRows();
  ASSERT_EQ(gate.reached.load(), 1);
  // The first load is stopped (its gate gives way); the second one is not
  // held.
  window->contentLoad()->setGate({});
  window->ViewTableContent("other#txt");
  ASSERT_TRUE(window->awaitContent());
  EXPECT_TRUE(prompts.messages.empty());
  // Nothing of the stopped load arrives late.
  QCoreApplication::processEvents();
  expectGridEqualsPlainLoad("other#txt");
  EXPECT_TRUE(cell(0, 0).contains("other")) << cell(0, 0).toStdString();
}

TEST_F(WindowLoadTest, ClosingTheWindowDuringTheLoadIsSafe) {
  openAndView();
  untilFirstRows();
  ASSERT_TRUE(window->contentLoad()->running());
  window->close();
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents();
  EXPECT_TRUE(window.isNull());
}

TEST_F(WindowLoadTest, ClosingTheWindowWhileACommandWaitsIsSafe) {
  openAndView();
  untilFirstRows();
  QTimer::singleShot(0, window, [this] { window->close(); });
  window->buttonClick("Export2");
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents();
  EXPECT_TRUE(window.isNull());
  EXPECT_TRUE(prompts.dialogs.empty());
}

TEST_F(WindowLoadTest, AFailedLoadShowsItsErrorAndClearsTheGrid) {
  writeFile(dir.path() + "/bad.csv", "A,B\r\n1,\"never closed\r\n2,3\r\n");
  OpenSource(dir.path() + "/bad.csv");
  window->contentLoad()->setGate({});
  window->ViewTableContent("bad#csv");
  EXPECT_FALSE(window->awaitContent());
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_TRUE(prompts.messages[0].text.contains("never closed") || prompts.messages[0].text.contains("quoted"))
      << prompts.messages[0].text.toStdString();
  EXPECT_TRUE(prompts.messages[0].text.startsWith("-")) << prompts.messages[0].text.toStdString();
  EXPECT_EQ(window->gridModel->rowCount(), 0);
  EXPECT_EQ(window->currentRecordset(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}
