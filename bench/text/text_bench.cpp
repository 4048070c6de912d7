// Google Benchmark timings of the text provider over the benchmark file
// (LUMBROOK_BENCH_CSV, default /tmp/lumbrook-bench/big.csv, written on first
// use): (a) open and load every row into a recordset, (b) load and write
// GetString's tab-separated text to a file, (c) load and save as XML.
#include "bigcsv.h"
#include "dataaccess/connection.h"
#include "dataaccess/error.h"
#include "dataaccess/recordset.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <benchmark/benchmark.h>

using namespace dataaccess;

namespace {

QString benchCsv() {
  const QByteArray env = qgetenv("LUMBROOK_BENCH_CSV");
  const QString path = env.isEmpty() ? QStringLiteral("/tmp/lumbrook-bench/big.csv") : QString::fromLocal8Bit(env);
  if (!QFileInfo::exists(path)) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    lumbrook_bench::writeBigCsv(path.toStdString(), 1000000);
  }
  return path;
}

std::unique_ptr<Recordset> load(const QString& csvPath) {
  const QFileInfo csv(csvPath);
  auto cn = std::make_shared<Connection>();
  cn->Open(QStringLiteral("Driver={Microsoft Text Driver (*.txt; *.csv)};DriverId=27;FIL=text;MaxBufferSize=2048;"
                          "PageTimeout=5;Extensions=csv;DBQ=%1;DefaultDir=%1;")
               .arg(csv.absolutePath()));
  auto rs = std::make_unique<Recordset>();
  rs->setCursorLocation(adUseClient);
  rs->Open(QStringLiteral("SELECT * FROM [%1#%2]").arg(csv.completeBaseName(), csv.suffix()), cn, adOpenKeyset,
           adLockBatchOptimistic, adCmdText);
  return rs;
}

void BM_OpenLoad(benchmark::State& state) {
  const QString csv = benchCsv();
  for (auto _ : state) {
    auto rs = load(csv);
    benchmark::DoNotOptimize(rs->RecordCount());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * QFileInfo(csv).size());
}

void BM_LoadGetStringToFile(benchmark::State& state) {
  const QString csv = benchCsv();
  const QString out = QFileInfo(csv).absolutePath() + QStringLiteral("/getstring.tsv");
  for (auto _ : state) {
    auto rs = load(csv);
    const QByteArray text = rs->GetString(adClipString, -1, QStringLiteral("\t"), QStringLiteral("\r\n"), QString()).toUtf8();
    QFile f(out);
    if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size()) state.SkipWithError("write failed");
  }
}

void BM_LoadSaveXml(benchmark::State& state) {
  const QString csv = benchCsv();
  const QString out = QFileInfo(csv).absolutePath() + QStringLiteral("/saved.xml");
  for (auto _ : state) {
    try {
      auto rs = load(csv);
      QFile::remove(out);
      rs->Save(out, adPersistXML);
    } catch (const Error& e) {
      state.SkipWithError(e.message().toStdString().c_str());
      break;
    }
  }
}

}  // namespace

BENCHMARK(BM_OpenLoad)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LoadGetStringToFile)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_LoadSaveXml)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
