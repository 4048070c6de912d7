// Reading dBase III/IV, FoxPro 2 and Visual FoxPro tables and containers:
// the real files of the fixtures, and small hand-made files for the Visual
// FoxPro binary fields, code pages, deleted records and container views.
#include "xbasetestutil.h"

#include "dataaccess/error.h"
#include "dataaccess/values.h"

#include "testsupport/fixtures.h"
#include "testsupport/tempdir.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace dataaccess;
using namespace xbasetest;

namespace {

QStringList tableNames(const std::shared_ptr<Connection>& cn, QStringList* types = nullptr) {
  auto rs = cn->OpenSchema(adSchemaTables);
  QStringList names;
  for (; !rs->IsEOF(); rs->MoveNext()) {
    names << rs->Fields("TABLE_NAME").Value().toString();
    if (types) *types << rs->Fields("TABLE_TYPE").Value().toString();
  }
  return names;
}

QByteArray le32(uint32_t v) {
  QByteArray b(4, '\0');
  for (int i = 0; i < 4; ++i) b[i] = char((v >> (8 * i)) & 0xFF);
  return b;
}

QByteArray le64(uint64_t v) {
  QByteArray b(8, '\0');
  for (int i = 0; i < 8; ++i) b[i] = char((v >> (8 * i)) & 0xFF);
  return b;
}

}  // namespace

TEST(XBaseRead, FolderListsEveryDbfFileAsATable) {
  LUMBROOK_REQUIRE_FIXTURE(dir, "dbase");
  QStringList types;
  auto cn = connect(folderConnection(dir));
  EXPECT_EQ(cn->providerName(), QStringLiteral("xbase"));
  EXPECT_EQ(tableNames(cn, &types), QStringList({"dbase_03", "dbase_83", "dbase_8b"}));
  EXPECT_EQ(types, QStringList({"TABLE", "TABLE", "TABLE"}));

  // Any letter case of the extension; other files are not tables.
  testsupport::TempDir tmp;
  QFile::copy(dir + "/dbase_03.dbf", tmp.file("UPPER.DBF"));
  tmp.write("notes.txt", "x");
  EXPECT_EQ(tableNames(connect(folderConnection(tmp.path()))), QStringList({"UPPER"}));
}

TEST(XBaseRead, DBaseThreeFieldsTypesAndValues) {
  LUMBROOK_REQUIRE_FIXTURE(dir, "dbase");
  auto cn = connect(folderConnection(dir));
  auto rs = openTable(cn, "dbase_03");
  ASSERT_EQ(rs->FieldCount(), 31);
  EXPECT_EQ(rs->RecordCount(), 14);
  EXPECT_EQ(rs->Fields(0).Name(), QStringLiteral("Point_ID"));
  EXPECT_EQ(rs->Fields(0).Type(), adChar);
  EXPECT_EQ(rs->Fields(0).DefinedSize(), 12);
  EXPECT_EQ(rs->Fields("Date_Visit").Type(), adDBDate);
  EXPECT_EQ(rs->Fields("Max_PDOP").Type(), adNumeric);
  EXPECT_EQ(rs->Fields("Max_PDOP").NumericScale(), 1);
  EXPECT_EQ(rs->Fields("Max_PDOP").Precision(), 5);

  EXPECT_EQ(rs->Fields(0).Value(), QVariant(QStringLiteral("0507121")));
  EXPECT_EQ(rs->Fields("Date_Visit").Value(), QVariant(QDate(2005, 7, 12)));
  EXPECT_EQ(rs->Fields("Time").Value(), QVariant(QStringLiteral("10:56:30am")));
  EXPECT_EQ(rs->Fields("Max_PDOP").Value(), QVariant(QStringLiteral("5.2")));
  EXPECT_EQ(rs->Fields("Max_HDOP").Value(), QVariant(QStringLiteral("2.0")));
  // A blank character field is an empty text, not Null.
  EXPECT_EQ(rs->Fields("Comments").Value(), QVariant(QString()));

  // The columns schema reports the same.
  auto cols = cn->OpenSchema(adSchemaColumns, {QVariant(), QVariant(), QStringLiteral("dbase_03")});
  EXPECT_EQ(cols->RecordCount(), 31);
  EXPECT_EQ(cols->Fields("DATA_TYPE").Value().toInt(), int(adChar));
}

