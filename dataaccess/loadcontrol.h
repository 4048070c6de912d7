// Stopping and following a long read from another thread. Whoever starts a
// long load (the window, on a worker thread) makes a LoadControl, installs it
// on the thread that does the work with ScopedLoadControl, and keeps a
// reference to it: cancel() may then be called from any thread, and the
// readers of the data-access layer (the text reader between chunks, the SQL
// engine from SQLite's progress handler) stop at their next check by
// raising Error(err::kOperationCancelled). They also report how far they
// are, which the starter reads whenever it likes.
//
// A starter that can show rows before the whole table is there also gives
// the control a sink for partial rows (partialrows.h). A reader hands its
// rows read so far to it only where the provider has said that those rows
// are the answer of the statement (ScopedPartialRows): a plain read of a
// table, not the input of a query.
//
// A thread without a control installed never stops and reports nowhere, so
// every existing caller behaves as before.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

namespace dataaccess {

class PartialRows;

namespace err {
// "Operation has been cancelled by the user." (3712): a load stopped
// through its LoadControl.
constexpr int32_t kOperationCancelled = -2146824576;
}  // namespace err

class LoadControl {
 public:
  void cancel() { cancelled_.store(true, std::memory_order_relaxed); }
  bool cancelled() const { return cancelled_.load(std::memory_order_relaxed); }

  // How much of the work is done, in the reader's own units (bytes of a
  // file); total 0 while unknown.
  void setProgress(int64_t done, int64_t total) {
    total_.store(total, std::memory_order_relaxed);
    done_.store(done, std::memory_order_relaxed);
  }
  int64_t done() const { return done_.load(std::memory_order_relaxed); }
  int64_t total() const { return total_.load(std::memory_order_relaxed); }
  // Percent done, or -1 while the total is unknown.
  int percent() const;

  // Receives the rows read so far, on the reading thread, each time there
  // are more of them: usually the same growing object again (partialrows.h),
  // which the sink may keep and read from any thread. Set before the load
  // starts.
  using PartialRowsSink = std::function<void(std::shared_ptr<const PartialRows>)>;
  void setPartialRowsSink(PartialRowsSink sink) { partialRows_ = std::move(sink); }
  const PartialRowsSink& partialRowsSink() const { return partialRows_; }

 private:
  PartialRowsSink partialRows_;
  std::atomic<bool> cancelled_{false};
  std::atomic<int64_t> done_{0};
  std::atomic<int64_t> total_{0};
};

// Installs a control on the calling thread for the length of a scope (the
// previous one comes back afterwards).
class ScopedLoadControl {
 public:
  explicit ScopedLoadControl(LoadControl* control);
  ~ScopedLoadControl();
  ScopedLoadControl(const ScopedLoadControl&) = delete;
  ScopedLoadControl& operator=(const ScopedLoadControl&) = delete;

 private:
  LoadControl* previous_;
};

// The control installed on the calling thread, or nullptr.
LoadControl* currentLoadControl();
// Whether the load running on this thread was asked to stop.
bool loadCancelled();
// Raises Error(err::kOperationCancelled, source) when the load running on
// this thread was asked to stop.
void throwIfLoadCancelled(const char* source);
// Reports progress to the control of this thread, if any.
void reportLoadProgress(int64_t done, int64_t total);

// Marks, for the length of a scope on this thread, that the table a reader
// reads is itself the answer, so that its rows read so far may be shown.
class ScopedPartialRows {
 public:
  ScopedPartialRows();
  ~ScopedPartialRows();
  ScopedPartialRows(const ScopedPartialRows&) = delete;
  ScopedPartialRows& operator=(const ScopedPartialRows&) = delete;

 private:
  bool previous_;
};

// Whether a reader on this thread should hand out its rows read so far: a
// sink is installed and the rows are the answer.
bool partialRowsWanted();
// Hands rows read so far to the sink, when partialRowsWanted().
void reportPartialRows(std::shared_ptr<const PartialRows> rows);

}  // namespace dataaccess
