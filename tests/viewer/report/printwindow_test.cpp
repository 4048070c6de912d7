// The report window in the embedded browser: the report shown from View,
// hostile names and values as text, no request leaving the machine, links
// opened outside, print without a printer, the preview's rendering, one
// window reused by a second preview, and a failed build reported.
#include "../viewertestsupport.h"

#include "dataaccess/rowstore.h"
#include "testsupport/tempdir.h"
#include "viewer/report/printpreview.h"
#include "viewer/report/printwindow.h"
#include "viewer/report/reportbuilder.h"
#include "viewer/report/reportweb.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QTcpServer>
#include <QTimer>
#include <QToolBar>
#include <QWebEngineView>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace viewer;
using testsupport::TempDir;

namespace {

// The engine's sandbox cannot start as root (CI containers); it is read when
// the first page is made, after main() has set up the application.
[[maybe_unused]] const bool sandboxOffForRoot = [] {
  if (geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  return true;
}();

const QString kHostile = "<img src=x onerror=\"window.pwned=1\"><script>window.pwned=2</script>";

std::unique_ptr<dataaccess::Recordset> rowsOf(int count, const QString& column = "name",
                                              const QString& value = "Ann") {
  auto store = std::make_shared<dataaccess::RowStore>(std::vector<dataaccess::FieldInfo>{
      {"id", dataaccess::adInteger, 4}, {column, dataaccess::adVarWChar, 200}, {"born", dataaccess::adDate, 8}});
  for (int i = 1; i <= count; ++i)
    store->appendRow({qlonglong(i), i == 1 ? value : QString("P%1").arg(i),
                      QDateTime(QDate(2004, 3, 5), QTime(10, 20, 30))});
  auto rs = std::make_unique<dataaccess::Recordset>();
  rs->attach(store, nullptr, "SELECT * FROM t", dataaccess::adOpenStatic, dataaccess::adLockReadOnly);
  return rs;
}

bool waitUntil(const std::function<bool()>& done, int ms = 20000) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > ms) return false;
    QEventLoop loop;
    QTimer::singleShot(20, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

QVariant js(QWebEnginePage* page, const QString& code) {
  QVariant result;
  bool done = false;
  page->runJavaScript(code, [&](const QVariant& v) {
    result = v;
    done = true;
  });
  waitUntil([&] { return done; });
  return result;
}

// Waits until the report page has read its XML and shown a page (or said
// there is nothing to show).
bool reportShown(QWebEnginePage* page) {
  return waitUntil([&] {
    return js(page, "(function(){var p=document.getElementById('PGS'),t=document.getElementById('xTABLE');"
                    "return !!((p&&p.textContent)||(t&&t.textContent));})()")
        .toBool();
  });
}

// A window writing its reports to a temporary folder.
struct Window {
  TempDir dir;
  viewertest::RecordingPrompts prompts;
  f_Print* form = new f_Print;
  Window() {
    form->setAttribute(Qt::WA_DeleteOnClose, false);
    form->setReportFolder(dir.path());
    state().SourceKind = kind::Csv;
    state().PageSize = 20;
  }
  ~Window() { delete form; }
  QWebEnginePage* page() const { return form->WEB->page(); }
};

}  // namespace

TEST(ReportWindow, ToolbarHasTheFourButtonsWithTheirToolTipsAndIcons) {
  f_Print form;
  EXPECT_EQ(form.windowTitle(), "Print");
  const QList<QAction*> actions = form.Toolbar1->actions();
  ASSERT_EQ(actions.size(), 4);
  const QStringList keys = {"Preview", "PageOrientation", "Print", "Exit"};
  const QStringList tips = {"Print Preview", "Page Options", "Print", "Close"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(actions[i]->objectName(), keys[i]);
    EXPECT_EQ(actions[i]->toolTip(), tips[i]);
    EXPECT_FALSE(actions[i]->icon().isNull()) << keys[i].toStdString();
  }
}

TEST(ReportWindow, ViewShowsTheReportWithHostileNamesAndValuesAsText) {
  Window w;
  ReportTitle = ReportHead = kHostile;
  auto rs = rowsOf(45, kHostile, kHostile);
  QString html;
  w.form->View(*rs, false, html, "utf-8");
  EXPECT_TRUE(w.prompts.shown.empty());
  EXPECT_TRUE(w.form->isVisible());
  EXPECT_FALSE(html.isEmpty());
  EXPECT_TRUE(w.form->WEB->url().isLocalFile());
  ASSERT_TRUE(reportShown(w.page()));
  EXPECT_EQ(js(w.page(), "document.getElementById('PGS').textContent").toString(), " Page 1 from 3 pages. ");
  EXPECT_EQ(js(w.page(), "document.querySelectorAll('#xmlTbl tbody tr').length").toInt(), 20);
  EXPECT_EQ(js(w.page(), "document.querySelectorAll('#xmlTbl th')[1].textContent").toString(), kHostile);
  EXPECT_EQ(js(w.page(), "document.querySelectorAll('#xmlTbl tbody tr')[0].cells[1].textContent").toString(),
            kHostile);
  EXPECT_EQ(js(w.page(), "document.querySelector('h1').textContent").toString(), kHostile);
  EXPECT_EQ(js(w.page(), "document.title.trim()").toString(), kHostile);
  EXPECT_EQ(js(w.page(), "document.querySelectorAll('img, #xTABLE script').length").toInt(), 0);
  EXPECT_EQ(js(w.page(), "String(window.pwned)").toString(), "undefined");
  EXPECT_TRUE(ReportGuard()->blocked().isEmpty()) << ReportGuard()->blocked().join(' ').toStdString();
}

TEST(ReportWindow, NoRequestLeavesTheMachineAndTheViewStaysOnTheReport) {
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
  int connections = 0;
  QObject::connect(&server, &QTcpServer::newConnection, [&] { ++connections; });
  const QString remote = QString("http://127.0.0.1:%1/leak").arg(server.serverPort());

  // A local page without the report's content policy, so only the guard
  // stands between it and the network.
  TempDir dir;
  const QString page = dir.write("probe.htm", QString("<html><body><img src='%1.png'>"
                                                      "<a id=out href='%1.html'>out</a></body></html>")
                                                  .arg(remote)
                                                  .toUtf8());
  QList<QUrl> opened;
  auto savedOpener = ReportWebPage::externalOpener();
  ReportWebPage::externalOpener() = [&](const QUrl& url) { opened << url; };

  // The engine's own block of remote loads from local pages is lifted here,
  // so the guard alone must refuse them.
  QWebEngineSettings* settings = ReportProfile()->settings();
  settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
  QWebEngineView view;
  view.setPage(new ReportWebPage(&view));
  bool loaded = false;
  QObject::connect(&view, &QWebEngineView::loadFinished, [&] { loaded = true; });
  view.setUrl(QUrl::fromLocalFile(page));
  ASSERT_TRUE(waitUntil([&] { return loaded; }));
  EXPECT_TRUE(waitUntil([&] { return ReportGuard()->blocked().contains(remote + ".png"); }, 5000));

  // Without the user's own click or key, neither a script's click on a link
  // nor a script's navigation goes anywhere.
  js(view.page(), "document.getElementById('out').click()");
  js(view.page(), QString("location.href = '%1.js'").arg(remote));
  js(view.page(), QString("fetch('%1.fetch').catch(function(){})").arg(remote));
  waitUntil([] { return false; }, 500);
  EXPECT_TRUE(opened.isEmpty()) << QUrl::toStringList(opened).join(' ').toStdString();
  EXPECT_EQ(view.url(), QUrl::fromLocalFile(page));

  // Just after a key press a link opens outside; the view stays put.
  QKeyEvent key(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QCoreApplication::sendEvent(&view, &key);
  js(view.page(), "document.getElementById('out').click()");
  EXPECT_TRUE(waitUntil([&] { return !opened.isEmpty(); }, 5000));
  waitUntil([] { return false; }, 300);
  EXPECT_EQ(view.url(), QUrl::fromLocalFile(page));
  ASSERT_EQ(opened.size(), 1);
  EXPECT_EQ(opened[0].toString(), remote + ".html");
  EXPECT_EQ(connections, 0);
  EXPECT_TRUE(ReportGuard()->blocked().contains(remote + ".fetch"));
  EXPECT_FALSE(ReportGuard()->blocked().contains(remote + ".html"));
  settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
  ReportWebPage::externalOpener() = savedOpener;

  EXPECT_TRUE(IsLocalReportRequest(QUrl::fromLocalFile("/tmp/a b.xml")));
  EXPECT_TRUE(IsLocalReportRequest(QUrl("about:blank")));
  EXPECT_FALSE(IsLocalReportRequest(QUrl("file://server/share/a.xml")));
  EXPECT_FALSE(IsLocalReportRequest(QUrl("https://example.com/")));
  EXPECT_FALSE(IsLocalReportRequest(QUrl("ftp://example.com/a")));
}

TEST(ReportWindow, PrintWithoutAPrinterSaysSoWhilePreviewRenderingStillWorks) {
  Window w;
  ReportTitle = ReportHead = "Orders";
  auto rs = rowsOf(5);
  QString html;
  w.form->View(*rs, false, html, "utf-8");
  ASSERT_TRUE(reportShown(w.page()));

  w.form->printerReady = [] { return false; };
  w.form->buttonClick("Print");
  ASSERT_EQ(w.prompts.shown.size(), 1u);
  EXPECT_EQ(w.prompts.shown[0].text, "The printer is not ready to operation.");
  EXPECT_EQ(w.prompts.shown[0].icon, Prompts::Information);
  EXPECT_TRUE(w.form->isVisible());

  // What the print preview draws: the page rendered onto a printer.
  QPrinter pdf;
  pdf.setOutputFormat(QPrinter::PdfFormat);
  pdf.setOutputFileName(w.dir.file("preview.pdf"));
  EXPECT_TRUE(w.form->renderTo(&pdf));
  EXPECT_TRUE(w.dir.read("preview.pdf").startsWith("%PDF"));
}

TEST(ReportWindow, AFailedBuildIsShownAndTheWindowStaysOpenOnABlankPage) {
  Window w;
  const QString blocker = w.dir.write("file", "x");
  w.form->setReportFolder(blocker + "/Data");  // under a file: cannot be made
  ReportTitle = ReportHead = "Orders";
  auto rs = rowsOf(3);
  QString html;
  w.form->View(*rs, false, html, "utf-8");
  ASSERT_EQ(w.prompts.shown.size(), 1u);
  EXPECT_EQ(w.prompts.shown[0].icon, Prompts::Critical);
  EXPECT_TRUE(w.prompts.shown[0].text.contains(QRegularExpression("^-?\\d+: ")))
      << w.prompts.shown[0].text.toStdString();
  EXPECT_TRUE(w.form->isVisible());
  EXPECT_EQ(w.form->WEB->url().toString(), "about:blank");
  EXPECT_TRUE(html.isEmpty());
}

TEST(ReportWindow, ASecondPreviewReusesTheWindowAndNothingWithoutARecordset) {
  viewertest::RecordingPrompts prompts;
  state().SourceKind = kind::Csv;
  ShowPrintPreview(nullptr, "None", "None");
  EXPECT_EQ(PrintForm(), nullptr);

  auto first = rowsOf(3);
  ShowPrintPreview(first.get(), "ReuseA", "Heading A");
  f_Print* form = PrintForm();
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(ReportTitle, "ReuseA");
  EXPECT_EQ(ReportHead, "Heading A");
  auto second = rowsOf(4);
  ShowPrintPreview(second.get(), "ReuseB", "Heading B");
  EXPECT_EQ(PrintForm(), form);
  EXPECT_TRUE(form->WEB->url().toLocalFile().endsWith("/ReuseB.htm"));
  EXPECT_TRUE(prompts.shown.empty());

  // "Exit" unloads the window (clicked from inside an event loop, as a user
  // would, so the deferred deletion runs).
  QTimer::singleShot(0, form, [form] { form->buttonClick("Exit"); });
  EXPECT_TRUE(waitUntil([] { return PrintForm() == nullptr; }, 5000));
}
