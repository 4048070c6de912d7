#include "contentload.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaMethod>
#include <QPointer>

namespace viewer {

namespace {

const dataaccess::Error& noError() {
  static const dataaccess::Error none(0, QString(), QString());
  return none;
}

bool isStop(const dataaccess::Error& e) { return e.number() == dataaccess::err::kOperationCancelled; }

}  // namespace

ContentLoad::ContentLoad(QObject* parent) : QObject(parent) {
  ticker_.setInterval(100);
  connect(&ticker_, &QTimer::timeout, this, [this] { emit progress(percent()); });
}

ContentLoad::~ContentLoad() { stop(); }

void ContentLoad::start(Step preview, Step open) {
  stop();
  const quint64 generation = ++generation_;
  control_ = std::make_shared<dataaccess::LoadControl>();
  // Rows read so far wait in one slot: a newer hand-out replaces one the GUI
  // thread has not taken yet, so no more than one is ever queued.
  auto grown = std::make_shared<Grown>();
  if (isSignalConnected(QMetaMethod::fromSignal(&ContentLoad::rowsGrown)))
    control_->setPartialRowsSink([this, generation, grown](dataaccess::PartialRowsPtr rows) {
    bool post = false;
    {
      std::lock_guard<std::mutex> lock(grown->mutex);
      post = !grown->rows;
      grown->rows = std::move(rows);
    }
    if (post)
      QMetaObject::invokeMethod(
          this, [this, generation, grown] { deliverGrown(generation, grown); }, Qt::QueuedConnection);
  });
  running_ = true;
  lastFinished_ = false;
  ticker_.start();
  worker_ = std::thread([this, generation, control = control_, preview = std::move(preview), open = std::move(open),
                         gate = gate_]() mutable {
    dataaccess::ScopedLoadControl scope(control.get());
    Step first = std::move(preview);
    Step full = std::move(open);
    try {
      if (first) {
        std::shared_ptr<dataaccess::Recordset> head;
        try {
          head = first();
        } catch (const dataaccess::Error& e) {
          if (isStop(e)) throw;
        } catch (const std::exception&) {
        }
        first = nullptr;
        if (head && !control->cancelled())
          QMetaObject::invokeMethod(
              this, [this, generation, head = std::move(head)]() mutable { deliverHead(generation, std::move(head)); },
              Qt::QueuedConnection);
        if (gate) gate();
      }
      dataaccess::throwIfLoadCancelled("Recordset.Open");
      std::shared_ptr<dataaccess::Recordset> rows = full();
      full = nullptr;
      const Outcome outcome = control->cancelled() ? Outcome::Cancelled : Outcome::Finished;
      if (outcome == Outcome::Cancelled) rows.reset();
      QMetaObject::invokeMethod(
          this, [this, generation, outcome, rows = std::move(rows)]() mutable {
            deliver(generation, outcome, std::move(rows), noError());
          },
          Qt::QueuedConnection);
      return;
    } catch (const dataaccess::Error& e) {
      first = nullptr;
      full = nullptr;
      const Outcome outcome = isStop(e) || control->cancelled() ? Outcome::Cancelled : Outcome::Failed;
      QMetaObject::invokeMethod(
          this, [this, generation, outcome, e] { deliver(generation, outcome, nullptr, e); }, Qt::QueuedConnection);
    } catch (const std::exception& e) {
      first = nullptr;
      full = nullptr;
      const dataaccess::Error error(dataaccess::err::kProviderFailure, QStringLiteral("Recordset.Open"),
                                    QString::fromLocal8Bit(e.what()));
      QMetaObject::invokeMethod(
          this, [this, generation, error] { deliver(generation, Outcome::Failed, nullptr, error); },
          Qt::QueuedConnection);
    }
  });
}

void ContentLoad::deliverHead(quint64 generation, std::shared_ptr<dataaccess::Recordset> rows) {
  if (generation != generation_ || !running_) return;
  emit headReady(std::move(rows));
}

void ContentLoad::deliverGrown(quint64 generation, const std::shared_ptr<Grown>& grown) {
  dataaccess::PartialRowsPtr rows;
  {
    std::lock_guard<std::mutex> lock(grown->mutex);
    rows = std::move(grown->rows);
    grown->rows.reset();
  }
  if (generation != generation_ || !running_ || !rows) return;
  emit rowsGrown(std::move(rows));
}

void ContentLoad::deliver(quint64 generation, Outcome outcome, std::shared_ptr<dataaccess::Recordset> rows,
                          const dataaccess::Error& error) {
  // An outcome of a load that was stopped (or replaced) meanwhile is stale.
  if (generation != generation_ || !running_) return;
  // The worker posted this as its last act: it is ending.
  join();
  running_ = false;
  ticker_.stop();
  lastFinished_ = outcome == Outcome::Finished;
  switch (outcome) {
    case Outcome::Finished: emit finished(std::move(rows)); break;
    case Outcome::Failed: emit failed(error); break;
    case Outcome::Cancelled: case Outcome::None: emit cancelled(); break;
  }
  emit settled();
}

void ContentLoad::cancel() {
  if (running_ && control_) control_->cancel();
}

void ContentLoad::stop() {
  if (control_) control_->cancel();
  join();
  const bool was = running_;
  running_ = false;
  ++generation_;  // whatever the worker posted is now stale
  ticker_.stop();
  if (was) {
    lastFinished_ = false;
    emit settled();
  }
}

void ContentLoad::join() {
  if (worker_.joinable()) worker_.join();
}

bool ContentLoad::wait() {
  if (!running_) return lastFinished_;
  QPointer<ContentLoad> self(this);
  QEventLoop loop;
  connect(this, &ContentLoad::settled, &loop, &QEventLoop::quit);
  loop.exec();
  return self && lastFinished_;
}

int ContentLoad::percent() const { return running_ && control_ ? control_->percent() : -1; }

}  // namespace viewer
