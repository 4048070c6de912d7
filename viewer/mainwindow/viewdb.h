// f_ViewDB, the program's one main window: the toolbar across the top with
// the table list cmbTables, the catalogue tree TRW on the left and the grid
// GRD on the right, divided by SplitRegion1. It owns the current recordset
// and its own reference to the connection, shows the catalogue (OpenDB,
// LoadTables) and a table's rows or columns (ViewTableContent,
// ViewTableColumns), and turns each toolbar key into a command through its
// dispatch table.
//
// The window is what OpenSource sees as the SourceView. Every question to
// the user goes through the prompts seam.
#pragma once

#include "commanddispatch.h"
#include "datasource/sourceview.h"
#include "dataaccess/recordset.h"

#include <QMainWindow>
#include <memory>

class QComboBox;
class QTableView;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class QAction;

namespace controls {
class SplitRegion;
}

namespace viewer {

class ContentLoad;
class GridCursor;
class RecordsetModel;

class f_ViewDB : public QMainWindow, public SourceView {
  Q_OBJECT

 public:
  explicit f_ViewDB(QWidget* parent = nullptr);
  ~f_ViewDB() override;

  // The window's load: half the screen's size, centred, grid cleared, shown
  // and painted once; the splash hook runs when ShowSplash is not 0.
  void Load();

  // SourceView
  void OpenDB(std::shared_ptr<dataaccess::Connection> cna, const QString& ext) override;
  QString dataSourceKind() const override { return ext_; }
  void setCaption(const QString& caption) override;

  // Rebuilds the tree and the list from the window's connection and shows
  // the catalogue in the grid. Never raises.
  void LoadTables();
  // The tables catalogue of the window's connection. Throws dataaccess::Error.
  std::unique_ptr<dataaccess::Recordset> GetSchema();
  // Shows the rows of `TableName` (the opened file for csv and log) and makes
  // them the current recordset; errors are shown with the exclamation icon.
  // The rows load on a worker thread (viewdb_load.cpp): the first of them
  // show at once where the source can read them quickly, the status bar
  // follows the load, Esc stops it, and the loaded rows replace the first
  // ones keeping the current row and the scroll position. The current
  // recordset is set once all rows are loaded; commands that need it wait.
  void ViewTableContent(const QString& TableName);
  // The running content load, if any.
  ContentLoad* contentLoad() const { return contentLoad_; }
  // The query of a filter or sort command, run on a worker thread
  // (viewdb_query.cpp): the window paints on with a busy pointer, Esc stops
  // it, and other commands are refused until it is done.
  ContentLoad* queryLoad() const { return queryLoad_; }
  // Waits (the window painting on, a busy pointer shown, Esc stopping it)
  // until the running content load settles. True when the current recordset
  // then holds all rows of the table shown, or no load was running.
  bool awaitContent();
  // With `on`, ViewTableContent returns only once its load has settled.
  void setContentViewWaits(bool on) { contentViewWaits_ = on; }
  // How many rows the quick first view reads (default 10000).
  void setPreviewRows(int64_t rows) { previewRows_ = rows; }
  // Shows the column list of `TableName`; the current recordset stays.
  void ViewTableColumns(const QString& TableName);
  // Opens the record editor on the current record of the current recordset;
  // does nothing without one or before the first or after the last record.
  void EditRecord();

  // A toolbar button click by key; a key in no row does nothing.
  void buttonClick(const QString& key);
  // A click on an item of the Export2 menu: new tool tip and tag, no export.
  void buttonMenuClick(const QString& menuKey);
  // The dispatch table; later parts (sort, filter, editor, preview, export,
  // options, help, about) install their command here.
  CommandDispatch& commands() { return dispatch_; }
  // Called by Load when ShowSplash is not 0 (the splash window's part
  // installs it).
  void setSplashHook(std::function<void(f_ViewDB*)> hook) { splashHook_ = std::move(hook); }

  // The window's state.
  const std::shared_ptr<dataaccess::Recordset>& currentRecordset() const { return current_; }
  const std::shared_ptr<dataaccess::Connection>& connection() const { return connection_; }
  // The recordset the grid shows (the current one, the catalogue or a
  // column list), or none.
  std::shared_ptr<dataaccess::Recordset> gridRecordset() const;
  QString exportTag() const { return exportTag_; }

  // Controls, under their design names.
  QToolBar* Toolbar1 = nullptr;
  QComboBox* cmbTables = nullptr;
  QTreeWidget* TRW = nullptr;
  QTableView* GRD = nullptr;
  controls::SplitRegion* SplitRegion1 = nullptr;
  RecordsetModel* gridModel = nullptr;
  // Ties GRD's current row to the recordset's current record; the filter
  // and sort commands work through it.
  GridCursor* gridCursor = nullptr;
  QAction* toolAction(const QString& key) const;
  QToolButton* exportButton() const { return exportButton_; }

 protected:
  void closeEvent(QCloseEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void buildToolbar();
  void buildCommands();
  void installEditKeys();
  // Shortcuts, the remembered export format and the recent files
  // (viewdb_desktop.cpp).
  void installShortcuts();
  void showExportFormat(const QString& menuKey);
  void restoreExportFormat();
  void rememberExportFormat();
  void rememberOpenedFile();
  void nodeClick(QTreeWidgetItem* item);
  void askExit();
  void resetTree();
  void setupContentLoad();
  void startContentLoad(const QString& tableName);
  void showLoadedRows(std::shared_ptr<dataaccess::Recordset> rs);
  void setupQueryLoad();
  // Runs a filter's or sort's text on a worker and waits for it, the window
  // answering meanwhile; throws the query's error, or a cancel one when it
  // was stopped.
  dataaccess::RowStorePtr runQuery(const std::shared_ptr<dataaccess::Connection>& cn, const QString& text);
  // Stops the content load and a running query before the connection is
  // used or replaced.
  void stopBackgroundWork();
  void loadSettled();
  void showLoadProgress(int percent);
  // Keys whose commands work on all rows of the current recordset.
  static bool needsAllRows(const QString& key);
  // Keys whose commands open the rows again with new SQL text.
  static bool requeries(const QString& key);
  void bindGrid(std::shared_ptr<dataaccess::Recordset> rs);
  // Shows "number: description" with the exclamation icon.
  void warn(const std::exception& e);

  std::shared_ptr<dataaccess::Recordset> current_;
  std::shared_ptr<dataaccess::Connection> connection_;
  QString ext_;
  QString exportTag_;
  QToolButton* exportButton_ = nullptr;
  QWidget* container_ = nullptr;
  CommandDispatch dispatch_;
  std::function<void(f_ViewDB*)> splashHook_;
  // Each content view takes a ticket; one that finds a newer ticket after
  // letting events run gives way to it.
  quint64 contentTicket_ = 0;
  ContentLoad* contentLoad_ = nullptr;
  ContentLoad* queryLoad_ = nullptr;
  QString loadingTable_;
  bool previewShown_ = false;
  bool busyCursor_ = false;
  bool contentViewWaits_ = false;
  int64_t previewRows_ = 10000;
  bool closed_ = false;
};

}  // namespace viewer
