// The hourglass for the length of a scope: set on construction, restored on
// destruction, so every exit path (an error included) gives the pointer back.
#pragma once

#include <QGuiApplication>

namespace viewer {

class WaitCursor {
 public:
  WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace viewer
