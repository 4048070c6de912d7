// The main window's "EditRecord": the guard on the current record, Ctrl+E
// and Enter in the grid, and a read-only text source refusing the save
// without touching its file. Also `lumbrook PATH [TABLE]`'s split.
#include "dataaccess/recordset.h"
#include "datasource/opening.h"
#include "datasource/sourcestate.h"
#include "datasource/sourceview.h"
#include "editor/f_edit.h"
#include "mainwindow/viewdb.h"
#include "testsupport/tempdir.h"
#include "window_scriptedprompts.h"

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

using namespace viewer;

namespace {

class EditWiringTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state() = SourceState{};
    window = new f_ViewDB;
    // Content views return once their rows are loaded (loading in the
    // background has tests of its own).
    window->setContentViewWaits(true);
    setSourceViewFactory([this] { return window.data(); });
    window->resize(800, 500);
    window->show();
  }
  void TearDown() override {
    if (window) {
      window->close();
      delete window.data();
    }
    setSourceViewFactory({});
    state() = SourceState{};
  }

  // Runs `trigger`; when it opens the editor, `inside` acts on it and the
  // editor is closed. Returns how many editors opened.
  int runEditor(const std::function<void()>& trigger, const std::function<void(f_Edit*)>& inside = {}) {
    int opened = 0;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
      auto* editor = qobject_cast<f_Edit*>(QApplication::activeModalWidget());
      if (!editor || !editor->isVisible()) return;
      ++opened;
      timer.stop();
      if (inside) inside(editor);
      editor->close();
    });
    timer.start();
    trigger();
    timer.stop();
    return opened;
  }

  testsupport::ScriptedPrompts prompts;
  QPointer<f_ViewDB> window;
};

}  // namespace

TEST_F(EditWiringTest, OpensOnlyOnACurrentRecord) {
  // No recordset yet.
  EXPECT_EQ(runEditor([&] { window->buttonClick("EditRecord"); }), 0);
  testsupport::TempDir dir;
  dir.write("shop.csv", "Id,Item\r\n1,Pear\r\n2,Plum\r\n");
  dir.write("empty.csv", "Id,Item\r\n");
  OpenSource(dir.file("shop.csv"));
  window->ViewTableContent("shop#csv");
  auto rs = window->currentRecordset();
  ASSERT_TRUE(rs);
  rs->MoveLast();
  int rows = 0;
  QString item;
  EXPECT_EQ(runEditor([&] { window->buttonClick("EditRecord"); },
                      [&](f_Edit* e) {
                        rows = e->rowCount();
                        item = e->txtField(2)->text();
                        EXPECT_EQ(e->parentWidget(), window.data());
                      }),
            1);
  EXPECT_EQ(rows, 2);
  EXPECT_EQ(item, "Plum");
  rs->MoveNext();  // after the last record
  EXPECT_EQ(runEditor([&] { window->buttonClick("EditRecord"); }), 0);
  rs->MoveFirst();
  rs->MovePrevious();  // before the first
  EXPECT_EQ(runEditor([&] { window->buttonClick("EditRecord"); }), 0);
  // An empty table is at its end (a csv source shows the opened file).
  OpenSource(dir.file("empty.csv"));
  window->ViewTableContent("empty#csv");
  ASSERT_EQ(window->currentRecordset()->RecordCount(), 0)
      << (prompts.messages.empty() ? std::string() : prompts.messages.back().text.toStdString());
  EXPECT_EQ(runEditor([&] { window->buttonClick("EditRecord"); }), 0);
}

TEST_F(EditWiringTest, CtrlEAndEnterInTheGrid) {
  testsupport::TempDir dir;
  dir.write("shop.csv", "Id,Item\r\n1,Pear\r\n2,Plum\r\n");
  OpenSource(dir.file("shop.csv"));
  window->ViewTableContent("shop#csv");
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  window->GRD->setFocus();
  QString item;
  auto grab = [&](f_Edit* e) { item = e->txtField(2)->text(); };
  EXPECT_EQ(runEditor([&] { QTest::keyClick(window->windowHandle(), Qt::Key_E, Qt::ControlModifier); }, grab), 1);
  EXPECT_EQ(item, "Pear");
  window->GRD->setFocus();
  EXPECT_EQ(runEditor([&] { QTest::keyClick(window->GRD, Qt::Key_Return); }, grab), 1);
  EXPECT_EQ(runEditor([&] { QTest::keyClick(window->GRD, Qt::Key_Enter, Qt::KeypadModifier); }, grab), 1);
}

TEST_F(EditWiringTest, ReadOnlyTextSourceRefusesAndKeepsItsFile) {
  testsupport::TempDir dir;
  const QByteArray bytes = "Id,Item\r\n1,Pear\r\n2,Plum\r\n";
  dir.write("shop.csv", bytes);
  OpenSource(dir.file("shop.csv"));
  window->ViewTableContent("shop#csv");
  prompts.answers = {Prompts::Ok, Prompts::No};
  bool stillChanged = false;
  runEditor([&] { window->buttonClick("EditRecord"); },
            [&](f_Edit* e) {
              e->txtField(2)->setText("Quince");
              e->toolbarButtonClick("Save");
              stillChanged = e->IsChanged();
            });
  ASSERT_EQ(prompts.messages.size(), 2u);
  EXPECT_EQ(prompts.messages[0].icon, Prompts::Exclamation);
  EXPECT_TRUE(prompts.messages[0].text.contains(": ")) << prompts.messages[0].text.toStdString();
  EXPECT_EQ(prompts.messages[1].text, "Save changes?");
  EXPECT_TRUE(stillChanged);
  EXPECT_EQ(dir.read("shop.csv"), bytes);
  // Not re-read (a delimited text source): the edit stays pending.
  EXPECT_TRUE(window->currentRecordset()->hasPendingChanges());
}

TEST(CommandLine, PathAndTable) {
  testsupport::TempDir dir;
  const QString shop = dir.write("shop.csv", "Id\r\n1\r\n");
  const QString blank = dir.write("my shop.csv", "Id\r\n1\r\n");
  auto t = SplitCommandLine({"lumbrook", shop, "shop#csv"});
  EXPECT_EQ(t.path, shop);
  EXPECT_EQ(t.table, "shop#csv");
  t = SplitCommandLine({"lumbrook", shop, "Order", "Details"});
  EXPECT_EQ(t.table, "Order Details");
  t = SplitCommandLine({"lumbrook", shop});
  EXPECT_EQ(t.path, shop);
  EXPECT_TRUE(t.table.isEmpty());
  // An unquoted path with a blank is still one path.
  const QString head = dir.path() + "/my";
  t = SplitCommandLine({"lumbrook", head, "shop.csv"});
  EXPECT_EQ(t.path, blank);
  EXPECT_TRUE(t.table.isEmpty());
  t = SplitCommandLine({"lumbrook", "\"" + shop + "\"", "\"shop#csv\""});
  EXPECT_EQ(t.path, shop);
  EXPECT_EQ(t.table, "shop#csv");
}
