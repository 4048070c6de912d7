// lumbrook-report-pdf PAGE OUT.pdf: renders a report page written by
// BuildReport to a PDF holding every report page, one after another (all
// rows of the report, not only the page a window would show first). It runs
// the page in the same guarded browser as the report window, so the page
// reads local files only. `lumbrook-cli report --pdf` runs it; keeping the
// browser engine in this helper leaves lumbrook-cli a QtCore program that
// starts at once for everything else.
#include "reportweb.h"

#include "dataaccess/error.h"

#include <QApplication>
#include <QFileInfo>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QTimer>
#include <QWebEngineView>
#include <cstdio>
#include <unistd.h>

namespace {

// "number: description" as the last line of the error output.
int fail(const QString& description) {
  const dataaccess::Error e(dataaccess::err::kAppBase, QStringLiteral("lumbrook-report-pdf"), description);
  std::fprintf(stderr, "%s\n", e.message().toLocal8Bit().constData());
  return 1;
}

// True once the page's script has read the report XML: the counter is set,
// or the table area says there is nothing to show.
const char kReady[] =
    "(function(){var p=document.getElementById('PGS'),t=document.getElementById('xTABLE');"
    "return !!((p&&p.textContent)||(t&&t.textContent));})()";
// Every row on one report page, so the print holds all of them.
const char kAllRows[] = "if (typeof RS !== 'undefined' && RS) { defPageSize = Math.max(CNT, 1); FirstPage(); }";

}  // namespace

int main(int argc, char** argv) {
  // Headless by default: the helper never shows a window.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The engine's own sandbox cannot start as root; the page is the
  // program's own, held to local files by the request guard.
  if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  QApplication app(argc, argv);
  const QStringList args = QCoreApplication::arguments().mid(1);
  if (args.size() != 2) {
    std::fputs("usage: lumbrook-report-pdf PAGE.htm OUT.pdf\n", stderr);
    return 2;
  }
  const QFileInfo page(args[0]);
  if (!page.isFile()) return fail(QStringLiteral("The report page '%1' does not exist.").arg(args[0]));
  const QString out = QFileInfo(args[1]).absoluteFilePath();

  QWebEngineView view;
  view.setAttribute(Qt::WA_DontShowOnScreen);
  view.setPage(new viewer::ReportWebPage(&view));
  view.resize(1000, 800);
  view.show();

  int rc = 1;
  QString problem = QStringLiteral("The report page could not be rendered in time.");
  QTimer deadline;
  deadline.setSingleShot(true);
  QObject::connect(&deadline, &QTimer::timeout, &app, [&] { app.exit(1); });
  deadline.start(120000);

  QObject::connect(view.page(), &QWebEnginePage::pdfPrintingFinished, &app, [&](const QString&, bool ok) {
    rc = ok ? 0 : 1;
    if (!ok) problem = QStringLiteral("The PDF '%1' could not be written.").arg(out);
    app.exit(rc);
  });
  std::function<void()> whenReady = [&] {
    view.page()->runJavaScript(QString::fromLatin1(kReady), [&](const QVariant& ready) {
      if (!ready.toBool()) {
        QTimer::singleShot(50, &app, whenReady);
        return;
      }
      view.page()->runJavaScript(QString::fromLatin1(kAllRows), [&](const QVariant&) {
        const QPageLayout layout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10),
                                 QPageLayout::Millimeter);
        view.page()->printToPdf(out, layout);
      });
    });
  };
  QObject::connect(&view, &QWebEngineView::loadFinished, &app, [&](bool ok) {
    if (!ok) {
      problem = QStringLiteral("The report page '%1' could not be loaded.").arg(args[0]);
      app.exit(1);
      return;
    }
    whenReady();
  });
  view.setUrl(QUrl::fromLocalFile(page.absoluteFilePath()));
  rc = app.exec();
  if (rc != 0) return fail(problem);
  return 0;
}
