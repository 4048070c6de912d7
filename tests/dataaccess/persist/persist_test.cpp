#include "dataaccess/error.h"
#include "dataaccess/providers/persist/rowsetxml.h"
#include "dataaccess/recordset.h"
#include "dataaccess/values.h"

#include "testsupport/fakeprovider.h"
#include "testsupport/tempdir.h"

#include <QBuffer>
#include <gtest/gtest.h>

using namespace dataaccess;

namespace {

std::vector<FieldInfo> everyType() {
  std::vector<FieldInfo> f = {
      {"Small", adSmallInt, 2},      {"Int", adInteger, 4},          {"Tiny", adTinyInt, 1},
      {"Byte", adUnsignedTinyInt, 1}, {"Big", adBigInt, 8},          {"Single", adSingle, 4},
      {"Double", adDouble, 8},       {"Money", adCurrency, 8},       {"Num", adNumeric, 19},
      {"Flag", adBoolean, 2},        {"When", adDate, 8},            {"Day", adDBDate, 6},
      {"Clock", adDBTime, 6},        {"Stamp", adDBTimeStamp, 16},   {"Guid", adGUID, 16},
      {"Text", adVarWChar, 50},      {"Memo", adLongVarWChar, 0},    {"Ansi", adChar, 10},
      {"Blob", adLongVarBinary, 0},  {"Bytes", adVarBinary, 8},
  };
  f[8].precision = 10;
  f[8].numericScale = 2;
  return f;
}

std::vector<QVariant> sampleRow() {
  return {qlonglong(-32768), qlonglong(2147483647), qlonglong(-128), qlonglong(255), qlonglong(-9007199254740993LL),
          double(float(1.5f)), 0.1, 12.3456, QStringLiteral("-12345678.90"), true,
          makeDateTime(QDate(1899, 12, 30), QTime(13, 14, 15)), QDate(1753, 1, 1), QTime(23, 59, 59),
          makeDateTime(QDate(2024, 2, 29), QTime(0, 0, 1)), QStringLiteral("{6F9619FF-8B86-D011-B42D-00C04FC964FF}"),
          QStringLiteral("Quote ' \" < > & end"), QStringLiteral("line1\nline2\r\nline3\ttab — ✓ Привет"),
          QStringLiteral("ansi      "), QByteArray("\0\x01\xff", 3), QByteArray("ab", 2)};
}

std::unique_ptr<Recordset> roundTrip(const std::shared_ptr<RowStore>& rows, testsupport::TempDir& dir) {
  testsupport::FakeProvider* fake = nullptr;
  auto cn = testsupport::fakeConnection(&fake);
  fake->tables["T"] = {"TABLE", rows};
  fake->order.push_back("T");
  Recordset rs;
  rs.Open("SELECT * FROM T", cn, adOpenStatic, adLockReadOnly);
  rs.Save(dir.file("t.xml"));
  auto back = std::make_unique<Recordset>();
  back->Open(dir.file("t.xml"), QStringLiteral("Provider=MSPERSIST"), adOpenStatic, adLockReadOnly, adCmdFile);
  return back;
}

void expectInvalid(const QByteArray& xml) {
  try {
    readRowsetXml(xml, "bad.xml");
    FAIL() << xml.left(200).toStdString();
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), err::kProviderFailure);
    EXPECT_TRUE(e.description().contains("bad.xml")) << e.description().toStdString();
  }
}

}  // namespace

TEST(Persist, RoundTripKeepsNamesTypesNullsAndValuesOfEveryType) {
  testsupport::TempDir dir;
  auto rows = std::make_shared<RowStore>(everyType());
  rows->appendRow(sampleRow());
  rows->appendRow(std::vector<QVariant>(everyType().size()));  // all Null
  std::vector<QVariant> empties(everyType().size());
  empties[15] = QString("");  // empty text is not Null
  rows->appendRow(empties);
  auto back = roundTrip(rows, dir);
  ASSERT_EQ(back->FieldCount(), rows->fieldCount());
  ASSERT_EQ(back->RecordCount(), 3);
  for (int f = 0; f < rows->fieldCount(); ++f) {
    EXPECT_EQ(back->Fields(f).Name(), rows->field(f).name);
    EXPECT_EQ(back->Fields(f).Type(), rows->field(f).type) << rows->field(f).name.toStdString();
    for (int64_t r = 0; r < 3; ++r)
      EXPECT_TRUE(sameValue(back->valueAt(r, f), rows->value(r, f)))
          << rows->field(f).name.toStdString() << " row " << r << ": "
          << back->valueAt(r, f).toString().toStdString() << " vs " << rows->value(r, f).toString().toStdString();
  }
  EXPECT_EQ(back->Fields("Num").Precision(), 10);
  EXPECT_EQ(back->Fields("Num").NumericScale(), 2);
  EXPECT_EQ(back->Fields("Text").DefinedSize(), 50);
  EXPECT_EQ(back->valueAt(2, 15), QVariant(QString("")));
  EXPECT_FALSE(back->valueAt(1, 15).isValid());
}

