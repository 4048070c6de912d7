// Saved-query SQL rebuilt from MSysQueries rows written by hand.
#include "dataaccess/error.h"
#include "dataaccess/providers/jet/querydef.h"

#include <gtest/gtest.h>

using namespace dataaccess;
using namespace dataaccess::jet;

namespace {

QueryRow row(int attribute, const QString& expression = {}, const QString& name1 = {}, const QString& name2 = {},
             int flag = 0) {
  QueryRow r;
  r.attribute = attribute;
  r.expression = expression;
  r.name1 = name1;
  r.name2 = name2;
  r.flag = flag;
  return r;
}

// The description of the error rebuilding `rows` gives (empty when none).
QString refusal(const std::vector<QueryRow>& rows) {
  try {
    rebuildQuerySql(QStringLiteral("Q"), rows);
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), err::kCommandError);
    EXPECT_TRUE(e.description().startsWith(QLatin1String("The saved query 'Q' cannot be run: "))) << e.description().toStdString();
    return e.description();
  }
  return {};
}

}  // namespace

TEST(JetQueryDef, SelectWithJoinsCriteriaGroupingAndOrder) {
  // Rows come in any order; attribute order and the Order key decide.
  std::vector<QueryRow> rows = {
      row(kOrderBy, "Products.UnitPrice", "D"),
      row(kSource, {}, "Products"),
      row(kSource, {}, "Categories", "C"),
      row(kColumn, "C.CategoryName"),
      row(kColumn, "Sum(Products.UnitPrice)", "Total"),
      row(kJoin, "C.CategoryID = Products.CategoryID", "C", "Products", 1),
      row(kWhere, "(((Products.Discontinued)=No))"),
      row(kGroupBy, "C.CategoryName"),
      row(kHaving, "Sum(Products.UnitPrice)>10"),
      row(kQueryType, {}, {}, {}, 1),
      row(kOptions, {}, {}, {}, 8),
  };
  EXPECT_EQ(rebuildQuerySql("Q", rows),
            "SELECT C.CategoryName, sum(Products.UnitPrice) AS [Total] FROM [Categories] AS [C] INNER JOIN [Products] "
            "ON (C.CategoryID = Products.CategoryID) WHERE ((((Products.Discontinued)=0))) GROUP BY C.CategoryName "
            "HAVING (sum(Products.UnitPrice)>10) ORDER BY Products.UnitPrice DESC");

  // The Order key sorts rows of one attribute.
  std::vector<QueryRow> ordered = {row(kSource, {}, "T"), row(kColumn, "T.B"), row(kColumn, "T.A")};
  ordered[1].order = QByteArray("\x02", 1);
  ordered[2].order = QByteArray("\x01", 1);
  EXPECT_EQ(rebuildQuerySql("Q", ordered), "SELECT T.A, T.B FROM [T]");
}

TEST(JetQueryDef, OuterJoinsKeepTheirSideWhicheverTableComesFirst) {
  // Left join written with the preserved table already placed ...
  EXPECT_EQ(rebuildQuerySql("Q", {row(kSource, {}, "A"), row(kSource, {}, "B"), row(kJoin, "A.k=B.k", "A", "B", 2)}),
            "SELECT * FROM [A] LEFT JOIN [B] ON (A.k=B.k)");
  // ... and a chain where the second join brings in its left side.
  EXPECT_EQ(rebuildQuerySql("Q", {row(kSource, {}, "A"), row(kSource, {}, "B"), row(kSource, {}, "C"),
                                  row(kJoin, "A.k=B.k", "A", "B", 3), row(kJoin, "C.j=B.j", "C", "B", 2),
                                  row(kJoin, "A.x=B.x", "A", "B", 3)}),
            "SELECT * FROM [A] RIGHT JOIN [B] ON (A.k=B.k) AND (A.x=B.x) RIGHT JOIN [C] ON (C.j=B.j)");
  // Tables outside every join are crossed; unknown join kinds refused.
  EXPECT_EQ(rebuildQuerySql("Q", {row(kSource, {}, "A"), row(kSource, {}, "B"), row(kSource, {}, "D"),
                                  row(kJoin, "A.k=B.k", "A", "B", 1)}),
            "SELECT * FROM [A] INNER JOIN [B] ON (A.k=B.k), [D]");
  EXPECT_TRUE(refusal({row(kSource, {}, "A"), row(kSource, {}, "B"), row(kJoin, "A.k=B.k", "A", "B", 7)}).contains("(7)"));
  EXPECT_TRUE(refusal({row(kSource, {}, "A"), row(kJoin, "A.k=Z.k", "A", "Z", 1)}).contains("Z"));
}

