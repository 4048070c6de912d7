// The browser side of the report: a web page that stays on its report and a
// request guard that lets only local files through. The report shows values
// from files nobody vetted, so the engine that shows it may read the report
// folder and nothing else: a link click (the footer's help link) leaves
// through the desktop's own opener, every other navigation away is refused,
// and no request leaves the machine. The report window and the PDF helper
// both show reports through these.
#pragma once

#include <QStringList>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInterceptor>
#include <functional>

class QWebEngineProfile;

namespace viewer {

// True for what a report may load: local files, the blank page and inline
// data the engine makes itself.
bool IsLocalReportRequest(const QUrl& url);

// Refuses every request IsLocalReportRequest does not allow, and keeps the
// refused addresses for whoever wants to know (the tests).
class ReportRequestGuard : public QWebEngineUrlRequestInterceptor {
 public:
  using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
  void interceptRequest(QWebEngineUrlRequestInfo& info) override;
  QStringList blocked() const { return blocked_; }

 private:
  QStringList blocked_;  // written on the engine's IO thread, read after loads
};

// The profile every report page uses: off the record (no disk cache, no
// cookies kept), with the request guard installed. One per process.
QWebEngineProfile* ReportProfile();
ReportRequestGuard* ReportGuard();

// A page that shows the report it is sent to and nothing else.
class ReportWebPage : public QWebEnginePage {
 public:
  explicit ReportWebPage(QObject* parent = nullptr);

  // How a link the user clicks leaves the report (web and file addresses
  // only, and only just after a click or key press of the user's own);
  // QDesktopServices by default. Tests put a recorder here.
  static std::function<void(const QUrl&)>& externalOpener();

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
};

}  // namespace viewer