TEST(XBaseRead, DBaseMemosLogicalsAndFloats) {
  LUMBROOK_REQUIRE_FIXTURE(dir, "dbase");
  auto cn = connect(folderConnection(dir));
  auto rs = openTable(cn, "dbase_83");
  EXPECT_EQ(rs->RecordCount(), 67);
  EXPECT_EQ(rs->Fields("DESC").Type(), adLongVarChar);
  EXPECT_TRUE(rs->Fields("DESC").Value().toString().startsWith("Our Original assortment...a little taste of heav"));
  EXPECT_EQ(rs->Fields("ID").Value(), QVariant(QStringLiteral("87")));
  EXPECT_EQ(rs->Fields("PRICE").Value(), QVariant(QStringLiteral("0.00")));
  EXPECT_EQ(rs->Fields("TAXABLE").Type(), adBoolean);
  rs->MoveNext();
  EXPECT_EQ(rs->Fields("COST").Value(), QVariant(QStringLiteral("28.95")));

  auto iv = openTable(cn, "dbase_8b");
  EXPECT_EQ(iv->RecordCount(), 10);
  EXPECT_EQ(iv->Fields("CHARACTER").Value(), QVariant(QStringLiteral("One")));
  EXPECT_EQ(iv->Fields("DATE").Value(), QVariant(QDate(1970, 1, 1)));
  EXPECT_EQ(iv->Fields("LOGICAL").Value(), QVariant(true));
  EXPECT_EQ(iv->Fields("FLOAT").Type(), adDouble);
  EXPECT_DOUBLE_EQ(iv->Fields("FLOAT").Value().toDouble(), 1.23456789012346);
  EXPECT_TRUE(iv->Fields("MEMO").Value().toString().startsWith("First memo"));
}

TEST(XBaseRead, FoxProTwoTableWithMemos) {
  LUMBROOK_REQUIRE_FIXTURE(dir, "foxpro");
  auto cn = connect(folderConnection(dir));
  EXPECT_EQ(tableNames(cn), QStringList({"dbase_f5"}));
  auto rs = openTable(cn, "dbase_f5");
  EXPECT_EQ(rs->FieldCount(), 59);
  EXPECT_EQ(rs->RecordCount(), 975);
  EXPECT_EQ(rs->Fields("NOM").Value(), QVariant(QStringLiteral("joan-ramon")));
  EXPECT_EQ(rs->Fields("DATN").Value(), QVariant(QDate(1951, 1, 13)));
  EXPECT_EQ(rs->Fields("OBSE").Type(), adLongVarChar);
  int memos = 0;
  for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext())
    if (!rs->Fields("OBSE").Value().toString().isEmpty()) ++memos;
  EXPECT_GT(memos, 0);
}

