// Rows fetched in blocks of bound arrays (a second thread talking to the
// driver) against the same rows read cell by cell: many rows across block
// boundaries with Nulls everywhere, non-ASCII text, values longer than their
// declared size in later blocks, and failures in the middle of a result.
#include "odbctestenv.h"

#include "dataaccess/error.h"
#include "dataaccess/loadcontrol.h"
#include "dataaccess/recordset.h"

#include <gtest/gtest.h>

using namespace dataaccess;
using odbctest::open;
using odbctest::run;
using odbctest::query;

namespace {

// The first `fields` columns of two results hold the same values, row for
// row; reports the first few differences.
void expectSameRows(Recordset& fast, Recordset& slow, int fields) {
  ASSERT_EQ(fast.RecordCount(), slow.RecordCount());
  int differences = 0;
  for (int64_t r = 0; r < fast.RecordCount() && differences < 5; ++r) {
    for (int f = 0; f < fields; ++f) {
      const QVariant a = fast.valueAt(r, f), b = slow.valueAt(r, f);
      if (a.isValid() == b.isValid() && a == b) continue;
      ADD_FAILURE() << "row " << r << " field " << f << ": " << a.toString().toStdString() << " / "
                    << b.toString().toStdString();
      ++differences;
    }
  }
}

std::shared_ptr<Connection> pg() {
  return open("File Name=" + odbctest::writeUdl("blocks.udl", odbctest::pgOdbcString()) + ";");
}

}  // namespace

TEST(OdbcBlocks, PostgresRowsAcrossBlocksMatchTheCellByCellPath) {
  REQUIRE_PG_SERVER();
  auto cn = pg();
  run(*cn, "DROP SCHEMA IF EXISTS blocks CASCADE; CREATE SCHEMA blocks");
  run(*cn, "CREATE TABLE blocks.t (id integer, name varchar(40), amount numeric(12,2), created timestamp(3), "
           "flag boolean, note varchar(60), memo text)");
  // Nulls at different rhythms in every column, so that they fall on the
  // first and last rows of blocks too; many blocks and several of the
  // driver's cursor batches.
  run(*cn, "INSERT INTO blocks.t SELECT g, CASE WHEN g % 7 = 0 THEN NULL ELSE 'name ' || g END, "
           "CASE WHEN g % 13 = 0 THEN NULL ELSE (g % 100000) / 100.0 - 50 END, "
           "CASE WHEN g % 17 = 0 THEN NULL ELSE timestamp '2000-01-01' + g * interval '61.25 seconds' END, "
           "CASE WHEN g % 19 = 0 THEN NULL ELSE g % 2 = 0 END, "
           "CASE WHEN g % 10 = 0 THEN NULL WHEN g % 3 = 0 THEN '' ELSE 'Grüße 東京 😀 ' || repeat('x', g % 40) END, "
           "'m' FROM generate_series(1, 70000) g");
  // The text column sends the second statement down the cell-by-cell path.
  auto fast = query(cn, "SELECT id, name, amount, created, flag, note FROM blocks.t ORDER BY id");
  auto slow = query(cn, "SELECT id, name, amount, created, flag, note, memo FROM blocks.t ORDER BY id");
  ASSERT_EQ(fast->RecordCount(), 70000);
  expectSameRows(*fast, *slow, 6);
  EXPECT_EQ(fast->valueAt(0, 1).toString(), "name 1");
  EXPECT_EQ(fast->valueAt(0, 2).toString(), "-49.99");
  EXPECT_EQ(fast->valueAt(69999, 0).toLongLong(), 70000);
  EXPECT_FALSE(fast->valueAt(69999, 5).isValid());  // row 70000: Null note
  EXPECT_EQ(fast->valueAt(69997, 5).toString(), QString::fromUtf8("Grüße 東京 😀 ") + QString(38, 'x'));
  EXPECT_EQ(fast->valueAt(65536, 1).toString(), "name 65537");
  EXPECT_EQ(fast->valueAt(2, 5).toString(), "");  // empty, not Null
  EXPECT_EQ(fast->valueAt(3, 3).toDateTime(), QDateTime(QDate(2000, 1, 1), QTime(0, 4, 5), Qt::UTC));
}

TEST(OdbcBlocks, PostgresErrorInALaterBlockIsRaisedAndTheConnectionGoesOn) {
  REQUIRE_PG_SERVER();
  auto cn = pg();
  // The server fails only when the cursor reaches the row, several blocks in.
  try {
    query(cn, "SELECT g, 1 / (g - 25000) AS q FROM generate_series(1, 30000) g");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_TRUE(e.description().contains("division by zero")) << e.description().toStdString();
  }
  auto after = query(cn, "SELECT g FROM generate_series(1, 5000) g");
  EXPECT_EQ(after->RecordCount(), 5000);
}

TEST(OdbcBlocks, PostgresLoadStoppedFromOutsideEndsWithCancelled) {
  REQUIRE_PG_SERVER();
  auto cn = pg();
  LoadControl control;
  control.cancel();
  {
    ScopedLoadControl scope(&control);
    try {
      query(cn, "SELECT g, 'row ' || g FROM generate_series(1, 50000) g");
      FAIL() << "not cancelled";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), err::kOperationCancelled);
    }
  }
  EXPECT_EQ(query(cn, "SELECT g FROM generate_series(1, 3) g")->RecordCount(), 3);
}

