// Rules for damaged dBase/FoxPro tables that go beyond "read or fail
// cleanly" (the damaged-file suite covers that): an edit of a table whose
// memo file was cut is refused before any file changes, and binary fields
// narrower than their values read as bytes and refuse edits.
#include "xbasetestutil.h"

#include "dataaccess/error.h"
#include "dataaccess/providers/xbase/dbftable.h"

#include "testsupport/fixtures.h"
#include "testsupport/tempdir.h"

#include <QDir>
#include <QFile>
#include <functional>
#include <gtest/gtest.h>

using namespace dataaccess;
using namespace xbasetest;

namespace {

void rewrite(const QString& path, const std::function<void(QByteArray&)>& change) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  QByteArray b = f.readAll();
  f.close();
  change(b);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(b);
}

QMap<QString, QByteArray> folderBytes(const QString& folder) {
  QMap<QString, QByteArray> out;
  for (const QString& n : QDir(folder).entryList(QDir::Files | QDir::Hidden)) out[n] = readAll(QDir(folder).filePath(n));
  return out;
}

}  // namespace

// A damaged table must not be written either: the batch fails before any
// file is touched.
TEST(XBaseCorruptionWrite, EditOfATableWhoseMemoWasCutFailsUntouched) {
  LUMBROOK_REQUIRE_FIXTURE(dir, "dbase");
  testsupport::TempDir tmp;
  copyFiles(dir, tmp.path(), "dbase_8b");
  auto cn = connect(folderConnection(tmp.path()));
  auto rs = openTable(cn, "dbase_8b");
  rewrite(tmp.file("dbase_8b.dbt"), [](QByteArray& b) { b.truncate(515); });  // the first memo block is gone
  const auto before = folderBytes(tmp.path());
  rs->Fields("CHARACTER").setValue(QStringLiteral("changed"));
  EXPECT_THROW(rs->UpdateBatch(), Error);
  EXPECT_EQ(folderBytes(tmp.path()), before);
}

// A damaged descriptor can give a binary field (integer, currency, double,
// date-time) fewer bytes than its value takes: the field reads as its bytes,
// the other fields keep their values, and an edit of it is refused instead
// of writing past the field.
TEST(XBaseCorruptionNarrowFields, ReadAsBytesAndRefuseEdits) {
  testsupport::TempDir tmp;
  const QByteArray record = QByteArray("ab") + "cde" + "fghi" + "j" + "T" + "name ";
  const QByteArray bytes = vfpTable({{"I2", 'I', 2}, {"Y3", 'Y', 3}, {"T4", 'T', 4}, {"B1", 'B', 1}, {"L1", 'L', 1},
                                     {"NAME", 'C', 5}},
                                    {record});
  QFile f(tmp.file("narrow.dbf"));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
  f.close();

  DbfTable table(tmp.file("narrow.dbf"));
  auto rows = table.load();
  ASSERT_EQ(rows->rowCount(), 1);
  EXPECT_EQ(rows->value(0, 0).toByteArray(), QByteArray("ab"));
  EXPECT_EQ(rows->value(0, 1).toByteArray(), QByteArray("cde"));
  EXPECT_EQ(rows->value(0, 2).toByteArray(), QByteArray("fghi"));
  EXPECT_EQ(rows->value(0, 3).toByteArray(), QByteArray("j"));
  EXPECT_EQ(rows->value(0, 4).toBool(), true);
  EXPECT_EQ(rows->value(0, 5).toString(), QStringLiteral("name"));
  const char* raw = table.record(0);
  EXPECT_EQ(table.value(raw, 2, 0).toByteArray(), QByteArray("fghi"));

  for (int column = 0; column < 4; ++column) {
    std::string copy(raw, size_t(table.recordLength()));
    const std::string before = copy;
    EXPECT_THROW(table.encode(copy, column, QVariant(QByteArray("x")), nullptr), Error) << column;
    EXPECT_EQ(copy, before) << column;
  }
}
