// The main window driven as a user would: toolbar, keys, tree clicks, the
// catalogue and content views over a fake provider and over real text and
// persisted-recordset files. Every prompt is scripted.
#include "dataaccess/recordset.h"
#include "dataaccess/values.h"
#include "datasource/opening.h"
#include "datasource/sourcestate.h"
#include "datasource/sourceview.h"
#include "testsupport/fakeprovider.h"
#include "mainwindow/recordsetmodel.h"
#include "mainwindow/shortcuts.h"
#include "mainwindow/toolbaricons.h"
#include "mainwindow/toolbarentries.h"
#include "mainwindow/viewdb.h"
#include "shell/settings.h"
#include "testsupport/tempdir.h"
#include "window_scriptedprompts.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QPointer>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <set>

using namespace viewer;
using testsupport::FakeProvider;
using testsupport::ScriptedPrompts;

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

QStringList treeChildren(QTreeWidget* tree) {
  QStringList names;
  QTreeWidgetItem* root = tree->topLevelItem(0);
  for (int i = 0; root && i < root->childCount(); ++i) names << root->child(i)->text(0);
  return names;
}

QStringList listItems(QComboBox* box) {
  QStringList items;
  for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
  return items;
}

QString cell(f_ViewDB* w, int row, int column) {
  return w->gridModel->index(row, column).data().toString();
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state() = SourceState{};
    // The export format chosen by an earlier test is remembered.
    WriteSetting(kSettingsKey, "ExportFormat", QString());
    window = new f_ViewDB;
    // Content views return once their rows are loaded (loading in the
    // background has tests of its own).
    window->setContentViewWaits(true);
    setSourceViewFactory([this] { return window.data(); });
    ASSERT_EQ(sourceView(), window.data());
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

  // A fake source with tables of every catalogue type, opened as `kind`.
  FakeProvider* openFake(int32_t kind) {
    FakeProvider* fake = nullptr;
    auto cn = testsupport::fakeConnection(&fake);
    auto orders = fake->addTable("Orders", {{"Id", dataaccess::adInteger}, {"Name", dataaccess::adVarWChar}});
    orders->appendRow({QVariant(qlonglong(1)), QVariant(QString("Apple"))});
    orders->appendRow({QVariant(qlonglong(2)), QVariant()});
    fake->addTable("Order Details", {{"Id", dataaccess::adInteger}})->appendRow({QVariant(qlonglong(7))});
    fake->addTable("Totals", {{"Sum", dataaccess::adDouble}}, "VIEW");
    fake->addTable("MSysObjects", {{"Id", dataaccess::adInteger}}, "SYSTEM TABLE");
    fake->addTable("Sheet1$", {{"A", dataaccess::adVarWChar}}, "SYSTEM TABLE");
    fake->addTable("Link", {{"A", dataaccess::adVarWChar}}, "LINK");
    state().SourceKind = kind;
    state().CurrentConnection = cn;
    window->OpenDB(cn, kind == kind::Excel ? "xls" : "mdb");
    return fake;
  }

  ScriptedPrompts prompts;
  QPointer<f_ViewDB> window;
};

}  // namespace

// --- toolbar ----------------------------------------------------------------

TEST_F(WindowTest, ToolbarHoldsEveryEntryWithKeyTipAndIcon) {
  const auto& entries = ToolbarEntries();
  ASSERT_EQ(entries.size(), 20u);
  QList<QAction*> actions = window->Toolbar1->actions();
  ASSERT_EQ(actions.size(), 20);
  for (size_t i = 0; i < entries.size(); ++i) {
    const ToolbarEntry& e = entries[i];
    QAction* a = actions[int(i)];
    EXPECT_EQ(a->isSeparator(), e.style == ToolbarEntry::Separator) << i;
    if (e.style == ToolbarEntry::Separator) continue;
    EXPECT_EQ(a->objectName(), e.key) << i;
    QAction* command = window->toolAction(e.key);
    ASSERT_TRUE(command) << e.key.toStdString();
    // A command with a shortcut names it in its tip.
    EXPECT_EQ(command->toolTip(), ToolTipWithShortcut(e.toolTip, e.key == "Exit" ? kAskExitKey : e.key));
    if (!e.imageKey.isEmpty()) {
      EXPECT_FALSE(command->icon().isNull()) << e.key.toStdString();
    }
  }
  EXPECT_EQ(window->toolAction("open")->toolTip(), "Open file (Ctrl+O)");
  EXPECT_EQ(window->toolAction("Export2")->toolTip(), "Save as (Ctrl+S)");
  EXPECT_EQ(window->toolAction("Exit")->toolTip(), "Exit (Ctrl+Q)");
  EXPECT_EQ(window->toolAction("Properties")->toolTip(), "Table Properties");
  EXPECT_EQ(window->cmbTables->toolTip(), "Database tables");
  EXPECT_EQ(window->windowTitle(), "View DB");
}

