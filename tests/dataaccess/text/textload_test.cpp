// Reading a text table's first rows alone, and stopping a read through the
// LoadControl of its thread (the text reader and the SQL engine), through
// the provider and on their own.
#include "dataaccess/connection.h"
#include "dataaccess/error.h"
#include "dataaccess/loadcontrol.h"
#include "dataaccess/partialrows.h"
#include "dataaccess/providers/text/textreader.h"
#include "dataaccess/recordset.h"
#include "testsupport/tempdir.h"

#include <QFile>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <gtest/gtest.h>
#include <thread>

using namespace dataaccess;

namespace {

// Long enough for several reads of the reader's chunks.
QByteArray bigTable(int rows) {
  QByteArray text = "Id,Name,Note\r\n";
  text.reserve(rows * 40);
  for (int i = 0; i < rows; ++i) {
    text += QByteArray::number(i) + ",\"name, " + QByteArray::number(i) + "\",";
    // A column of numbers that turns to text after the first rows.
    text += i < 50 ? QByteArray::number(i) : QByteArray("n") + QByteArray::number(i);
    text += "\r\n";
  }
  return text;
}

QString writeTable(const testsupport::TempDir& dir, const QString& name, const QByteArray& text) {
  const QString path = dir.path() + "/" + name;
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(text);
  return path;
}

std::shared_ptr<Connection> csvConnection(const QString& dir) {
  auto cn = std::make_shared<Connection>();
  cn->Open(QStringLiteral("Driver={Microsoft Text Driver (*.txt; *.csv)};DriverId=27;FIL=text;Extensions=csv;"
                          "DBQ=%1;DefaultDir=%1;")
               .arg(dir));
  return cn;
}

int32_t errorNumber(const std::function<void()>& f) {
  try {
    f();
  } catch (const Error& e) {
    return e.number();
  }
  return 0;
}

}  // namespace

TEST(TextHead, FirstRowsMatchTheWholeReadAndStopThere) {
  testsupport::TempDir dir;
  const QString path = writeTable(dir, "t.csv", bigTable(200000));
  const text::TextSchema schema;
  auto whole = text::readTextTable(path, schema);
  auto head = text::readTextTableHead(path, schema, 40);
  ASSERT_EQ(whole->rowCount(), 200000);
  ASSERT_EQ(head->rowCount(), 40);
  ASSERT_EQ(head->fieldCount(), whole->fieldCount());
  for (int c = 0; c < head->fieldCount(); ++c) {
    EXPECT_EQ(head->field(c).name, whole->field(c).name);
    for (int r = 0; r < 40; ++r)
      EXPECT_EQ(head->value(r, c).toString(), whole->value(r, c).toString()) << r << "," << c;
  }
  // More rows asked than the file holds: all of them.
  EXPECT_EQ(text::readTextTableHead(writeTable(dir, "s.csv", "A\r\n1\r\n2\r\n"), schema, 10)->rowCount(), 2);
}

TEST(TextHead, ProviderServesThePreviewAndThenTheCachedRows) {
  testsupport::TempDir dir;
  writeTable(dir, "t.csv", bigTable(5000));
  auto cn = csvConnection(dir.path());
  Provider& p = cn->provider();
  RowStorePtr head = p.executeHead("SELECT * FROM [t#csv]", 25);
  ASSERT_TRUE(head);
  EXPECT_EQ(head->rowCount(), 25);
  // Statements other than the plain select have no quick preview.
  EXPECT_FALSE(p.executeHead("SELECT * FROM [t#csv] ORDER BY Id DESC", 25));
  // A preview is not cached: the full open still reads every row.
  RowStorePtr all = p.execute("SELECT * FROM [t#csv]", adCmdText);
  EXPECT_EQ(all->rowCount(), 5000);
  // Once the table is read, the preview is the whole cached table.
  EXPECT_EQ(p.executeHead("SELECT * FROM [t#csv]", 25), all);
  EXPECT_EQ(errorNumber([&] { p.executeHead("SELECT * FROM [missing#csv]", 25); }), err::kTableNotFound);
}

TEST(LoadStop, CancelledControlStopsTheReaderAndReportsItsOwnError) {
  testsupport::TempDir dir;
  const QString path = writeTable(dir, "t.csv", bigTable(200000));
  LoadControl control;
  control.cancel();
  {
    ScopedLoadControl scope(&control);
    EXPECT_EQ(errorNumber([&] { text::readTextTable(path, text::TextSchema()); }), err::kOperationCancelled);
  }
  // Without the control the same read goes through.
  EXPECT_EQ(text::readTextTable(path, text::TextSchema())->rowCount(), 200000);
}

