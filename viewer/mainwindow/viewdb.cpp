// The window itself: controls, toolbar, layout, keys, commands and close.
// The catalogue and the content views are in viewdb_views.cpp.
#include "viewdb.h"

#include "controls/splitregion.h"
#include "controls/twips.h"
#include "contentload.h"
#include "dataaccess/error.h"
#include "datasource/opening.h"
#include "datasource/paths.h"
#include "datasource/sourcestate.h"
#include "export.h"
#include "gridcursor.h"
#include "query/filtersort.h"
#include "prompts.h"
#include "recordsetmodel.h"
#include "report/printpreview.h"
#include "shell/f_splash.h"
#include "shell/frmoptions.h"
#include "shell/help.h"
#include "shell/recentfiles.h"
#include "shell/settings.h"
#include "shortcuts.h"
#include "toolbaricons.h"
#include "toolbarentries.h"
#include "waitcursor.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <optional>

namespace viewer {

namespace {

constexpr char kOpenTitle[] = "Select database file";
constexpr char kOpenFilter[] =
    "All Files (*.*)|*.*|Microsoft Access (*.mdb;*.accdb)|*.mdb;*.accdb|DBase Files (*.dbf)|*.dbf|Paradox Files (*.db)|*.db|"
    "Microsoft Excel (*.xls)|*xls|Text Files (*.txt)|*.txt|Log text Files (*.log)|*.log";
constexpr char kExitQuestion[] = "Exit from program?";

}  // namespace

f_ViewDB::f_ViewDB(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("f_ViewDB"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("View DB"));
  setWindowIcon(ProgramIcon());

  buildToolbar();

  container_ = new QWidget(this);
  container_->setObjectName(QStringLiteral("container"));
  setCentralWidget(container_);
  TRW = new QTreeWidget(container_);
  TRW->setObjectName(QStringLiteral("TRW"));
  TRW->setHeaderHidden(true);
  TRW->setIconSize(QSize(16, 16));
  GRD = new QTableView(container_);
  GRD->setObjectName(QStringLiteral("GRD"));
  gridModel = new RecordsetModel(this);
  GRD->setModel(gridModel);
  gridCursor = new GridCursor(GRD, gridModel, this);
  GRD->setWordWrap(false);
  GRD->verticalHeader()->setDefaultSectionSize(GRD->fontMetrics().height() + 6);
  GRD->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  GRD->horizontalHeader()->setDefaultSectionSize(120);

  SplitRegion1 = new controls::SplitRegion(container_);
  SplitRegion1->setObjectName(QStringLiteral("SplitRegion1"));
  SplitRegion1->setFirstControl(QStringLiteral("TRW"));
  SplitRegion1->setSecondControl(QStringLiteral("GRD"));
  SplitRegion1->setSplitterBarVertical(true);
  SplitRegion1->setSplitterBarThickness(controls::twipsToPixels(60));
  SplitRegion1->setKeepSplitPercentOnResize(true);
  SplitRegion1->setSplitPercent(30);
  container_->installEventFilter(this);

  resetTree();
  connect(TRW, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { nodeClick(item); });
  connect(TRW, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) { nodeClick(item); });

  buildCommands();
  setupContentLoad();
  setupQueryLoad();
  // Key preview: the window sees every key press before the focused control.
  qApp->installEventFilter(this);
}

f_ViewDB::~f_ViewDB() {
  qApp->removeEventFilter(this);
  stopBackgroundWork();
  // Asking sourceView() here could create a new window; a window destroyed
  // without closing simply stops being the view.
  if (!closed_) sourceViewClosed();
}

