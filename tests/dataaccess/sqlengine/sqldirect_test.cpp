// The direct answers from stored columns against the SQLite path, side by
// side over varied rows (Nulls, letter case, non-ASCII text, dates with
// fractions of a second, equal sort keys), for every statement shape the
// filter and sort write; and the shapes the direct path leaves to SQLite.
#include "dataaccess/error.h"
#include "dataaccess/sqldirect.h"
#include "dataaccess/sqlengine.h"
#include "dataaccess/values.h"

#include <gtest/gtest.h>

#include <random>

using namespace dataaccess;

namespace {

// Rows whose values repeat often, so that conditions match several rows and
// sort keys tie.
std::shared_ptr<RowStore> varied(int count, unsigned seed) {
  auto rows = std::make_shared<RowStore>(std::vector<FieldInfo>{
      FieldInfo("id", adInteger, 4), FieldInfo("Name", adVarWChar, 40), FieldInfo("State/Prov", adVarWChar, 20),
      FieldInfo("Amount", adDouble, 8), FieldInfo("Done", adBoolean, 2), FieldInfo("Day", adDate, 8),
      FieldInfo("At", adDBTime, 6), FieldInfo("Order", adInteger, 4), FieldInfo("", adVarWChar, 10)});
  const QStringList names = {QStringLiteral("apple"), QStringLiteral("Apple"), QStringLiteral("äpfel"),
                             QStringLiteral("ÄPFEL"), QStringLiteral("Étoile"), QStringLiteral("étoile du nord"),
                             QStringLiteral("zebra"), QStringLiteral(""), QStringLiteral("O'Brien"),
                             QStringLiteral("apple pie"), QStringLiteral("100%"), QStringLiteral("a_b")};
  const QStringList states = {QStringLiteral("ON"), QStringLiteral("on"), QStringLiteral("QC"), QStringLiteral("Île")};
  std::mt19937 rnd(seed);
  for (int i = 0; i < count; ++i) {
    const auto pick = [&](int n) { return int(rnd() % unsigned(n)); };
    const bool null = pick(7) == 0;
    rows->appendRow({qlonglong(i + 1), null ? QVariant() : QVariant(names[pick(names.size())]),
                     pick(5) == 0 ? QVariant() : QVariant(states[pick(states.size())]),
                     pick(6) == 0 ? QVariant() : QVariant(double(pick(5) - 2) * 1.5),
                     pick(6) == 0 ? QVariant() : QVariant(pick(2) == 1),
                     pick(6) == 0 ? QVariant()
                                  : QVariant(makeDateTime(QDate(2024, 1, 1 + pick(3)), QTime(pick(2) * 10, 0, 0))
                                                 .addMSecs(pick(2) * 400)),
                     pick(6) == 0 ? QVariant() : QVariant(QTime(8 + pick(3), 30)),
                     qlonglong(pick(4) - 1), QVariant(QString::number(pick(3)))});
  }
  std::vector<int64_t> keys;
  for (int i = 0; i < count; ++i) keys.push_back(1000 + i);
  rows->rowKeys() = keys;
  return rows;
}

void expectSameRows(const RowStore& a, const RowStore& b, const QString& sql) {
  const std::string what = sql.toStdString();
  ASSERT_EQ(a.fieldCount(), b.fieldCount()) << what;
  ASSERT_EQ(a.rowCount(), b.rowCount()) << what;
  for (int f = 0; f < a.fieldCount(); ++f) {
    EXPECT_EQ(a.field(f).name, b.field(f).name) << what;
    EXPECT_EQ(a.field(f).type, b.field(f).type) << what;
  }
  for (int64_t r = 0; r < a.rowCount(); ++r)
    for (int f = 0; f < a.fieldCount(); ++f)
      ASSERT_EQ(a.value(r, f), b.value(r, f)) << what << " row " << r << " field " << f;
  EXPECT_EQ(a.rowKeys(), b.rowKeys()) << what;
  EXPECT_EQ(a.baseTable, b.baseTable) << what;
}

class DirectBesideSqlite : public ::testing::TestWithParam<SqlDialect> {
 protected:
  // Runs the statement both ways; true when the direct path answered it.
  bool compare(const QString& sql, const RowStorePtr& rows, int threads = 2) {
    SqlEngine engine(GetParam());
    engine.setDirectAnswers(false);
    const auto viaSqlite = engine.run(sql, [&](const QString&) { return rows; });
    const auto query = sql::parseDirect(sql::tokenize(sql), GetParam());
    if (!query) return false;
    const auto direct = sql::runDirect(*query, rows, GetParam(), threads);
    if (!direct) return false;
    expectSameRows(*direct, *viaSqlite, sql);
    return true;
  }
};

TEST_P(DirectBesideSqlite, FilterAndSortShapesGiveTheSameRows) {
  const auto rows = varied(400, 7);
  const QStringList answered = {
      QStringLiteral("SELECT * FROM t WHERE   [Name]='APPLE'"),
      QStringLiteral("SELECT * FROM t WHERE   [Name]='äpfel'"),
      QStringLiteral("SELECT * FROM t WHERE   Name='O''Brien'"),
      QStringLiteral("SELECT * FROM t WHERE   Name=''"),
      QStringLiteral("SELECT * FROM t WHERE   [Name] LIKE 'é%'"),
      QStringLiteral("SELECT * FROM t WHERE   [Name] LIKE '%PF%'"),
      QStringLiteral("SELECT * FROM t WHERE   [Name] LIKE '100%'"),
      QStringLiteral("SELECT * FROM t WHERE   [Name] LIKE 'a_b%'"),
      QStringLiteral("SELECT * FROM t WHERE   [Name] IS NULL"),
      QStringLiteral("SELECT * FROM t WHERE   [Name] IS NOT NULL   AND [State/Prov]='on'"),
      QStringLiteral("SELECT * FROM t WHERE   [State/Prov]='ÎLE'   AND [Done]=1"),
      QStringLiteral("SELECT * FROM t WHERE   Amount=1.5"),
      QStringLiteral("SELECT * FROM t WHERE   Amount=-3"),
      QStringLiteral("SELECT * FROM t WHERE   Amount=0 ORDER BY Name DESC"),
      QStringLiteral("SELECT * FROM t WHERE   Done=True"),
      QStringLiteral("SELECT * FROM t WHERE   Done=0"),
      QStringLiteral("SELECT * FROM t WHERE   [Order]=-1"),
      QStringLiteral("SELECT * FROM t WHERE   [Day]=#1/2/2024#"),
      QStringLiteral("SELECT * FROM t WHERE   [Day]=#1/3/2024 10:00:00#"),
      QStringLiteral("SELECT * FROM t WHERE   [At]=#09:30:00#"),
      QStringLiteral("SELECT * FROM t WHERE   [Day]='1/1/2024'"),
      QStringLiteral("SELECT * FROM t WHERE   [Field9]='1'"),
      QStringLiteral("SELECT * FROM t ORDER BY Name"),
      QStringLiteral("SELECT * FROM t order by Name DESC,id"),
      QStringLiteral("SELECT * FROM t ORDER BY [State/Prov] DESC,Name,Amount DESC"),
      QStringLiteral("SELECT * FROM t ORDER BY Amount"),
      QStringLiteral("SELECT * FROM t ORDER BY Amount DESC"),
      QStringLiteral("SELECT * FROM t ORDER BY Done,Day DESC"),
      QStringLiteral("SELECT * FROM t ORDER BY Day,At"),
      QStringLiteral("SELECT * FROM t ORDER BY [Order] ASC, [Field9] DESC;"),
      QStringLiteral("SELECT * FROM t WHERE   Name LIKE 'a%'   AND Amount IS NOT NULL ORDER BY Name,Amount DESC"),
  };
  for (const QString& sql : answered) EXPECT_TRUE(compare(sql, rows)) << "not answered directly: " << sql.toStdString();
}

TEST(DirectAnswers, LargeTablesSplitAcrossThreadsGiveTheSameRows) {
  // Enough rows for the work to be cut between threads; the row keys tell
  // the rows and their order apart.
  const auto rows = varied(100500, 11);
  SqlEngine engine(SqlDialect::Text);
  engine.setDirectAnswers(false);
  for (const char* text : {"SELECT * FROM t ORDER BY Name,Amount DESC", "SELECT * FROM t WHERE   Name LIKE '%e%' order by Day DESC",
                           "SELECT * FROM t WHERE   [State/Prov]='QC'"}) {
    const QString sql = QString::fromUtf8(text);
    const auto viaSqlite = engine.run(sql, [&](const QString&) { return rows; });
    const auto query = sql::parseDirect(sql::tokenize(sql), SqlDialect::Text);
    ASSERT_TRUE(query) << text;
    for (int threads : {1, 2}) {
      const auto direct = sql::runDirect(*query, rows, SqlDialect::Text, threads);
      ASSERT_TRUE(direct) << text;
      EXPECT_EQ(direct->rowKeys(), viaSqlite->rowKeys()) << text << " threads " << threads;
    }
  }
}

TEST_P(DirectBesideSqlite, OtherShapesAreLeftToSqlite) {
  const auto rows = varied(50, 3);
  const QStringList left = {
      QStringLiteral("SELECT id FROM t WHERE   Name='apple'"),       // not every column
      QStringLiteral("SELECT * FROM t WHERE   Name='apple' OR id=1"),
      QStringLiteral("SELECT * FROM t WHERE   id>3"),
      QStringLiteral("SELECT * FROM t WHERE   (id=3)"),
      QStringLiteral("SELECT * FROM t WHERE   Name=5"),               // SQLite's affinity rules decide
      QStringLiteral("SELECT * FROM t WHERE   id='5'"),
      QStringLiteral("SELECT * FROM t WHERE   Day=5"),
      QStringLiteral("SELECT * FROM t WHERE   Name LIKE 'a!%' ESCAPE '!'"),
      QStringLiteral("SELECT * FROM t AS x WHERE   x.id=1"),
      QStringLiteral("SELECT * FROM t ORDER BY id LIMIT 3"),
      QStringLiteral("SELECT * FROM t ORDER BY 2"),
      QStringLiteral("SELECT * FROM t WHERE   Nope=1"),
  };
  for (const QString& sql : left) {
    try {
      EXPECT_FALSE(compare(sql, rows)) << "answered directly: " << sql.toStdString();
    } catch (const Error&) {
      // SQLite refuses it; the direct path must not have answered either.
      const auto query = sql::parseDirect(sql::tokenize(sql), GetParam());
      EXPECT_TRUE(!query || !sql::runDirect(*query, rows, GetParam())) << sql.toStdString();
    }
  }
}

TEST_P(DirectBesideSqlite, EditedRowsGoThroughSqlite) {
  auto rows = varied(20, 5);
  rows->column(1).set(0, QStringLiteral("changed"));
  const QString sql = QStringLiteral("SELECT * FROM t WHERE   Name='CHANGED'");
  EXPECT_FALSE(compare(sql, rows));
  SqlEngine engine(GetParam());
  EXPECT_EQ(engine.run(sql, [&](const QString&) { return rows; })->rowCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(FileSources, DirectBesideSqlite,
                         ::testing::Values(SqlDialect::Text, SqlDialect::Access, SqlDialect::XBase, SqlDialect::Paradox));

}  // namespace
