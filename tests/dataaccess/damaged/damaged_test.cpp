// Every file provider against damaged copies of files the tests build and
// of the real fixtures: each case damages one file (or removes a companion),
// opens the folder as the program does and reads every table, row and cell.
// It passes when the read succeeds or fails with a "number: description"
// error, within 10 s of processor time, leaving every file byte for byte as it was.
// A damage that cannot be applied fails the case. Runs under the sanitizers
// in the sanitizer build (ctest -L asan).
#include "damages.h"
#include "samples.h"
#include "../xbase/xbasetestutil.h"

#include "dataaccess/connection.h"
#include "dataaccess/error.h"
#include "dataaccess/recordset.h"
#include "testsupport/tempdir.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <mutex>
#include <ostream>
#include <thread>

using namespace dataaccess;
using namespace damaged;

namespace {

struct Case {
  size_t sample;
  Damage damage;
};

// How gtest shows a case: its sample and damage, not its bytes.
void PrintTo(const Case& c, std::ostream* os) { *os << samples()[c.sample].name << " / " << c.damage.name; }

std::vector<Case> allCases() {
  std::vector<Case> out;
  for (size_t s = 0; s < samples().size(); ++s)
    for (Damage& d : damagesFor(samples()[s])) out.push_back({s, std::move(d)});
  return out;
}

// Ends the process when the guarded work takes longer than its limits: a
// hang is a failure, and the stuck work cannot be stopped any other way.
// The limit is on processor time (a loop), with a far longer one on wall
// time (a wait that never ends), so that a busy machine does not fail a
// slow but finite read.
class Watchdog {
 public:
  Watchdog(double cpuSeconds, double wallSeconds, std::string what) : what_(std::move(what)) {
    const double cpuStart = cpuNow();
    const auto wallStart = std::chrono::steady_clock::now();
    thread_ = std::thread([=, this] {
      std::unique_lock lock(mutex_);
      while (!done_.wait_for(lock, std::chrono::milliseconds(100), [this] { return finished_; })) {
        const double cpu = cpuNow() - cpuStart;
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
        if (cpu > cpuSeconds || wall > wallSeconds) {
          std::fprintf(stderr, "FAILED: %s still running after %.1f s of processor time, %.1f s in all\n",
                       what_.c_str(), cpu, wall);
          std::fflush(stderr);
          std::_Exit(2);
        }
      }
    });
  }
  ~Watchdog() {
    {
      std::lock_guard lock(mutex_);
      finished_ = true;
    }
    done_.notify_all();
    thread_.join();
  }

 private:
  static double cpuNow() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
  }

  std::string what_;
  std::mutex mutex_;
  std::condition_variable done_;
  bool finished_ = false;
  std::thread thread_;
};

// Name -> SHA-256 of every file under `folder`.
QMap<QString, QByteArray> folderHashes(const QString& folder) {
  QMap<QString, QByteArray> out;
  QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    QFile f(path);
    QCryptographicHash h(QCryptographicHash::Sha256);
    if (f.open(QIODevice::ReadOnly)) h.addData(&f);
    else h.addData(QByteArrayView("<unreadable>"));
    out[QDir(folder).relativeFilePath(path)] = h.result().toHex();
  }
  return out;
}

QString connectionString(const Sample& s, const QString& folder) {
  switch (s.format) {
    case Format::Text:
      return QStringLiteral("Driver={Microsoft Text Driver (*.txt; *.csv)};DriverId=27;FIL=text;Extensions=csv,txt;"
                            "DBQ=%1;DefaultDir=%1;")
          .arg(folder);
    case Format::Jet:
      return QStringLiteral("Provider=%1;Data Source=%2;")
          .arg(s.main.endsWith(QLatin1String(".accdb")) ? QStringLiteral("Microsoft.ACE.OLEDB.12.0")
                                                         : QStringLiteral("Microsoft JET 4.0 OLE DB Provider"),
               QDir(folder).filePath(s.main));
    case Format::Excel:
      return QStringLiteral("Driver={Microsoft Excel Driver (*.xls)};DriverId=790;Dbq=%1;DefaultDir=%2;")
          .arg(QDir(folder).filePath(s.main), folder);
    case Format::XBase:
      return s.container.isEmpty() ? xbasetest::folderConnection(folder)
                                   : xbasetest::containerConnection(QDir(folder).filePath(s.container));
    case Format::Paradox:
      return QStringLiteral("Driver={Microsoft Paradox Driver (*.db )};Extended Properties=\"DefaultDir=%1;\";")
          .arg(folder);
    case Format::Persist:
      break;
  }
  return {};
}

// What one read came to: counts of what was read, and the errors met.
struct Outcome {
  int tables = 0;
  qint64 cells = 0;
  QStringList errors;
};

void readAll(Recordset& rs, Outcome& out) {
  for (; !rs.IsEOF(); rs.MoveNext())
    for (int i = 0; i < rs.FieldCount(); ++i) {
      (void)rs.Fields(i).Value();
      ++out.cells;
    }
}

// Records `e` after checking it is a proper error: non-zero number and a
// description that says something.
void note(const Error& e, Outcome& out) {
  EXPECT_NE(e.number(), 0) << e.message().toStdString();
  EXPECT_FALSE(e.description().trimmed().isEmpty()) << "error " << e.number() << " without a description";
  out.errors << e.message();
}