TEST(Persist, NamesThatAreNotXmlNamesSurviveUnderAnotherAttribute) {
  testsupport::TempDir dir;
  auto rows = std::make_shared<RowStore>(std::vector<FieldInfo>{
      {"Order ID", adInteger}, {"1st", adVarWChar, 10}, {"a:b", adVarWChar, 10}, {"c2", adVarWChar, 10},
      {"Ünïcode", adVarWChar, 10}, {"x\"y'<z>", adVarWChar, 10}});
  rows->appendRow({qlonglong(7), QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three"),
                   QStringLiteral("four"), QStringLiteral("five")});
  auto back = roundTrip(rows, dir);
  ASSERT_EQ(back->FieldCount(), 6);
  for (int f = 0; f < 6; ++f) {
    EXPECT_EQ(back->Fields(f).Name(), rows->field(f).name);
    EXPECT_EQ(back->valueAt(0, f), rows->value(0, f));
  }
  const QByteArray xml = dir.read("t.xml");
  EXPECT_TRUE(xml.contains("rs:name='Order ID'"));
}

TEST(Persist, WritesTheDocumentShapeOthersRelyOn) {
  testsupport::TempDir dir;
  auto rows = std::make_shared<RowStore>(std::vector<FieldInfo>{{"A", adInteger, 4}, {"B", adVarWChar, 20}});
  rows->appendRow({qlonglong(1), QStringLiteral("x")});
  roundTrip(rows, dir);
  const QString xml = QString::fromUtf8(dir.read("t.xml"));
  EXPECT_TRUE(xml.startsWith("<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882'"));
  EXPECT_TRUE(xml.contains("xmlns:rs='urn:schemas-microsoft-com:rowset'"));
  EXPECT_TRUE(xml.contains("xmlns:z='#RowsetSchema'"));
  EXPECT_TRUE(xml.contains("<s:Schema id='RowsetSchema'>"));
  EXPECT_TRUE(xml.contains("<s:datatype dt:type='int'"));
  EXPECT_TRUE(xml.contains("<s:extends type='rs:rowbase'/>"));
  EXPECT_TRUE(xml.contains("<z:row A='1' B='x'/>"));
}

TEST(Persist, SingleValuesAreWrittenWithTheDigitsOfTheFloat) {
  testsupport::TempDir dir;
  auto rows = std::make_shared<RowStore>(std::vector<FieldInfo>{{"Discount", adSingle, 4}, {"Rate", adDouble, 8}});
  rows->appendRow({double(0.15f), double(0.15f)});
  auto back = roundTrip(rows, dir);
  const QString xml = QString::fromUtf8(dir.read("t.xml"));
  EXPECT_TRUE(xml.contains("dt:type='r4'"));
  EXPECT_TRUE(xml.contains("<z:row Discount='0.15' Rate='0.15000000596046448'/>")) << xml.toStdString();
  // Read back, the Single is the same float again.
  EXPECT_EQ(float(back->Fields(0).Value().toDouble()), 0.15f);
}

