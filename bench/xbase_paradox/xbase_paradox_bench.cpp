// Makes a large dBase table and Paradox table and times reading them
// through the data-access layer.
//   xbase_paradox_bench make DIR [ROWS]   writes DIR/big.dbf and DIR/big.db
//   xbase_paradox_bench load DIR          opens both, prints rows per second
#include "dataaccess/connection.h"
#include "dataaccess/error.h"
#include "dataaccess/recordset.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>
#include <shapefil.h>
extern "C" {
#include <paradox.h>
}

using namespace dataaccess;

namespace {

const char* const kNames[] = {"Ann", "Bruno", "Chloé", "Dmitri", "Eva", "François", "Günter", "Hana"};

void makeDbf(const QString& path, int rows) {
  DBFHandle h = DBFCreateEx(QFile::encodeName(path).constData(), "LDID/87");
  DBFAddField(h, "ID", FTInteger, 8, 0);
  DBFAddField(h, "NAME", FTString, 30, 0);
  DBFAddField(h, "PRICE", FTDouble, 12, 2);
  DBFAddNativeFieldType(h, "BORN", 'D', 8, 0);
  DBFAddNativeFieldType(h, "ACTIVE", 'L', 1, 0);
  DBFAddField(h, "NOTE", FTString, 40, 0);
  for (int i = 0; i < rows; ++i) {
    DBFWriteIntegerAttribute(h, i, 0, i + 1);
    DBFWriteStringAttribute(h, i, 1, QString::fromUtf8(kNames[i % 8]).toLatin1().constData());
    DBFWriteDoubleAttribute(h, i, 2, (i % 100000) / 100.0);
    const QByteArray date = QByteArray::number(19500101 + (i % 50) * 10000 + (i % 12) * 100 + i % 28);
    DBFWriteAttributeDirectly(h, i, 3, const_cast<char*>(date.constData()));
    DBFWriteLogicalAttribute(h, i, 4, i % 3 ? 'T' : 'F');
    DBFWriteStringAttribute(h, i, 5, QByteArray("note number " + QByteArray::number(i)).constData());
  }
  DBFClose(h);
}

void makeDb(const QString& path, int rows) {
  pxdoc_t* doc = PX_new();
  const char* names[5] = {"Id", "Name", "Price", "Born", "Active"};
  const char types[5] = {pxfLong, pxfAlpha, pxfNumber, pxfDate, pxfLogical};
  const int lengths[5] = {4, 30, 8, 4, 1};
  auto* fields = static_cast<pxfield_t*>(doc->malloc(doc, 5 * sizeof(pxfield_t), "fields"));
  for (int i = 0; i < 5; ++i) {
    fields[i].px_fname = PX_strdup(doc, names[i]);
    fields[i].px_ftype = types[i];
    fields[i].px_flen = lengths[i];
    fields[i].px_fdc = 0;
  }
  PX_create_file(doc, fields, 5, QFile::encodeName(path).constData(), pxfFileTypNonIndexDB);
  QByteArray rec(doc->px_head->px_recordsize, '\0');
  for (int i = 0; i < rows; ++i) {
    rec.fill('\0');
    char* p = rec.data();
    PX_put_data_long(doc, p, 4, i + 1);
    QByteArray name = QByteArray(kNames[i % 8]) + " " + QByteArray::number(i);
    PX_put_data_alpha(doc, p + 4, 30, name.data());
    PX_put_data_double(doc, p + 34, 8, i / 100.0);
    PX_put_data_long(doc, p + 42, 4, 700000 + i % 20000);
    PX_put_data_byte(doc, p + 46, 1, i % 2);
    PX_put_record(doc, p);
  }
  PX_close(doc);
  PX_delete(doc);
}

void timeLoad(const QString& connectionString, const QString& table, const char* label) {
  QElapsedTimer t;
  t.start();
  auto cn = std::make_shared<Connection>();
  cn->Open(connectionString);
  Recordset rs;
  rs.setCursorLocation(adUseClient);
  rs.Open(QStringLiteral("SELECT * FROM %1").arg(table), cn, adOpenKeyset, adLockBatchOptimistic, adCmdText);
  const double s = t.nsecsElapsed() / 1e9;
  std::printf("%s: %lld rows in %.3f s = %.0f rows/s\n", label, static_cast<long long>(rs.RecordCount()), s,
              rs.RecordCount() / s);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() < 3) {
    std::fprintf(stderr, "usage: xbase_paradox_bench make DIR [ROWS] | load DIR\n");
    return 2;
  }
  const QString dir = args[2];
  try {
    if (args[1] == QLatin1String("make")) {
      const int rows = args.size() > 3 ? args[3].toInt() : 200000;
      makeDbf(dir + "/big.dbf", rows);
      makeDb(dir + "/big.db", rows);
      return 0;
    }
    timeLoad(QStringLiteral("Driver={Microsoft Visual FoxPro Driver};SourceType=DBF;DBQ=%1/;").arg(dir), "big",
             "xbase big.dbf");
    timeLoad(QStringLiteral("Driver={Microsoft Paradox Driver (*.db )};Extended Properties=\"DefaultDir=%1;\";").arg(dir),
             "big", "paradox big.db");
  } catch (const Error& e) {
    std::fprintf(stderr, "%s\n", e.message().toLocal8Bit().constData());
    return 1;
  }
  return 0;
}
