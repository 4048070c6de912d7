#include "dataaccess/error.h"
#include "dataaccess/sqltranslate.h"
#include "dataaccess/values.h"

#include <gtest/gtest.h>

#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

using namespace dataaccess;
using namespace dataaccess::sql;

namespace {

// 2005-01-02 00:00:00 as stored: 38354 days after 1899-12-30.
const QString kJan2 = QString::number(38354LL * 86400);

const std::vector<FieldInfo> kFields = {FieldInfo("d", adDate, 8), FieldInfo("Name", adVarWChar, 20),
                                        FieldInfo("t", adDBTime, 8)};

QString translated(const QString& sql, SqlDialect dialect = SqlDialect::Access) {
  const auto tokens = tokenize(sql);
  const auto uses = findTables(tokens);
  return translate(sql, tokens, uses, dialect, [](const QString&) { return StagedInfo{QStringLiteral("_t1"), &kFields}; })
      .sql;
}

QStringList tableNames(const QString& sql) {
  QStringList names;
  for (const TableUse& u : findTables(tokenize(sql))) names << u.name + (u.hasAlias ? QLatin1Char('/') + u.alias : QString());
  return names;
}

TEST(SqlTranslate, FindsTableReferencesInEveryQuotingForm) {
  EXPECT_EQ(tableNames(QStringLiteral("SELECT * FROM [Order Details]")), QStringList{QStringLiteral("Order Details")});
  EXPECT_EQ(tableNames(QStringLiteral("select * from \"my table\" where x=1")), QStringList{QStringLiteral("my table")});
  EXPECT_EQ(tableNames(QStringLiteral("SELECT * FROM shop.csv, a#csv x, `b$` AS y")),
            (QStringList{QStringLiteral("shop.csv"), QStringLiteral("a#csv/x"), QStringLiteral("b$/y")}));
  EXPECT_EQ(tableNames(QStringLiteral("SELECT * FROM a LEFT JOIN [b c] ON a.x=[b c].x WHERE a.y IN (SELECT y FROM d)")),
            (QStringList{QStringLiteral("a"), QStringLiteral("b c"), QStringLiteral("d")}));
  // Names of common table expressions and IS DISTINCT FROM are no tables.
  EXPECT_EQ(tableNames(QStringLiteral("WITH c(n) AS (SELECT n FROM t), e AS (SELECT 1) SELECT * FROM c, e")),
            QStringList{QStringLiteral("t")});
  EXPECT_EQ(tableNames(QStringLiteral("SELECT * FROM t WHERE a IS DISTINCT FROM b")), QStringList{QStringLiteral("t")});
}

TEST(SqlTranslate, QuotedNamesBecomeSqliteIdentifiers) {
  EXPECT_EQ(translated(QStringLiteral("SELECT [Unit Price], `it\"s` FROM [Order Details]")),
            QStringLiteral("SELECT \"Unit Price\", \"it\"\"s\" FROM _t1 AS \"Order Details\""));
  EXPECT_EQ(translated(QStringLiteral("SELECT * FROM t x WHERE x.Name='a'")),
            QStringLiteral("SELECT * FROM _t1 x WHERE x.Name='a'"));
}

TEST(SqlTranslate, DateLiteralsOfEachDialect) {
  EXPECT_EQ(translated(QStringLiteral("SELECT * FROM t WHERE   [d]=#1/2/2005#"), SqlDialect::Text),
            QStringLiteral("SELECT * FROM _t1 AS \"t\" WHERE   \"d\"=") + kJan2);
  EXPECT_EQ(translated(QStringLiteral("SELECT * FROM t WHERE d=#2005-01-02#")).section(QLatin1Char('='), 1), kJan2);
  EXPECT_EQ(translated(QStringLiteral("SELECT * FROM t WHERE d=#1/2/2005 1:00:00 PM#")).section(QLatin1Char('='), 1),
            QString::number(38354LL * 86400 + 13 * 3600));
  EXPECT_EQ(translated(QStringLiteral("SELECT * FROM t WHERE t=#10:05:07#")).section(QLatin1Char('='), 1),
            QString::number(10 * 3600 + 5 * 60 + 7));
  EXPECT_EQ(translated(QStringLiteral("SELECT * FROM t WHERE d={^2005/01/02 00:00:00}"), SqlDialect::XBase)
                .section(QLatin1Char('='), 1),
            kJan2);
  EXPECT_EQ(translated(QStringLiteral("SELECT * FROM t WHERE d={d '2005-01-02'}"), SqlDialect::XBase)
                .section(QLatin1Char('='), 1),
            kJan2);
  EXPECT_EQ(translated(QStringLiteral("SELECT * FROM t WHERE   d={}"), SqlDialect::XBase),
            QStringLiteral("SELECT * FROM _t1 AS \"t\" WHERE   d IS NULL"));
  EXPECT_EQ(translated(QStringLiteral("SELECT * FROM t WHERE {} != d"), SqlDialect::XBase).simplified(),
            QStringLiteral("SELECT * FROM _t1 AS \"t\" WHERE NULL IS NOT d"));
  EXPECT_EQ(storedSeconds(makeDateTime(QDate(1899, 12, 29), QTime(23, 59, 59, 500))), -1);
}

TEST(SqlTranslate, QuotedDatesOnlyAgainstDateColumns) {
  EXPECT_EQ(translated(QStringLiteral("SELECT * FROM t WHERE [D]='1/2/2005'")).section(QLatin1Char('='), 1), kJan2);
  EXPECT_EQ(translated(QStringLiteral("SELECT * FROM t WHERE t.t >= '10:5:7'")).section(QLatin1Char('='), 1).trimmed(),
            QString::number(10 * 3600 + 5 * 60 + 7));
  EXPECT_EQ(translated(QStringLiteral("SELECT * FROM t WHERE Name='1/2/2005'")),
            QStringLiteral("SELECT * FROM _t1 AS \"t\" WHERE Name='1/2/2005'"));
  EXPECT_THROW(translated(QStringLiteral("SELECT * FROM t WHERE d='soon'")), Error);
}

TEST(SqlTranslate, LiteralsInsideStringsAndCommentsAreLeftAlone) {
  const QString sql = QStringLiteral("SELECT * FROM t WHERE Name='#1/2/2005# True [x]' -- d=#1/2/2005# [y\n AND Name<>'it''s'");
  EXPECT_EQ(translated(sql), QStringLiteral("SELECT * FROM _t1 AS \"t\" WHERE Name='#1/2/2005# True [x]' "
                                            "-- d=#1/2/2005# [y\n AND Name<>'it''s'"));
  EXPECT_EQ(translated(QStringLiteral("SELECT * FROM t WHERE Ok=True AND t.False=FALSE")),
            QStringLiteral("SELECT * FROM _t1 AS \"t\" WHERE Ok=1 AND t.False=0"));
}

TEST(SqlTranslate, JetWildcardsOnlyForAccessAndExcel) {
  EXPECT_EQ(translated(QStringLiteral("SELECT * FROM t WHERE Name LIKE 'a*b?%'"), SqlDialect::Excel),
            QStringLiteral("SELECT * FROM _t1 AS \"t\" WHERE Name LIKE 'a%b_%'"));
  EXPECT_EQ(translated(QStringLiteral("SELECT * FROM t WHERE Name LIKE 'a*'"), SqlDialect::XBase),
            QStringLiteral("SELECT * FROM _t1 AS \"t\" WHERE Name LIKE 'a*'"));
}

TEST(SqlTranslate, MalformedStatementsGiveCommandErrors) {
  for (const char* sql : {"SELECT * FROM [t", "SELECT 'x", "SELECT \"x", "SELECT `x", "SELECT {1/2/2005",
                          "SELECT /* x", "SELECT * FROM t WHERE d=#2/30/2005#"}) {
    try {
      translated(QString::fromUtf8(sql));
      ADD_FAILURE() << sql;
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), err::kCommandError) << sql;
    }
  }
}

}  // namespace

