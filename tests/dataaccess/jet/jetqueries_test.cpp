// Saved queries of a real Access database, checked against rows worked out
// here from its tables.
#include "dataaccess/connection.h"
#include "dataaccess/error.h"
#include "dataaccess/recordset.h"
#include "testsupport/fixtures.h"

#include <QHash>
#include <QSet>
#include <cmath>
#include <gtest/gtest.h>
#include <iostream>

using namespace dataaccess;

namespace {

std::shared_ptr<Connection> openJet(const QString& path) {
  auto cn = std::make_shared<Connection>();
  cn->Open(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1").arg(path));
  return cn;
}

std::unique_ptr<Recordset> open(const std::shared_ptr<Connection>& cn, const QString& source) {
  auto rs = std::make_unique<Recordset>();
  rs->setCursorLocation(adUseClient);
  rs->Open(QStringLiteral("SELECT * FROM [%1]").arg(source), cn, adOpenStatic, adLockReadOnly, adCmdText);
  return rs;
}

// Every row of a source as field name -> value.
std::vector<QHash<QString, QVariant>> rowsOf(const std::shared_ptr<Connection>& cn, const QString& source) {
  auto rs = open(cn, source);
  std::vector<QHash<QString, QVariant>> rows;
  for (; !rs->IsEOF(); rs->MoveNext()) {
    QHash<QString, QVariant> r;
    for (int i = 0; i < rs->FieldCount(); ++i) r.insert(rs->Fields(i).Name(), rs->Fields(i).Value());
    rows.push_back(std::move(r));
  }
  return rows;
}

// CCur(UnitPrice*Quantity*(1-Discount)/100)*100, as the queries compute it:
// currency rounds to four decimals, ties to even (2.98125 gives 2.9812).
double extendedPrice(const QHash<QString, QVariant>& detail) {
  const double x = detail["UnitPrice"].toDouble() * detail["Quantity"].toDouble() * (1 - detail["Discount"].toDouble()) / 100;
  return std::nearbyint(x * 10000) / 10000 * 100;
}

QString refusal(const std::shared_ptr<Connection>& cn, const QString& query) {
  try {
    open(cn, query);
  } catch (const Error& e) {
    return e.description();
  }
  return {};
}

}  // namespace

// Lists which saved queries open and why the others do not.
TEST(JetSavedQueries, EverySelectQueryOpensOrSaysWhyNot) {
  LUMBROOK_REQUIRE_FIXTURE(path, "access/nwind.mdb");
  auto cn = openJet(path);
  auto schema = cn->OpenSchema(adSchemaTables);
  int opened = 0, refused = 0;
  for (; !schema->IsEOF(); schema->MoveNext()) {
    if (schema->Fields(QStringLiteral("TABLE_TYPE")).Value().toString() != QLatin1String("VIEW")) continue;
    const QString name = schema->Fields(QStringLiteral("TABLE_NAME")).Value().toString();
    try {
      auto rs = open(cn, name);
      std::cout << "opens: " << name.toStdString() << " (" << rs->RecordCount() << " rows)\n";
      ++opened;
    } catch (const Error& e) {
      std::cout << "refused: " << e.message().toStdString() << "\n";
      EXPECT_TRUE(e.description().startsWith(QStringLiteral("The saved query '%1' cannot be run: ").arg(name)))
          << e.description().toStdString();
      ++refused;
    }
  }
  EXPECT_GE(opened, 15);
  EXPECT_GT(refused, 0);
}

TEST(JetSavedQueries, FilteredSortedAndAliasedQueriesGiveTheRowsOfTheirTables) {
  LUMBROOK_REQUIRE_FIXTURE(path, "access/nwind.mdb");
  auto cn = openJet(path);
  const auto products = rowsOf(cn, QStringLiteral("Products"));
  QSet<QString> categories;
  for (const auto& c : rowsOf(cn, QStringLiteral("Categories"))) categories.insert(c["CategoryID"].toString());

  QStringList current;
  double sum = 0;
  std::vector<double> prices;
  int withCategory = 0;
  for (const auto& p : products) {
    prices.push_back(p["UnitPrice"].toDouble());
    sum += p["UnitPrice"].toDouble();
    if (p["Discontinued"].toBool()) continue;
    current << p["ProductName"].toString();
    if (categories.contains(p["CategoryID"].toString())) ++withCategory;
  }
  const double average = sum / double(products.size());

  // Products (as [Product List]) that are not discontinued, by name.
  auto rs = open(cn, QStringLiteral("Current Product List"));
  ASSERT_EQ(rs->FieldCount(), 2);
  EXPECT_EQ(rs->Fields(1).Name(), QStringLiteral("ProductName"));
  QStringList got;
  for (; !rs->IsEOF(); rs->MoveNext()) got << rs->Fields(1).Value().toString();
  current.sort();
  QStringList sortedGot = got;
  sortedGot.sort();
  EXPECT_EQ(sortedGot, current);

  // Products.* and the category name, inner join with criteria.
  rs = open(cn, QStringLiteral("Alphabetical List of Products"));
  EXPECT_EQ(rs->RecordCount(), withCategory);
  EXPECT_EQ(rs->Fields(rs->FieldCount() - 1).Name(), QStringLiteral("CategoryName"));

  // TOP 10 by price, descending, under the alias Access gave the column.
  std::sort(prices.rbegin(), prices.rend());
  rs = open(cn, QStringLiteral("Ten Most Expensive Products"));
  ASSERT_EQ(rs->RecordCount(), 10);
  EXPECT_EQ(rs->Fields(0).Name(), QStringLiteral("TenMostExpensiveProducts"));
  for (int i = 0; !rs->IsEOF(); rs->MoveNext(), ++i)
    EXPECT_DOUBLE_EQ(rs->Fields(QStringLiteral("UnitPrice")).Value().toDouble(), prices[size_t(i)]);

  // A subquery in the criteria.
  rs = open(cn, QStringLiteral("Products Above Average Price"));
  EXPECT_EQ(rs->RecordCount(), std::count_if(prices.begin(), prices.end(), [&](double p) { return p > average; }));
}

TEST(JetSavedQueries, GroupedQueriesAndQueriesOfQueriesAddUp) {
  LUMBROOK_REQUIRE_FIXTURE(path, "access/nwind.mdb");
  auto cn = openJet(path);
  const auto details = rowsOf(cn, QStringLiteral("Order Details"));
  QHash<QString, double> subtotal;
  for (const auto& d : details) subtotal[d["OrderID"].toString()] += extendedPrice(d);

  // Sum(CCur(...)) grouped by order.
  auto rs = open(cn, QStringLiteral("Order Subtotals"));
  EXPECT_EQ(rs->RecordCount(), subtotal.size());
  for (; !rs->IsEOF(); rs->MoveNext())
    EXPECT_NEAR(rs->Fields(QStringLiteral("Subtotal")).Value().toDouble(),
                subtotal.value(rs->Fields(QStringLiteral("OrderID")).Value().toString()), 0.005);

  // Sales of orders shipped in 1995 (a date range in #m/d/yy# literals),
  // by product, then by category from that query.
  QHash<QString, QDate> shipped;
  for (const auto& o : rowsOf(cn, QStringLiteral("Orders")))
    if (o["ShippedDate"].isValid()) shipped.insert(o["OrderID"].toString(), o["ShippedDate"].toDateTime().date());
  double sales1995 = 0;
  for (const auto& d : details) {
    const QDate day = shipped.value(d["OrderID"].toString());
    if (day.isValid() && day >= QDate(1995, 1, 1) && day <= QDate(1995, 12, 31)) sales1995 += extendedPrice(d);
  }
  const auto total = [&](const QString& query, const QString& field) {
    double t = 0;
    for (const auto& r : rowsOf(cn, query)) t += r[field].toDouble();
    return t;
  };
  EXPECT_GT(sales1995, 0);
  EXPECT_NEAR(total(QStringLiteral("Product Sales for 1995"), QStringLiteral("ProductSales")), sales1995, 0.01);
  EXPECT_NEAR(total(QStringLiteral("Category Sales for 1995"), QStringLiteral("CategorySales")), sales1995, 0.01);

  // Five inner joins, a computed column and two columns of one name.
  rs = open(cn, QStringLiteral("Invoices"));
  EXPECT_EQ(rs->RecordCount(), int64_t(details.size()));
  QStringList names;
  for (int i = 0; i < rs->FieldCount(); ++i) names << rs->Fields(i).Name();
  EXPECT_TRUE(names.contains(QStringLiteral("Customers.CompanyName"))) << names.join(',').toStdString();
  EXPECT_TRUE(names.contains(QStringLiteral("Shippers.CompanyName")));
  ASSERT_TRUE(names.contains(QStringLiteral("Salesperson")));
  EXPECT_TRUE(rs->Fields(QStringLiteral("Salesperson")).Value().toString().contains(QLatin1Char(' ')));
}

TEST(JetSavedQueries, UnionQueryListsBothSidesOnce) {
  LUMBROOK_REQUIRE_FIXTURE(path, "access/nwind.mdb");
  auto cn = openJet(path);
  QSet<QString> expected;
  for (const char* table : {"Customers", "Suppliers"})
    for (const auto& r : rowsOf(cn, QLatin1String(table)))
      expected.insert(QStringList{r["City"].toString(), r["CompanyName"].toString(), r["ContactName"].toString(),
                                  QLatin1String(table)}.join(QLatin1Char('|')));
  auto rs = open(cn, QStringLiteral("Customers and Suppliers by City"));
  ASSERT_EQ(rs->FieldCount(), 4);
  EXPECT_EQ(rs->Fields(3).Name(), QStringLiteral("Relationship"));
  QSet<QString> got;
  for (; !rs->IsEOF(); rs->MoveNext())
    got.insert(QStringList{rs->Fields(0).Value().toString(), rs->Fields(1).Value().toString(),
                           rs->Fields(2).Value().toString(), rs->Fields(3).Value().toString()}.join(QLatin1Char('|')));
  EXPECT_EQ(rs->RecordCount(), expected.size());
  EXPECT_EQ(got, expected);
}

TEST(JetSavedQueries, QueriesThatCannotRunNameTheReason) {
  LUMBROOK_REQUIRE_FIXTURE(path, "access/nwind.mdb");
  auto cn = openJet(path);
  // The column list of a query names its columns, and is empty for one
  // that cannot run.
  const auto columnsOf = [&](const QString& query) {
    QStringList names;
    auto rs = cn->OpenSchema(adSchemaColumns, {QVariant(), QVariant(), query});
    for (; !rs->IsEOF(); rs->MoveNext()) names << rs->Fields(QStringLiteral("COLUMN_NAME")).Value().toString();
    return names;
  };
  EXPECT_EQ(columnsOf(QStringLiteral("Order Subtotals")), QStringList({"OrderID", "Subtotal"}));
  EXPECT_TRUE(columnsOf(QStringLiteral("Invoices Filter")).isEmpty());

  EXPECT_TRUE(refusal(cn, QStringLiteral("Employee Sales by Country")).contains(QLatin1String("[Beginning Date], [Ending Date]")));
  EXPECT_TRUE(refusal(cn, QStringLiteral("Invoices Filter")).contains(QLatin1String("[Forms]![Orders]![OrderID]")));
  EXPECT_TRUE(refusal(cn, QStringLiteral("Quarterly Orders by Product")).contains(QLatin1String("crosstab")));
}
