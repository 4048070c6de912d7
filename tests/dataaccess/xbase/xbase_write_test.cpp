// Saving edits back into dBase/FoxPro tables: every changed field in its
// own type and code page, optimistic conflicts, and all-or-nothing batches
// that leave table and memo files byte-identical when refused. An
// independent reader (shapelib itself, and the raw memo blocks) checks what
// was written.
#include "xbasetestutil.h"

#include "dataaccess/error.h"
#include "dataaccess/values.h"

#include "testsupport/fixtures.h"
#include "testsupport/tempdir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <shapefil.h>

using namespace dataaccess;
using namespace xbasetest;

namespace {

// The trimmed text shapelib reads for a field of a record.
QString shapelibText(const QString& path, int record, const char* field) {
  DBFHandle h = DBFOpen(QFile::encodeName(path).constData(), "rb");
  if (!h) return QStringLiteral("<unreadable>");
  const int f = DBFGetFieldIndex(h, field);
  const QString s = f < 0 ? QStringLiteral("<no field>") : QString::fromLatin1(DBFReadStringAttribute(h, record, f));
  DBFClose(h);
  return s;
}

struct Snapshot {
  QByteArray table, memo;
  bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(const QString& table, const QString& memo) { return {readAll(table), readAll(memo)}; }

class XBaseWrite : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testsupport::fixture("dbase");
    if (dir_.isEmpty()) GTEST_SKIP() << "fixtures not available";
    copyFiles(dir_, tmp.path(), "dbase_8b");
    table = tmp.file("dbase_8b.dbf");
    memo = tmp.file("dbase_8b.dbt");
    cn = connect(folderConnection(tmp.path()));
  }

  QString dir_;
  testsupport::TempDir tmp;
  QString table, memo;
  std::shared_ptr<Connection> cn;
};

}  // namespace

TEST_F(XBaseWrite, WritesTextNumberDateLogicalAndMemo) {
  auto rs = openTable(cn, "dbase_8b");
  rs->MoveNext();  // record 2
  rs->Fields("CHARACTER").setValue(QStringLiteral("Zwei"));
  rs->Fields("NUMERICAL").setValue(QStringLiteral("-1234.5"));
  rs->Fields("DATE").setValue(QDate(2020, 2, 29));
  rs->Fields("LOGICAL").setValue(false);
  rs->Fields("MEMO").setValue(QStringLiteral("A new memo\r\nwith two lines"));
  rs->UpdateBatch();
  EXPECT_FALSE(rs->hasPendingChanges());

  // shapelib sees the new record.
  EXPECT_EQ(shapelibText(table, 1, "CHARACTER"), QStringLiteral("Zwei"));
  EXPECT_EQ(shapelibText(table, 1, "NUMERICAL"), QStringLiteral("-1234.50"));
  EXPECT_EQ(shapelibText(table, 1, "DATE"), QStringLiteral("20200229"));
  EXPECT_EQ(shapelibText(table, 1, "LOGICAL"), QStringLiteral("F"));
  // The memo pointer names a dBase IV block that holds the text.
  const uint32_t block = shapelibText(table, 1, "MEMO").toUInt();
  const QByteArray m = readAll(memo);
  ASSERT_GT(block, 0u);
  ASSERT_LE(qsizetype(block) * 512 + 8, m.size());
  EXPECT_EQ(m.mid(qsizetype(block) * 512, 4), QByteArray("\xFF\xFF\x08\x00", 4));
  EXPECT_EQ(m.mid(qsizetype(block) * 512 + 8, 26), QByteArray("A new memo\r\nwith two lines"));
  // The other records and their memos are untouched.
  EXPECT_EQ(shapelibText(table, 0, "CHARACTER"), QStringLiteral("One"));

  // A fresh connection reads everything back the same way.
  auto again = openTable(connect(folderConnection(tmp.path())), "dbase_8b");
  again->MoveNext();
  EXPECT_EQ(again->Fields("CHARACTER").Value(), QVariant(QStringLiteral("Zwei")));
  EXPECT_EQ(again->Fields("NUMERICAL").Value(), QVariant(QStringLiteral("-1234.50")));
  EXPECT_EQ(again->Fields("DATE").Value(), QVariant(QDate(2020, 2, 29)));
  EXPECT_EQ(again->Fields("LOGICAL").Value(), QVariant(false));
  EXPECT_EQ(again->Fields("MEMO").Value(), QVariant(QStringLiteral("A new memo\r\nwith two lines")));
  again->MoveFirst();
  EXPECT_TRUE(again->Fields("MEMO").Value().toString().startsWith("First memo"));
  EXPECT_EQ(again->RecordCount(), 10);
}