TEST(XBaseRead, ContainerListsItsTablesWithLongFieldNames) {
  LUMBROOK_REQUIRE_FIXTURE(dbc, "foxpro/container/FOXPRO-DB-TEST.DBC");
  QStringList types;
  auto cn = connect(containerConnection(dbc));
  EXPECT_EQ(tableNames(cn, &types), QStringList({"types", "setup", "contacts", "calls"}));
  EXPECT_EQ(types, QStringList({"TABLE", "TABLE", "TABLE", "TABLE"}));

  auto types_ = openTable(cn, "types");
  EXPECT_EQ(types_->Fields(0).Name(), QStringLiteral("contact_type_id"));
  EXPECT_EQ(types_->Fields(0).Type(), adInteger);
  EXPECT_EQ(types_->Fields(1).Name(), QStringLiteral("contact_type"));
  EXPECT_EQ(types_->Fields(1).Value(), QVariant(QStringLiteral("Buyer")));

  auto calls = openTable(cn, "calls");
  EXPECT_EQ(calls->RecordCount(), 16);
  EXPECT_EQ(calls->Fields("call_date").Type(), adDBTimeStamp);
  EXPECT_EQ(calls->Fields("subject").Value(), QVariant(QStringLiteral("Buy flavored coffees.")));
  EXPECT_EQ(calls->Fields("notes").Type(), adLongVarChar);
  EXPECT_TRUE(calls->Fields("call_date").Value().toDateTime().isValid());

  // The same files opened as free tables keep the 10-character names.
  auto free = connect(folderConnection(QFileInfo(dbc).absolutePath()));
  auto t = openTable(free, "types");
  EXPECT_EQ(t->Fields(0).Name(), QStringLiteral("CONTACT_TY"));
  EXPECT_EQ(t->Fields(1).Name(), QStringLiteral("CONTACT_T2"));
}

TEST(XBaseRead, VisualFoxProBinaryFieldsAndNullFlags) {
  testsupport::TempDir tmp;
  const QDateTime stamp = makeDateTime(QDate(2005, 1, 2), QTime(10, 5, 7));
  double d = 2.5;
  uint64_t dbits;
  std::memcpy(&dbits, &d, 8);
  const QByteArray rec1 = le32(uint32_t(-5)) + le64(123456) + le64(dbits) + le32(uint32_t(stamp.date().toJulianDay())) +
                          le32(uint32_t(stamp.time().msecsSinceStartOfDay())) + QByteArray("abc").leftJustified(9, '\0') +
                          char(3) + QByteArray("x").leftJustified(5, ' ') + char(0x01);
  const QByteArray rec2 = le32(7) + le64(0) + le64(0) + le32(0) + le32(0) + QByteArray("0123456789") +
                          QByteArray(5, ' ') + char(0x04);
  tmp.write("vfp.dbf", vfpTable({{"NUM", 'I', 4},
                                 {"AMOUNT", 'Y', 8},
                                 {"RATIO", 'B', 8, 2},
                                 {"STAMP", 'T', 8},
                                 {"CODE", 'V', 10, 0, 0x02},
                                 {"NOTE", 'C', 5, 0, 0x02},
                                 {"_NullFlags", '0', 1, 0, 0x05}},
                                {rec1, rec2}));
  auto rs = openTable(connect(folderConnection(tmp.path())), "vfp");
  ASSERT_EQ(rs->FieldCount(), 6);  // _NullFlags stays hidden
  EXPECT_EQ(rs->Fields("NUM").Type(), adInteger);
  EXPECT_EQ(rs->Fields("AMOUNT").Type(), adCurrency);
  EXPECT_EQ(rs->Fields("RATIO").Type(), adDouble);
  EXPECT_EQ(rs->Fields("STAMP").Type(), adDBTimeStamp);
  EXPECT_EQ(rs->Fields("CODE").Type(), adVarChar);
  EXPECT_EQ(rs->Fields("NUM").Value(), QVariant(qlonglong(-5)));
  EXPECT_DOUBLE_EQ(rs->Fields("AMOUNT").Value().toDouble(), 12.3456);
  EXPECT_DOUBLE_EQ(rs->Fields("RATIO").Value().toDouble(), 2.5);
  EXPECT_EQ(rs->Fields("STAMP").Value().toDateTime(), stamp);
  EXPECT_EQ(rs->Fields("CODE").Value(), QVariant(QStringLiteral("abc")));  // short varchar: length in last byte
  EXPECT_EQ(rs->Fields("NOTE").Value(), QVariant(QStringLiteral("x")));
  rs->MoveNext();
  EXPECT_EQ(rs->Fields("CODE").Value(), QVariant(QStringLiteral("0123456789")));
  EXPECT_FALSE(rs->Fields("STAMP").Value().isValid());  // an empty date-time is Null
  EXPECT_FALSE(rs->Fields("NOTE").Value().isValid());  // bit 2: CODE has bits 0 (length) and 1 (null)
}