void f_ViewDB::buildToolbar() {
  Toolbar1 = addToolBar(QStringLiteral("Toolbar1"));
  Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
  Toolbar1->setMovable(false);
  Toolbar1->setFloatable(false);
  Toolbar1->setIconSize(QSize(16, 16));
  Toolbar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
  Toolbar1->toggleViewAction()->setVisible(false);
  setContextMenuPolicy(Qt::NoContextMenu);

  for (const ToolbarEntry& entry : ToolbarEntries()) {
    switch (entry.style) {
      case ToolbarEntry::Separator:
        Toolbar1->addSeparator();
        break;
      case ToolbarEntry::Placeholder: {
        // The list sits where the placeholder button is; the toolbar centres
        // it on the button row.
        auto* host = new QWidget(Toolbar1);
        host->setObjectName(entry.key);
        host->setToolTip(entry.toolTip);
        auto* row = new QHBoxLayout(host);
        row->setContentsMargins(4, 0, 4, 0);
        row->setSpacing(4);
        auto* caption = new QLabel(entry.caption, host);
        cmbTables = new QComboBox(host);
        cmbTables->setObjectName(QStringLiteral("cmbTables"));
        cmbTables->setToolTip(entry.toolTip);
        cmbTables->setEditable(false);
        cmbTables->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        cmbTables->setMinimumContentsLength(18);
        cmbTables->setMinimumWidth(int(controls::twipsToPixels(kTablesPlaceholderTwips)));
        row->addWidget(caption);
        row->addWidget(cmbTables);
        QAction* action = Toolbar1->addWidget(host);
        action->setObjectName(entry.key);
        action->setToolTip(entry.toolTip);
        break;
      }
      case ToolbarEntry::DropDown: {
        auto* action = new QAction(ToolbarIcon(entry.imageKey), entry.toolTip, this);
        action->setObjectName(entry.key);
        action->setToolTip(entry.toolTip);
        const QString key = entry.key;
        connect(action, &QAction::triggered, this, [this, key] { buttonClick(key); });
        exportButton_ = new QToolButton(Toolbar1);
        exportButton_->setObjectName(entry.key);
        exportButton_->setDefaultAction(action);
        exportButton_->setPopupMode(QToolButton::MenuButtonPopup);
        exportButton_->setIconSize(QSize(16, 16));
        auto* menu = new QMenu(exportButton_);
        for (const MenuEntry& item : ExportMenuEntries()) {
          QAction* choice = menu->addAction(item.text);
          choice->setObjectName(item.key);
          const QString menuKey = item.key;
          connect(choice, &QAction::triggered, this, [this, menuKey] { buttonMenuClick(menuKey); });
        }
        exportButton_->setMenu(menu);
        exportButton_->setProperty("tag", QString());
        Toolbar1->addWidget(exportButton_)->setObjectName(entry.key);
        break;
      }
      case ToolbarEntry::Button: {
        QAction* action = Toolbar1->addAction(ToolbarIcon(entry.imageKey), entry.toolTip);
        action->setObjectName(entry.key);
        action->setToolTip(entry.toolTip);
        const QString key = entry.key;
        connect(action, &QAction::triggered, this, [this, key] { buttonClick(key); });
        break;
      }
    }
  }
}

QAction* f_ViewDB::toolAction(const QString& key) const {
  if (key == QLatin1String("Export2") && exportButton_) return exportButton_->defaultAction();
  for (QAction* a : Toolbar1->actions())
    if (a->objectName() == key) return a;
  return nullptr;
}

void f_ViewDB::buildCommands() {
  dispatch_.add(QStringLiteral("EditRecord"), [this] { EditRecord(); });
  installEditKeys();
  dispatch_.add(QStringLiteral("Settings"), [this] {
    frmOptions options(this);
    options.exec();
  });
  dispatch_.add(QStringLiteral("Help"), [] { ShowHelp(); });
  dispatch_.add(QStringLiteral("About"), [this] { f_Splash::View(this, false); });
  dispatch_.add(QStringLiteral("Export2"), [this] {
    const QString name = ExportName(state().SourceKind, state().CurrentPath, cmbTables->currentText());
    ExportRecordset(current_.get(), ExportFormatFromKey(exportTag_), name);
  });
  dispatch_.add(QStringLiteral("Preview"), [this] {
    const QString name = ExportName(state().SourceKind, state().CurrentPath, cmbTables->currentText());
    ShowPrintPreview(current_.get(), name, name, this);
  });
  dispatch_.add(QStringLiteral("FilterRemove"), [this] { RemoveFilter(*gridCursor); }, true);
  dispatch_.add(QStringLiteral("filter"), [this] { FilterBySelection(*gridCursor, QString(), ext_); }, true);
  dispatch_.add(QStringLiteral("Sort Descending"), [this] {
    GRD->setFocus();
    SortByColumn(*gridCursor, -1, ext_);
  }, true);
  dispatch_.add(QStringLiteral("Sort Ascending"), [this] {
    GRD->setFocus();
    SortByColumn(*gridCursor, 1, ext_);
  }, true);
  dispatch_.add(QStringLiteral("open"), [this] {
    int filterIndex = 1;
    int flags = 0;
    const QString path = ShowFileDialog(QString::fromLatin1(kOpenTitle), QString(), QString::fromLatin1(kOpenFilter),
                                        filterIndex, flags, QString(), Prompts::OpenDialog, RecentFiles());
    OpenSource(path);
  });
  dispatch_.add(QStringLiteral("view"), [this] { ViewTableContent(cmbTables->currentText()); });
  dispatch_.add(QStringLiteral("Properties"), [this] { ViewTableColumns(cmbTables->currentText()); });
  dispatch_.add(QStringLiteral("Exit"), [this] { close(); });
  dispatch_.add(QString::fromLatin1(kAskExitKey), [this] { askExit(); });
  installShortcuts();
  restoreExportFormat();
}