TEST_F(WindowTest, EveryImageKeyHasItsOwnPicture) {
  std::set<QByteArray> seen;
  for (const QString& key : ToolbarImageKeys()) {
    QIcon icon = ToolbarIcon(key);
    ASSERT_FALSE(icon.isNull()) << key.toStdString();
    QImage img = icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_FALSE(img.isNull()) << key.toStdString();
    QByteArray bytes(reinterpret_cast<const char*>(img.constBits()), img.sizeInBytes());
    EXPECT_TRUE(seen.insert(bytes).second) << key.toStdString() << " looks like another icon";
  }
  EXPECT_TRUE(ToolbarIcon("no such key").isNull());
}

TEST_F(WindowTest, ExportMenuRewritesTipAndTagWithoutExporting) {
  QToolButton* button = window->exportButton();
  ASSERT_TRUE(button && button->menu());
  QList<QAction*> items = button->menu()->actions();
  ASSERT_EQ(items.size(), 5);
  EXPECT_EQ(items[0]->text(), "XML Entity");
  EXPECT_EQ(items[4]->objectName(), "txt_comma");
  EXPECT_TRUE(window->exportTag().isEmpty());

  items[4]->trigger();
  EXPECT_EQ(window->toolAction("Export2")->toolTip(), "Save as Text CommaDelimited file (Ctrl+S)");
  EXPECT_EQ(button->property("tag").toString(), "txt_comma");
  EXPECT_EQ(window->exportTag(), "txt_comma");
  EXPECT_TRUE(prompts.dialogs.empty());  // choosing a format exports nothing

  window->buttonMenuClick("xml_ent");
  EXPECT_EQ(window->toolAction("Export2")->toolTip(), "Save as XML Entity file (Ctrl+S)");
}

