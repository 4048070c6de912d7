// text_load MODE CSV [OUT]: one run of the text provider over CSV, for
// whole-process timings and peak memory (see compare_sqlite.sh).
//   load       open the folder and load every row into a recordset
//   getstring  load, then write GetString(adClipString, -1, "\t", "\r\n", "") to OUT
//   save       load, then Recordset::Save(OUT, adPersistXML)
#include "dataaccess/connection.h"
#include "dataaccess/error.h"
#include "dataaccess/recordset.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

using namespace dataaccess;

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s load|getstring|save CSV [OUT]\n", argv[0]);
    return 2;
  }
  const QString mode = QString::fromLocal8Bit(argv[1]);
  const QFileInfo csv(QString::fromLocal8Bit(argv[2]));
  const QString out = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
  const QString dir = csv.absolutePath();
  try {
    QElapsedTimer timer;
    timer.start();
    auto cn = std::make_shared<Connection>();
    cn->Open(QStringLiteral("Driver={Microsoft Text Driver (*.txt; *.csv)};DriverId=27;FIL=text;MaxBufferSize=2048;"
                            "PageTimeout=5;Extensions=csv;DBQ=%1;DefaultDir=%1;")
                 .arg(dir));
    Recordset rs;
    rs.setCursorLocation(adUseClient);
    rs.Open(QStringLiteral("SELECT * FROM [%1#%2]").arg(csv.completeBaseName(), csv.suffix()), cn, adOpenKeyset,
            adLockBatchOptimistic, adCmdText);
    const qint64 loaded = timer.elapsed();
    if (mode == QLatin1String("getstring")) {
      // The form the delimited export writes: the same text as GetString, as UTF-8.
      const QByteArray text = rs.GetStringUtf8(-1, QStringLiteral("\t"), QStringLiteral("\r\n"), QString());
      QFile f(out);
      if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size()) return 1;
    } else if (mode == QLatin1String("save")) {
      rs.Save(out, adPersistXML);
    }
    std::printf("%s: %lld rows, %d fields, load %.3f s, total %.3f s\n", argv[1], (long long)rs.RecordCount(),
                rs.FieldCount(), loaded / 1000.0, timer.elapsed() / 1000.0);
  } catch (const Error& e) {
    std::fprintf(stderr, "%s\n", e.message().toLocal8Bit().constData());
    return 1;
  }
  return 0;
}
