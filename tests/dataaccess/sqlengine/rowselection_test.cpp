// Sorted and filtered results that select rows of a cached table instead of
// copying them: the views read what the table holds, edits and saved
// values stay out of the table, and every consumer (export, XML Save, batch
// updates with their row keys) sees the rows in the selection's order.
#include "dataaccess/columnstore.h"
#include "dataaccess/error.h"
#include "dataaccess/providers/persist/rowsetxml.h"
#include "dataaccess/recordset.h"
#include "dataaccess/sqldirect.h"
#include "dataaccess/sqlengine.h"
#include "dataaccess/values.h"

#include "testsupport/fakeprovider.h"
#include "testsupport/tempdir.h"

#include <QBuffer>
#include <QFile>
#include <gtest/gtest.h>

using namespace dataaccess;

namespace {

std::shared_ptr<const std::vector<uint32_t>> rowList(std::vector<uint32_t> rows) {
  return std::make_shared<const std::vector<uint32_t>>(std::move(rows));
}

std::shared_ptr<RowStore> people() {
  auto rows = std::make_shared<RowStore>(std::vector<FieldInfo>{
      FieldInfo("ID", adInteger, 4), FieldInfo("Name", adVarWChar, 50), FieldInfo("Score", adDouble, 8),
      FieldInfo("Born", adDate, 8), FieldInfo("Ok", adBoolean, 2), FieldInfo("Blob", adVarBinary, 8)});
  rows->appendRow({qlonglong(1), QStringLiteral("Cy"), 2.5, makeDateTime(QDate(1970, 5, 1)), true,
                   QByteArray("\x01\x02", 2)});
  rows->appendRow({qlonglong(2), QVariant(), QVariant(), QVariant(), QVariant(), QVariant()});
  rows->appendRow({qlonglong(3), QStringLiteral("Ann, \"the\" first"), -1.0,
                   makeDateTime(QDate(2001, 1, 2), QTime(10, 5, 7)), false, QByteArray("")});
  rows->appendRow({qlonglong(4), QStringLiteral("Ève"), 0.0, makeDateTime(QDate(1999, 12, 31)), true,
                   QByteArray("z")});
  rows->rowKeys() = {100, 101, 102, 103};
  rows->baseTable = QStringLiteral("People");
  return rows;
}

std::vector<std::vector<QVariant>> allValues(const RowsView& rows) {
  std::vector<std::vector<QVariant>> out;
  for (int64_t r = 0; r < rows.rowCount(); ++r) {
    out.emplace_back();
    for (int f = 0; f < int(rows.fields().size()); ++f) out.back().push_back(rows.value(r, f));
  }
  return out;
}

// A recordset showing `rows` on the fake provider, for batch updates.
std::unique_ptr<Recordset> attached(RowStorePtr rows, const std::shared_ptr<Connection>& cn) {
  auto rs = std::make_unique<Recordset>();
  rs->attach(std::move(rows), cn, QStringLiteral("SELECT * FROM People"), adOpenKeyset, adLockBatchOptimistic);
  return rs;
}

QByteArray delimited(const Recordset& rs) {
  QByteArray out;
  rs.WriteDelimitedRowsUtf8([&](const QByteArray& piece) { out += piece; }, QStringLiteral(","),
                            QStringLiteral("\n"));
  return out;
}

}  // namespace