void f_ViewDB::buttonClick(const QString& key) {
  // While a filter or sort runs, its rows and connection are busy: other
  // commands wait for the user to ask again (Esc stops the query).
  if (queryLoad_->running()) return;
  // A command on the current rows waits for the rows still loading.
  if (needsAllRows(key) && !awaitContent()) return;
  // A sort or filter runs its query on a worker (runQuery), with the busy
  // pointer.
  dispatch_.run(key, state().SourceKind);
}

void f_ViewDB::buttonMenuClick(const QString& menuKey) {
  try {
    const QString before = exportTag_;
    showExportFormat(menuKey);
    if (exportTag_ != before) rememberExportFormat();
  } catch (const std::exception& e) {
    warn(e);
  }
}

void f_ViewDB::Load() {
  // Each step goes on when the one before failed.
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->geometry();
    resize(area.width() / 2, area.height() / 2);
    const QRect avail = screen->availableGeometry();
    move(avail.center() - QPoint(width() / 2, height() / 2));
  }
  bindGrid(nullptr);
  show();
  repaint();
  QCoreApplication::processEvents();
  if (state().ShowSplash != 0 && splashHook_) {
    try {
      splashHook_(this);
    } catch (const std::exception&) {
    }
  }
}

void f_ViewDB::setCaption(const QString& caption) { setWindowTitle(caption); }

void f_ViewDB::nodeClick(QTreeWidgetItem* item) {
  try {
    if (!item) return;
    const QString key = item->data(0, Qt::UserRole).toString();
    const QString text = item->text(0);
    if (key == QLatin1String("root") || text.isEmpty()) return;
    const int index = cmbTables->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0) cmbTables->setCurrentIndex(index);
    ViewTableContent(text);
  } catch (const std::exception& e) {
    warn(e);
  }
}

bool f_ViewDB::eventFilter(QObject* watched, QEvent* e) {
  if (watched == container_ && e->type() == QEvent::Resize) {
    // The splitter fills the whole area below the toolbar.
    SplitRegion1->setGeometry(0, 0, container_->width(), container_->height());
    return false;
  }
  if (e->type() == QEvent::KeyPress && !closed_) {
    auto* ke = static_cast<QKeyEvent*>(e);
    auto* w = qobject_cast<QWidget*>(watched);
    // Only key presses meant for this window; the event goes on to the
    // focused control whatever the answer.
    // A key press travels from the focused control up to its parents; the
    // question is asked once, when the first of them receives it.
    QWidget* focus = QApplication::focusWidget();
    if (ke->key() == Qt::Key_Escape && !ke->isAutoRepeat() && w && w->window() == this &&
        (w == focus || (!focus && w == this))) {
      // During a load Esc stops the load instead.
      if (contentLoad_->running())
        contentLoad_->cancel();
      else if (queryLoad_->running())
        queryLoad_->cancel();
      else
        askExit();
    }
    // Ctrl+End goes to the last row of the table, not of its first rows.
    if (ke->key() == Qt::Key_End && (ke->modifiers() & Qt::ControlModifier) && watched == GRD &&
        contentLoad_->running()) {
      // Stopped or closed meanwhile: there is no end to go to.
      if (!awaitContent()) return true;
    }
  }
  return QMainWindow::eventFilter(watched, e);
}

void f_ViewDB::askExit() {
  try {
    const int answer = prompts().message(QString::fromLatin1(kExitQuestion), Prompts::Question,
                                         Prompts::YesNo | Prompts::DefaultButton2, QString::fromLatin1(kAppTitle));
    if (answer == Prompts::Yes) close();
  } catch (const std::exception& e) {
    warn(e);
  }
}

void f_ViewDB::closeEvent(QCloseEvent* e) {
  // Never refused; runs once however the close started.
  e->accept();
  if (closed_) return;
  closed_ = true;
  stopBackgroundWork();
  bindGrid(nullptr);
  current_.reset();
  connection_.reset();
  state().CurrentConnection.reset();
  try {
    SaveSettings();
  } catch (const dataaccess::Error& err) {
    prompts().message(err.message(), Prompts::Critical);
  } catch (const std::exception& err) {
    prompts().message(QString::fromLocal8Bit(err.what()), Prompts::Critical);
  }
  sourceViewClosed();
}

void f_ViewDB::warn(const std::exception& e) {
  if (auto* err = dynamic_cast<const dataaccess::Error*>(&e)) {
    prompts().message(err->message(), Prompts::Exclamation);
  } else {
    prompts().message(QString::fromLocal8Bit(e.what()), Prompts::Exclamation);
  }
}

}  // namespace viewer