TEST_F(XBaseWrite, RefusedValueLeavesBothFilesByteIdentical) {
  const Snapshot before = snapshot(table, memo);
  auto rs = openTable(cn, "dbase_8b");
  rs->Fields("MEMO").setValue(QStringLiteral("would be appended"));
  rs->Fields("CHARACTER").setValue(QStringLiteral("fine"));
  rs->MoveNext();
  // NUMERICAL is N(20,2): 19 integer digits do not fit.
  rs->Fields("NUMERICAL").setValue(QStringLiteral("1234567890123456789"));
  try {
    rs->UpdateBatch();
    FAIL() << "an oversized number was written";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), err::kDataConversion);
    EXPECT_TRUE(e.description().contains("NUMERICAL")) << e.description().toStdString();
  }
  EXPECT_TRUE(snapshot(table, memo) == before);
  EXPECT_TRUE(rs->hasPendingChanges());
  // No working copies are left in the folder.
  EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden), QDir(tmp.path()).entryList(QDir::Files));
}

TEST_F(XBaseWrite, TooLongTextIsRefusedNamingTheField) {
  auto rs = openTable(cn, "dbase_8b");
  rs->Fields("CHARACTER").setValue(QString(101, QLatin1Char('x')));
  try {
    rs->UpdateBatch();
    FAIL();
  } catch (const Error& e) {
    EXPECT_TRUE(e.description().contains("CHARACTER"));
  }
}

TEST_F(XBaseWrite, ConflictWithAnotherWriterIsRefusedAndWritesNothing) {
  auto mine = openTable(cn, "dbase_8b");
  // Another program changes record 1 after we read it.
  auto other = openTable(connect(folderConnection(tmp.path())), "dbase_8b");
  other->Fields("CHARACTER").setValue(QStringLiteral("Theirs"));
  other->UpdateBatch();
  const Snapshot afterOther = snapshot(table, memo);

  mine->MoveNext();
  mine->Fields("CHARACTER").setValue(QStringLiteral("Mine 2"));  // an unconflicting record...
  mine->MoveFirst();
  mine->Fields("CHARACTER").setValue(QStringLiteral("Mine"));  // ...and a conflicting one
  try {
    mine->UpdateBatch();
    FAIL() << "a conflicting record was written";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), err::kRowConflict);
  }
  EXPECT_TRUE(snapshot(table, memo) == afterOther);

  // Resync reads the other program's value and drops the pending change.
  mine->Resync(adAffectCurrent);
  EXPECT_EQ(mine->Fields("CHARACTER").Value(), QVariant(QStringLiteral("Theirs")));
  mine->MoveNext();
  mine->CancelBatch();
  mine->MoveFirst();
  mine->Fields("CHARACTER").setValue(QStringLiteral("Mine"));
  mine->UpdateBatch();
  EXPECT_EQ(shapelibText(table, 0, "CHARACTER"), QStringLiteral("Mine"));
}

TEST_F(XBaseWrite, ReadOnlyFileIsRefusedUntouched) {
  QFile::setPermissions(table, QFile::ReadOwner | QFile::ReadGroup);
  const Snapshot before = snapshot(table, memo);
  auto rs = openTable(cn, "dbase_8b");
  rs->Fields("CHARACTER").setValue(QStringLiteral("x"));
  EXPECT_THROW(rs->UpdateBatch(), Error);
  EXPECT_TRUE(snapshot(table, memo) == before);
}

TEST(XBaseWriteFox, ContainerTableMemoAndIndexGuard) {
  LUMBROOK_REQUIRE_FIXTURE(dir, "foxpro/container");
  testsupport::TempDir tmp;
  copyFiles(dir, tmp.path());
  const QString dbc = tmp.file("FOXPRO-DB-TEST.DBC");
  auto rs = openTable(connect(containerConnection(dbc)), "calls");
  rs->Move(2);
  const QVariant date = rs->Fields("call_date").Value();
  rs->Fields("notes").setValue(QString::fromUtf8("Café au lait, s'il vous plaît"));
  rs->Fields("call_date").setValue(makeDateTime(QDate(2024, 12, 31), QTime(23, 59, 58)));
  rs->UpdateBatch();

  auto again = openTable(connect(containerConnection(dbc)), "calls");
  again->Move(2);
  EXPECT_EQ(again->Fields("notes").Value(), QVariant(QString::fromUtf8("Café au lait, s'il vous plaît")));
  EXPECT_EQ(again->Fields("call_date").Value().toDateTime(), makeDateTime(QDate(2024, 12, 31), QTime(23, 59, 58)));
  EXPECT_NE(again->Fields("call_date").Value(), date);
  // The memo went in as code page 1252 (the table's language driver 0x03).
  EXPECT_TRUE(readAll(tmp.file("calls.FPT")).contains("Caf\xE9 au lait"));

  // call_id is a key of calls.CDX, which Lumbrook does not maintain.
  const QByteArray before = readAll(tmp.file("calls.dbf"));
  again->Fields("call_id").setValue(99);
  try {
    again->UpdateBatch();
    FAIL() << "an indexed field was changed";
  } catch (const Error& e) {
    EXPECT_TRUE(e.description().contains("call_id")) << e.description().toStdString();
  }
  EXPECT_EQ(readAll(tmp.file("calls.dbf")), before);
}

