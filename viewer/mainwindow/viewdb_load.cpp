// The content view's load on a worker thread: the first rows shown at once,
// the grid growing as more rows are read, progress in the status bar, Esc stopping the load, and the commands that
// need every row waiting for it.
#include "contentload.h"
#include "gridcursor.h"
#include "recordsetmodel.h"
#include "viewdb.h"

#include "dataaccess/connection.h"
#include "dataaccess/error.h"
#include "datasource/catalogue.h"
#include "datasource/sourcestate.h"
#include "waitcursor.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableView>

namespace viewer {

namespace {

constexpr char kStopHint[] = " (Esc stops)";

// Rows read before the load is done, as a read-only recordset of their own.
std::shared_ptr<dataaccess::Recordset> partialRecordset(dataaccess::RowStorePtr rows,
                                                        std::shared_ptr<dataaccess::Connection> cn,
                                                        const QString& sql) {
  auto rs = std::make_shared<dataaccess::Recordset>();
  rs->setCursorLocation(dataaccess::adUseClient);
  rs->attach(std::move(rows), std::move(cn), sql, dataaccess::adOpenStatic, dataaccess::adLockReadOnly);
  return rs;
}

}  // namespace

void f_ViewDB::setupContentLoad() {
  contentLoad_ = new ContentLoad(this);
  statusBar()->setObjectName(QStringLiteral("statusBar"));
  connect(contentLoad_, &ContentLoad::headReady, this, [this](std::shared_ptr<dataaccess::Recordset> rs) {
    // The first rows, shown while the rest loads; the current recordset
    // stays unset until all rows are there.
    previewShown_ = true;
    bindGrid(std::move(rs));
    showLoadProgress(contentLoad_->percent());
  });
  connect(contentLoad_, &ContentLoad::rowsGrown, this, [this](dataaccess::PartialRowsPtr rows) {
    // More of the table: the grid grows where the user is. Without a
    // preview the grid still shows what was there before the load.
    if (!previewShown_) bindGrid(nullptr);
    gridCursor->grow(std::move(rows));
    previewShown_ = true;
    showLoadProgress(contentLoad_->percent());
  });
  connect(contentLoad_, &ContentLoad::finished, this,
          [this](std::shared_ptr<dataaccess::Recordset> rs) { showLoadedRows(std::move(rs)); });
  connect(contentLoad_, &ContentLoad::failed, this, [this](const dataaccess::Error& e) {
    bindGrid(nullptr);
    statusBar()->clearMessage();
    loadSettled();  // the ordinary pointer over the message
    warn(e);
  });
  connect(contentLoad_, &ContentLoad::cancelled, this, [this] {
    // Rows of a part of the table are never left to look like the table.
    bindGrid(nullptr);
    statusBar()->showMessage(QStringLiteral("The load of %1 was stopped.").arg(loadingTable_));
  });
  connect(contentLoad_, &ContentLoad::progress, this, [this](int percent) { showLoadProgress(percent); });
  connect(contentLoad_, &ContentLoad::settled, this, [this] { loadSettled(); });
}

bool f_ViewDB::needsAllRows(const QString& key) {
  static const QStringList keys{QStringLiteral("EditRecord"),      QStringLiteral("Export2"),
                                QStringLiteral("Preview"),         QStringLiteral("filter"),
                                QStringLiteral("FilterRemove"),    QStringLiteral("Sort Ascending"),
                                QStringLiteral("Sort Descending")};
  return keys.contains(key);
}

bool f_ViewDB::requeries(const QString& key) {
  static const QStringList keys{QStringLiteral("filter"), QStringLiteral("FilterRemove"),
                                QStringLiteral("Sort Ascending"), QStringLiteral("Sort Descending")};
  return keys.contains(key);
}

void f_ViewDB::startContentLoad(const QString& tableName) {
  loadingTable_ = tableName;
  previewShown_ = false;
  if (!busyCursor_) {
    // The busy pointer, not the hourglass: the window goes on answering.
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    busyCursor_ = true;
  }
  showLoadProgress(-1);

  const std::shared_ptr<dataaccess::Connection> cn = connection_;
  const QString ext = ext_;
  const int32_t kind = state().SourceKind;
  const QString path = state().CurrentPath;
  ContentLoad::Step preview;
  // A .log file is read through a copy the full open makes first.
  if (ext.toLower() != QLatin1String("log") && previewRows_ > 0) {
    const QString sql = ContentSql(tableName, ext, kind, path);
    const int64_t rows = previewRows_;
    preview = [cn, sql, rows]() -> std::shared_ptr<dataaccess::Recordset> {
      if (!cn || cn->State() != dataaccess::adStateOpen) return nullptr;
      dataaccess::RowStorePtr head = cn->provider().executeHead(sql, rows);
      if (!head) return nullptr;
      return partialRecordset(std::move(head), cn, sql);
    };
  }
  ContentLoad::Step open = [cn, tableName, ext, kind, path]() -> std::shared_ptr<dataaccess::Recordset> {
    return std::shared_ptr<dataaccess::Recordset>(OpenContent(cn, tableName, ext, kind, path));
  };
  contentLoad_->start(std::move(preview), std::move(open));
  if (contentViewWaits_) contentLoad_->wait();
}

void f_ViewDB::showLoadedRows(std::shared_ptr<dataaccess::Recordset> rs) {
  // The loaded rows take the place of the first ones where the user left
  // them: same current cell, same selection, same scroll position.
  current_ = rs;
  if (previewShown_) {
    gridCursor->extend(rs);
  } else {
    gridCursor->bind(rs);
    GRD->scrollToTop();
  }
  statusBar()->showMessage(QStringLiteral("%1 rows").arg(QLocale().toString(qlonglong(rs ? rs->RecordCount() : 0))));
}

void f_ViewDB::loadSettled() {
  // A load stopped without an outcome of its own (a new view, a new source,
  // the close) leaves no progress behind.
  if (statusBar()->currentMessage().endsWith(QLatin1String(kStopHint))) statusBar()->clearMessage();
  if (busyCursor_) {
    QGuiApplication::restoreOverrideCursor();
    busyCursor_ = false;
  }
}

void f_ViewDB::showLoadProgress(int percent) {
  if (!contentLoad_ || !contentLoad_->running()) return;
  QString text = QStringLiteral("Loading %1").arg(loadingTable_);
  if (percent >= 0) text += QStringLiteral(": %1%").arg(percent);
  if (previewShown_) text += QStringLiteral(", the first %1 rows shown").arg(gridModel->rowCount());
  statusBar()->showMessage(text + QLatin1String(kStopHint));
}

bool f_ViewDB::awaitContent() {
  if (!contentLoad_ || !contentLoad_->running()) return true;
  QPointer<f_ViewDB> self(this);
  WaitCursor hourglass;
  const bool loaded = contentLoad_->wait();
  return self && !closed_ && loaded;
}

}  // namespace viewer
