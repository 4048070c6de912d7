// Staging and querying a wide table on the SQL engine: the cost a filter or
// sort pays the first time it touches a table, and every later time.
#include "dataaccess/sqlengine.h"
#include "dataaccess/values.h"

#include <benchmark/benchmark.h>

using namespace dataaccess;

namespace {

std::shared_ptr<RowStore> makeTable(int64_t rows) {
  FieldInfo price("Price", adNumeric, 19);
  price.numericScale = 2;
  auto t = std::make_shared<RowStore>(std::vector<FieldInfo>{
      FieldInfo("ID", adInteger, 4), FieldInfo("Amount", adDouble, 8), FieldInfo("Name", adVarWChar, 40),
      FieldInfo("When", adDate, 8), FieldInfo("Ok", adBoolean, 2), price, FieldInfo("City", adVarWChar, 30),
      FieldInfo("Qty", adInteger, 4)});
  t->reserve(rows);
  const QDateTime base = makeDateTime(QDate(2005, 1, 2));
  for (int64_t r = 0; r < rows; ++r) {
    t->column(0).appendInteger(r);
    t->column(1).appendReal(double(r) * 0.25);
    t->column(2).appendText(QStringLiteral("Customer %1").arg(r % 5000));
    t->column(3).appendOleMsecs(toOleMsecs(base) + (r % 86400) * 1000);
    t->column(4).appendBoolean(r % 2);
    const QByteArray p = QByteArray::number(r % 100000) + ".50";
    t->column(5).appendBytes(std::string_view(p.constData(), size_t(p.size())));
    t->column(6).appendText(r % 3 ? QStringLiteral("Lumbrook") : QStringLiteral("Fenwright"));
    t->column(7).appendInteger(r % 17);
    t->commitRow();
  }
  return t;
}

void StageAndScan(benchmark::State& state) {
  const auto table = makeTable(state.range(0));
  SqlEngine engine(SqlDialect::Access);
  for (auto _ : state) {
    engine.forget();
    auto r = engine.run(QStringLiteral("SELECT * FROM t WHERE   [Qty]=3 AND ID < 0"), [&](const QString&) { return table; });
    benchmark::DoNotOptimize(r);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(StageAndScan)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(2);

// Second argument 1: the sort is answered from the stored columns; 0: on
// the staged SQLite table.
void SortStaged(benchmark::State& state) {
  const auto table = makeTable(state.range(0));
  SqlEngine engine(SqlDialect::Access);
  engine.setDirectAnswers(state.range(1) != 0);
  auto loader = [&](const QString&) { return table; };
  engine.run(QStringLiteral("SELECT * FROM t WHERE ID < 0"), loader);
  for (auto _ : state) {
    auto r = engine.run(QStringLiteral("SELECT * FROM t ORDER BY Name DESC,ID"), loader);
    benchmark::DoNotOptimize(r);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(SortStaged)->Args({1000000, 0})->Args({1000000, 1})->Unit(benchmark::kMillisecond)->Iterations(2);

// The window's case: the rows are loaded, the user filters again (one text
// value, then a second condition) or sorts by a text column.
void FilterOpenTable(benchmark::State& state) {
  const auto table = makeTable(state.range(0));
  SqlEngine engine(SqlDialect::Access);
  engine.setDirectAnswers(state.range(1) != 0);
  auto loader = [&](const QString&) { return table; };
  engine.run(QStringLiteral("SELECT * FROM t WHERE ID < 0"), loader);
  for (auto _ : state) {
    auto r = engine.run(QStringLiteral("SELECT * FROM t WHERE   [City]='lumbrook'"), loader);
    auto r2 = engine.run(QStringLiteral("SELECT * FROM t WHERE   [City]='lumbrook'   AND [Name] LIKE 'customer 1%'"), loader);
    benchmark::DoNotOptimize(r);
    benchmark::DoNotOptimize(r2);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(FilterOpenTable)->Args({1000000, 0})->Args({1000000, 1})->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
