#include "reportweb.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QEvent>
#include <QMutex>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInfo>

namespace viewer {

namespace {

QMutex blockedLock;

// When the user last pressed a key or released a mouse button anywhere in
// the program: a link only leaves the report for a user's own click, never
// for a page script that "clicks" by itself.
class UserInputClock : public QObject {
 public:
  UserInputClock() { QCoreApplication::instance()->installEventFilter(this); }
  bool recent() const { return last_.isValid() && last_.elapsed() < 2000; }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    const QEvent::Type t = event->type();
    if (t == QEvent::MouseButtonRelease || t == QEvent::KeyPress || t == QEvent::TouchEnd) last_.start();
    return false;
  }

 private:
  QElapsedTimer last_;
};

UserInputClock& inputClock() {
  static UserInputClock* clock = new UserInputClock;
  return *clock;
}

// Only addresses a desktop opener should get: web pages and local files.
bool openable(const QUrl& url) {
  const QString scheme = url.scheme().toLower();
  return scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("file");
}

void openOutside(const QUrl& url) {
  if (inputClock().recent() && openable(url)) ReportWebPage::externalOpener()(url);
}

}  // namespace

bool IsLocalReportRequest(const QUrl& url) {
  const QString scheme = url.scheme().toLower();
  if (scheme == QLatin1String("file")) return url.host().isEmpty() || url.host() == QLatin1String("localhost");
  if (scheme == QLatin1String("about")) return url.path() == QLatin1String("blank");
  return scheme == QLatin1String("data") || scheme == QLatin1String("blob");
}

void ReportRequestGuard::interceptRequest(QWebEngineUrlRequestInfo& info) {
  if (IsLocalReportRequest(info.requestUrl())) return;
  info.block(true);
  QMutexLocker lock(&blockedLock);
  blocked_ << info.requestUrl().toString();
}

ReportRequestGuard* ReportGuard() {
  static ReportRequestGuard* guard = new ReportRequestGuard;
  return guard;
}

QWebEngineProfile* ReportProfile() {
  static QWebEngineProfile* profile = [] {
    auto* p = new QWebEngineProfile;  // no storage name: off the record
    p->setUrlRequestInterceptor(ReportGuard());
    QWebEngineSettings* s = p->settings();
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    s->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
    return p;
  }();
  return profile;
}

std::function<void(const QUrl&)>& ReportWebPage::externalOpener() {
  static std::function<void(const QUrl&)> opener = [](const QUrl& url) { QDesktopServices::openUrl(url); };
  return opener;
}

ReportWebPage::ReportWebPage(QObject* parent) : QWebEnginePage(ReportProfile(), parent) {
  inputClock();
  // A link meant for a new window (the footer's target="_blank") opens
  // outside; no window of the engine's own is made.
  connect(this, &QWebEnginePage::newWindowRequested, this, [](QWebEngineNewWindowRequest& request) {
    if (request.isUserInitiated()) openOutside(request.requestedUrl());
  });
}

bool ReportWebPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
  if (type == NavigationTypeLinkClicked) {
    openOutside(url);
    return false;
  }
  // Loads the program starts itself (typed: setUrl/load) and reloads of the
  // report are the only ways in; a page's script cannot move it elsewhere.
  if (type == NavigationTypeTyped || type == NavigationTypeReload) return IsLocalReportRequest(url);
  return !isMainFrame && IsLocalReportRequest(url);
}

}  // namespace viewer
