// report_bench MODE CSV [ROWS]: one run of the report window over a large
// CSV file (written first with ROWS rows, default 100000, when missing).
//   time   open and view the file, then time "Preview" to the first report
//          page shown, and the last-page button to the last page shown
//   shot FIRST.png LAST.png
//          the same, saving pictures of the window on the first and the
//          last page
// Run under xvfb-run (or QT_QPA_PLATFORM=offscreen).
#include "../text/bigcsv.h"
#include "datasource/opening.h"
#include "datasource/sourcestate.h"
#include "datasource/sourceview.h"
#include "mainwindow/viewdb.h"
#include "report/printpreview.h"
#include "report/printwindow.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <QWebEngineView>
#include <cstdio>
#include <functional>
#include <unistd.h>

namespace {

void spin(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

QVariant js(QWebEnginePage* page, const QString& code) {
  QVariant result;
  bool done = false;
  page->runJavaScript(code, [&](const QVariant& v) {
    result = v;
    done = true;
  });
  while (!done) spin(1);
  return result;
}

QString counter(QWebEnginePage* page) {
  return js(page, QStringLiteral("(function(){var p=document.getElementById('PGS');return p?p.textContent:'';})()"))
      .toString();
}

}  // namespace

int main(int argc, char** argv) {
  if (geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s time CSV [ROWS] | shot FIRST.png LAST.png CSV [ROWS]\n", argv[0]);
    return 2;
  }
  const QString mode = QString::fromLocal8Bit(argv[1]);
  const int csvArg = mode == QLatin1String("shot") ? 4 : 2;
  if (argc <= csvArg) return 2;
  const QString csv = QFileInfo(QString::fromLocal8Bit(argv[csvArg])).absoluteFilePath();
  const long long rows = argc > csvArg + 1 ? std::atoll(argv[csvArg + 1]) : 100000;
  if (!QFileInfo::exists(csv) && !lumbrook_bench::writeBigCsv(csv.toStdString(), rows)) return 1;

  viewer::f_ViewDB* window = nullptr;
  viewer::setSourceViewFactory([&window] {
    window = new viewer::f_ViewDB;
    window->Load();
    return window;
  });
  viewer::state().ShowSplash = 0;
  viewer::state().PageSize = 20;
  viewer::OpenSource(csv);
  if (!window) return 1;
  window->show();
  window->buttonClick(QStringLiteral("view"));
  app.processEvents();

  QElapsedTimer timer;
  if (qEnvironmentVariableIsSet("REPORT_BENCH_WARM")) {
    // The browser engine started before the command, as the program starts
    // it at idle time after its window shows.
    viewer::PrepareReportEngine();
    spin(4000);
  }
  timer.start();
  window->buttonClick(QStringLiteral("Preview"));
  viewer::f_Print* form = viewer::PrintForm();
  if (!form) return 1;
  const qint64 built = timer.elapsed();
  QWebEnginePage* page = form->WEB->page();
  while (counter(page).isEmpty()) {
    if (timer.elapsed() > 120000) return 1;
    spin(2);
  }
  const qint64 firstPage = timer.elapsed();
  const long long shownRows = window->currentRecordset() ? window->currentRecordset()->RecordCount() : -1;
  std::printf("rows %lld: Preview to report files written %lld ms, to first page shown %lld ms (%s)\n", shownRows,
              static_cast<long long>(built), static_cast<long long>(firstPage), qPrintable(counter(page)));
  // A second preview: the same window and a running engine.
  bool reportLoaded = false;
  QObject::connect(form->WEB, &QWebEngineView::loadFinished, [&](bool) {
    reportLoaded = form->WEB->url().isLocalFile();
  });
  timer.restart();
  window->buttonClick(QStringLiteral("Preview"));
  const qint64 rebuilt = timer.elapsed();
  while (!reportLoaded || counter(page).isEmpty()) spin(2);
  std::printf("second Preview: report files written %lld ms, first page shown %lld ms\n",
              static_cast<long long>(rebuilt), static_cast<long long>(timer.elapsed()));
  if (mode == QLatin1String("shot")) {
    form->resize(760, 620);
    spin(1500);
    form->grab().save(QString::fromLocal8Bit(argv[2]));
  }

  // The last-page button, as a click would run it: timed inside the page
  // and from here (including the round trip to the engine and back).
  timer.restart();
  const double inPage =
      js(page, QStringLiteral("(function(){var t=performance.now();document.getElementById('cmdLastPage').click();"
                              "return performance.now()-t;})()"))
          .toDouble();
  const qint64 roundTrip = timer.elapsed();
  std::printf("last page: %.1f ms in the page, %lld ms round trip (%s)\n", inPage, static_cast<long long>(roundTrip),
              qPrintable(counter(page)));
  if (mode == QLatin1String("shot")) {
    spin(1500);
    form->grab().save(QString::fromLocal8Bit(argv[3]));
  }
  return 0;
}
