// The comparison rules every file source shares (letter case ignored for
// every letter, LIKE with % and _) and the types of computed date columns,
// over each dialect.
#include "dataaccess/error.h"
#include "dataaccess/sqlengine.h"
#include "dataaccess/values.h"

#include <gtest/gtest.h>

using namespace dataaccess;

namespace {

QDateTime dt(int y, int m, int d, int h = 0, int n = 0, int s = 0) { return makeDateTime(QDate(y, m, d), QTime(h, n, s)); }

RowStorePtr fruit() {
  auto rows = std::make_shared<RowStore>(std::vector<FieldInfo>{
      FieldInfo("n", adInteger, 4), FieldInfo("My Name", adVarWChar, 40), FieldInfo("Day", adDBDate, 6),
      FieldInfo("At", adDBTime, 6), FieldInfo("Stamp", adDBTimeStamp, 16)});
  rows->appendRow({qlonglong(1), QStringLiteral("äpfel"), QDate(2024, 1, 2), QTime(10, 0, 1), dt(2024, 1, 2, 10, 5, 7)});
  rows->appendRow({qlonglong(2), QStringLiteral("Étoile"), QDate(2023, 5, 6), QTime(8, 30), dt(2023, 5, 6)});
  rows->appendRow({qlonglong(3), QStringLiteral("apple"), QVariant(), QVariant(), QVariant()});
  rows->appendRow({qlonglong(4), QStringLiteral("ZEBRA"), QDate(2025, 12, 31), QTime(23, 59, 59), dt(2025, 12, 31, 23, 59, 59)});
  rows->appendRow({qlonglong(5), QVariant(), QDate(2024, 1, 2), QTime(0, 0), dt(2024, 1, 2, 0, 0, 0).addMSecs(500)});
  rows->appendRow({qlonglong(6), QStringLiteral("étoile filante"), QVariant(), QVariant(), QVariant()});
  return rows;
}

using Ids = std::vector<qlonglong>;

Ids ids(const RowStore& r) {
  Ids out;
  for (int64_t i = 0; i < r.rowCount(); ++i) out.push_back(r.value(i, 0).toLongLong());
  return out;
}

class EveryDialect : public ::testing::TestWithParam<SqlDialect> {
 protected:
  std::shared_ptr<RowStore> run(const QString& sql) {
    return engine.run(sql, [this](const QString&) { return rows; });
  }
  RowStorePtr rows = fruit();
  SqlEngine engine{GetParam()};
};

TEST_P(EveryDialect, TextComparisonsIgnoreCaseOfEveryLetter) {
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM t WHERE   [My Name]='ÄPFEL'"))), Ids{1});
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM t WHERE   [My Name] LIKE 'é%'"))), (Ids{2, 6}));
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM t WHERE   [My Name] LIKE '%PF%'"))), Ids{1});
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM t WHERE   [My Name] LIKE '_TOILE'"))), Ids{2});
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM t WHERE   [My Name]<>'zebra'"))), (Ids{1, 2, 3, 6}));
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM t WHERE   [My Name] IS NULL"))), Ids{5});
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM t WHERE 'APPLE' = [My Name]"))), Ids{3});
  // Order follows the folded code points, Nulls first.
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM t order by [My Name]"))), (Ids{5, 3, 4, 1, 2, 6}));
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM t ORDER BY [My Name] DESC,n"))), (Ids{6, 2, 1, 4, 3, 5}));
  const auto top = run(QStringLiteral("SELECT MAX([My Name]) AS m, MIN([My Name]) FROM t WHERE n < 5"));
  EXPECT_EQ(top->value(0, 0), QVariant(QStringLiteral("Étoile")));
  EXPECT_EQ(top->value(0, 1), QVariant(QStringLiteral("apple")));
}

TEST_P(EveryDialect, ExpressionsOverDateColumnsReturnDates) {
  const auto r = run(QStringLiteral(
      "SELECT MIN(Day), MAX([Day]) AS last, max(t.Stamp) latest, COALESCE(At, At) AS at2, MIN(DISTINCT At), "
      "COUNT(Day), MAX(n) FROM t"));
  ASSERT_EQ(r->fieldCount(), 7);
  EXPECT_EQ(r->field(0).type, adDBDate);
  EXPECT_EQ(r->value(0, 0), QVariant(QDate(2023, 5, 6)));
  EXPECT_EQ(r->field(1).name, QStringLiteral("last"));
  EXPECT_EQ(r->value(0, 1), QVariant(QDate(2025, 12, 31)));
  EXPECT_EQ(r->field(2).type, adDBTimeStamp);
  EXPECT_EQ(r->value(0, 2), QVariant(dt(2025, 12, 31, 23, 59, 59)));
  EXPECT_EQ(r->field(3).type, adDBTime);
  EXPECT_EQ(r->value(0, 4), QVariant(QTime(0, 0)));
  EXPECT_EQ(r->field(5).type, adInteger);
  EXPECT_EQ(r->value(0, 5), QVariant(qlonglong(4)));
  EXPECT_EQ(r->field(6).type, adInteger);
  EXPECT_TRUE(r->field(0).baseColumn.isEmpty());

  // Beside a star, and grouped: the column after the star is still the date.
  const auto g = run(QStringLiteral("SELECT *, MAX(Day) AS d FROM t GROUP BY [My Name] IS NULL ORDER BY n"));
  ASSERT_EQ(g->fieldCount(), 6);
  EXPECT_EQ(g->field(5).type, adDBDate);
  // No date anywhere: a Null aggregate keeps the date type.
  const auto none = run(QStringLiteral("SELECT MAX(Day) FROM t WHERE n = 3"));
  EXPECT_EQ(none->field(0).type, adDBDate);
  EXPECT_FALSE(none->value(0, 0).isValid());
  // Arithmetic on a date is not a date of the column.
  EXPECT_NE(run(QStringLiteral("SELECT MAX(Day) + 1 FROM t"))->field(0).type, adDBDate);
}

TEST_P(EveryDialect, HashDateLiteralsAgainstDateTimeAndDateTimeColumns) {
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM t WHERE   Day=#1/2/2024#"))), (Ids{1, 5}));
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM t WHERE   At=#08:30:00#"))), Ids{2});
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM t WHERE   At=#00:00:00#"))), Ids{5});
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM t WHERE   Stamp=#1/2/2024 10:05:07#"))), Ids{1});
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM t WHERE   Stamp=#12/31/2025 23:59:59#"))), Ids{4});
  // Fractions of a second in the source do not keep a value from its second.
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM t WHERE   Stamp=#1/2/2024 00:00:00#"))), Ids{5});
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM t WHERE   Stamp=#1/2/2024#"))), Ids{5});
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM t WHERE   Day=#1/2/2024#   AND At=#10:00:01#"))), Ids{1});
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM t WHERE   Stamp>#1/2/2024 10:05:06# ORDER BY Stamp DESC"))),
            (Ids{4, 1}));
}

INSTANTIATE_TEST_SUITE_P(FileSources, EveryDialect,
                         ::testing::Values(SqlDialect::Text, SqlDialect::Access, SqlDialect::Excel, SqlDialect::XBase,
                                           SqlDialect::Paradox));

}  // namespace
