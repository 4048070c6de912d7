#include "dataaccess/error.h"
#include "dataaccess/sqlengine.h"
#include "dataaccess/values.h"

#include <gtest/gtest.h>

#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

#include <map>

using namespace dataaccess;

namespace {

QDateTime dt(int y, int m, int d, int h = 0, int n = 0, int s = 0) { return makeDateTime(QDate(y, m, d), QTime(h, n, s)); }

FieldInfo numeric(const QString& name, int precision, int scale) {
  FieldInfo f(name, adNumeric, 19);
  f.precision = precision;
  f.numericScale = scale;
  return f;
}

// "Order Details" of a small shop, with row keys as a file provider sets them.
std::shared_ptr<RowStore> orderDetails() {
  auto rows = std::make_shared<RowStore>(std::vector<FieldInfo>{
      FieldInfo("OrderID", adInteger, 4), FieldInfo("OrderDate", adDate, 8), FieldInfo("Product", adVarWChar, 50),
      numeric("Price", 10, 2), FieldInfo("Ok", adBoolean, 2), FieldInfo("Shipped", adDBTime, 8)});
  rows->appendRow({qlonglong(1), dt(2005, 1, 2), QStringLiteral("Apple"), QStringLiteral("12.50"), true, QTime(10, 5, 7)});
  rows->appendRow({qlonglong(2), dt(2005, 1, 2, 10, 5, 7), QStringLiteral("Banana pie"), QStringLiteral("3.00"), false,
                   QTime(8, 0)});
  rows->appendRow({qlonglong(3), dt(2005, 3, 4), QStringLiteral("apple tart"), QVariant(), true, QVariant()});
  rows->appendRow({qlonglong(4), QVariant(), QVariant(), QStringLiteral("123456789012345.25"), QVariant(), QVariant()});
  rows->rowKeys() = {10, 20, 30, 40};
  rows->baseTable = QStringLiteral("Order Details");
  return rows;
}

// A loader over named tables that counts its calls and refuses unknown names.
struct Tables {
  std::map<QString, RowStorePtr> byName;  // lower-cased
  int calls = 0;
  SqlEngine::TableLoader loader() {
    return [this](const QString& name) -> RowStorePtr {
      ++calls;
      auto it = byName.find(name.toLower());
      if (it == byName.end())
        throw Error(err::kTableNotFound, QStringLiteral("Recordset.Open"),
                    QStringLiteral("The table '%1' does not exist in this source.").arg(name));
      return it->second;
    };
  }
};

std::vector<qlonglong> ids(const RowStore& r, int field = 0) {
  std::vector<qlonglong> out;
  for (int64_t i = 0; i < r.rowCount(); ++i) out.push_back(r.value(i, field).toLongLong());
  return out;
}

using Ids = std::vector<qlonglong>;

class AccessEngine : public ::testing::Test {
 protected:
  AccessEngine() { tables.byName[QStringLiteral("order details")] = orderDetails(); }
  std::shared_ptr<RowStore> run(const QString& sql) { return engine.run(sql, tables.loader()); }
  Tables tables;
  SqlEngine engine{SqlDialect::Access};
};

TEST_F(AccessEngine, FilterLiteralsOfTheAccessDialect) {
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM [Order Details] WHERE   [OrderDate]='1/2/2005'"))), Ids{1});
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM [Order Details] WHERE   [OrderDate]='1/2/2005 10:5:7'"))), Ids{2});
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM [Order Details] WHERE   [OrderDate]=#1/2/2005#"))), Ids{1});
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM [Order Details] WHERE   [Shipped]='10:5:7'"))), Ids{1});
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM [Order Details] WHERE '1/2/2005' < [Order Details].OrderDate"))),
            (Ids{2, 3}));
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM [Order Details] WHERE   [Ok]=True"))), (Ids{1, 3}));
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM [Order Details] WHERE   [Price]=12.5"))), Ids{1});
  // A string compared with a text column stays a string.
  EXPECT_TRUE(ids(*run(QStringLiteral("SELECT * FROM [Order Details] WHERE   [Product]='1/2/2005'"))).empty());
}

