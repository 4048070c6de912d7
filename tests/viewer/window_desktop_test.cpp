// The window's desktop conveniences, driven as a user would: every shortcut
// reaches its command through the dispatch table (also with the grid
// focused), Ctrl+Q asks before closing, the help opens through the URL seam,
// the export format is remembered, and opened files feed the open dialog's
// history.
#include "dataaccess/recordset.h"
#include "datasource/opening.h"
#include "datasource/sourcestate.h"
#include "datasource/sourceview.h"
#include "mainwindow/shortcuts.h"
#include "mainwindow/viewdb.h"
#include "shell/help.h"
#include "shell/recentfiles.h"
#include "shell/settings.h"
#include "testsupport/confighome.h"
#include "testsupport/tempdir.h"
#include "window_scriptedprompts.h"

#include <QAction>
#include <QComboBox>
#include <QApplication>
#include <QDir>
#include <QPointer>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace viewer;
using testsupport::ScriptedPrompts;
using testsupport::TempDir;

namespace {

class DesktopWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state() = SourceState{};
    window = makeWindow();
    setSourceViewFactory([this] { return window.data(); });
  }
  void TearDown() override {
    setUrlOpener({});
    if (window) {
      window->close();
      delete window.data();
    }
    setSourceViewFactory({});
    state() = SourceState{};
  }
  static f_ViewDB* makeWindow() {
    auto* w = new f_ViewDB;
    // Tables load on a worker thread; these tests look at the rows at once.
    w->setContentViewWaits(true);
    w->resize(800, 500);
    w->show();
    return w;
  }
  void activate() {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  }
  // Replaces every command that has a shortcut by one that records its key.
  QStringList recordCommands() {
    QStringList ran;
    for (const CommandShortcut& s : CommandShortcuts())
      window->commands().add(s.key, [this, key = s.key] { ran_ << key; });
    return ran;
  }
  void press(const QKeySequence& sequence) {
    const QKeyCombination combination = sequence[0];
    QTest::keyClick(window->windowHandle(), combination.key(), combination.keyboardModifiers());
  }

  TempDir config_;
  // Restored after TearDown, so whatever is written while closing stays here.
  testsupport::ScopedConfigHome home_{config_.path()};
  ScriptedPrompts prompts;
  QPointer<f_ViewDB> window;
  QStringList ran_;
};

}  // namespace

TEST_F(DesktopWindowTest, EveryShortcutRunsItsCommandThroughTheDispatch) {
  recordCommands();
  activate();
  for (QWidget* focus : {static_cast<QWidget*>(window->TRW), static_cast<QWidget*>(window->GRD)}) {
    focus->setFocus();
    for (const CommandShortcut& s : CommandShortcuts()) {
      ran_.clear();
      press(s.sequence);
      EXPECT_EQ(ran_, QStringList{s.key}) << s.sequence.toString().toStdString() << " with focus on "
                                          << focus->objectName().toStdString();
    }
  }
  EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(DesktopWindowTest, TheExpectedKeysEachWithOneOwner) {
  const std::vector<std::pair<QString, QString>> expected = {
      {"open", "Ctrl+O"},         {"view", "F5"},           {"EditRecord", "Ctrl+E"},
      {"filter", "Ctrl+F"},       {"FilterRemove", "Ctrl+Shift+F"}, {"Sort Ascending", "Ctrl+Up"},
      {"Sort Descending", "Ctrl+Down"}, {"Export2", "Ctrl+S"}, {"Preview", "Ctrl+P"},
      {"Help", "F1"},             {"AskExit", "Ctrl+Q"},
  };
  ASSERT_EQ(CommandShortcuts().size(), expected.size());
  for (const auto& [key, text] : expected) {
    EXPECT_EQ(ShortcutFor(key).toString(QKeySequence::PortableText), text) << key.toStdString();
    // One action in the whole window holds the key: no ambiguous pair that
    // Qt would refuse to run.
    int owners = 0;
    for (QAction* a : window->findChildren<QAction*>())
      owners += a->shortcuts().contains(ShortcutFor(key)) ? 1 : 0;
    EXPECT_EQ(owners, 1) << key.toStdString();
  }
  EXPECT_EQ(window->toolAction("filter")->toolTip(), "Filter by selection (Ctrl+F)");
  EXPECT_EQ(window->toolAction("FilterRemove")->toolTip(), "Remove filter (Ctrl+Shift+F)");
  EXPECT_EQ(window->toolAction("Help")->toolTip(), "Help (F1)");
  EXPECT_EQ(window->exportButton()->toolTip(), "Save as (Ctrl+S)");
}

TEST_F(DesktopWindowTest, CtrlQAsksTheEscQuestionAndNoKeepsTheWindow) {
  activate();
  window->GRD->setFocus();
  prompts.answers = {Prompts::No};
  press(ShortcutFor(kAskExitKey));
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].text, "Exit from program?");
  EXPECT_EQ(prompts.messages[0].buttons, Prompts::YesNo | Prompts::DefaultButton2);
  EXPECT_TRUE(window->isVisible());

  prompts.answers = {Prompts::Yes};
  press(ShortcutFor(kAskExitKey));
  EXPECT_EQ(prompts.messages.size(), 2u);
  // Closed, and deleted once events ran.
  EXPECT_TRUE(!window || !window->isVisible());
}

