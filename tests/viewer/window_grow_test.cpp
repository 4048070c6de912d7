// The grid growing while a table loads: the loader announces the rows read
// so far in order and before the whole table, and the grid takes each
// larger set as inserted rows, keeping the user's cell and scroll position.
#include "dataaccess/loadcontrol.h"
#include "dataaccess/partialrows.h"
#include "dataaccess/recordset.h"
#include "dataaccess/rowstore.h"
#include "mainwindow/contentload.h"
#include "mainwindow/gridcursor.h"
#include "mainwindow/recordsetmodel.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <gtest/gtest.h>

using namespace viewer;
using dataaccess::Recordset;
using dataaccess::RowStore;

namespace {

// Rows 0..rows-1 of an Id column and a Name column (and a Note column when
// asked), as a read-only recordset.
std::shared_ptr<RowStore> rowsOf(int rows, bool note = false) {
  std::vector<dataaccess::FieldInfo> fields(note ? 3 : 2);
  fields[0].name = "Id";
  fields[0].type = dataaccess::adInteger;
  fields[1].name = "Name";
  if (note) fields[2].name = "Note";
  auto store = std::make_shared<RowStore>(fields);
  for (int r = 0; r < rows; ++r) {
    store->column(0).appendInteger(r);
    store->column(1).appendBytes("name " + std::to_string(r));
    if (note) store->column(2).appendNull();
    store->commitRow();
  }
  return store;
}

std::shared_ptr<Recordset> recordsetOf(dataaccess::RowStorePtr rows) {
  auto rs = std::make_shared<Recordset>();
  rs->setCursorLocation(dataaccess::adUseClient);
  rs->attach(std::move(rows), nullptr, "SELECT * FROM t", dataaccess::adOpenStatic, dataaccess::adLockReadOnly);
  return rs;
}

std::shared_ptr<dataaccess::StorePartialRows> partialOf(int rows, bool note = false) {
  return std::make_shared<dataaccess::StorePartialRows>(rowsOf(rows, note));
}

// Rows read so far that the test closes, as a reader closes them once the
// whole table is built.
class ClosingRows : public dataaccess::PartialRows {
 public:
  explicit ClosingRows(dataaccess::RowStorePtr rows) : rows_(std::move(rows)) {}
  void close() { open_ = false; }
  int64_t rowCount() const override { return rows_.rowCount(); }
  std::vector<dataaccess::FieldInfo> fields() const override { return rows_.fields(); }
  QVariant value(int64_t row, int column) const override { return open_ ? rows_.value(row, column) : QVariant(); }
  bool readable() const override { return open_; }

 private:
  dataaccess::StorePartialRows rows_;
  bool open_ = true;
};

}  // namespace

TEST(GridGrow, LoaderAnnouncesGrowingRowsBeforeTheTable) {
  ContentLoad load;
  std::vector<int64_t> grown;
  int64_t finishedRows = -1;
  bool grownAfterFinish = false;
  QObject::connect(&load, &ContentLoad::rowsGrown, [&](dataaccess::PartialRowsPtr rows) {
    if (finishedRows >= 0) grownAfterFinish = true;
    grown.push_back(rows->rowCount());
  });
  QObject::connect(&load, &ContentLoad::finished,
                   [&](std::shared_ptr<Recordset> rs) { finishedRows = rs->RecordCount(); });
  load.start(nullptr, [] {
    // Rows handed out outside a plain read of a table are not shown.
    dataaccess::reportPartialRows(partialOf(5));
    dataaccess::ScopedPartialRows answer;
    dataaccess::reportPartialRows(partialOf(10));
    dataaccess::reportPartialRows(partialOf(20));
    return recordsetOf(rowsOf(30));
  });
  ASSERT_TRUE(load.wait());
  EXPECT_EQ(finishedRows, 30);
  EXPECT_FALSE(grownAfterFinish);
  // The window may fall behind: then only the latest rows are announced.
  ASSERT_FALSE(grown.empty());
  EXPECT_EQ(grown.back(), 20);
  for (int64_t n : grown) EXPECT_NE(n, 5);

  // A stopped load announces nothing more.
  grown.clear();
  load.start(nullptr, [] {
    dataaccess::ScopedPartialRows answer;
    while (!dataaccess::loadCancelled()) std::this_thread::yield();
    dataaccess::reportPartialRows(partialOf(10));
    return recordsetOf(rowsOf(30));
  });
  load.stop();
  QCoreApplication::processEvents();
  EXPECT_TRUE(grown.empty());
}