TEST(ColumnView, ReadsTheSelectedRowsOfEveryStorageWithTheirNulls) {
  const auto base = people();
  const auto picked = RowStore::selectRows(base, {3, 1, 0, 3});
  ASSERT_EQ(picked->rowCount(), 4);
  const std::vector<int64_t> from = {3, 1, 0, 3};
  for (int64_t r = 0; r < 4; ++r)
    for (int f = 0; f < base->fieldCount(); ++f) {
      EXPECT_EQ(picked->value(r, f), base->value(from[size_t(r)], f)) << r << "," << f;
      EXPECT_EQ(picked->column(f).isNull(r), base->column(f).isNull(from[size_t(r)])) << r << "," << f;
    }
  EXPECT_EQ(picked->column(0).integerAt(0), 4);
  EXPECT_EQ(picked->column(1).bytesAt(0), std::string_view("Ève"));
  EXPECT_EQ(picked->column(2).realAt(2), 2.5);
  EXPECT_TRUE(picked->column(4).booleanAt(2));
  EXPECT_EQ(picked->column(5).bytesAt(0), std::string_view("z"));
  EXPECT_EQ(picked->rowKeys(), (std::vector<int64_t>{103, 101, 100, 103}));
  EXPECT_EQ(picked->baseTable, QStringLiteral("People"));
  // Four bytes a row for the shared list, nothing per column.
  EXPECT_LT(picked->memoryUsage(), base->memoryUsage());
}

TEST(ColumnView, ViewOfAViewReadsTheFirstColumnAndOutlivesTheMiddleOne) {
  const auto base = people();
  std::shared_ptr<RowStore> outer;
  {
    const auto middle = RowStore::selectRows(base, {3, 2, 1, 0});
    outer = RowStore::selectRows(middle, {1, 3});
  }
  ASSERT_EQ(outer->rowCount(), 2);
  EXPECT_EQ(outer->value(0, 0), QVariant(qlonglong(3)));
  EXPECT_EQ(outer->value(1, 0), QVariant(qlonglong(1)));
  EXPECT_EQ(outer->column(1).bytesAt(1), std::string_view("Cy"));
  EXPECT_EQ(outer->rowKeys(), (std::vector<int64_t>{102, 100}));

  // A middle view with replacements of its own is copied, not composed.
  ColumnStore middle = ColumnStore::viewOf(base->column(1), rowList({0, 1, 2}));
  middle.set(0, QStringLiteral("Changed"));
  const ColumnStore composed = ColumnStore::viewOf(middle, rowList({2, 0}));
  EXPECT_EQ(composed.value(1), QVariant(QStringLiteral("Changed")));
  EXPECT_EQ(composed.value(0), QVariant(QStringLiteral("Ann, \"the\" first")));
}

TEST(ColumnView, WritesStayInTheViewAndLeaveTheTableAsItWas) {
  const auto base = people();
  const auto before = allValues(*attached(base, {}));
  ColumnStore view = ColumnStore::viewOf(base->column(1), rowList({2, 1, 0}));
  view.set(1, QStringLiteral("Bo"));
  view.set(2, QVariant());
  EXPECT_TRUE(view.hasReplacements());
  EXPECT_EQ(view.value(0), QVariant(QStringLiteral("Ann, \"the\" first")));
  EXPECT_EQ(view.value(1), QVariant(QStringLiteral("Bo")));
  EXPECT_FALSE(view.isNull(1));
  EXPECT_TRUE(view.isNull(2));
  // Appending copies the shown rows first; replacements still win.
  view.appendText(u"Dee");
  EXPECT_FALSE(view.isView());
  ASSERT_EQ(view.size(), 4);
  EXPECT_EQ(view.bytesAt(0), std::string_view("Ann, \"the\" first"));
  EXPECT_EQ(view.value(1), QVariant(QStringLiteral("Bo")));
  EXPECT_TRUE(view.isNull(2));
  EXPECT_EQ(view.bytesAt(3), std::string_view("Dee"));
  ColumnStore nulls = ColumnStore::viewOf(base->column(3), rowList({1, 0}));
  nulls.appendNull();
  EXPECT_TRUE(nulls.isNull(0));
  EXPECT_FALSE(nulls.isNull(1));
  EXPECT_TRUE(nulls.isNull(2));
  EXPECT_EQ(nulls.value(1), base->value(0, 3));

  EXPECT_EQ(allValues(*attached(base, {})), before);
  EXPECT_FALSE(base->column(1).hasReplacements());
}