TEST(XBaseRead, CodePageFromTheLanguageDriverByte) {
  testsupport::TempDir tmp;
  tmp.write("cyr.dbf", vfpTable({{"NAME", 'C', 6}}, {QByteArray("\xCC\xE8\xF0")}, 0xC9));   // cp1251
  tmp.write("dos.dbf", vfpTable({{"NAME", 'C', 6}}, {QByteArray("\x8C\xA8\xE0")}, 0x26));   // cp866
  tmp.write("west.dbf", vfpTable({{"NAME", 'C', 6}}, {QByteArray("Caf\xE9")}, 0x03));       // cp1252
  tmp.write("oem.dbf", vfpTable({{"NAME", 'C', 6}}, {QByteArray("Caf\x82")}, 0x01));        // cp437
  auto cn = connect(folderConnection(tmp.path()));
  EXPECT_EQ(openTable(cn, "cyr")->Fields(0).Value(), QVariant(QString::fromUtf8("Мир")));
  EXPECT_EQ(openTable(cn, "dos")->Fields(0).Value(), QVariant(QString::fromUtf8("Мир")));
  EXPECT_EQ(openTable(cn, "west")->Fields(0).Value(), QVariant(QString::fromUtf8("Café")));
  EXPECT_EQ(openTable(cn, "oem")->Fields(0).Value(), QVariant(QString::fromUtf8("Café")));
}

TEST(XBaseRead, DeletedRecordsAreNotShownAndKeepTheirRecordNumbers) {
  testsupport::TempDir tmp;
  tmp.write("del.dbf", vfpTable({{"NAME", 'C', 4}}, {"one", "*two", "tre"}));
  auto rs = openTable(connect(folderConnection(tmp.path())), "del");
  ASSERT_EQ(rs->RecordCount(), 2);
  EXPECT_EQ(rs->Fields(0).Value(), QVariant(QStringLiteral("one")));
  rs->MoveNext();
  EXPECT_EQ(rs->Fields(0).Value(), QVariant(QStringLiteral("tre")));
  EXPECT_EQ(rs->store().rowKey(1), 2);

  // Deleted=No shows them.
  QString cs = folderConnection(tmp.path());
  cs.replace("Deleted=Yes", "Deleted=No");
  EXPECT_EQ(openTable(connect(cs), "del")->RecordCount(), 3);
}

TEST(XBaseRead, MissingFolderOrContainerIsAClearError) {
  try {
    connect(folderConnection("/nonexistent/folder"));
    FAIL() << "opened a missing folder";
  } catch (const Error& e) {
    EXPECT_TRUE(e.description().contains("/nonexistent/folder"));
  }
  EXPECT_THROW(connect(containerConnection("/nonexistent/db.dbc")), Error);
}

TEST(XBaseRead, StatementsWithBraceDateLiteralsAndQuotedNames) {
  LUMBROOK_REQUIRE_FIXTURE(dir, "dbase");
  testsupport::TempDir tmp;
  copyFiles(dir, tmp.path(), "dbase_8b");
  QFile::rename(tmp.file("dbase_8b.dbf"), tmp.file("eight b.dbf"));
  QFile::rename(tmp.file("dbase_8b.dbt"), tmp.file("eight b.dbt"));
  auto cn = connect(folderConnection(tmp.path()));
  auto rs = std::make_unique<Recordset>();
  rs->setCursorLocation(adUseClient);
  rs->Open("SELECT * FROM \"eight b\" WHERE DATE = {12/31/1970}", cn, adOpenKeyset, adLockBatchOptimistic, adCmdText);
  ASSERT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(rs->Fields("CHARACTER").Value(), QVariant(QStringLiteral("Two")));
  EXPECT_TRUE(rs->Fields("MEMO").Value().toString().size() > 0);
}
