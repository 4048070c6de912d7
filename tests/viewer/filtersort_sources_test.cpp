// Filter, sort and remove-filter driven through the grid seam over real
// delimited text and Access sources.
#include "dataaccess/error.h"
#include "dataaccess/loadcontrol.h"
#include "dataaccess/values.h"
#include "testsupport/fixtures.h"
#include "testsupport/tempdir.h"
#include "testgrid.h"

#include <gtest/gtest.h>

using namespace viewer;
using namespace viewertest;

namespace {

QString S(const char* s) { return QString::fromUtf8(s); }

const QByteArray kPeople =
    "Name,City,Qty,First Name\r\n"
    "Ann,Oslo,3,Anna\r\n"
    "Bob,Rome,5,Bobby\r\n"
    "Cid,Oslo,7,Cidney\r\n"
    "Dora,Lima,,Dorothea\r\n";

class CsvFilterSort : public ::testing::Test {
 protected:
  void SetUp() override {
    const QString path = dir.write(QStringLiteral("people.csv"), kPeople);
    grid.rs = openTable(path, QStringLiteral("people#csv"), ext);
    ASSERT_TRUE(grid.rs);
    ASSERT_EQ(grid.rs->RecordCount(), 4);
    base = grid.rs->Source();
  }
  testsupport::TempDir dir;
  RecordingPrompts prompts;
  TestGrid grid;
  QString ext;
  QString base;
};

}  // namespace

TEST_F(CsvFilterSort, FilterOnTheWholeCellIsAnEquality) {
  grid.select(S("City"), 1);
  ASSERT_TRUE(FilterBySelection(grid, QString(), ext));
  EXPECT_EQ(grid.rs->Source(), base + S(" WHERE   City='Oslo'"));
  EXPECT_EQ(grid.values(S("Name")), (QStringList{S("Ann"), S("Cid")}));
  EXPECT_EQ(grid.changes, 1);
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(CsvFilterSort, SelectionGivesPrefixAndContainsPatterns) {
  grid.select(S("City"), 2, S("Ro"));
  ASSERT_TRUE(FilterBySelection(grid, QString(), ext));
  EXPECT_EQ(grid.rs->Source(), base + S(" WHERE   City LIKE 'Ro%'"));
  EXPECT_EQ(grid.values(S("Name")), QStringList{S("Bob")});
  ASSERT_TRUE(RemoveFilter(grid));
  grid.select(S("City"), 1, S("sl"));
  ASSERT_TRUE(FilterBySelection(grid, QString(), ext));
  EXPECT_EQ(grid.rs->Source(), base + S(" WHERE   City LIKE '%sl%'"));
  EXPECT_EQ(grid.values(S("Name")), (QStringList{S("Ann"), S("Cid")}));
}

TEST_F(CsvFilterSort, StackedFiltersAndRemoveKeepTheSort) {
  grid.select(S("City"), 1);
  ASSERT_TRUE(FilterBySelection(grid, QString(), ext));
  grid.select(S("Name"));
  ASSERT_TRUE(SortByColumn(grid, -1, ext));
  EXPECT_EQ(grid.values(S("Name")), (QStringList{S("Cid"), S("Ann")}));
  grid.select(S("Qty"), 1);  // Cid, 7
  ASSERT_TRUE(FilterBySelection(grid, QString(), ext));
  EXPECT_EQ(grid.rs->Source(), base + S(" WHERE   City='Oslo'   AND Qty=7 ORDER BY Name DESC"));
  EXPECT_EQ(grid.values(S("Name")), QStringList{S("Cid")});
  ASSERT_TRUE(RemoveFilter(grid));
  EXPECT_EQ(grid.rs->Source(), base + S(" ORDER BY Name DESC"));
  EXPECT_EQ(grid.values(S("Name")), (QStringList{S("Dora"), S("Cid"), S("Bob"), S("Ann")}));
}

TEST_F(CsvFilterSort, CtrlAddsASortKeyReadWhenTheSortRuns) {
  grid.select(S("City"));
  ASSERT_TRUE(SortByColumn(grid, 1, ext));
  grid.select(S("Name"));
  grid.ctrl = true;
  ASSERT_TRUE(SortByColumn(grid, -1, ext));
  EXPECT_EQ(grid.rs->Source(), base + S(" ORDER BY City,Name DESC"));
  EXPECT_EQ(grid.values(S("Name")), (QStringList{S("Dora"), S("Cid"), S("Ann"), S("Bob")}));
  grid.ctrl = false;
  grid.select(S("Qty"));
  ASSERT_TRUE(SortByColumn(grid, 1, ext));
  EXPECT_EQ(grid.rs->Source(), base + S(" ORDER BY Qty"));
}

TEST_F(CsvFilterSort, LowerCaseOrderByWrittenByHandIsFound) {
  grid.rs->Close();
  grid.rs->setSource(base + S(" order by Qty desc"));
  grid.rs->Open();
  grid.select(S("City"), 1);  // Cid, Oslo
  ASSERT_TRUE(FilterBySelection(grid, QString(), ext));
  EXPECT_EQ(grid.rs->Source(), base + S(" WHERE   City='Oslo' order by Qty desc"));
  EXPECT_EQ(grid.values(S("Name")), (QStringList{S("Cid"), S("Ann")}));
  grid.select(S("Name"));
  ASSERT_TRUE(SortByColumn(grid, 1, ext));
  EXPECT_EQ(grid.rs->Source(), base + S(" WHERE   City='Oslo' ORDER BY Name"));
}

TEST_F(CsvFilterSort, NameWithABlankIsBracketedInFilterAndSort) {
  grid.select(S("First Name"), 2);
  ASSERT_TRUE(FilterBySelection(grid, QString(), ext));
  EXPECT_EQ(grid.rs->Source(), base + S(" WHERE   [First Name]='Bobby'"));
  EXPECT_EQ(grid.values(S("Name")), QStringList{S("Bob")});
  ASSERT_TRUE(RemoveFilter(grid));
  grid.select(S("First Name"));
  ASSERT_TRUE(SortByColumn(grid, -1, ext));
  EXPECT_EQ(grid.rs->Source(), base + S(" ORDER BY [First Name] DESC"));
  EXPECT_EQ(grid.values(S("Name")).first(), S("Dora"));
}

TEST_F(CsvFilterSort, NullCellFiltersIsNull) {
  grid.select(S("Qty"), 4);
  ASSERT_FALSE(grid.rs->Fields(S("Qty")).Value().isValid());
  ASSERT_TRUE(FilterBySelection(grid, QString(), ext));
  EXPECT_EQ(grid.rs->Source(), base + S(" WHERE   Qty IS NULL"));
  EXPECT_EQ(grid.values(S("Name")), QStringList{S("Dora")});
}

TEST_F(CsvFilterSort, RejectedFilterShowsTheErrorAndRestoresTheRows) {
  // A statement the filter cannot extend: the condition lands after LIMIT.
  const QString limited = base + S(" LIMIT 3");
  grid.rs->Close();
  grid.rs->setSource(limited);
  grid.rs->Open();
  grid.select(S("City"), 1);
  EXPECT_FALSE(FilterBySelection(grid, QString(), ext));
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].icon, Prompts::Critical);
  EXPECT_TRUE(prompts.shown[0].text.contains(S(": "))) << prompts.shown[0].text.toStdString();
  EXPECT_EQ(grid.rs->State(), dataaccess::adStateOpen);
  EXPECT_EQ(grid.rs->Source(), limited);
  EXPECT_EQ(grid.rs->RecordCount(), 3);
}