TEST(ColumnView, ReplacementsInTheTableShowThroughTheView) {
  auto base = people();
  base->column(2).set(1, 7.0);
  const ColumnStore view = ColumnStore::viewOf(base->column(2), rowList({1, 0}));
  EXPECT_TRUE(view.hasReplacements());  // typed reads would miss it: readers go through value()
  EXPECT_EQ(view.value(0), QVariant(7.0));
  EXPECT_FALSE(view.isNull(0));
}

class SortedSelection : public ::testing::Test {
 protected:
  void SetUp() override {
    cn = testsupport::fakeConnection(&fake);
    base = people();
    fake->tables[QStringLiteral("People")] = {QStringLiteral("TABLE"), base};
    const QString sql = QStringLiteral("SELECT * FROM People ORDER BY Name DESC");
    sorted = sql::runDirect(*sql::parseDirect(sql::tokenize(sql), SqlDialect::Text), base, SqlDialect::Text);
    ASSERT_TRUE(sorted);
    ASSERT_TRUE(sorted->column(0).isView());
    SqlEngine engine(SqlDialect::Text);
    engine.setDirectAnswers(false);
    viaSqlite = engine.run(sql, [&](const QString&) { return RowStorePtr(base); });
  }

  testsupport::FakeProvider* fake = nullptr;
  std::shared_ptr<Connection> cn;
  std::shared_ptr<RowStore> base;
  RowStorePtr sorted, viaSqlite;
};

TEST_F(SortedSelection, ExportsAndGetStringMatchTheCopiedResultByteForByte) {
  auto rs = attached(sorted, cn);
  auto copied = attached(viaSqlite, cn);
  EXPECT_EQ(delimited(*rs), delimited(*copied));
  EXPECT_EQ(rs->GetStringUtf8(), copied->GetStringUtf8());
  EXPECT_TRUE(delimited(*rs).startsWith("4,Ève,0,")) << delimited(*rs).toStdString();
}

TEST_F(SortedSelection, EditsSendTheRowKeysOfTheTableAndLeaveTheCacheAlone) {
  const auto before = allValues(*attached(base, cn));
  auto rs = attached(sorted, cn);
  // Sorted by Name descending: Ève (key 103), Cy (100), Ann (102), Null (101).
  rs->MoveNext();
  rs->Fields("Name").setValue(QStringLiteral("Cyrus"));
  rs->MoveLast();
  rs->Fields("Score").setValue(3.25);
  EXPECT_EQ(rs->valueAt(1, 1), QVariant(QStringLiteral("Cyrus")));
  EXPECT_EQ(allValues(*attached(base, cn)), before);
  EXPECT_EQ(base->value(0, 1), QVariant(QStringLiteral("Cy")));

  rs->UpdateBatch();
  ASSERT_EQ(fake->batches.size(), 1u);
  const auto& changes = fake->batches.front();
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[0].row, 1);
  EXPECT_EQ(changes[0].rowKey, 100);
  EXPECT_EQ(changes[0].original[1], QVariant(QStringLiteral("Cy")));
  EXPECT_EQ(changes[1].row, 3);
  EXPECT_EQ(changes[1].rowKey, 101);
  EXPECT_EQ(changes[1].changedFields, std::vector<int>{2});
  // Saved values show in the recordset; the cached rows still hold the old.
  EXPECT_EQ(rs->valueAt(1, 1), QVariant(QStringLiteral("Cyrus")));
  EXPECT_EQ(rs->valueAt(3, 2), QVariant(3.25));
  EXPECT_EQ(allValues(*attached(base, cn)), before);
}

TEST_F(SortedSelection, SavedXmlHoldsTheSortedRowsWithPendingEdits) {
  auto rs = attached(sorted, cn);
  rs->MoveFirst();
  rs->Fields("Name").setValue(QStringLiteral("Eve <&>"));
  QBuffer xml;
  xml.open(QIODevice::WriteOnly);
  rs->Save(xml);
  const auto back = readRowsetXml(xml.data(), QStringLiteral("sorted.xml"));
  ASSERT_EQ(back->rowCount(), 4);
  EXPECT_EQ(back->value(0, 1), QVariant(QStringLiteral("Eve <&>")));
  for (int64_t r = 1; r < 4; ++r)
    for (int f = 0; f < 5; ++f) EXPECT_EQ(back->value(r, f), viaSqlite->value(r, f)) << r << "," << f;
  EXPECT_EQ(base->value(3, 1), QVariant(QStringLiteral("Ève")));
}