TEST_F(DesktopWindowTest, F5ReloadsTheTableOnView) {
  TempDir dir;
  OpenSource(dir.write("shop.csv", "Id,Item\r\n1,Pear\r\n2,Plum\r\n"));
  // As a click on the table in the tree does.
  window->cmbTables->setCurrentIndex(window->cmbTables->findText("shop#csv"));
  ASSERT_EQ(window->cmbTables->currentText(), "shop#csv");
  window->ViewTableContent("shop#csv");
  const std::shared_ptr<dataaccess::Recordset> before = window->currentRecordset();
  ASSERT_TRUE(before);
  before->MoveLast();
  activate();
  window->GRD->setFocus();
  press(QKeySequence(Qt::Key_F5));
  // The table's query ran again: new rows, from the first.
  ASSERT_TRUE(window->currentRecordset());
  EXPECT_NE(window->currentRecordset(), before);
  EXPECT_EQ(window->currentRecordset()->RecordCount(), 2);
  EXPECT_EQ(window->currentRecordset()->AbsolutePosition(), 1);
}

TEST_F(DesktopWindowTest, HelpOpensTheGuideBesideTheProgramEvenWithBlanks) {
  TempDir dir;
  const QString program = dir.path() + "/Program Files/Lumbrook 1.0";
  const QString guide = dir.write("Program Files/Lumbrook 1.0/Help/Lumbrook.html", "<html></html>");
  QList<QUrl> opened;
  setUrlOpener([&](const QUrl& url) { opened << url; return true; });
  ShowHelp(program);
  ASSERT_EQ(opened.size(), 1);
  EXPECT_TRUE(opened[0].isLocalFile());
  EXPECT_EQ(opened[0].toLocalFile(), guide);
  EXPECT_TRUE(opened[0].toString(QUrl::FullyEncoded).contains("Program%20Files/Lumbrook%201.0/Help/Lumbrook.html"));
}

TEST_F(DesktopWindowTest, HelpFindsTheInstalledGuideAndAMissingOneDoesNothing) {
  TempDir dir;
  QList<QUrl> opened;
  setUrlOpener([&](const QUrl& url) { opened << url; return true; });
  QDir().mkpath(dir.path() + "/usr/bin");
  ShowHelp(dir.path() + "/usr/bin");
  EXPECT_TRUE(opened.isEmpty());
  // A folder where the file should be is no guide either.
  QDir().mkpath(dir.path() + "/usr/bin/Help/Lumbrook.html");
  ShowHelp(dir.path() + "/usr/bin");
  EXPECT_TRUE(opened.isEmpty());

  const QString installed = dir.write("usr/share/lumbrook/Help/Lumbrook.html", "<html></html>");
  EXPECT_EQ(FindHelpFile(dir.path() + "/usr/bin"), installed);
  ShowHelp(dir.path() + "/usr/bin");
  ASSERT_EQ(opened.size(), 1);
  EXPECT_EQ(opened[0].toLocalFile(), installed);
  // The "Help" command of the test program finds no guide beside it.
  opened.clear();
  if (FindHelpFile(QCoreApplication::applicationDirPath()).isEmpty()) {
    window->buttonClick("Help");
    EXPECT_TRUE(opened.isEmpty());
  }
  EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(DesktopWindowTest, ExportFormatIsRememberedForTheNextWindow) {
  EXPECT_TRUE(window->exportTag().isEmpty());
  window->buttonMenuClick("txt_tab");
  delete window.data();
  window = makeWindow();
  EXPECT_EQ(window->exportTag(), "txt_tab");
  EXPECT_EQ(window->exportButton()->property("tag").toString(), "txt_tab");
  EXPECT_EQ(window->toolAction("Export2")->toolTip(), "Save as Text TabDelimited file (Ctrl+S)");
  // A stored value that names no format leaves the button as it starts.
  WriteSetting(kSettingsKey, "ExportFormat", "pdf");
  delete window.data();
  window = makeWindow();
  EXPECT_TRUE(window->exportTag().isEmpty());
  EXPECT_EQ(window->toolAction("Export2")->toolTip(), "Save as (Ctrl+S)");
}

TEST_F(DesktopWindowTest, CtrlSExportsInTheRememberedFormat) {
  TempDir dir;
  OpenSource(dir.write("shop.csv", "Id,Item\r\n1,Pear\r\n"));
  window->ViewTableContent("shop#csv");
  window->buttonMenuClick("txt_tab");
  activate();
  prompts.paths.push_back(dir.file("out.txt"));
  press(QKeySequence(Qt::CTRL | Qt::Key_S));
  ASSERT_EQ(prompts.dialogs.size(), 1u);
  EXPECT_EQ(dir.read("out.txt").left(8), QByteArray("Id\tItem\r"));
}

TEST_F(DesktopWindowTest, OpenedFilesAreTheOpenDialogsHistory) {
  TempDir dir;
  const QString a = dir.write("a.csv", "Id\r\n1\r\n");
  const QString b = dir.write("b b.csv", "Id\r\n2\r\n");
  OpenSource(a);
  OpenSource(b);
  OpenSource(dir.file("missing.csv"));  // never opened: not listed
  window->buttonClick("open");
  ASSERT_EQ(prompts.dialogs.size(), 1u);
  EXPECT_EQ(prompts.dialogs[0].history, (QStringList{b, a}));
  // Opening through the dialog lists that file first.
  prompts.paths.push_back(a);
  window->buttonClick("open");
  EXPECT_EQ(RecentFiles(), (QStringList{a, b}));
}
