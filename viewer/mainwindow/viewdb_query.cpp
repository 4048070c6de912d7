// The query of a filter or sort on a worker thread. The command itself
// (query/filtersort.cpp) runs as in lumbrook-cli; only the running of its
// new text goes to a worker, through the grid's query runner, while the
// window paints on with the old rows, a busy pointer and a status text. The
// toolbar and the table tree go grey once it takes a while, and other
// commands are refused, since the rows and the connection are busy; Esc stops the query
// and the old rows stay. The command goes on, on the GUI thread, once the
// query has settled, so for its caller it still runs start to end.
#include "contentload.h"
#include "gridcursor.h"
#include "viewdb.h"

#include "dataaccess/connection.h"
#include "dataaccess/error.h"
#include "dataaccess/loadcontrol.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QPointer>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

namespace viewer {

namespace {

constexpr int kGreyAfterMs = 150;

[[noreturn]] void stopped() {
  throw dataaccess::Error(dataaccess::err::kOperationCancelled, QStringLiteral("Recordset.Open"),
                          QStringLiteral("Operation was cancelled."));
}

}  // namespace

void f_ViewDB::setupQueryLoad() {
  queryLoad_ = new ContentLoad(this);
  gridCursor->setQueryRunner([this](const std::shared_ptr<dataaccess::Connection>& cn, const QString& text) {
    return runQuery(cn, text);
  });
}

void f_ViewDB::stopBackgroundWork() {
  contentLoad_->stop();
  queryLoad_->stop();
}

dataaccess::RowStorePtr f_ViewDB::runQuery(const std::shared_ptr<dataaccess::Connection>& cn, const QString& text) {
  if (closed_) stopped();
  struct Result {
    dataaccess::RowStorePtr rows;
    std::exception_ptr error;
  };
  auto result = std::make_shared<Result>();
  ContentLoad::Step query = [cn, text, result]() -> std::shared_ptr<dataaccess::Recordset> {
    try {
      result->rows = cn->provider().execute(text, dataaccess::adCmdText);
    } catch (...) {
      result->error = std::current_exception();
    }
    return nullptr;
  };

  const QString before = statusBar()->currentMessage();
  const QString running = QStringLiteral("Running the query on %1 (Esc stops)").arg(cmbTables->currentText());
  statusBar()->showMessage(running);
  QGuiApplication::setOverrideCursor(Qt::BusyCursor);
  // The controls go grey only for a query that takes a while, so that quick
  // ones do not flicker; until then a click on them is refused or stops
  // the query (stopBackgroundWork) all the same.
  QTimer grey;
  grey.setSingleShot(true);
  connect(&grey, &QTimer::timeout, this, [this] {
    Toolbar1->setEnabled(false);
    TRW->setEnabled(false);
  });
  grey.start(kGreyAfterMs);
  queryLoad_->start(nullptr, std::move(query));
  QPointer<f_ViewDB> self(this);
  queryLoad_->wait();
  QGuiApplication::restoreOverrideCursor();
  if (!self) stopped();
  grey.stop();
  Toolbar1->setEnabled(true);
  TRW->setEnabled(true);
  if (statusBar()->currentMessage() == running) statusBar()->showMessage(before);
  if (closed_) stopped();
  if (result->error) std::rethrow_exception(result->error);
  if (!result->rows) stopped();
  return std::move(result->rows);
}

}  // namespace viewer