TEST(LoadStop, ReaderReportsProgressToTheEnd) {
  testsupport::TempDir dir;
  const QByteArray text = bigTable(200000);
  const QString path = writeTable(dir, "t.csv", text);
  LoadControl control;
  EXPECT_EQ(control.percent(), -1);
  ScopedLoadControl scope(&control);
  text::readTextTable(path, text::TextSchema());
  EXPECT_EQ(control.total(), text.size());
  EXPECT_EQ(control.done(), text.size());
  EXPECT_EQ(control.percent(), 100);
}

TEST(LoadStop, StopEndsAQueryRunningOnTheSqlEngine) {
  testsupport::TempDir dir;
  writeTable(dir, "t.csv", bigTable(3000));
  auto cn = csvConnection(dir.path());
  // The rows are read first, so that the stop meets the engine, not the
  // reader.
  ASSERT_EQ(cn->provider().execute("SELECT * FROM [t#csv]", adCmdText)->rowCount(), 3000);
  // Nine million pairs: long enough that the stop finds it running.
  const QString pairs = "SELECT COUNT(*) FROM [t#csv] a, [t#csv] b WHERE a.Note <> b.Name";
  LoadControl control;
  int32_t number = 0;
  std::thread worker([&] {
    ScopedLoadControl scope(&control);
    number = errorNumber([&] { cn->provider().execute(pairs, adCmdText); });
  });
  control.cancel();
  worker.join();
  EXPECT_EQ(number, err::kOperationCancelled);
  // The engine is left usable.
  RowStorePtr rows = cn->provider().execute("SELECT COUNT(*) FROM [t#csv] WHERE Id < 10", adCmdText);
  ASSERT_EQ(rows->rowCount(), 1);
  EXPECT_EQ(rows->value(0, 0).toLongLong(), 10);
}

namespace {

// A table with empty cells and a column that appears half-way (a ragged
// row), long enough for many of the reader's chunks.
QByteArray raggedTable(int rows) {
  QByteArray text = "Id,Name,Amount\r\n";
  for (int i = 0; i < rows; ++i) {
    text += QByteArray::number(i) + ",";
    if (i % 7 != 3) text += "\"name, " + QByteArray::number(i) + "\"";
    text += ",";
    if (i % 5 != 1) text += QByteArray::number(i) + ".25";
    if (i == rows / 2) text += ",extra";
    text += "\r\n";
  }
  return text;
}

// What the rows handed out by one read show.
struct HandOuts {
  std::vector<int64_t> counts;  // rowCount() at each hand-out
  PartialRowsPtr rows;
  int mismatches = 0;
  int64_t checked = 0;
};

// Reads `path` with a sink that checks, at each hand-out, the rows new since
// the last one against `expected` (the same file read without a sink).
std::shared_ptr<RowStore> readHandingOut(const QString& path, const text::TextReadTuning& tuning,
                                         const RowStore& expected, HandOuts& out, LoadControl& control,
                                         int cancelAfter = -1) {
  control.setPartialRowsSink([&](PartialRowsPtr rows) {
    if (out.rows && out.rows != rows) ++out.mismatches;  // one growing object
    out.rows = rows;
    const int64_t from = out.counts.empty() ? 0 : out.counts.back();
    const int64_t count = rows->rowCount();
    out.counts.push_back(count);
    // The new rows in one go (as a grid reads them), the last of them also
    // cell by cell; one column more than there are reads as Null.
    const int columns = expected.fieldCount() + 1;
    const std::vector<QVariant> block = rows->values(from, count - from + 10, columns);
    if (block.size() != size_t(count - from) * size_t(columns)) ++out.mismatches;
    for (int64_t r = from; r < count && block.size() == size_t(count - from) * size_t(columns); ++r) {
      for (int c = 0; c < columns; ++c) {
        const QVariant want = c < expected.fieldCount() ? expected.value(r, c) : QVariant();
        const QVariant got = block[size_t(r - from) * size_t(columns) + size_t(c)];
        // Types guessed from fewer rows may differ; the text may not.
        if (want.isValid() != got.isValid() || want.toString() != got.toString()) ++out.mismatches;
        if (r == count - 1 && c < expected.fieldCount() && rows->value(r, c) != got) ++out.mismatches;
        ++out.checked;
      }
    }
    if (int(out.counts.size()) == cancelAfter) control.cancel();
  });
  ScopedLoadControl scope(&control);
  ScopedPartialRows answer;
  return text::readTextTable(path, text::TextSchema(), QLocale(), tuning);
}

text::TextReadTuning smallBites() {
  text::TextReadTuning tuning;
  tuning.chunk = 8 << 10;
  tuning.minimumSplit = 4 << 10;
  tuning.partialInterval = std::chrono::milliseconds(0);
  return tuning;
}

}  // namespace