// One decision, used by the keyed variant and by the engine for the base
// table of a result.
TEST(SqlTranslate, OuterTableIsTheOneReferenceOutsideSubqueriesElseTheOnlyTableRead) {
  struct Case {
    const char* sql;
    bool traced;
    const char* name;
  };
  for (const Case& c : {Case{"SELECT * FROM a", true, "a"},
                        Case{"SELECT * FROM a WHERE x IN (SELECT y FROM b)", true, "a"},
                        Case{"SELECT * FROM a x, A y", false, "a"},
                        Case{"SELECT * FROM a JOIN b ON a.x = b.x", false, ""},
                        Case{"SELECT (SELECT max(x) FROM t)", false, "t"},
                        Case{"SELECT 1", false, ""}}) {
    const QString sql = QString::fromLatin1(c.sql);
    const auto tokens = tokenize(sql);
    const auto uses = findTables(tokens);
    const OuterTable outer = outerTable(uses);
    EXPECT_EQ(outer.use != nullptr, c.traced) << c.sql;
    EXPECT_EQ(outer.name, QString::fromLatin1(c.name)) << c.sql;
    const Translation tr =
        translate(sql, tokens, uses, SqlDialect::Access, [](const QString&) { return StagedInfo{QStringLiteral("_t1"), &kFields}; });
    EXPECT_EQ(!tr.keyedSql.isEmpty(), c.traced) << c.sql;
  }
}