TEST_F(CsvFilterSort, ErrorBeforeTheRecordsetClosesLeavesTheRows) {
  grid.select(S("City"), 1);
  EXPECT_FALSE(FilterBySelection(grid, S("NoSuchField"), ext));
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].icon, Prompts::Critical);
  EXPECT_EQ(grid.rs->Source(), base);
  EXPECT_EQ(grid.rs->RecordCount(), 4);
}

TEST_F(CsvFilterSort, FailedSortAndRemoveRestoreThePreviousRows) {
  const QString limited = base + S(" LIMIT 2");
  grid.rs->Close();
  grid.rs->setSource(limited);
  grid.rs->Open();
  grid.select(S("Name"));
  EXPECT_FALSE(SortByColumn(grid, 1, ext));
  EXPECT_EQ(grid.rs->State(), dataaccess::adStateOpen);
  EXPECT_EQ(grid.rs->Source(), limited);
  EXPECT_EQ(grid.rs->RecordCount(), 2);
  // A statement whose remainder is invalid once the filter's part is cut.
  const QString nested = base + S(" WHERE Qty IN (SELECT Qty FROM [people#csv] WHERE   Qty=3) ORDER BY Name");
  grid.rs->Close();
  grid.rs->setSource(nested);
  grid.rs->Open();
  ASSERT_EQ(grid.rs->RecordCount(), 1);
  EXPECT_FALSE(RemoveFilter(grid));
  EXPECT_EQ(grid.rs->State(), dataaccess::adStateOpen);
  EXPECT_EQ(grid.rs->Source(), nested);
  EXPECT_EQ(grid.rs->RecordCount(), 1);
  // Neither reports anything.
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(CsvFilterSort, NothingHappensWithoutARecordsetOrForTypesWithoutARule) {
  TestGrid empty;
  EXPECT_TRUE(FilterBySelection(empty, QString(), ext));
  EXPECT_TRUE(SortByColumn(empty, 1, ext));
  EXPECT_TRUE(RemoveFilter(empty));
  EXPECT_TRUE(RemoveFilter(grid));  // no WHERE: nothing to remove
  EXPECT_EQ(grid.rs->Source(), base);
  EXPECT_EQ(grid.changes, 0);
}

TEST(CsvUnicodeCase, EqualityIgnoresCaseOfEveryLetter) {
  testsupport::TempDir dir;
  RecordingPrompts prompts;
  const QString path = dir.write(QStringLiteral("fruit.csv"), QByteArray("Name\r\n\xc3\x84pfel\r\n\xc3\xa4pfel\r\nBirne\r\n"));
  QString ext;
  TestGrid grid;
  grid.rs = openTable(path, QStringLiteral("fruit#csv"), ext);
  ASSERT_TRUE(grid.rs);
  grid.select(S("Name"), 1);
  ASSERT_TRUE(FilterBySelection(grid, QString(), ext));
  EXPECT_EQ(grid.values(S("Name")), (QStringList{S("Äpfel"), S("äpfel")}));
}

// Access: every filter name is bracketed; a sort key only when it is not a
// plain name, such as the fixture's "Vit A".
TEST(AccessFilterSort, BlankInAFieldNameIsBracketedInFilterAndSort) {
  LUMBROOK_REQUIRE_FIXTURE(mdb, "access/fruit.mdb");
  RecordingPrompts prompts;
  QString ext;
  TestGrid grid;
  grid.rs = openTable(mdb, QStringLiteral("Fruit"), ext);
  ASSERT_TRUE(grid.rs);
  ASSERT_EQ(ext, S("mdb"));
  const QString base = grid.rs->Source();
  grid.select(S("Vit C"), 2);  // Apricot, 5
  ASSERT_TRUE(FilterBySelection(grid, QString(), ext)) << prompts.shown.back().text.toStdString();
  grid.select(S("Vit A"));
  ASSERT_TRUE(SortByColumn(grid, -1, ext));
  grid.select(S("Fruit"));
  grid.ctrl = true;
  ASSERT_TRUE(SortByColumn(grid, 1, ext));
  EXPECT_EQ(grid.rs->Source(), base + S(" WHERE   [Vit C]=5 ORDER BY [Vit A] DESC,Fruit"));
  EXPECT_EQ(grid.values(S("Fruit")), (QStringList{S("Apricot"), S("Plum")}));
  grid.select(S("Fruit"), 2, S("Pl"));
  ASSERT_TRUE(FilterBySelection(grid, QString(), ext));
  EXPECT_EQ(grid.rs->Source(), base + S(" WHERE   [Vit C]=5   AND [Fruit] LIKE 'Pl%' ORDER BY [Vit A] DESC,Fruit"));
  EXPECT_EQ(grid.values(S("Fruit")), QStringList{S("Plum")});
  ASSERT_TRUE(RemoveFilter(grid));
  EXPECT_EQ(grid.rs->Source(), base + S(" ORDER BY [Vit A] DESC,Fruit"));
  EXPECT_TRUE(prompts.shown.empty());
}

namespace {

// A grid that runs the commands' queries itself, the way the window hands
// them to a worker: it counts them and can answer with a stop.
class RunnerGrid : public TestGrid {
 public:
  dataaccess::RowStorePtr runQuery(const std::shared_ptr<dataaccess::Connection>& cn, const QString& text) override {
    texts << text;
    if (stop)
      throw dataaccess::Error(dataaccess::err::kOperationCancelled, S("Recordset.Open"), S("Operation was cancelled."));
    return TestGrid::runQuery(cn, text);
  }
  QStringList texts;
  bool stop = false;
};

}  // namespace

TEST_F(CsvFilterSort, QueriesGoThroughTheGridAndAStopLeavesEverything) {
  RunnerGrid runner;
  runner.rs = grid.rs;
  runner.select(S("Name"), 3);
  ASSERT_TRUE(SortByColumn(runner, 1, ext));
  EXPECT_EQ(runner.texts, QStringList{base + S(" ORDER BY Name")});
  EXPECT_EQ(runner.rs->Source(), base + S(" ORDER BY Name"));
  EXPECT_EQ(runner.changes, 1);
  const QStringList sorted = runner.values(S("Name"));

  // Stopped: the same rows, text and current record, nothing reported and
  // nothing read again.
  runner.stop = true;
  runner.select(S("City"), 2);
  EXPECT_FALSE(FilterBySelection(runner, QString(), ext));
  EXPECT_FALSE(SortByColumn(runner, -1, ext));
  EXPECT_TRUE(RemoveFilter(runner));  // no filter: nothing to ask
  EXPECT_EQ(runner.texts.size(), 3);
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_EQ(runner.rs->State(), dataaccess::adStateOpen);
  EXPECT_EQ(runner.rs->Source(), base + S(" ORDER BY Name"));
  EXPECT_EQ(runner.rs->AbsolutePosition(), 2);
  EXPECT_EQ(runner.values(S("Name")), sorted);
  EXPECT_EQ(runner.changes, 1);
}