TEST(TextSelection, SortedTextTableSharesTheCachedColumnsAndEditsDoNotReachThem) {
  testsupport::TempDir dir;
  QFile csv(dir.file("pets.csv"));
  ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
  csv.write("id,name,weight\n1,rex,30.5\n2,ada,4\n3,,12\n4,Bo,7\n");
  csv.close();
  auto cn = std::make_shared<Connection>();
  cn->Open(QStringLiteral("Driver={Microsoft Text Driver (*.txt; *.csv)};DriverId=27;FIL=text;Extensions=csv;DBQ=%1;")
               .arg(dir.path()));
  auto open = [&](const QString& sql) {
    auto rs = std::make_unique<Recordset>();
    rs->setCursorLocation(adUseClient);
    rs->Open(sql, cn, adOpenKeyset, adLockBatchOptimistic, adCmdText);
    return rs;
  };
  auto sorted = open(QStringLiteral("SELECT * FROM [pets#csv] ORDER BY name"));
  ASSERT_EQ(sorted->RecordCount(), 4);
  EXPECT_TRUE(sorted->store().column(1).isView());
  EXPECT_EQ(sorted->GetStringUtf8(-1, QStringLiteral(","), QStringLiteral(";")), QByteArray("3,,12;2,ada,4;4,Bo,7;1,rex,30.5;"));
  sorted->MoveLast();
  sorted->Fields("name").setValue(QStringLiteral("Rex II"));
  auto plain = open(QStringLiteral("SELECT * FROM [pets#csv]"));
  EXPECT_EQ(plain->valueAt(0, 1), QVariant(QStringLiteral("rex")));
  EXPECT_EQ(sorted->valueAt(3, 1), QVariant(QStringLiteral("Rex II")));
  auto filtered = open(QStringLiteral("SELECT * FROM [pets#csv] WHERE name LIKE '%e%'"));
  ASSERT_EQ(filtered->RecordCount(), 1);
  EXPECT_EQ(filtered->valueAt(0, 1), QVariant(QStringLiteral("rex")));
}

TEST(LargeSelection, ExportOfManyScatteredRowsMatchesTheCopiedResult) {
  // More rows than one block the export reads ahead, and a count that does
  // not divide into blocks.
  auto base = std::make_shared<RowStore>(std::vector<FieldInfo>{
      FieldInfo("k", adInteger, 4), FieldInfo("t", adVarWChar, 20), FieldInfo("r", adDouble, 8),
      FieldInfo("b", adBoolean, 2), FieldInfo("d", adDate, 8)});
  for (int i = 0; i < 1001; ++i)
    base->appendRow({qlonglong((i * 7919) % 1001), i % 13 ? QVariant(QStringLiteral("v%1").arg(i % 97)) : QVariant(),
                     i % 5 ? QVariant(i / 3.0) : QVariant(), i % 2 == 0, makeDateTime(QDate(2000, 1, 1).addDays(i))});
  const QString sql = QStringLiteral("SELECT * FROM t WHERE t LIKE 'v%' ORDER BY t DESC, k");
  const auto direct = sql::runDirect(*sql::parseDirect(sql::tokenize(sql), SqlDialect::Text), base, SqlDialect::Text);
  ASSERT_TRUE(direct);
  ASSERT_TRUE(direct->column(0).isView());
  SqlEngine engine(SqlDialect::Text);
  engine.setDirectAnswers(false);
  const auto copied = engine.run(sql, [&](const QString&) { return RowStorePtr(base); });
  ASSERT_GT(direct->rowCount(), 800);
  auto a = attached(direct, {});
  auto b = attached(copied, {});
  EXPECT_EQ(delimited(*a), delimited(*b));
}