TEST(GridGrow, GridTakesMoreRowsWithoutAReset) {
  QTableView view;
  RecordsetModel model;
  view.setModel(&model);
  GridCursor cursor(&view, &model);
  view.resize(400, 300);
  view.show();
  cursor.bind(recordsetOf(rowsOf(100)));
  view.setCurrentIndex(model.index(60, 1));
  view.scrollTo(model.index(60, 1));
  const int scroll = view.verticalScrollBar()->value();
  ASSERT_GT(scroll, 0);

  QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
  QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
  auto more = recordsetOf(rowsOf(250));
  cursor.extend(more);
  EXPECT_EQ(resets.count(), 0);
  ASSERT_EQ(inserted.count(), 1);
  EXPECT_EQ(inserted[0][1].toInt(), 100);
  EXPECT_EQ(inserted[0][2].toInt(), 249);
  EXPECT_EQ(model.rowCount(), 250);
  EXPECT_EQ(model.index(249, 1).data().toString(), "name 249");
  EXPECT_EQ(view.currentIndex(), model.index(60, 1));
  EXPECT_EQ(view.verticalScrollBar()->value(), scroll);
  // The new recordset stands on the grid's current row and follows it.
  EXPECT_EQ(more->AbsolutePosition(), 61);
  view.setCurrentIndex(model.index(200, 0));
  EXPECT_EQ(more->AbsolutePosition(), 201);

  // A column that appears later (a ragged row) is inserted too.
  QSignalSpy columns(&model, &QAbstractItemModel::columnsInserted);
  cursor.extend(recordsetOf(rowsOf(300, true)));
  EXPECT_EQ(resets.count(), 0);
  EXPECT_EQ(columns.count(), 1);
  EXPECT_EQ(model.columnCount(), 3);
  EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), "Note");
  EXPECT_EQ(view.currentIndex().row(), 200);

  // Fewer rows than shown is no growth: the grid starts over.
  cursor.extend(recordsetOf(rowsOf(10)));
  EXPECT_EQ(resets.count(), 1);
  EXPECT_EQ(model.rowCount(), 10);
}

// The rows read so far take the place of the first rows without a reset,
// stay painted after the loader closes them, and give way to the whole
// table where the user is.
TEST(GridGrow, GridShowsRowsReadSoFarThenTheTable) {
  QTableView view;
  RecordsetModel model;
  view.setModel(&model);
  GridCursor cursor(&view, &model);
  view.resize(400, 300);
  view.show();
  auto head = recordsetOf(rowsOf(100));
  cursor.bind(head);
  view.setCurrentIndex(model.index(60, 1));
  view.scrollTo(model.index(60, 1));
  const int scroll = view.verticalScrollBar()->value();

  QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
  QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
  auto partial = std::make_shared<ClosingRows>(rowsOf(5000, true));
  cursor.grow(partial);
  EXPECT_TRUE(model.growing());
  EXPECT_EQ(resets.count(), 0);
  ASSERT_EQ(inserted.count(), 1);
  EXPECT_EQ(inserted[0][1].toInt(), 100);
  EXPECT_EQ(model.rowCount(), 5000);
  EXPECT_EQ(model.columnCount(), 3);
  EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), "Note");
  EXPECT_EQ(model.index(4321, 1).data().toString(), "name 4321");
  EXPECT_EQ(model.index(4321, 2).data().toString(), "");  // Null
  EXPECT_EQ(view.currentIndex(), model.index(60, 1));
  EXPECT_EQ(view.verticalScrollBar()->value(), scroll);
  // The first rows stay the current recordset's until the table is there.
  EXPECT_EQ(cursor.recordset(), head);

  // Fewer rows than shown wait for a later hand-out.
  cursor.grow(partialOf(50));
  EXPECT_EQ(model.rowCount(), 5000);

  // The loader stops handing out cells while it builds the table: the cells
  // painted keep their text, the others show empty.
  partial->close();
  EXPECT_EQ(model.index(4321, 1).data().toString(), "name 4321");
  EXPECT_EQ(model.index(4000, 1).data().toString(), "");

  auto table = recordsetOf(rowsOf(9000, true));
  view.setCurrentIndex(model.index(4321, 1));
  cursor.extend(table);
  EXPECT_FALSE(model.growing());
  EXPECT_EQ(resets.count(), 0);
  EXPECT_EQ(model.rowCount(), 9000);
  EXPECT_EQ(model.index(4000, 1).data().toString(), "name 4000");
  EXPECT_EQ(view.currentIndex(), model.index(4321, 1));
  EXPECT_EQ(table->AbsolutePosition(), 4322);

  // Binding anything else ends the growing rows too.
  cursor.grow(std::make_shared<ClosingRows>(rowsOf(10000, true)));
  EXPECT_TRUE(model.growing());
  cursor.bind(recordsetOf(rowsOf(3)));
  EXPECT_FALSE(model.growing());
  EXPECT_EQ(model.rowCount(), 3);
  EXPECT_EQ(model.index(2, 1).data().toString(), "name 2");
}
