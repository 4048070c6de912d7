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
  void ViewTableContent(const QString& TableName);
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
  bool closed_ = false;
};

}  // namespace viewer
