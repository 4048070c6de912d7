// Reading a text table's first rows alone, and stopping a read through the
// LoadControl of its thread (the text reader and the SQL engine), through
// the provider and on their own.
#include "dataaccess/connection.h"
#include "dataaccess/error.h"
#include "dataaccess/loadcontrol.h"
#include "dataaccess/providers/text/textreader.h"
#include "dataaccess/recordset.h"
#include "testsupport/tempdir.h"

#include <QFile>
#include <chrono>
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

// Every store handed out while reading holds the first rows of the table,
// each more than the one before, and the whole read comes out as without a
// sink. Small chunks and no interval give many hands-out.
TEST(PartialRows, ReaderHandsOutGrowingPrefixesOfTheTable) {
  testsupport::TempDir dir;
  const QString path = writeTable(dir, "t.csv", bigTable(20000));
  text::TextReadTuning tuning;
  tuning.chunk = 8 << 10;
  tuning.minimumSplit = 4 << 10;
  tuning.partialInterval = std::chrono::milliseconds(0);
  const auto plain = text::readTextTable(path, text::TextSchema(), QLocale(), tuning);

  std::vector<RowStorePtr> handed;
  LoadControl control;
  control.setPartialRowsSink([&](RowStorePtr rows) { handed.push_back(std::move(rows)); });
  ScopedLoadControl scope(&control);
  // Without the provider's word that the table is the answer: nothing.
  text::readTextTable(path, text::TextSchema(), QLocale(), tuning);
  EXPECT_TRUE(handed.empty());

  std::shared_ptr<RowStore> whole;
  {
    ScopedPartialRows answer;
    whole = text::readTextTable(path, text::TextSchema(), QLocale(), tuning);
  }
  ASSERT_GE(handed.size(), 3u);
  int64_t before = 0;
  for (const RowStorePtr& part : handed) {
    EXPECT_GE(part->rowCount(), 3 * before);
    EXPECT_LE(part->rowCount(), whole->rowCount());
    before = part->rowCount();
    ASSERT_EQ(part->fieldCount(), whole->fieldCount());
    for (int64_t r : {int64_t(0), part->rowCount() / 2, part->rowCount() - 1})
      for (int c = 0; c < whole->fieldCount(); ++c)
        EXPECT_EQ(part->value(r, c).toString(), whole->value(r, c).toString()) << r << "," << c;
  }
  ASSERT_EQ(whole->rowCount(), plain->rowCount());
  for (int64_t r = 0; r < whole->rowCount(); r += 997)
    for (int c = 0; c < whole->fieldCount(); ++c) EXPECT_EQ(whole->value(r, c), plain->value(r, c));
}

TEST(PartialRows, OnlyAPlainReadOfATableHandsOutRows) {
  testsupport::TempDir dir;
  writeTable(dir, "t.csv", bigTable(10));
  EXPECT_FALSE(partialRowsWanted());
  LoadControl control;
  int calls = 0;
  control.setPartialRowsSink([&](RowStorePtr) { ++calls; });
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
  reportPartialRows(std::make_shared<RowStore>(std::vector<FieldInfo>{}));
  EXPECT_EQ(calls, 0);
}
