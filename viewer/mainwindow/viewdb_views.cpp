// The catalogue and the content views of the main window: what the tree, the
// list and the grid show for the open source.
#include "viewdb.h"

#include "contentload.h"
#include "dataaccess/error.h"
#include "datasource/catalogue.h"
#include "datasource/sourcestate.h"
#include "gridcursor.h"
#include "recordsetmodel.h"
#include "toolbaricons.h"
#include "waitcursor.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QPointer>
#include <QTableView>
#include <QTreeWidget>

namespace viewer {

namespace {

constexpr char kRootKey[] = "root";

QTreeWidgetItem* makeNode(const QString& key, const QString& text, const QString& imageKey) {
  auto* item = new QTreeWidgetItem(QStringList{text});
  item->setData(0, Qt::UserRole, key);
  item->setIcon(0, ToolbarIcon(imageKey));
  return item;
}

}  // namespace

std::shared_ptr<dataaccess::Recordset> f_ViewDB::gridRecordset() const { return gridModel->recordset(); }

void f_ViewDB::bindGrid(std::shared_ptr<dataaccess::Recordset> rs) {
  gridCursor->bind(std::move(rs));
  GRD->scrollToTop();
}

void f_ViewDB::resetTree() {
  cmbTables->clear();
  TRW->clear();
  TRW->addTopLevelItem(makeNode(QString::fromLatin1(kRootKey), QStringLiteral("Tables"), QStringLiteral("Open")));
}

void f_ViewDB::OpenDB(std::shared_ptr<dataaccess::Connection> cna, const QString& ext) {
  WaitCursor hourglass;
  // The running load must give up the old connection before it goes.
  stopBackgroundWork();
  try {
    ext_ = ext;
    if (state().SourceKind == kind::PersistedRecordset) {
      // A persisted recordset has no catalogue: its rows go straight into
      // the grid. Nothing of the previous source is kept, its connection
      // included.
      connection_ = std::move(cna);
      resetTree();
      bindGrid(nullptr);
      current_.reset();
      current_ = std::shared_ptr<dataaccess::Recordset>(OpenPersistedRecordset(state().CurrentPath));
      bindGrid(current_);
      rememberOpenedFile();
    } else {
      connection_ = std::move(cna);
      LoadTables();
      if (connection_) rememberOpenedFile();
    }
  } catch (const std::exception&) {
    // The catalogue view reports nothing; an unreadable file leaves an
    // empty tree and grid.
  }
}

void f_ViewDB::LoadTables() {
  // Every step goes on past a failure of the one before.
  try {
    resetTree();
  } catch (const std::exception&) {
  }
  // The grid never keeps rows of a previous source under a new catalogue.
  stopBackgroundWork();
  bindGrid(nullptr);
  if (!connection_) return;
  if (connection_->State() == dataaccess::adStateOpen) {
    std::shared_ptr<dataaccess::Recordset> catalogue;
    try {
      catalogue = std::shared_ptr<dataaccess::Recordset>(GetSchema());
    } catch (const std::exception&) {
      // No catalogue at all: the tree keeps only its root, the grid stays
      // unbound.
    }
    if (catalogue) {
      std::vector<TreeEntry> entries;
      try {
        entries = CatalogueEntries(catalogue.get(), state().SourceKind, ext_, state().CurrentPath);
      } catch (const std::exception&) {
      }
      QTreeWidgetItem* root = TRW->topLevelItem(0);
      for (const TreeEntry& entry : entries) {
        cmbTables->addItem(entry.name);
        if (root) root->addChild(makeNode(entry.name, entry.name, entry.image));
      }
      // The list names no table until the user picks one: view, Properties
      // and the export act on the empty name until then.
      cmbTables->setCurrentIndex(-1);
      bindGrid(catalogue);
    }
  }
  if (QTreeWidgetItem* root = TRW->topLevelItem(0)) root->setExpanded(true);
}

std::unique_ptr<dataaccess::Recordset> f_ViewDB::GetSchema() {
  if (!connection_) {
    throw dataaccess::Error(dataaccess::err::kObjectClosed, QStringLiteral("f_ViewDB.GetSchema"),
                            QStringLiteral("Operation is not allowed when the object is closed."));
  }
  return viewer::GetSchema(*connection_);
}

void f_ViewDB::ViewTableContent(const QString& TableName) {
  if (state().SourceKind == kind::PersistedRecordset) return;
  // A load still running is stopped: the connection serves one at a time.
  stopBackgroundWork();

  // Draw the empty grid before a long query starts. Letting events run here
  // also lets another click start a content view of its own; whichever
  // started last wins, and this one gives way if it is older.
  const quint64 ticket = ++contentTicket_;
  QPointer<f_ViewDB> self(this);
  bindGrid(nullptr);
  GRD->viewport()->repaint();
  QCoreApplication::processEvents();
  if (!self || closed_ || ticket != contentTicket_) return;

  if (TableName.isEmpty()) return;

  current_.reset();
  try {
    if (!connection_) {
      throw dataaccess::Error(dataaccess::err::kObjectClosed, QStringLiteral("f_ViewDB.ViewTableContent"),
                              QStringLiteral("Operation is not allowed when the object is closed."));
    }
    startContentLoad(TableName);
  } catch (const std::exception& e) {
    warn(e);
  }
}

void f_ViewDB::ViewTableColumns(const QString& TableName) {
  if (TableName.isEmpty()) return;
  WaitCursor hourglass;
  stopBackgroundWork();
  try {
    if (!connection_) {
      throw dataaccess::Error(dataaccess::err::kObjectClosed, QStringLiteral("f_ViewDB.ViewTableColumns"),
                              QStringLiteral("Operation is not allowed when the object is closed."));
    }
    const QVariantList restrictions = ColumnRestrictions(*connection_, TableName, state().SourceKind);
    std::shared_ptr<dataaccess::Recordset> columns(connection_->OpenSchema(dataaccess::adSchemaColumns, restrictions));
    bindGrid(columns);
  } catch (const std::exception& e) {
    warn(e);
  }
}

}  // namespace viewer
