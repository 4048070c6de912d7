// Loads the rows of one content view on a worker thread, so that the window
// keeps painting and answering while a large table is read, and can stop
// the read half-way.
//
// A load runs two steps on its worker: an optional quick preview (the first
// rows, which the window shows at once) and the full open. Each outcome is
// handed to the GUI thread as a queued call and announced there by a signal:
// headReady, rowsGrown any number of times (a text file's rows read so far,
// each time more of them, read from the reader as it goes: partialrows.h),
// then exactly one of finished, failed or cancelled. Nothing is shared
// while the worker runs except the load's LoadControl (atomics) and the
// rows read so far (which guard themselves): the recordsets are built on
// the worker and belong to the GUI thread once
// handed over, and the worker releases everything it holds before it hands
// over its last outcome. The connection the steps use must not be used by
// anyone else until the load has settled; the window stops the load first
// (stop()) before it touches the connection itself.
//
// Cancelling goes through the data-access layer's LoadControl: the text
// reader and the SQL engine stop at their next check.
#pragma once

#include "dataaccess/error.h"
#include "dataaccess/loadcontrol.h"
#include "dataaccess/partialrows.h"
#include "dataaccess/recordset.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace viewer {

class ContentLoad : public QObject {
  Q_OBJECT

 public:
  // The steps of a load, run on the worker thread with the load's control
  // installed. Preview may return nullptr (no preview); its errors, other
  // than a stop, are dropped, since the full open reports them. Open
  // returns the full rows or throws.
  using Step = std::function<std::shared_ptr<dataaccess::Recordset>()>;
  // Called on the worker after the preview has been handed over and before
  // the full open starts (tests hold the load there to look at the window).
  using Gate = std::function<void()>;

  explicit ContentLoad(QObject* parent = nullptr);
  // Stops a running load and waits for its worker.
  ~ContentLoad() override;

  // Starts a load; a load still running is stopped first.
  void start(Step preview, Step open);
  // A load was started and has not settled (no outcome announced yet).
  bool running() const { return running_; }
  // Asks the running load to stop and returns at once; `cancelled` follows.
  void cancel();
  // Stops the running load and waits for its worker to end. No outcome of
  // that load is announced; `settled` is.
  void stop();
  // Runs the event loop until the running load settles. True when it
  // finished with its rows (also when no load was running and the last one
  // finished).
  bool wait();
  // Percent of the running load read so far, or -1 while unknown.
  int percent() const;

  void setGate(Gate gate) { gate_ = std::move(gate); }

 signals:
  void headReady(std::shared_ptr<dataaccess::Recordset> rows);
  // The first rows of the table as read so far (usually the same growing
  // object, with more rows each time); only the latest is announced when
  // the window falls behind. They can no longer be read once the load has
  // settled.
  void rowsGrown(dataaccess::PartialRowsPtr rows);
  void finished(std::shared_ptr<dataaccess::Recordset> rows);
  void failed(const dataaccess::Error& error);
  void cancelled();
  // Every 100 ms while running.
  void progress(int percent);
  // After every outcome and after stop().
  void settled();

 private:
  enum class Outcome { None, Finished, Failed, Cancelled };
  void run(quint64 generation, std::shared_ptr<dataaccess::LoadControl> control, Step preview, Step open);
  void deliver(quint64 generation, Outcome outcome, std::shared_ptr<dataaccess::Recordset> rows,
               const dataaccess::Error& error);
  void deliverHead(quint64 generation, std::shared_ptr<dataaccess::Recordset> rows);
  // The rows read so far waiting for the GUI thread.
  struct Grown {
    std::mutex mutex;
    dataaccess::PartialRowsPtr rows;
  };
  void deliverGrown(quint64 generation, const std::shared_ptr<Grown>& grown);
  void join();

  std::thread worker_;
  std::shared_ptr<dataaccess::LoadControl> control_;
  quint64 generation_ = 0;
  bool running_ = false;
  bool lastFinished_ = false;
  Gate gate_;
  QTimer ticker_;
};

}  // namespace viewer