TEST_F(AccessEngine, LikeAndConditionChainsAndSorting) {
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM [Order Details] WHERE   [Product] LIKE 'app%' ORDER BY OrderID"))),
            (Ids{1, 3}));
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM [Order Details] WHERE   [Product] LIKE 'App*'"))), (Ids{1, 3}));
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM [Order Details] WHERE   [Product] LIKE '%pie%'"))), Ids{2});
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM [Order Details] WHERE   [OrderID]>1   AND [Ok]=1"))), Ids{3});
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM [Order Details] WHERE   [OrderID]<4 ORDER BY OrderDate DESC,OrderID"))),
            (Ids{3, 2, 1}));
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM [Order Details] order by Ok DESC,OrderID"))), (Ids{1, 3, 2, 4}));
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT TOP 2 * FROM [Order Details] ORDER BY OrderID DESC"))), (Ids{4, 3}));
}

TEST_F(AccessEngine, ResultsKeepSourceTypesKeysAndNulls) {
  const auto r = run(QStringLiteral("SELECT * FROM [Order Details] WHERE   [OrderID]>=2"));
  const auto source = orderDetails();
  ASSERT_EQ(r->fieldCount(), source->fieldCount());
  for (int f = 0; f < r->fieldCount(); ++f) {
    EXPECT_EQ(r->field(f).name, source->field(f).name);
    EXPECT_EQ(r->field(f).type, source->field(f).type);
    EXPECT_EQ(r->field(f).numericScale, source->field(f).numericScale);
  }
  ASSERT_EQ(r->rowCount(), 3);
  EXPECT_EQ(r->value(0, 1), QVariant(dt(2005, 1, 2, 10, 5, 7)));
  EXPECT_EQ(r->value(0, 2), QVariant(QStringLiteral("Banana pie")));
  EXPECT_EQ(r->value(0, 3), QVariant(QStringLiteral("3.00")));
  EXPECT_EQ(r->value(0, 4), QVariant(false));
  EXPECT_EQ(r->value(0, 5), QVariant(QTime(8, 0)));
  EXPECT_FALSE(r->value(2, 1).isValid());
  EXPECT_FALSE(r->value(2, 2).isValid());
  EXPECT_EQ(r->value(2, 3), QVariant(QStringLiteral("123456789012345.25")));  // exact decimal text
  EXPECT_EQ(r->rowKeys(), (std::vector<int64_t>{20, 30, 40}));
  EXPECT_EQ(r->baseTable, QStringLiteral("Order Details"));

  const auto cols = run(QStringLiteral("SELECT Price AS Cost, OrderDate FROM [Order Details] WHERE OrderDate IS NULL"));
  ASSERT_EQ(cols->rowCount(), 1);
  EXPECT_EQ(cols->field(0).name, QStringLiteral("Cost"));
  EXPECT_EQ(cols->field(0).type, adNumeric);
  EXPECT_EQ(cols->field(0).baseColumn, source->field(3).baseColumn);
  EXPECT_EQ(cols->rowKeys(), std::vector<int64_t>{40});
}

TEST_F(AccessEngine, ComputedColumnsTakeTheTypeOfTheirValues) {
  const auto r = run(QStringLiteral(
      "SELECT COUNT(*) AS n, SUM(OrderID) * 1.5 AS half, 3000000000 AS big, MAX(Product) AS top, "
      "NULL AS nada, printf('%300s', 'x') AS wide FROM [Order Details]"));
  ASSERT_EQ(r->rowCount(), 1);
  EXPECT_EQ(r->field(0).type, adInteger);
  EXPECT_EQ(r->value(0, 0), QVariant(qlonglong(4)));
  EXPECT_EQ(r->field(1).type, adDouble);
  EXPECT_EQ(r->value(0, 1), QVariant(15.0));
  EXPECT_EQ(r->field(2).type, adBigInt);
  EXPECT_EQ(r->field(3).type, adVarWChar);
  EXPECT_EQ(r->value(0, 3), QVariant(QStringLiteral("Banana pie")));  // text compares ignoring case
  EXPECT_FALSE(r->value(0, 4).isValid());
  EXPECT_EQ(r->field(5).type, adLongVarWChar);
  EXPECT_TRUE(r->rowKeys().empty());  // an aggregate row is no row of the table

  // A column whose values change kind on the way is widened, not truncated.
  const auto mixed = run(QStringLiteral(
      "SELECT CASE WHEN OrderID = 1 THEN 1 WHEN OrderID = 2 THEN 2.5 ELSE 'many' END AS v FROM [Order Details]"));
  EXPECT_EQ(mixed->field(0).type, adLongVarWChar);
  EXPECT_EQ(mixed->value(0, 0), QVariant(QStringLiteral("1")));
  EXPECT_EQ(mixed->value(1, 0), QVariant(QStringLiteral("2.5")));
  EXPECT_EQ(mixed->value(3, 0), QVariant(QStringLiteral("many")));
}

