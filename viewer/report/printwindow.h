// f_Print: the report window. A toolbar (print preview, page setup, print,
// close) over an embedded browser that shows the paged report page. The
// report files themselves come from BuildReport; this window only shows the
// page and hands it to Qt's print preview, page setup and print dialogs.
#pragma once

#include "dataaccess/recordset.h"

#include <QPrinter>
#include <QString>
#include <QWidget>
#include <functional>

class QToolBar;
class QWebEngineView;

namespace viewer {

class f_Print : public QWidget {
  Q_OBJECT

 public:
  // A top-level window owned by `owner` (it stays above it and closes with it).
  explicit f_Print(QWidget* owner = nullptr);
  ~f_Print() override;

  // Builds the report of `rs` (titled ReportTitle, headed ReportHead) and
  // shows it; `html` receives the page's text. The window is always
  // modeless; `modal` is not read. A failure is shown as "number:
  // description" with the critical icon and leaves the window open.
  void View(dataaccess::Recordset& rs, bool modal, QString& html, const QString& encoding);

  // A toolbar button by its key: "Preview", "PageOrientation", "Print", "Exit".
  void buttonClick(const QString& key);

  // Renders the page on view onto `printer` (the preview's pages, a PDF, a
  // real printer) and waits until it is done. False when nothing was shown
  // or the engine failed.
  bool renderTo(QPrinter* printer);

  // Where reports are written; empty (the default) means ReportFolder().
  void setReportFolder(const QString& folder) { reportFolder_ = folder; }
  // Whether a printer is there to print on; by default, whether the system
  // knows any printer. Tests replace it.
  std::function<bool()> printerReady;

  QToolBar* Toolbar1 = nullptr;
  QWebEngineView* WEB = nullptr;

 private:
  void navigate(const QUrl& url);

  QString reportFolder_;
  QPrinter printer_;  // page setup is kept between preview and print
};

// The report window while it is open, else null.
f_Print* PrintForm();

}  // namespace viewer
