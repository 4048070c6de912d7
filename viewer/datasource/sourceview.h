// The main window as the data-source logic sees it. OpenSource creates the
// window on first use through a factory that the window program installs
// and hands it each newly opened source; lumbrook-cli installs a view of its
// own that only records what it was given. QtCore only.
#pragma once

#include "dataaccess/connection.h"

#include <QString>
#include <functional>
#include <memory>

namespace viewer {

class SourceView {
 public:
  virtual ~SourceView();

  // Lists the catalogue of `cna` (may be none) and keeps `ext` (the lower-
  // cased extension of the opened file, possibly empty) as the view's
  // data-source kind text. For a persisted recordset (SourceKind 8) the
  // view loads CurrentPath itself.
  virtual void OpenDB(std::shared_ptr<dataaccess::Connection> cna, const QString& ext) = 0;

  // The data-source kind text last given to OpenDB (empty before).
  virtual QString dataSourceKind() const = 0;

  // Sets the window caption.
  virtual void setCaption(const QString& caption) = 0;
};

using SourceViewFactory = std::function<SourceView*()>;

// Installs the factory that creates the main window. The factory's result is
// owned by whoever created it; it must call sourceViewClosed() before it is
// destroyed.
void setSourceViewFactory(SourceViewFactory factory);

// The main window, created through the factory on first use. nullptr when no
// factory is installed.
SourceView* sourceView();

// The main window is gone (closed); the next sourceView() creates a new one.
void sourceViewClosed();

}  // namespace viewer
