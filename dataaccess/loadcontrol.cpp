#include "loadcontrol.h"

#include "error.h"
#include "partialrows.h"

namespace dataaccess {

namespace {
thread_local LoadControl* tCurrent = nullptr;
thread_local bool tPartialRows = false;
}

int LoadControl::percent() const {
  const int64_t total = this->total();
  if (total <= 0) return -1;
  const int64_t done = this->done();
  if (done >= total) return 100;
  return int(done * 100 / total);
}

ScopedLoadControl::ScopedLoadControl(LoadControl* control) : previous_(tCurrent) { tCurrent = control; }

ScopedLoadControl::~ScopedLoadControl() { tCurrent = previous_; }

LoadControl* currentLoadControl() { return tCurrent; }

bool loadCancelled() { return tCurrent && tCurrent->cancelled(); }

void throwIfLoadCancelled(const char* source) {
  if (loadCancelled())
    throw Error(err::kOperationCancelled, QString::fromLatin1(source), QStringLiteral("Operation was cancelled."));
}

void reportLoadProgress(int64_t done, int64_t total) {
  if (tCurrent) tCurrent->setProgress(done, total);
}

ScopedPartialRows::ScopedPartialRows() : previous_(tPartialRows) { tPartialRows = true; }

ScopedPartialRows::~ScopedPartialRows() { tPartialRows = previous_; }

bool partialRowsWanted() { return tPartialRows && tCurrent && tCurrent->partialRowsSink(); }

void reportPartialRows(std::shared_ptr<const PartialRows> rows) {
  if (partialRowsWanted()) tCurrent->partialRowsSink()(std::move(rows));
}

}  // namespace dataaccess
