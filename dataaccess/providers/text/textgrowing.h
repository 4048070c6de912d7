// The rows of a delimited text file read so far, handed out while the file
// is still being read (partialrows.h). Nothing is copied: a cell is read
// from the reader's own cell lists (rawcolumns.h) when it is asked for, and
// converted to the column's type as guessed at the last hand-out, as the
// finished table will convert it.
//
// The reader holds lock() exclusively while it changes its columns (adds
// cells, grows or moves their memory); it lets go between two stretches of
// the file, and every few hundred records when someone waits to read
// (letReadersIn), so that a grid painting the rows waits no more than a
// moment. Reads take the lock shared. publish() makes more rows readable;
// close() ends reading before the reader frees its cells for the finished
// table.
#pragma once

#include "../../partialrows.h"
#include "rawcolumns.h"
#include "textvalues.h"

#include <QLocale>
#include <atomic>
#include <mutex>
#include <shared_mutex>
#include <string_view>
#include <thread>
#include <vector>

namespace dataaccess::text {

class GrowingTextRows : public PartialRows {
 public:
  // `cols` are the reader's columns; they must outlive the object or its
  // close(), whichever comes first.
  GrowingTextRows(const std::vector<RawColumn>* cols, const QLocale& locale);

  // The reader's lock (see above).
  std::shared_mutex& lock() { return lock_; }
  // Makes the first `rows` rows readable, typed as `fields`.
  // REQUIRES: the caller holds lock() exclusively; every column of the
  // reader holds at least `rows` cells; rows do not decrease.
  void publish(int64_t rows, std::vector<FieldInfo> fields);
  // Lets those waiting to read in, then takes the lock back. REQUIRES:
  // `writing` holds lock().
  void letReadersIn(std::unique_lock<std::shared_mutex>& writing) {
    if (waiting_.load(std::memory_order_relaxed) == 0) return;
    writing.unlock();
    while (waiting_.load(std::memory_order_acquire) != 0) std::this_thread::yield();
    writing.lock();
  }
  // Ends reading; values read as Null from now on. REQUIRES: the caller
  // does not hold lock().
  void close();

  int64_t rowCount() const override;
  std::vector<FieldInfo> fields() const override;
  QVariant value(int64_t row, int column) const override;
  std::vector<QVariant> values(int64_t firstRow, int64_t rows, int columns) const override;
  bool readable() const override;

 private:
  // The shared lock, taken so that the reader lets this thread in soon.
  std::shared_lock<std::shared_mutex> readLock() const;
  // Where the cell of `row` starts in the cells of `column`.
  // REQUIRES: the shared lock held, row < rows_.
  CellArena::Place cellAt(int64_t row, size_t column) const;

  mutable std::shared_mutex lock_;
  mutable std::atomic<int> waiting_{0};  // threads waiting for the shared lock
  const std::vector<RawColumn>* cols_;  // null once closed
  int64_t rows_ = 0;
  std::vector<FieldInfo> fields_;
  const ValueParser values_;
  // For each column, the place of every kStride-th row's cell, found as far
  // as rows have been asked for.
  mutable std::mutex marksLock_;
  mutable std::vector<std::vector<CellArena::Place>> marks_;
};

// The value a cell of text has in a column of `type`, as the finished table
// holds it (invalid for Null and for a cell that does not convert).
QVariant textCellValue(DataTypeEnum type, std::string_view cell, bool null, const ValueParser& values);

}  // namespace dataaccess::text
