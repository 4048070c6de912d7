// window_bench MODE CSV: one run of the main window over a large CSV file.
//   view       open the file, run the view command, paint the first rows
//              (shown while the rest loads), wait for the full load, then
//              Ctrl+End to the last row and paint it
//   still      the same, the grid not growing while the rest loads (the
//              load without handing out the rows read so far)
//   wait       the same, the view command waiting for the full load before
//              it paints (as the window did before loading in the
//              background)
//   recordset  open the file and load the same rows into a recordset that
//              no grid shows (the memory the rows cost on their own)
//   filter     view the file, then filter by the category of row 1, remove
//              the filter, filter by the category of row 2 and stack a
//              filter on the name; each command timed to the painted grid
//   make ROWS  write the benchmark CSV with ROWS rows to CSV first
//   shot OUT [TABLE] [columns]
//              view TABLE (default: the list's first) or its columns and save
//              a picture of the window to OUT
// Prints timings in milliseconds and the peak resident memory (VmHWM) and
// current resident memory (VmRSS) of the process in MB. Run under xvfb-run
// or with QT_QPA_PLATFORM=offscreen.
#include "../text/bigcsv.h"
#include "dataaccess/recordset.h"
#include "datasource/catalogue.h"
#include "datasource/opening.h"
#include "datasource/sourcestate.h"
#include "datasource/sourceview.h"
#include "mainwindow/contentload.h"
#include "mainwindow/gridcursor.h"
#include "mainwindow/recordsetmodel.h"
#include "mainwindow/viewdb.h"
#include "prompts.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTableView>
#include <cstdio>
#include <cstdlib>

namespace {

double statusMB(const char* key) {
  QFile f(QStringLiteral("/proc/self/status"));
  if (!f.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : f.readAll().split('\n')) {
    if (line.startsWith(key)) {
      QByteArray v = line.mid(int(qstrlen(key))).trimmed();
      v.chop(3);  // " kB"
      return v.trimmed().toDouble() / 1024.0;
    }
  }
  return -1;
}

void printMemory(const char* when) {
  std::printf("%-28s VmRSS %8.1f MB   VmHWM %8.1f MB\n", when, statusMB("VmRSS:"), statusMB("VmHWM:"));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s view|wait|filter|recordset CSV | make CSV ROWS\n", argv[0]);
    return 2;
  }
  const QString mode = QString::fromLocal8Bit(argv[1]);
  const QString csv = QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath();
  if (mode == QLatin1String("make")) {
    const long long rows = argc > 3 ? std::atoll(argv[3]) : 1000000;
    return lumbrook_bench::writeBigCsv(csv.toStdString(), rows) ? 0 : 1;
  }

  viewer::f_ViewDB* window = nullptr;
  viewer::setSourceViewFactory([&window] {
    window = new viewer::f_ViewDB;
    window->Load();
    return window;
  });
  viewer::state().ShowSplash = 0;
  viewer::OpenSource(csv);
  if (!window) return 1;
  window->GRD->viewport()->repaint();
  app.processEvents();
  printMemory("catalogue shown");
  // The list names no table until the user picks one: pick the first.
  if (window->cmbTables->count() > 0) window->cmbTables->setCurrentIndex(0);

  if (mode == QLatin1String("shot")) {
    const QString out = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("window.png");
    if (argc > 4) window->cmbTables->setCurrentText(QString::fromLocal8Bit(argv[4]));
    const bool columns = argc > 5 && qstrcmp(argv[5], "columns") == 0;
    window->buttonClick(columns ? QStringLiteral("Properties") : QStringLiteral("view"));
    window->awaitContent();
    window->GRD->resizeColumnsToContents();
    app.processEvents();
    return window->grab().save(out) ? 0 : 1;
  }

  QElapsedTimer timer;
  if (mode == QLatin1String("recordset")) {
    timer.start();
    auto rs = viewer::OpenContent(viewer::state().CurrentConnection, window->cmbTables->currentText(),
                                  window->dataSourceKind(), viewer::state().SourceKind, viewer::state().CurrentPath);
    std::printf("rows loaded                  %lld rows in %lld ms (store %.1f MB)\n",
                static_cast<long long>(rs->RecordCount()), static_cast<long long>(timer.elapsed()),
                double(rs->store().memoryUsage()) / (1024.0 * 1024.0));
    printMemory("recordset alone");
    return 0;
  }