TEST(XBaseWriteCodePage, TextIsWrittenInTheTablesCodePage) {
  testsupport::TempDir tmp;
  tmp.write("cyr.dbf", vfpTable({{"NAME", 'C', 8}}, {QByteArray("x")}, 0xC9));
  auto cn = connect(folderConnection(tmp.path()));
  auto rs = openTable(cn, "cyr");
  rs->Fields(0).setValue(QString::fromUtf8("Привет"));
  rs->UpdateBatch();
  EXPECT_TRUE(readAll(tmp.file("cyr.dbf")).contains("\xCF\xF0\xE8\xE2\xE5\xF2  "));

  // A character the code page lacks is refused, not replaced by "?".
  const QByteArray before = readAll(tmp.file("cyr.dbf"));
  rs->Fields(0).setValue(QString::fromUtf8("日本"));
  EXPECT_THROW(rs->UpdateBatch(), Error);
  EXPECT_EQ(readAll(tmp.file("cyr.dbf")), before);
}

TEST(XBaseWriteShapelib, TableMadeByShapelibRoundTrips) {
  testsupport::TempDir tmp;
  const QString path = tmp.file("made.dbf");
  DBFHandle h = DBFCreate(QFile::encodeName(path).constData());
  ASSERT_NE(h, nullptr);
  DBFAddField(h, "NAME", FTString, 10, 0);
  DBFAddField(h, "QTY", FTInteger, 6, 0);
  DBFAddField(h, "PRICE", FTDouble, 10, 3);
  DBFAddField(h, "OK", FTLogical, 1, 0);
  for (int i = 0; i < 3; ++i) {
    DBFWriteStringAttribute(h, i, 0, QByteArray("row" + QByteArray::number(i)).constData());
    DBFWriteIntegerAttribute(h, i, 1, i * 10);
    DBFWriteDoubleAttribute(h, i, 2, i + 0.125);
    DBFWriteLogicalAttribute(h, i, 3, i % 2 ? 'T' : 'F');
  }
  DBFClose(h);

  auto rs = openTable(connect(folderConnection(tmp.path())), "made");
  ASSERT_EQ(rs->RecordCount(), 3);
  rs->Move(2);
  EXPECT_EQ(rs->Fields("NAME").Value(), QVariant(QStringLiteral("row2")));
  EXPECT_EQ(rs->Fields("QTY").Value(), QVariant(QStringLiteral("20")));
  EXPECT_EQ(rs->Fields("PRICE").Value(), QVariant(QStringLiteral("2.125")));
  EXPECT_EQ(rs->Fields("OK").Value(), QVariant(false));
  rs->Fields("PRICE").setValue(QStringLiteral("9.8765"));  // rounded to the field's 3 decimals
  rs->Fields("QTY").setValue(QStringLiteral("-42"));
  rs->UpdateBatch();

  h = DBFOpen(QFile::encodeName(path).constData(), "rb");
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(DBFGetRecordCount(h), 3);
  EXPECT_DOUBLE_EQ(DBFReadDoubleAttribute(h, 2, 2), 9.877);
  EXPECT_EQ(DBFReadIntegerAttribute(h, 2, 1), -42);
  EXPECT_STREQ(DBFReadStringAttribute(h, 1, 0), "row1");
  DBFClose(h);
}

// The connection's cached rows go with a save, even when the file comes back
// with the size and time stamp it had: the next read sees the new values.
TEST_F(XBaseWrite, SavingDropsTheCachedRowsOfTheTable) {
  auto rs = openTable(cn, "dbase_8b");
  EXPECT_EQ(rs->Fields("CHARACTER").Value(), QVariant(QStringLiteral("One")));
  const QDateTime stamp = QFileInfo(table).lastModified();
  const qint64 size = QFileInfo(table).size();
  rs->Fields("CHARACTER").setValue(QStringLiteral("Uno"));
  rs->UpdateBatch();
  QFile f(table);
  ASSERT_TRUE(f.open(QIODevice::ReadWrite));
  ASSERT_TRUE(f.setFileTime(stamp, QFileDevice::FileModificationTime));
  f.close();
  ASSERT_EQ(QFileInfo(table).size(), size);
  ASSERT_EQ(QFileInfo(table).lastModified(), stamp);

  auto again = openTable(cn, "dbase_8b");
  EXPECT_EQ(again->Fields("CHARACTER").Value(), QVariant(QStringLiteral("Uno")));
}