TEST(JetQueryDef, ColumnNamesFollowAccess) {
  EXPECT_EQ(rebuildQuerySql("Q", {row(kSource, {}, "Orders"), row(kSource, {}, "Customers"), row(kColumn, "Orders.*"),
                                  row(kColumn, "Customers.CompanyName"), row(kColumn, "[Shippers].[CompanyName]"),
                                  row(kColumn, "[FirstName] & \" \" & [LastName]"), row(kColumn, "Len([City])"),
                                  row(kColumn, "Year([OrderDate])", "Y")}),
            "SELECT Orders.*, Customers.CompanyName AS [Customers.CompanyName], [Shippers].[CompanyName] AS "
            "[Shippers.CompanyName], [FirstName] || ' ' || [LastName] AS [Expr1000], length([City]) AS [Expr1001], "
            "CAST(strftime('%Y', ([OrderDate]) - 2209161600, 'unixepoch') AS INTEGER) AS [Y] FROM [Orders], [Customers]");
}

TEST(JetQueryDef, DistinctTopAndUnion) {
  EXPECT_EQ(rebuildQuerySql("Q", {row(kSource, {}, "P"), row(kColumn, "P.Name"), row(kOrderBy, "P.Price", "D"),
                                  row(kOptions, {}, "10", {}, 24)}),
            "SELECT P.Name FROM [P] ORDER BY P.Price DESC LIMIT 10");
  EXPECT_EQ(rebuildQuerySql("Q", {row(kSource, {}, "P"), row(kColumn, "P.Name"), row(kOptions, {}, {}, {}, 2)}),
            "SELECT DISTINCT P.Name FROM [P]");
  EXPECT_TRUE(refusal({row(kSource, {}, "P"), row(kOptions, {}, "5", {}, 16 | 32)}).contains("PERCENT"));
  EXPECT_TRUE(refusal({row(kSource, {}, "P"), row(kOptions, {}, "x", {}, 16)}).contains("'x'"));

  const std::vector<QueryRow> u = {
      row(kQueryType, {}, {}, {}, 9), row(kOptions, {}, {}, {}, 3),
      row(kSource, "SELECT City, \"Customers\" AS [Relationship]\r\nFROM Customers\r\n", {}, "X1"),
      row(kSource, "SELECT DISTINCTROW City, \"Suppliers\" FROM Suppliers;", {}, "X2"), row(kOrderBy, "City")};
  EXPECT_EQ(rebuildQuerySql("Q", u),
            "SELECT * FROM (SELECT City, 'Customers' AS [Relationship]\r\nFROM Customers) UNION SELECT * FROM (SELECT  "
            "City, 'Suppliers' FROM Suppliers) ORDER BY City");
  std::vector<QueryRow> all = u;
  all[1].flag = 1;
  EXPECT_TRUE(rebuildQuerySql("Q", all).contains(" UNION ALL "));
}