// Opens the folder as the program does and reads every table (an error of
// one table does not stop the others), every row, every cell and memo.
void readEverything(const Sample& s, const QString& folder, Outcome& out) {
  try {
    if (s.format == Format::Persist) {
      Recordset rs;
      rs.Open(QDir(folder).filePath(s.main), QStringLiteral("Provider=MSPERSIST"), adOpenStatic, adLockReadOnly,
              adCmdFile);
      ++out.tables;
      readAll(rs, out);
      return;
    }
    auto cn = std::make_shared<Connection>();
    cn->Open(connectionString(s, folder));
    QStringList names;
    for (auto t = cn->OpenSchema(adSchemaTables); !t->IsEOF(); t->MoveNext())
      if (t->Fields(QStringLiteral("TABLE_TYPE")).Value().toString().endsWith(QLatin1String("TABLE")))
        names << t->Fields(QStringLiteral("TABLE_NAME")).Value().toString();
    for (const QString& name : names) {
      try {
        cn->OpenSchema(adSchemaColumns, {QVariant(), QVariant(), name});
        Recordset rs;
        rs.setCursorLocation(adUseClient);
        rs.Open(QStringLiteral("SELECT * FROM [%1]").arg(name), cn, adOpenStatic, adLockReadOnly, adCmdText);
        ++out.tables;
        readAll(rs, out);
      } catch (const Error& e) {
        note(e, out);
      }
    }
  } catch (const Error& e) {
    note(e, out);
  }
}

}  // namespace

// Every sample, undamaged, reads whole: without this the cases below could
// pass on a sample that never opens.
class Undamaged : public ::testing::TestWithParam<size_t> {};

TEST_P(Undamaged, SampleReadsWhole) {
  const damaged::Sample& sample = samples()[GetParam()];
  testsupport::TempDir tmp;
  QString why;
  if (!materialise(sample, tmp.path(), &why)) {
    ASSERT_FALSE(!why.isEmpty() || HasFailure()) << why.toStdString();
    GTEST_SKIP() << "fixtures folder not available";
  }
  const auto before = folderHashes(tmp.path());
  Outcome outcome;
  readEverything(sample, tmp.path(), outcome);
  EXPECT_EQ(outcome.errors, QStringList());
  EXPECT_GT(outcome.tables, 0);
  EXPECT_GT(outcome.cells, 0);
  EXPECT_EQ(folderHashes(tmp.path()), before);
}

INSTANTIATE_TEST_SUITE_P(AllProviders, Undamaged, ::testing::Range(size_t(0), samples().size()),
                         [](const ::testing::TestParamInfo<size_t>& info) { return samples()[info.param].name; });

class Damaged : public ::testing::TestWithParam<Case> {};

TEST_P(Damaged, ReadsOrFailsCleanlyAndChangesNothing) {
  const Case& c = GetParam();
  const Sample& sample = samples()[c.sample];
  testsupport::TempDir tmp;
  QString why;
  if (!materialise(sample, tmp.path(), &why)) {
    ASSERT_FALSE(!why.isEmpty() || HasFailure()) << why.toStdString();
    GTEST_SKIP() << "fixtures folder not available";
  }

  // Damage the target, and prove the damage was done.
  const QString target = tmp.file(c.damage.onCompanion ? sample.companion : sample.main);
  QString did;
  qsizetype newSize = -1;
  Layout layout;
  if (c.damage.removesFile) {
    ASSERT_TRUE(QFile::remove(target)) << "could not remove " << target.toStdString();
    did = QStringLiteral("removed %1").arg(QFileInfo(target).fileName());
  } else {
    QFile f(target);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << target.toStdString();
    const QByteArray original = f.readAll();
    f.close();
    layout = c.damage.onCompanion ? companionLayout(sample.format, original) : mainLayout(sample.format, original);
    QByteArray bytes = original;
    did = c.damage.apply(bytes, layout);
    ASSERT_FALSE(did.isEmpty()) << "the damage could not be applied to " << QFileInfo(target).fileName().toStdString()
                                << " (" << original.size() << " bytes, header " << layout.header << ", unit "
                                << layout.unit << ")";
    ASSERT_NE(bytes, original) << "the damage left the bytes as they were: " << did.toStdString();
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
    f.close();
    newSize = bytes.size();
  }
  did = QFileInfo(target).fileName() + QStringLiteral(": ") + did;
  RecordProperty("damage", did.toStdString());
  std::printf("damage: %s\n", qPrintable(did));

  const auto before = folderHashes(tmp.path());
  Outcome outcome;
  {
    Watchdog watchdog(10, 120, sample.name + "/" + c.damage.name);
    try {
      readEverything(sample, tmp.path(), outcome);
    } catch (const std::exception& e) {
      ADD_FAILURE() << "an exception other than dataaccess::Error: " << e.what();
    } catch (...) {
      ADD_FAILURE() << "an unknown exception";
    }
  }
  std::printf("read %d tables, %lld cells; %lld errors%s%s\n", outcome.tables, static_cast<long long>(outcome.cells),
              static_cast<long long>(outcome.errors.size()), outcome.errors.isEmpty() ? "" : ", first: ",
              outcome.errors.isEmpty() ? "" : qPrintable(outcome.errors.first()));
  if (c.damage.mustFail && c.damage.mustFail(layout, newSize)) {
    EXPECT_FALSE(outcome.errors.isEmpty()) << "this damage must be reported, and the read succeeded";
  }
  EXPECT_EQ(folderHashes(tmp.path()), before) << "the read changed, added or removed a file";
}

INSTANTIATE_TEST_SUITE_P(AllProviders, Damaged, ::testing::ValuesIn(allCases()),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           QString n = QString::fromStdString(samples()[info.param.sample].name + "_" +
                                                              info.param.damage.name);
                           n.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")), QStringLiteral("_"));
                           return n.toStdString();
                         });