TEST_F(AccessEngine, RefusesWhatIsNotOneSelectWithClearErrors) {
  const QStringList bad = {
      QStringLiteral("SELECT * FROM [Order Details"),
      QStringLiteral("SELECT * FROM [Order Details] WHERE Product='Apple"),
      QStringLiteral("SELECT * FROM [Order Details] WHERE"),
      QStringLiteral("SELEC * FROM [Order Details]"),
      QStringLiteral("SELECT * FROM [Order Details] WHERE OrderDate=#13/45/2005#"),
      QStringLiteral("SELECT * FROM [Order Details] WHERE OrderDate='not a date'"),
      QStringLiteral("SELECT * FROM [Order Details] WHERE Nope=1"),
      QStringLiteral("SELECT * FROM [Order Details] WHERE \"Nope\"='x'"),
      QStringLiteral("DELETE FROM [Order Details]"),
      QStringLiteral("SELECT 1; DROP TABLE _t1"),
      QStringLiteral("   "),
      QStringLiteral("SELECT * FROM [Order Details] /* open"),
  };
  for (const QString& sql : bad) {
    try {
      run(sql);
      ADD_FAILURE() << "accepted: " << sql.toStdString();
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), err::kCommandError) << sql.toStdString();
      EXPECT_FALSE(e.description().isEmpty());
    }
  }
  // The staged table survived all of that.
  EXPECT_EQ(run(QStringLiteral("SELECT * FROM [Order Details] WHERE OrderID=1"))->rowCount(), 1);
}

TEST_F(AccessEngine, EveryTruncationOfAStatementFailsCleanly) {
  const QString sql = QStringLiteral(
      "SELECT TOP 3 [Product], \"Price\" FROM [Order Details] AS o WHERE o.[OrderDate]>='1/2/2005' "
      "AND Shipped<>#8:00:00# AND Product LIKE 'a*' AND Ok=True /* c */ ORDER BY `Product` DESC,OrderID;");
  for (int n = 0; n <= sql.size(); ++n) {
    try {
      run(sql.left(n));
    } catch (const Error& e) {
      EXPECT_FALSE(e.description().isEmpty());
    }
  }
  EXPECT_EQ(ids(*run(sql), 0).size(), 1u);
}

TEST_F(AccessEngine, UnknownTableRaisesTheLoadersError) {
  try {
    run(QStringLiteral("SELECT * FROM Orders WHERE   x=1"));
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), err::kTableNotFound);
    EXPECT_TRUE(e.description().contains(QStringLiteral("Orders")));
  }
}

TEST(SqlEngine, DatesOfTheTextDialectInATableNamedWithHash) {
  auto rows = std::make_shared<RowStore>(std::vector<FieldInfo>{FieldInfo("n", adInteger, 4), FieldInfo("d", adDate, 8)});
  rows->appendRow({qlonglong(1), dt(2005, 1, 2)});
  rows->appendRow({qlonglong(2), makeDateTime(QDate(1899, 12, 30), QTime(10, 5, 7))});
  rows->appendRow({qlonglong(3), dt(2005, 1, 2, 0, 0, 0).addMSecs(900)});  // fractions of a second are dropped
  Tables tables;
  tables.byName[QStringLiteral("a#csv")] = rows;
  SqlEngine engine(SqlDialect::Text);
  EXPECT_EQ(ids(*engine.run(QStringLiteral("SELECT * FROM [a#csv] WHERE   [d]=#1/2/2005#"), tables.loader())),
            (Ids{1, 3}));
  EXPECT_EQ(ids(*engine.run(QStringLiteral("SELECT * FROM a#csv WHERE   d=#10:05:07#"), tables.loader())), Ids{2});
  EXPECT_EQ(ids(*engine.run(QStringLiteral("SELECT * FROM `a#csv` WHERE d>=#2005-01-02# ORDER BY n DESC"), tables.loader())),
            (Ids{3, 1}));
  // The milliseconds of the source come back untouched.
  const auto r = engine.run(QStringLiteral("SELECT * FROM [a#csv] WHERE n=3"), tables.loader());
  EXPECT_EQ(r->value(0, 1), QVariant(dt(2005, 1, 2).addMSecs(900)));
  EXPECT_EQ(tables.calls, 4);
}