  if (mode == QLatin1String("wait")) window->setContentViewWaits(true);
  // The rows read so far are handed out only to a listener.
  if (mode == QLatin1String("still"))
    QObject::disconnect(window->contentLoad(), &viewer::ContentLoad::rowsGrown, nullptr, nullptr);
  int handOuts = 0;
  int grownRows = 0;
  // After the window's own handler: the rows the grid shows.
  if (mode != QLatin1String("still"))
    QObject::connect(window->contentLoad(), &viewer::ContentLoad::rowsGrown, [&] {
      ++handOuts;
      grownRows = window->gridModel->rowCount();
    });
  // WINDOW_BENCH_TRACE=1: the memory every 100 ms of the load.
  if (std::getenv("WINDOW_BENCH_TRACE"))
    QObject::connect(window->contentLoad(), &viewer::ContentLoad::progress, [&](int percent) {
      printMemory(QStringLiteral("%1%, %2 rows").arg(percent).arg(window->gridModel->rowCount()).toUtf8().constData());
    });
  timer.start();
  window->buttonClick(QStringLiteral("view"));
  // The first rows arrive from the worker as a queued call.
  while (window->gridModel->rowCount() == 0 && window->contentLoad()->running())
    app.processEvents(QEventLoop::WaitForMoreEvents);
  window->GRD->viewport()->repaint();
  const qint64 firstRows = timer.elapsed();
  std::printf("view to first painted rows   %lld ms (%d rows)\n", static_cast<long long>(firstRows),
              window->gridModel->rowCount());
  window->awaitContent();
  window->GRD->viewport()->repaint();
  const qint64 allRows = timer.elapsed();
  if (!window->currentRecordset()) {
    std::fprintf(stderr, "the view showed no rows\n");
    return 1;
  }
  std::printf("view to all rows painted     %lld ms (%d rows, store %.1f MB)\n", static_cast<long long>(allRows),
              window->gridModel->rowCount(),
              double(window->currentRecordset()->store().memoryUsage()) / (1024.0 * 1024.0));
  if (handOuts > 0) std::printf("grid grown while loading     %d times, to %d rows\n", handOuts, grownRows);
  printMemory("rows shown");

  if (mode == QLatin1String("filter")) {
    // One toolbar command with the given current cell, timed to the grid
    // painted with the new rows.
    const auto command = [&](const char* label, const char* key, int row, int column) {
      if (row >= 0) window->GRD->setCurrentIndex(window->gridModel->index(row, column));
      timer.restart();
      window->buttonClick(QString::fromLatin1(key));
      window->GRD->viewport()->repaint();
      std::printf("%-28s %lld ms (%d rows)\n", label, static_cast<long long>(timer.elapsed()),
                  window->gridModel->rowCount());
      std::printf("  %s\n", window->currentRecordset()->Source().toLocal8Bit().constData());
    };
    const int category = window->currentRecordset()->Fields(QStringLiteral("category")).index();
    const int name = window->currentRecordset()->Fields(QStringLiteral("name")).index();
    command("first filter (category)", "filter", 0, category);
    command("remove filter", "FilterRemove", -1, 0);
    command("second filter (category)", "filter", 1, category);
    command("stacked filter (name)", "filter", 0, name);
    command("sort by name", "Sort Ascending", 0, name);
    printMemory("filtered");
    return 0;
  }

  window->GRD->setFocus();
  window->GRD->setCurrentIndex(window->gridModel->index(0, 0));
  timer.restart();
  QKeyEvent ctrlEnd(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
  QApplication::sendEvent(window->GRD, &ctrlEnd);
  window->GRD->viewport()->repaint();
  const qint64 toEnd = timer.elapsed();
  std::printf("Ctrl+End to last row painted %lld ms (current row %d, scroll %d of %d)\n",
              static_cast<long long>(toEnd), window->GRD->currentIndex().row(),
              window->GRD->verticalScrollBar()->value(), window->GRD->verticalScrollBar()->maximum());
  printMemory("last row shown");
  viewer::state().ShowSplash = 1;
  return 0;
}