TEST(Persist, RefusesDocumentsThatAreNotRowsets) {
  expectInvalid("");
  expectInvalid("not xml at all");
  expectInvalid("<html><body/></html>");
  expectInvalid("<xml xmlns:rs='urn:schemas-microsoft-com:rowset'><rs:data><z:row xmlns:z='#RowsetSchema' a='1'/>"
                "</rs:data></xml>");  // rows without a schema
  // Truncated in the middle of the rows.
  testsupport::TempDir dir;
  auto rows = std::make_shared<RowStore>(std::vector<FieldInfo>{{"A", adInteger, 4}});
  for (int i = 0; i < 100; ++i) rows->appendRow({qlonglong(i)});
  roundTrip(rows, dir);
  const QByteArray whole = dir.read("t.xml");
  expectInvalid(whole.left(whole.size() / 2));
  // A value that does not fit its column's type.
  QByteArray wrong = whole;
  wrong.replace("A='5'", "A='five'");
  expectInvalid(wrong);
}

TEST(Persist, NeverExpandsEntitiesOrReadsExternalFiles) {
  testsupport::TempDir dir;
  dir.write("secret.txt", "TOPSECRET");
  const QByteArray external = "<?xml version='1.0'?><!DOCTYPE xml [<!ENTITY e SYSTEM 'file://" +
                              dir.file("secret.txt").toUtf8() + "'>]><xml>&e;</xml>";
  expectInvalid(external);
  QByteArray laughs = "<?xml version='1.0'?><!DOCTYPE xml [<!ENTITY a 'aaaaaaaaaa'>";
  for (int i = 1; i < 10; ++i)
    laughs += "<!ENTITY " + QByteArray(1, char('a' + i)) + " '" +
              QByteArray(1, char('a' + i - 1)).repeated(1).prepend('&').append(';').repeated(10) + "'>";
  laughs += "]><xml>&j;</xml>";
  expectInvalid(laughs);
}

TEST(Persist, OpeningAMissingFileOrFolderFailsClearly) {
  testsupport::TempDir dir;
  Recordset rs;
  EXPECT_THROW(rs.Open(dir.file("none.xml"), QStringLiteral("Provider=MSPERSIST"), adOpenStatic, adLockReadOnly, adCmdFile),
               Error);
  EXPECT_THROW(rs.Open(dir.path(), QStringLiteral("Provider=MSPERSIST"), adOpenStatic, adLockReadOnly, adCmdFile),
               Error);
  EXPECT_EQ(rs.State(), adStateClosed);
}

TEST(Persist, WritesDatesAndWholeNumbersDigitForDigit) {
  testsupport::TempDir dir;
  auto rows = std::make_shared<RowStore>(std::vector<FieldInfo>{
      {"W", adDate, 8}, {"D", adDBDate, 6}, {"T", adDBTime, 6}, {"N", adBigInt, 8}});
  rows->appendRow({makeDateTime(QDate(1, 1, 1), QTime(0, 0, 0, 5)), QDate(33, 4, 5), QTime(1, 2, 3, 456),
                   qlonglong(-9223372036854775807LL - 1)});
  rows->appendRow({makeDateTime(QDate(9999, 12, 31), QTime(23, 59, 59, 999)), QDate(1899, 12, 29), QTime(0, 0),
                   qlonglong(9223372036854775807LL)});
  rows->appendRow({makeDateTime(QDate(1899, 12, 29), QTime(6, 0, 0, 120)), QDate(2024, 2, 29), QTime(23, 59, 59),
                   qlonglong(0)});
  auto back = roundTrip(rows, dir);
  const QByteArray xml = dir.read("t.xml");
  EXPECT_TRUE(xml.contains("<z:row W='0001-01-01T00:00:00.005' D='0033-04-05' T='01:02:03' N='-9223372036854775808'/>"))
      << xml.toStdString();
  EXPECT_TRUE(xml.contains("<z:row W='9999-12-31T23:59:59.999' D='1899-12-29' T='00:00:00' N='9223372036854775807'/>"));
  EXPECT_TRUE(xml.contains("<z:row W='1899-12-29T06:00:00.120' D='2024-02-29' T='23:59:59' N='0'/>"));
  ASSERT_EQ(back->RecordCount(), 3);
  EXPECT_EQ(back->valueAt(0, 0), QVariant(makeDateTime(QDate(1, 1, 1), QTime(0, 0, 0, 5))));
  EXPECT_EQ(back->valueAt(1, 3), QVariant(qlonglong(9223372036854775807LL)));
  EXPECT_EQ(back->valueAt(2, 0), QVariant(makeDateTime(QDate(1899, 12, 29), QTime(6, 0, 0, 120))));
}