TEST(SqlEngine, EmptyAndBracedDatesOfTheXBaseDialect) {
  auto rows = std::make_shared<RowStore>(std::vector<FieldInfo>{FieldInfo("n", adInteger, 4), FieldInfo("d", adDBDate, 8)});
  rows->appendRow({qlonglong(1), QDate(2005, 1, 2)});
  rows->appendRow({qlonglong(2), QVariant()});
  rows->appendRow({qlonglong(3), QDate(2006, 7, 8)});
  Tables tables;
  tables.byName[QStringLiteral("my table")] = rows;
  SqlEngine engine(SqlDialect::XBase);
  auto run = [&](const char* sql) { return engine.run(QString::fromUtf8(sql), tables.loader()); };
  EXPECT_EQ(ids(*run("SELECT * FROM \"my table\" WHERE   d={1/2/2005}")), Ids{1});
  EXPECT_EQ(ids(*run("SELECT * FROM \"my table\" WHERE   d={^2006-07-08}")), Ids{3});
  EXPECT_EQ(ids(*run("SELECT * FROM \"my table\" WHERE   d={}")), Ids{2});
  EXPECT_EQ(ids(*run("SELECT * FROM \"my table\" WHERE   d<>{} ORDER BY d DESC")), (Ids{3, 1}));
  const auto r = run("SELECT * FROM \"my table\" WHERE   d={1/2/2005}");
  EXPECT_EQ(r->value(0, 1), QVariant(QDate(2005, 1, 2)));
  EXPECT_EQ(r->field(1).type, adDBDate);
}

TEST(SqlEngine, NamesWithBlanksQuotesAndBrackets) {
  auto rows = std::make_shared<RowStore>(std::vector<FieldInfo>{
      FieldInfo("Unit Price", adDouble, 8), FieldInfo("He said \"hi\"", adVarWChar, 20), FieldInfo("a]b", adInteger, 4),
      FieldInfo("unit price", adInteger, 4)});
  rows->appendRow({1.5, QStringLiteral("x"), qlonglong(7), qlonglong(8)});
  rows->appendRow({0.5, QStringLiteral("y"), qlonglong(9), qlonglong(10)});
  Tables tables;
  tables.byName[QStringLiteral("sheet1$")] = rows;
  SqlEngine engine(SqlDialect::Excel);
  const auto all = engine.run(QStringLiteral("SELECT * FROM Sheet1$ WHERE [Unit Price] > 1"), tables.loader());
  ASSERT_EQ(all->rowCount(), 1);
  ASSERT_EQ(all->fieldCount(), 4);
  EXPECT_EQ(all->field(3).name, QStringLiteral("unit price"));  // a duplicate name survives staging
  EXPECT_EQ(all->value(0, 3), QVariant(qlonglong(8)));
  const auto some = engine.run(
      QStringLiteral("SELECT \"He said \"\"hi\"\"\", `a]b` FROM [Sheet1$] WHERE [He said \"hi\"]='y'"), tables.loader());
  ASSERT_EQ(some->rowCount(), 1);
  EXPECT_EQ(some->field(0).name, QStringLiteral("He said \"hi\""));
  EXPECT_EQ(some->value(0, 1), QVariant(qlonglong(9)));
}

TEST(SqlEngine, RestagesWhenTheLoaderHandsOverNewRows) {
  auto first = std::make_shared<RowStore>(std::vector<FieldInfo>{FieldInfo("n", adInteger, 4)});
  first->appendRow({qlonglong(1)});
  Tables tables;
  tables.byName[QStringLiteral("t")] = first;
  SqlEngine engine(SqlDialect::Paradox);
  const QString sql = QStringLiteral("SELECT * FROM t WHERE n > 0");
  EXPECT_EQ(ids(*engine.run(sql, tables.loader())), Ids{1});
  const QString staged = engine.translate(sql, tables.loader());
  EXPECT_EQ(engine.translate(sql, tables.loader()), staged);  // same rows: staged once

  auto second = std::make_shared<RowStore>(std::vector<FieldInfo>{FieldInfo("n", adInteger, 4)});
  second->appendRow({qlonglong(2)});
  second->appendRow({qlonglong(3)});
  tables.byName[QStringLiteral("t")] = second;
  first.reset();
  EXPECT_EQ(ids(*engine.run(sql, tables.loader())), (Ids{2, 3}));
  EXPECT_NE(engine.translate(sql, tables.loader()), staged);

  engine.forget(QStringLiteral("T"));
  EXPECT_EQ(ids(*engine.run(sql, tables.loader())), (Ids{2, 3}));
}

