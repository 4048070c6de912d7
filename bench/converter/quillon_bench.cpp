// Times ADORS_2_XMLString (styles 101 and 103) on an 8-column recordset and
// xsltproc applying the same stylesheet to the same persisted file, each in
// its own process so that peak memory is measured apart.
//
//   quillon_bench [rows ...]        default: 100000
//
// For the converter, "peak" is the resident memory the call adds to the
// process that holds the recordset; for xsltproc, its whole peak.
#include "converter/convertor.h"
#include "converter/stylesheets.h"

#include "dataaccess/recordset.h"
#include "dataaccess/rowstore.h"
#include "dataaccess/values.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace dataaccess;

std::unique_ptr<Recordset> makeRecordset(int64_t rows) {
  std::vector<FieldInfo> fields = {
      {"ID", adInteger, 4},     {"Name", adVarWChar, 50}, {"Price", adDouble, 8}, {"Qty", adSmallInt, 2},
      {"Ordered", adDate, 8},   {"Paid", adBoolean, 2},   {"Code", adVarWChar, 10}, {"Note", adLongVarWChar, 0}};
  auto store = std::make_shared<RowStore>(fields);
  store->reserve(rows);
  const QString notes[] = {"", "fragile & heavy", "Доставка <завтра>", "call \"first\"", "ok"};
  const QDateTime base = makeDateTime(QDate(2004, 1, 1), QTime(9, 30));
  for (int64_t i = 0; i < rows; ++i) {
    std::vector<QVariant> v = {QVariant(qlonglong(i + 1)),
                               QVariant(QStringLiteral("Customer %1").arg(i % 9973)),
                               QVariant(double(i % 1000) * 1.25),
                               QVariant(qlonglong(i % 50)),
                               QVariant(base.addSecs(i * 3600)),
                               QVariant(i % 3 == 0),
                               QVariant(QStringLiteral("AB-%1").arg(i % 10000, 4, 10, QLatin1Char('0'))),
                               i % 7 == 0 ? QVariant() : QVariant(notes[i % 5])};
    store->appendRow(v);
  }
  auto rs = std::make_unique<Recordset>();
  rs->attach(store, nullptr, "bench", adOpenKeyset, adLockBatchOptimistic);
  return rs;
}

long residentKiB() {
  QFile f("/proc/self/statm");
  if (!f.open(QIODevice::ReadOnly)) return 0;
  const QList<QByteArray> parts = f.readAll().split(' ');
  return parts.size() > 1 ? parts[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : 0;
}

struct Run {
  double seconds = 0;
  long peakKiB = 0;
  qint64 outputBytes = 0;
};

// Runs `work` in a child process; its result line comes back through a pipe.
template <class Work>
Run inChild(Work&& work, long baselineKiB) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    QElapsedTimer t;
    t.start();
    const qint64 bytes = work();
    const double s = t.nsecsElapsed() / 1e9;
    dprintf(fds[1], "%f %lld\n", s, static_cast<long long>(bytes));
    _exit(0);
  }
  close(fds[1]);
  char buf[128] = {};
  const ssize_t n = read(fds[0], buf, sizeof buf - 1);
  close(fds[0]);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  Run r;
  long long bytes = 0;
  if (n > 0) std::sscanf(buf, "%lf %lld", &r.seconds, &bytes);
  r.outputBytes = bytes;
  r.peakKiB = usage.ru_maxrss - baselineKiB;
  return r;
}

Run xsltproc(const QString& stylesheet, const QString& input, const QString& output) {
  QElapsedTimer t;
  t.start();
  const pid_t pid = fork();
  if (pid == 0) {
    const QByteArray s = stylesheet.toLocal8Bit(), i = input.toLocal8Bit(), o = output.toLocal8Bit();
    execlp("xsltproc", "xsltproc", "-o", o.constData(), s.constData(), i.constData(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  Run r;
  r.seconds = t.nsecsElapsed() / 1e9;
  r.peakKiB = usage.ru_maxrss;
  r.outputBytes = QFile(output).size();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) r.seconds = -1;
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  std::vector<int64_t> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(QByteArray(argv[i]).toLongLong());
  if (sizes.empty()) sizes.push_back(100000);
  QTemporaryDir dir;
  std::printf("%-9s %-5s %-22s %9s %10s %12s\n", "rows", "style", "what", "seconds", "peak MiB", "output MB");
  for (int64_t rows : sizes) {
    auto rs = makeRecordset(rows);
    const QString persisted = dir.filePath("rs.xml");
    rs->Save(persisted);
    const double inputMB = QFile(persisted).size() / 1e6;
    for (int style : {101, 103}) {
      const QString xsl = dir.filePath(QStringLiteral("%1.xsl").arg(style));
      QFile f(xsl);
      f.open(QIODevice::WriteOnly);
      f.write(quillon::StylesheetText(style).toUtf8());
      f.close();
      const Run x = xsltproc(xsl, persisted, dir.filePath("out.xml"));
      const long baseline = residentKiB();
      const Run q = inChild([&] {
        quillon::Convertor c;
        return qint64(c.ADORS_2_XMLString(rs.get(), style, nullptr, "UTF-8").size());
      }, baseline);
      const Run qs = inChild([&] {
        // The stylesheet path on the same persisted text, for comparison.
        QFile in(persisted);
        in.open(QIODevice::ReadOnly);
        const QString text = QString::fromUtf8(in.readAll());
        in.close();
        return qint64(quillon::ConvertPersistedText(text, style, nullptr, "UTF-8",
                                                    quillon::ConversionPath::Stylesheet).size());
      }, baseline);
      std::printf("%-9lld %-5d %-22s %9.3f %10.1f %12.1f   (input %.1f MB)\n", static_cast<long long>(rows), style,
                  "xsltproc", x.seconds, x.peakKiB / 1024.0, x.outputBytes / 1e6, inputMB);
      std::printf("%-9lld %-5d %-22s %9.3f %10.1f %12.1f   (chars)\n", static_cast<long long>(rows), style,
                  "ADORS_2_XMLString", q.seconds, q.peakKiB / 1024.0, q.outputBytes / 1e6);
      std::printf("%-9lld %-5d %-22s %9.3f %10.1f %12.1f   (chars)\n", static_cast<long long>(rows), style,
                  "stylesheet path", qs.seconds, qs.peakKiB / 1024.0, qs.outputBytes / 1e6);
      std::fflush(stdout);
    }
  }
  return 0;
}