TEST(JetQueryDef, JetExpressionsBecomeEngineExpressions) {
  EXPECT_EQ(engineExpression("CCur([Price]*[Qty])*100", "Q"),
            "(CASE WHEN abs(([Price]*[Qty]) * 10000 - CAST(([Price]*[Qty]) * 10000 AS INTEGER)) = 0.5 THEN 2 * "
            "round(([Price]*[Qty]) * 5000) ELSE round(([Price]*[Qty]) * 10000) END / 10000.0)*100");
  EXPECT_EQ(engineExpression("IIf(Nz([a],0)>0,\"it's \"\"on\"\"\",Left([b], 2) & Right(UCase([c]),3))", "Q"),
            "iif(ifnull([a], 0)>0, 'it''s \"on\"', substr(([b]), 1, (2)) || substr((upper([c])), max(length((upper([c]))) "
            "- (3) + 1, 1)))");
  // Yes/No and date literals, and a subquery, pass as the engine reads them.
  EXPECT_EQ(engineExpression("[Done]=Yes And [Day] Between #1/1/95# And #12/31/95# And x > (SELECT AVG(y) FROM T)", "Q"),
            "[Done]=1 And [Day] Between #1/1/95# And #12/31/95# And x > (SELECT avg(y) FROM T)");
  EXPECT_EQ(engineExpression("[a] In (\"x\",\"y\") And Not ([b] Like \"A*\")", "Q"), "[a] In ('x','y') And Not ([b] Like 'A*')");
  EXPECT_EQ(engineExpression("[Qty]/2 + [Qty]\\2", "Q"), "[Qty]* 1.0 /2 + [Qty]/2");
  EXPECT_EQ(engineExpression("Int(-[x]) + Fix([y]) + [z] Mod 7", "Q"),
            "(CAST((-[x]) AS INTEGER) - ((-[x]) < CAST((-[x]) AS INTEGER))) + CAST(([y]) AS INTEGER) + [z] % 7");
  EXPECT_EQ(engineExpression("[When] < Date()", "Q"),
            "[When] < CAST((julianday('now', 'localtime', 'start of day') - 2415018.5) * 86400 AS INTEGER)");
}

TEST(JetQueryDef, RefusesWhatCannotRunAndNamesIt) {
  const auto refusedExpression = [](const QString& expression, const QStringList& parameters = {}) {
    return refusal({row(kSource, {}, "T"), row(kColumn, "T.a"), row(kWhere, expression)});
  };
  EXPECT_TRUE(refusedExpression("Format([When],\"yyyy\")='1995'").contains("the function Format"));
  EXPECT_TRUE(refusedExpression("DatePart(\"q\",[When])=1").contains("DatePart"));
  EXPECT_TRUE(refusedExpression("Left([a])='x'").contains("Left with 1 arguments instead of 2"));
  EXPECT_TRUE(refusedExpression("[T].[a]=[Forms]![Orders]![OrderID]").contains("[Forms]![Orders]![OrderID]"));
  EXPECT_TRUE(refusedExpression("[a]=Forms!Orders!OrderID").contains("Forms!Orders!OrderID"));
  EXPECT_TRUE(refusedExpression("[a]='unterminated").contains("cannot be read"));

  EXPECT_EQ(refusal({row(kParameter, {}, "Beginning Date", {}, 8), row(kParameter, {}, "Ending Date", {}, 8),
                     row(kSource, {}, "T")}),
            "The saved query 'Q' cannot be run: it asks for the parameters [Beginning Date], [Ending Date] when it runs, "
            "and this provider cannot ask for values.");
  EXPECT_TRUE(refusal({row(kQueryType, {}, {}, {}, 6), row(kSource, {}, "T")}).contains("crosstab"));
  EXPECT_TRUE(refusal({row(kQueryType, {}, {}, {}, 4), row(kSource, {}, "T")}).contains("action query"));
  EXPECT_TRUE(refusal({row(kQueryType, {}, {}, {}, 8)}).contains("pass-through"));
  EXPECT_TRUE(refusal({row(kExternalDb, {}, "C:\\other.mdb"), row(kSource, {}, "T")}).contains("C:\\other.mdb"));
  EXPECT_TRUE(refusal({}).contains("missing"));
  EXPECT_TRUE(refusal({row(kQueryType, {}, {}, {}, 9), row(kSource, "SELECT 1")}).contains("fewer than two"));
  // A declared parameter used in an expression is named too.
  try {
    engineExpression("[x] > [Minimum]", "Q", {"Minimum"});
    ADD_FAILURE();
  } catch (const Error& e) {
    EXPECT_TRUE(e.description().contains("[Minimum]"));
  }
}