TEST(SqlEngine, JoinsHaveNoBaseTableAndNoKeys) {
  auto orders = std::make_shared<RowStore>(std::vector<FieldInfo>{FieldInfo("id", adInteger, 4), FieldInfo("cust", adInteger, 4)});
  orders->appendRow({qlonglong(1), qlonglong(7)});
  orders->appendRow({qlonglong(2), qlonglong(8)});
  orders->rowKeys() = {100, 200};
  auto customers = std::make_shared<RowStore>(std::vector<FieldInfo>{FieldInfo("id", adInteger, 4), FieldInfo("name", adVarWChar, 20)});
  customers->appendRow({qlonglong(7), QStringLiteral("Ann")});
  Tables tables;
  tables.byName[QStringLiteral("orders")] = orders;
  tables.byName[QStringLiteral("customers")] = customers;
  SqlEngine engine(SqlDialect::XBase);
  const auto r = engine.run(
      QStringLiteral("SELECT o.id, c.name FROM orders o INNER JOIN customers AS c ON o.cust = c.id"), tables.loader());
  ASSERT_EQ(r->rowCount(), 1);
  EXPECT_EQ(r->value(0, 1), QVariant(QStringLiteral("Ann")));
  EXPECT_EQ(r->field(1).type, adVarWChar);
  EXPECT_TRUE(r->baseTable.isEmpty());
  EXPECT_TRUE(r->rowKeys().empty());
  // A self-join reads one table twice: still no keys.
  const auto self = engine.run(QStringLiteral("SELECT a.id FROM orders a, orders b WHERE a.id = b.id"), tables.loader());
  EXPECT_EQ(self->rowCount(), 2);
  EXPECT_TRUE(self->rowKeys().empty());
  // A subquery over another table leaves the keys of the outer one.
  const auto sub = engine.run(QStringLiteral("SELECT * FROM orders WHERE cust IN (SELECT id FROM customers)"), tables.loader());
  EXPECT_EQ(sub->rowKeys(), std::vector<int64_t>{100});
}

}  // namespace

// Values replaced after loading (saved edits) are staged as they read now,
// in every storage kind, and compared by the same rules as loaded ones.
TEST_F(AccessEngine, EditedValuesAreStagedInTheirStoredForm) {
  engine.setDirectAnswers(false);
  auto rows = tables.byName[QStringLiteral("order details")];
  auto& store = const_cast<RowStore&>(*rows);
  store.column(0).set(0, qlonglong(5));
  store.column(1).set(2, dt(2006, 1, 1, 0, 0, 1));
  store.column(2).set(3, QStringLiteral("Cherry"));
  store.column(3).set(0, QStringLiteral("99.95"));
  store.column(3).set(1, QVariant());
  store.column(4).set(1, true);
  store.column(5).set(2, QTime(23, 0));
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM [Order Details] WHERE OrderID = 5"))), Ids{5});
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM [Order Details] WHERE OrderDate > #1/1/2006#"))), Ids{3});
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM [Order Details] WHERE Product = 'cherry'"))), Ids{4});
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM [Order Details] WHERE Price > 50 AND Price < 1000"))), Ids{5});
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM [Order Details] WHERE Price IS NULL"))), (Ids{2, 3}));
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM [Order Details] WHERE Ok = True ORDER BY OrderID"))), (Ids{2, 3, 5}));
  EXPECT_EQ(ids(*run(QStringLiteral("SELECT * FROM [Order Details] WHERE Shipped > #20:00:00#"))), Ids{3});
  const auto r = run(QStringLiteral("SELECT Price FROM [Order Details] WHERE OrderID = 5"));
  ASSERT_EQ(r->rowCount(), 1);
  EXPECT_EQ(r->value(0, 0), QVariant(QStringLiteral("99.95")));
}

// The time limit stops a query that would never end, with a clear error,
// and the engine answers the next statement normally.
TEST(SqlEngine, ARunawayQueryIsStoppedAtTheTimeLimit) {
  Tables tables;
  auto t = std::make_shared<RowStore>(std::vector<FieldInfo>{FieldInfo("n", adInteger, 4)});
  t->appendRow({qlonglong(1)});
  tables.byName[QStringLiteral("t")] = t;
  SqlEngine engine(SqlDialect::Text);
  engine.setTimeLimit(std::chrono::seconds(1));
  try {
    engine.run(QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) "
                              "SELECT count(*) FROM c, t"),
               tables.loader());
    ADD_FAILURE() << "the query was not stopped";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), err::kCommandError);
    EXPECT_TRUE(e.description().startsWith(QStringLiteral("The query was stopped after running for 1 seconds")))
        << e.description().toStdString();
  }
  EXPECT_EQ(ids(*engine.run(QStringLiteral("SELECT n FROM t WHERE n = 1"), tables.loader())), Ids{1});
}