TEST_F(WindowTest, DispatchKnowsEveryCommandKey) {
  for (const ToolbarEntry& e : ToolbarEntries()) {
    if (e.style == ToolbarEntry::Button || e.style == ToolbarEntry::DropDown)
      EXPECT_TRUE(window->commands().has(e.key)) << e.key.toStdString();
  }
  EXPECT_FALSE(window->commands().run("no such key", 0));
  // Sort and filter do nothing for a persisted recordset.
  int runs = 0;
  window->commands().add("filter", [&] { ++runs; }, true);
  window->commands().run("filter", kind::PersistedRecordset);
  window->commands().run("filter", kind::Access);
  EXPECT_EQ(runs, 1);
  // A failing command is dropped silently.
  window->commands().add("Help", [] { throw std::runtime_error("boom"); });
  EXPECT_TRUE(window->commands().run("Help", 0));
  EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(WindowTest, OpenCommandAsksWithTitleAndFilterThenReloads) {
  openFake(kind::Access);
  prompts.paths.push_back(QString());  // cancel
  window->toolAction("open")->trigger();
  ASSERT_EQ(prompts.dialogs.size(), 1u);
  EXPECT_EQ(prompts.dialogs[0].title, "Select database file");
  EXPECT_EQ(prompts.dialogs[0].filter,
            "All Files (*.*)|*.*|Microsoft Access (*.mdb;*.accdb)|*.mdb;*.accdb|DBase Files (*.dbf)|*.dbf|Paradox Files (*.db)|*.db|"
            "Microsoft Excel (*.xls)|*xls|Text Files (*.txt)|*.txt|Log text Files (*.log)|*.log");
  EXPECT_EQ(prompts.dialogs[0].filterIndex, 1);
  EXPECT_EQ(prompts.dialogs[0].mode, Prompts::OpenDialog);
  // Cancelling reloads the catalogue of the current connection.
  EXPECT_EQ(treeChildren(window->TRW), (QStringList{"Orders", "Order Details", "Totals"}));
  EXPECT_EQ(window->dataSourceKind(), "mdb");
}

TEST_F(WindowTest, ExportButtonWritesTheChosenFormat) {
  openFake(kind::Access);
  window->toolAction("Export2")->trigger();  // no current recordset: nothing
  EXPECT_TRUE(prompts.dialogs.empty());

  testsupport::TempDir dir;
  window->ViewTableContent("Orders");
  window->cmbTables->setCurrentIndex(0);  // the user picks Orders in the list
  // Before any choice the button writes the recordset's own XML.
  prompts.paths.push_back(dir.path() + "/orders.xml");
  window->toolAction("Export2")->trigger();
  ASSERT_EQ(prompts.dialogs.size(), 1u);
  EXPECT_EQ(prompts.dialogs[0].title, "Save recordset as file");
  EXPECT_EQ(prompts.dialogs[0].proposedName, "Orders");
  QFile xml(dir.path() + "/orders.xml");
  ASSERT_TRUE(xml.open(QIODevice::ReadOnly));
  EXPECT_TRUE(xml.readAll().contains("urn:schemas-microsoft-com:rowset"));

  window->buttonMenuClick("txt_comma");
  window->currentRecordset()->MoveFirst();
  prompts.paths.push_back(dir.path() + "/orders.txt");
  window->toolAction("Export2")->trigger();
  QFile txt(dir.path() + "/orders.txt");
  ASSERT_TRUE(txt.open(QIODevice::ReadOnly));
  EXPECT_TRUE(txt.readAll().startsWith("Id,Name\r\n1,Apple"));
}

// --- keys and close -----------------------------------------------------------

TEST_F(WindowTest, EscapeAsksAndNoKeepsTheWindow) {
  window->TRW->setFocus();
  QApplication::setActiveWindow(window);
  prompts.answers.push_back(Prompts::No);
  QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(window->TRW, &esc);
  ASSERT_EQ(prompts.messages.size(), 1u);  // asked once, not once per parent
  EXPECT_EQ(prompts.messages[0].text, "Exit from program?");
  EXPECT_EQ(prompts.messages[0].icon, Prompts::Question);
  EXPECT_EQ(prompts.messages[0].buttons, Prompts::YesNo | Prompts::DefaultButton2);
  EXPECT_EQ(prompts.messages[0].title, "Lumbrook");
  EXPECT_TRUE(window->isVisible());
  // Other keys ask nothing.
  QKeyEvent a(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
  QApplication::sendEvent(window->TRW, &a);
  EXPECT_EQ(prompts.messages.size(), 1u);
}

TEST_F(WindowTest, EscapeYesClosesAndWritesTheSettings) {
  state().PageSize = 55;
  state().ShowSplash = 0;
  openFake(kind::Access);
  window->GRD->setFocus();
  QApplication::setActiveWindow(window);
  prompts.answers.push_back(Prompts::Yes);
  QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(window->GRD, &esc);
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(state().CurrentConnection);
  EXPECT_FALSE(window->connection());
  EXPECT_EQ(ReadSetting(kSettingsKey, "PAGESIZE", ""), "55");
  EXPECT_EQ(ReadSetting(kSettingsKey, "ShowSplash", ""), "0");
  EXPECT_EQ(ReadSetting(kSettingsKey, "TXTFormat", ""), "TabDelimited");
  // The next open creates a window anew.
  int created = 0;
  setSourceViewFactory([&] { ++created; return nullptr; });
  sourceView();
  EXPECT_EQ(created, 1);
  setSourceViewFactory({});
}

TEST_F(WindowTest, FailedSaveOnCloseIsShownWithNumberAndDescription) {
  testsupport::TempDir dir;
  const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
  // The settings folder's place is taken by a file: nothing can be written.
  writeFile(dir.path() + "/blocked", "x");
  qputenv("XDG_CONFIG_HOME", (dir.path() + "/blocked").toLocal8Bit());
  window->toolAction("Exit")->trigger();
  qputenv("XDG_CONFIG_HOME", saved);
  EXPECT_FALSE(window->isVisible());
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_TRUE(prompts.messages[0].text.startsWith("-2147221504: Error ")) << prompts.messages[0].text.toStdString();
}

// --- catalogue ----------------------------------------------------------------

TEST_F(WindowTest, NoSourceShowsOnlyTheRoot) {
  window->OpenDB(nullptr, QString());
  ASSERT_EQ(window->TRW->topLevelItemCount(), 1);
  EXPECT_EQ(window->TRW->topLevelItem(0)->text(0), "Tables");
  EXPECT_EQ(window->TRW->topLevelItem(0)->childCount(), 0);
  EXPECT_EQ(window->cmbTables->count(), 0);
  EXPECT_EQ(window->gridModel->rowCount(), 0);
  EXPECT_EQ(window->gridModel->columnCount(), 0);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(WindowTest, CatalogueFilterByKind) {
  openFake(kind::Access);
  EXPECT_EQ(treeChildren(window->TRW), (QStringList{"Orders", "Order Details", "Totals"}));
  EXPECT_EQ(listItems(window->cmbTables), treeChildren(window->TRW));
  EXPECT_TRUE(window->TRW->topLevelItem(0)->isExpanded());
  // The grid shows the catalogue itself, every row, the unlisted ones too.
  EXPECT_EQ(window->gridModel->rowCount(), 6);
  EXPECT_EQ(window->gridModel->headerData(2, Qt::Horizontal).toString(), "TABLE_NAME");
  EXPECT_FALSE(window->currentRecordset());

  openFake(kind::Excel);
  EXPECT_EQ(treeChildren(window->TRW), (QStringList{"Orders", "Order Details", "Totals", "MSysObjects", "Sheet1$"}));
  openFake(kind::SqlServer);
  EXPECT_EQ(treeChildren(window->TRW).size(), 3);
}

TEST_F(WindowTest, NodeClickShowsRowsAndRootClickDoesNothing) {
  FakeProvider* fake = openFake(kind::Access);
  QTreeWidgetItem* root = window->TRW->topLevelItem(0);
  emit window->TRW->itemClicked(root, 0);
  EXPECT_TRUE(fake->statements.empty());
  // The list names no table until the user picks one.
  EXPECT_EQ(window->cmbTables->currentIndex(), -1);
  EXPECT_EQ(window->cmbTables->currentText(), "");

  emit window->TRW->itemClicked(root->child(1), 0);
  EXPECT_EQ(window->cmbTables->currentText(), "Order Details");
  ASSERT_EQ(fake->statements.size(), 1u);
  EXPECT_EQ(fake->statements[0], "SELECT * FROM [Order Details]");
  ASSERT_TRUE(window->currentRecordset());
  EXPECT_EQ(window->gridRecordset(), window->currentRecordset());
  EXPECT_EQ(cell(window, 0, 0), "7");

  window->cmbTables->setCurrentIndex(0);
  window->toolAction("view")->trigger();
  EXPECT_EQ(fake->statements.back(), "SELECT * FROM Orders");
  EXPECT_EQ(cell(window, 0, 1), "Apple");
  EXPECT_EQ(cell(window, 1, 1), "");  // Null shows empty
  EXPECT_EQ(window->gridModel->headerData(1, Qt::Horizontal).toString(), "Name");
  // The cell editor only selects text: no value changes in the grid.
  EXPECT_FALSE(window->gridModel->setData(window->gridModel->index(0, 1), "Pear"));
  EXPECT_EQ(cell(window, 0, 1), "Apple");
}

TEST_F(WindowTest, PropertiesShowsColumnsAndKeepsTheCurrentRecordset) {
  openFake(kind::Access);
  window->ViewTableContent("Orders");
  auto current = window->currentRecordset();
  window->toolAction("Properties")->trigger();  // nothing chosen in the list: nothing
  EXPECT_EQ(window->gridRecordset(), current);
  window->cmbTables->setCurrentIndex(0);
  window->toolAction("Properties")->trigger();  // list text: Orders
  ASSERT_NE(window->gridRecordset(), current);
  EXPECT_EQ(window->currentRecordset(), current);
  EXPECT_EQ(window->gridModel->rowCount(), 2);
  EXPECT_EQ(cell(window, 1, 3), "Name");  // COLUMN_NAME of the second column
}

TEST_F(WindowTest, ContentAndColumnErrorsWarnWithNumberAndDescription) {
  openFake(kind::Access);
  window->ViewTableContent("Missing");
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].icon, Prompts::Exclamation);
  EXPECT_TRUE(prompts.messages[0].text.startsWith("-2147217900: ")) << prompts.messages[0].text.toStdString();
  EXPECT_EQ(window->gridModel->rowCount(), 0);
  EXPECT_FALSE(window->currentRecordset());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  // An Oracle column view needs the "User Name" property, which is missing.
  state().SourceKind = kind::Oracle;
  window->ViewTableColumns("Orders");
  ASSERT_EQ(prompts.messages.size(), 2u);
  EXPECT_EQ(prompts.messages[1].icon, Prompts::Exclamation);
  EXPECT_TRUE(prompts.messages[1].text.contains(": ")) << prompts.messages[1].text.toStdString();
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(WindowTest, EmptyNameClearsTheGridOnly) {
  FakeProvider* fake = openFake(kind::Access);
  window->ViewTableContent(QString());
  window->ViewTableColumns(QString());
  EXPECT_EQ(window->gridModel->rowCount(), 0);
  EXPECT_TRUE(fake->statements.empty());
  EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(WindowTest, ASecondClickWhileWaitingWins) {
  FakeProvider* fake = openFake(kind::Access);
  // The first view lets events run before its query; the second click
  // arrives then and runs to the end first.
  QTimer::singleShot(0, window, [this] { window->ViewTableContent("Order Details"); });
  window->ViewTableContent("Orders");
  ASSERT_TRUE(window->currentRecordset());
  EXPECT_EQ(window->gridModel->columnCount(), 1);
  EXPECT_EQ(cell(window, 0, 0), "7");
  EXPECT_EQ(fake->statements, (std::vector<QString>{"SELECT * FROM [Order Details]"}));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// --- real files ---------------------------------------------------------------

TEST_F(WindowTest, CsvFolderListsEveryFileAndShowsTheOpenedOne) {
  testsupport::TempDir dir;
  writeFile(dir.path() + "/shop.csv", "Id,Item\r\n1,Pear\r\n2,Plum\r\n");
  writeFile(dir.path() + "/other.csv", "A,B\r\nx,y\r\n");
  OpenSource(dir.path() + "/shop.csv");
  EXPECT_EQ(window->windowTitle(), "Lumbrook: [" + dir.path() + "/shop.csv]");
  QStringList names = treeChildren(window->TRW);
  names.sort();
  EXPECT_EQ(names, (QStringList{"other#csv", "shop#csv"}));
  // Any listed file shows the rows of the file that was opened.
  QTreeWidgetItem* root = window->TRW->topLevelItem(0);
  for (int i = 0; i < root->childCount(); ++i) {
    if (root->child(i)->text(0) == "other#csv") emit window->TRW->itemClicked(root->child(i), 0);
  }
  EXPECT_TRUE(prompts.messages.empty()) << prompts.messages[0].text.toStdString();
  ASSERT_EQ(window->gridModel->rowCount(), 2);
  EXPECT_EQ(window->gridModel->headerData(1, Qt::Horizontal).toString(), "Item");
  EXPECT_EQ(cell(window, 1, 1), "Plum");
}

TEST_F(WindowTest, LogIsReadThroughItsCopyFirstLineIncluded) {
  testsupport::TempDir dir;
  writeFile(dir.path() + "/shop.log", "started\tok\nstopped\tfine\n");
  OpenSource(dir.path() + "/shop.log");
  window->ViewTableContent(window->cmbTables->currentText().isEmpty() ? "shop#log" : window->cmbTables->currentText());
  EXPECT_TRUE(prompts.messages.empty()) << prompts.messages[0].text.toStdString();
  EXPECT_TRUE(QFile::exists(dir.path() + "/shop.txt"));
  ASSERT_EQ(window->gridModel->rowCount(), 2);
  EXPECT_EQ(cell(window, 0, 0), "started");
}

TEST_F(WindowTest, PersistedRecordsetGoesStraightIntoTheGrid) {
  testsupport::TempDir dir;
  // A persisted file made by the recordset's own writer.
  FakeProvider* fake = nullptr;
  auto cn = testsupport::fakeConnection(&fake);
  auto rows = fake->addTable("T", {{"When", dataaccess::adDate}, {"Done", dataaccess::adBoolean}});
  rows->appendRow({QVariant(dataaccess::makeDateTime(QDate(2005, 1, 2), QTime(10, 5))), QVariant(true)});
  rows->appendRow({QVariant(dataaccess::makeDateTime(QDate(2005, 1, 3))), QVariant(false)});
  dataaccess::Recordset rs;
  rs.setCursorLocation(dataaccess::adUseClient);
  rs.Open("SELECT * FROM T", cn, dataaccess::adOpenStatic, dataaccess::adLockReadOnly, dataaccess::adCmdText);
  const QString path = dir.path() + "/rows.xml";
  rs.Save(path);

  openFake(kind::Access);
  OpenSource(path);
  EXPECT_EQ(state().SourceKind, kind::PersistedRecordset);
  EXPECT_EQ(window->TRW->topLevelItem(0)->childCount(), 0);
  EXPECT_EQ(window->cmbTables->count(), 0);
  ASSERT_EQ(window->gridModel->rowCount(), 2);
  EXPECT_EQ(cell(window, 0, 0), "1/2/2005 10:05:00 AM");
  EXPECT_EQ(cell(window, 1, 0), "1/3/2005");
  EXPECT_EQ(cell(window, 0, 1), "True");
  // The content command changes nothing.
  auto before = window->currentRecordset();
  window->toolAction("view")->trigger();
  EXPECT_EQ(window->currentRecordset(), before);
  EXPECT_EQ(window->gridModel->rowCount(), 2);
}