// The rows handed out while reading, taken in turn, are the table's rows in
// order: every cell as the finished table has it, Nulls included, across
// the reader's chunks and the two threads' halves; and the finished table
// comes out as without a sink. Small chunks and no interval give many
// hands-out.
TEST(PartialRows, RowsHandedOutJoinedAreTheTable) {
  testsupport::TempDir dir;
  for (const QByteArray& text : {bigTable(20000), raggedTable(20000)}) {
    const QString path = writeTable(dir, "t.csv", text);
    const auto plain = text::readTextTable(path, text::TextSchema(), QLocale(), smallBites());

    LoadControl control;
    HandOuts handed;
    control.setPartialRowsSink([&](PartialRowsPtr) { handed.counts.push_back(0); });
    {
      // Without the provider's word that the table is the answer: nothing.
      ScopedLoadControl scope(&control);
      text::readTextTable(path, text::TextSchema(), QLocale(), smallBites());
    }
    EXPECT_TRUE(handed.counts.empty());

    const auto whole = readHandingOut(path, smallBites(), *plain, handed, control);
    ASSERT_GE(handed.counts.size(), 10u);
    EXPECT_EQ(handed.mismatches, 0);
    EXPECT_TRUE(std::is_sorted(handed.counts.begin(), handed.counts.end()));
    EXPECT_GT(handed.counts.back(), plain->rowCount() * 9 / 10);  // growing to the end
    EXPECT_EQ(handed.checked, handed.counts.back() * (plain->fieldCount() + 1));
    // Once the table is built the rows handed out read no more.
    EXPECT_FALSE(handed.rows->readable());
    EXPECT_FALSE(handed.rows->value(0, 0).isValid());
    EXPECT_EQ(handed.rows->rowCount(), handed.counts.back());

    ASSERT_EQ(whole->rowCount(), plain->rowCount());
    ASSERT_EQ(whole->fieldCount(), plain->fieldCount());
    for (int64_t r = 0; r < whole->rowCount(); ++r)
      for (int c = 0; c < whole->fieldCount(); ++c) ASSERT_EQ(whole->value(r, c), plain->value(r, c)) << r;
  }
}

// Another thread reads the rows handed out all through the load, as the
// window does; a load stopped half-way leaves them closed.
TEST(PartialRows, RowsReadWhileTheReaderGoesOnAndAfterAStop) {
  testsupport::TempDir dir;
  const QString path = writeTable(dir, "t.csv", raggedTable(30000));
  const auto plain = text::readTextTable(path, text::TextSchema(), QLocale(), smallBites());

  std::atomic<bool> done{false};
  std::atomic<int> wrong{0};
  std::atomic<int64_t> reads{0};
  std::mutex latest;
  PartialRowsPtr shared;
  std::thread other([&] {
    for (uint64_t k = 1; !done; ++k) {
      PartialRowsPtr rows;
      {
        std::lock_guard<std::mutex> hold(latest);
        rows = shared;
      }
      if (!rows) {
        std::this_thread::yield();
        continue;
      }
      const int64_t count = rows->rowCount();
      if (count == 0) continue;
      const int64_t r = int64_t((k * 2654435761u) % uint64_t(count));
      const QVariant got = rows->value(r, 1);
      if (rows->readable() && got.toString() != plain->value(r, 1).toString()) ++wrong;
      ++reads;
    }
  });
  LoadControl control;
  control.setPartialRowsSink([&](PartialRowsPtr rows) {
    std::lock_guard<std::mutex> hold(latest);
    shared = rows;
  });
  {
    ScopedLoadControl scope(&control);
    ScopedPartialRows answer;
    text::readTextTable(path, text::TextSchema(), QLocale(), smallBites());
  }
  done = true;
  other.join();
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(reads, 0);

  HandOuts handed;
  LoadControl stopping;
  EXPECT_EQ(errorNumber([&] { readHandingOut(path, smallBites(), *plain, handed, stopping, 3); }),
            err::kOperationCancelled);
  EXPECT_EQ(handed.counts.size(), 3u);
  EXPECT_EQ(handed.mismatches, 0);
  ASSERT_TRUE(handed.rows);
  EXPECT_FALSE(handed.rows->readable());
  EXPECT_FALSE(handed.rows->value(0, 0).isValid());
}

TEST(PartialRows, OnlyAPlainReadOfATableHandsOutRows) {
  testsupport::TempDir dir;
  writeTable(dir, "t.csv", bigTable(10));
  EXPECT_FALSE(partialRowsWanted());
  LoadControl control;
  int calls = 0;
  control.setPartialRowsSink([&](PartialRowsPtr) { ++calls; });
  {
    ScopedPartialRows answer;
    EXPECT_FALSE(partialRowsWanted());  // no control on this thread
    ScopedLoadControl scope(&control);
    EXPECT_TRUE(partialRowsWanted());
    {
      ScopedPartialRows nested;
    }
    EXPECT_TRUE(partialRowsWanted());  // a nested scope gives the state back
  }
  ScopedLoadControl scope(&control);
  EXPECT_FALSE(partialRowsWanted());
  reportPartialRows(std::make_shared<StorePartialRows>(std::make_shared<RowStore>(std::vector<FieldInfo>{})));
  EXPECT_EQ(calls, 0);
}
