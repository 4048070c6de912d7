// Opens a connection string, reads one statement into a client-side
// recordset and writes it as tab-delimited text (GetString, in chunks so the
// text never sits in memory whole), printing the time of each phase.
//
//   odbc_export_bench CONNECTION-STRING SQL OUTPUT-FILE
#include "dataaccess/connection.h"
#include "dataaccess/error.h"
#include "dataaccess/recordset.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <cstdio>

using namespace dataaccess;

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s CONNECTION-STRING SQL OUTPUT-FILE\n", argv[0]);
    return 2;
  }
  try {
    QElapsedTimer timer;
    timer.start();
    auto cn = std::make_shared<Connection>();
    cn->setCommandTimeout(0);  // a million rows take longer than the viewer's 20 s
    cn->setConnectionTimeout(30);
    cn->Open(QString::fromLocal8Bit(argv[1]));
    Recordset rs;
    rs.setCursorLocation(adUseClient);
    rs.Open(QString::fromLocal8Bit(argv[2]), cn, adOpenKeyset, adLockBatchOptimistic, adCmdText);
    const qint64 fetchMs = timer.elapsed();

    QFile out(QString::fromLocal8Bit(argv[3]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
      std::fprintf(stderr, "cannot write %s\n", argv[3]);
      return 1;
    }
    while (!rs.IsEOF()) out.write(rs.GetString(adClipString, 20000, "\t", "\n").toUtf8());
    out.close();
    std::printf("rows %lld fetch_ms %lld export_ms %lld store_bytes %zu\n", (long long)rs.RecordCount(),
                (long long)fetchMs, (long long)(timer.elapsed() - fetchMs), rs.store().memoryUsage());
    return 0;
  } catch (const Error& e) {
    std::fprintf(stderr, "%s\n", e.message().toLocal8Bit().constData());
    return 1;
  }
}