TEST(OdbcBlocks, PostgresValuesBeyondTheDeclaredSizeInLaterBlocksArriveWhole) {
  REQUIRE_PG_SERVER();
  auto cn = pg();
  // A varchar without a length is declared 255 characters wide by the
  // driver; some values of later blocks are far longer, next to Nulls.
  run(*cn, "DROP SCHEMA IF EXISTS longer CASCADE; CREATE SCHEMA longer");
  run(*cn, "CREATE TABLE longer.t (id integer, v varchar, n double precision, memo text)");
  run(*cn, "INSERT INTO longer.t SELECT g, CASE WHEN g % 997 = 0 THEN repeat('€', 300 + g % 5000) || g "
           "WHEN g % 11 = 0 THEN NULL ELSE 'v' || (g % 1000) END, "
           "CASE WHEN g % 5 = 0 THEN NULL ELSE g * 0.5 END, 'm' FROM generate_series(1, 20000) g");
  auto fast = query(cn, "SELECT id, v, n FROM longer.t ORDER BY id");
  auto slow = query(cn, "SELECT id, v, n, memo FROM longer.t ORDER BY id");
  ASSERT_EQ(fast->RecordCount(), 20000);
  expectSameRows(*fast, *slow, 3);
  EXPECT_EQ(fast->valueAt(19939, 1).toString(), QString(300 + 19940 % 5000, QChar(0x20AC)) + "19940");
  EXPECT_FALSE(fast->valueAt(19939, 2).isValid());
  EXPECT_EQ(fast->valueAt(19999, 1).toString(), "v0");
}

TEST(OdbcBlocks, PostgresTextKeepsItsCharactersInUtf8AndLatin1Databases) {
  REQUIRE_PG_SERVER();
  // A UTF-8 database hands text to the blocks as UTF-8; a Latin-1 one goes
  // through UTF-16 as before. Either way the characters arrive unchanged.
  {
    auto admin = pg();
    run(*admin, "DROP DATABASE IF EXISTS latin");
    run(*admin, "CREATE DATABASE latin ENCODING 'LATIN1' LC_COLLATE 'C' LC_CTYPE 'C' TEMPLATE template0");
  }
  struct Case {
    QString database;
    QString text;  // what every row holds, before its number
  };
  const Case cases[] = {{"postgres", QString::fromUtf8("Grüße 東京 😀 ÿ ")}, {"latin", QString::fromUtf8("Grüße café ÿ ")}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.database.toStdString());
    QString odbc = odbctest::pgOdbcString();
    odbc.replace("Database=postgres", "Database=" + k.database);
    auto cn = open("File Name=" + odbctest::writeUdl(k.database + ".udl", odbc) + ";");
    run(*cn, "DROP TABLE IF EXISTS public.chars");
    run(*cn, "CREATE TABLE public.chars (id integer, s varchar(30), n numeric(14,4), memo text)");
    run(*cn, "INSERT INTO public.chars SELECT g, CASE WHEN g % 9 = 0 THEN NULL ELSE '" + k.text +
                 "' || g END, CASE WHEN g % 4 = 0 THEN NULL ELSE (g - 3000) / 7.0 END, 'm' "
                 "FROM generate_series(1, 6000) g");
    auto fast = query(cn, "SELECT id, s, n FROM public.chars ORDER BY id");
    auto slow = query(cn, "SELECT id, s, n, memo FROM public.chars ORDER BY id");
    ASSERT_EQ(fast->RecordCount(), 6000);
    expectSameRows(*fast, *slow, 3);
    EXPECT_EQ(fast->valueAt(4999, 1).toString(), k.text + "5000");
    EXPECT_FALSE(fast->valueAt(8, 1).isValid());
    EXPECT_EQ(fast->valueAt(0, 2).toString(), "-428.4286");
    EXPECT_EQ(fast->valueAt(5998, 2).toString(), "428.4286");
  }
}

TEST(OdbcBlocks, PostgresEmptyTinyAndAllNullResults) {
  REQUIRE_PG_SERVER();
  auto cn = pg();
  // The columns are grown ahead of the rows from the first block on: results
  // with no row, one row, and text that is Null throughout stay exact.
  EXPECT_EQ(query(cn, "SELECT g, 'x' || g AS s FROM generate_series(1, 10) g WHERE g > 10")->RecordCount(), 0);
  auto one = query(cn, "SELECT 7 AS id, 'Grüße'::varchar(10) AS s");
  ASSERT_EQ(one->RecordCount(), 1);
  EXPECT_EQ(one->valueAt(0, 1).toString(), QString::fromUtf8("Grüße"));
  auto nulls = query(cn, "SELECT g, NULL::varchar(20) AS s, CASE WHEN g = 40000 THEN 'last' END::varchar(8) AS t "
                         "FROM generate_series(1, 40000) g");
  ASSERT_EQ(nulls->RecordCount(), 40000);
  EXPECT_FALSE(nulls->valueAt(39999, 1).isValid());
  EXPECT_FALSE(nulls->valueAt(39998, 2).isValid());
  EXPECT_EQ(nulls->valueAt(39999, 2).toString(), "last");
  EXPECT_EQ(nulls->valueAt(39999, 0).toLongLong(), 40000);
}
