// Reading Paradox tables (the real fixtures and tables made with pxlib),
// memos from .MB files, and saving edits back: each changed field in its
// own type, conflicts, the primary-key guard and all-or-nothing batches.
// pxlib itself, as an independent reader, checks what was written.
#include "dataaccess/connection.h"
#include "dataaccess/error.h"
#include "dataaccess/recordset.h"
#include "dataaccess/values.h"

#include "testsupport/fixtures.h"
#include "testsupport/tempdir.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
extern "C" {
#include <paradox.h>
}

using namespace dataaccess;

namespace {

QString connectionFor(const QString& folder) {
  return QStringLiteral("Provider=MSDASQL.1;Driver={Microsoft Paradox Driver (*.db )};Extended Properties=\"DefaultDir=%1;"
                        "DriverId=538;FIL=Paradox 5.X;MaxBufferSize=2048;PageTimeout=30;CollatingSequence=ASCII;\";"
                        "User Id=Admin;")
      .arg(folder);
}

std::shared_ptr<Connection> connect(const QString& folder) {
  auto cn = std::make_shared<Connection>();
  cn->Open(connectionFor(folder));
  return cn;
}

std::unique_ptr<Recordset> open(const std::shared_ptr<Connection>& cn, const QString& table) {
  auto rs = std::make_unique<Recordset>();
  rs->setCursorLocation(adUseClient);
  rs->Open(QStringLiteral("SELECT * FROM \"%1\"").arg(table), cn, adOpenKeyset, adLockBatchOptimistic, adCmdText);
  return rs;
}

QByteArray bytesOf(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void copyTable(const QString& from, const QString& to, const QString& base) {
  for (const QString& n : QDir(from).entryList(QDir::Files))
    if (n.section('.', 0, 0).compare(base, Qt::CaseInsensitive) == 0) {
      QFile::copy(QDir(from).filePath(n), QDir(to).filePath(n));
      QFile::setPermissions(QDir(to).filePath(n), QFile::ReadOwner | QFile::WriteOwner);
    }
}

// pxlib's own reading of one field of one record: alpha as text, numbers
// and dates as numbers. An independent check of what Lumbrook wrote.
struct PxReader {
  explicit PxReader(const QString& path) {
    doc = PX_new();
    ok = PX_open_file(doc, QFile::encodeName(path).constData()) == 0;
  }
  ~PxReader() {
    PX_close(doc);
    PX_delete(doc);
  }
  char* field(int rec, int index, QByteArray& buffer) {
    pxhead_t* h = doc->px_head;
    buffer.resize(h->px_recordsize);
    if (!PX_get_record(doc, rec, buffer.data())) return nullptr;
    int offset = 0;
    for (int i = 0; i < index; ++i) offset += h->px_fields[i].px_flen;
    return buffer.data() + offset;
  }
  QString alpha(int rec, int index) {
    QByteArray b;
    char* p = field(rec, index, b);
    char* value = nullptr;
    if (!p || PX_get_data_alpha(doc, p, doc->px_head->px_fields[index].px_flen, &value) <= 0) return {};
    QString s = QString::fromLatin1(value);
    doc->free(doc, value);
    return s;
  }
  double number(int rec, int index) {
    QByteArray b;
    char* p = field(rec, index, b);
    double v = 0;
    if (p) PX_get_data_double(doc, p, 8, &v);
    return v;
  }
  long longValue(int rec, int index) {
    QByteArray b;
    char* p = field(rec, index, b);
    long v = 0;
    if (p) PX_get_data_long(doc, p, 4, &v);
    return v;
  }
  int byteValue(int rec, int index) {
    QByteArray b;
    char* p = field(rec, index, b);
    char v = -1;
    if (p && PX_get_data_byte(doc, p, 1, &v) <= 0) return -1;
    return v;
  }
  pxdoc_t* doc;
  bool ok;
};

// A table made with pxlib's own writer.
void makeTable(const QString& path) {
  const char* names[6] = {"Name", "Done", "Amount", "Count", "Due", "At"};
  const char types[6] = {pxfAlpha, pxfLogical, pxfNumber, pxfShort, pxfDate, pxfTime};
  const int lengths[6] = {12, 1, 8, 2, 4, 4};
  pxdoc_t* doc = PX_new();
  // pxlib owns the field list and frees it with the document.
  auto* fields = static_cast<pxfield_t*>(doc->malloc(doc, 6 * sizeof(pxfield_t), "fields"));
  for (int i = 0; i < 6; ++i) {
    fields[i].px_fname = PX_strdup(doc, names[i]);
    fields[i].px_ftype = types[i];
    fields[i].px_flen = lengths[i];
    fields[i].px_fdc = 0;
  }
  ASSERT_EQ(PX_create_file(doc, fields, 6, QFile::encodeName(path).constData(), pxfFileTypNonIndexDB), 0);
  PX_set_parameter(doc, "codepage", "1252");
  for (int r = 0; r < 3; ++r) {
    QByteArray rec(doc->px_head->px_recordsize, '\0');
    char* p = rec.data();
    QByteArray name = "item " + QByteArray::number(r);
    PX_put_data_alpha(doc, p, 12, name.data());
    PX_put_data_byte(doc, p + 12, 1, r % 2);
    PX_put_data_double(doc, p + 13, 8, r * 1.5);
    PX_put_data_short(doc, p + 21, 2, short(r * 10));
    PX_put_data_long(doc, p + 23, 4, PX_GregorianToSdn(2024, 1, r + 1) - 1721425);
    PX_put_data_long(doc, p + 27, 4, (10 * 3600 + r) * 1000);
    PX_put_record(doc, p);
  }
  PX_close(doc);
  PX_delete(doc);
}

}  // namespace

TEST(ParadoxRead, FolderListsEveryDbFileAsATable) {
  LUMBROOK_REQUIRE_FIXTURE(dir, "paradox");
  auto cn = connect(dir);
  EXPECT_EQ(cn->providerName(), QStringLiteral("paradox"));
  auto rs = cn->OpenSchema(adSchemaTables);
  QStringList names;
  for (; !rs->IsEOF(); rs->MoveNext()) {
    names << rs->Fields("TABLE_NAME").Value().toString();
    EXPECT_EQ(rs->Fields("TABLE_TYPE").Value().toString(), QStringLiteral("TABLE"));
  }
  EXPECT_EQ(names, QStringList({"bcd", "bytes", "CONTACTS", "CUSTOMER", "date4", "fmemo", "ORDERS", "SERVER", "time"}));
}

TEST(ParadoxRead, CustomerTableWithMemosInlineAndInTheMbFile) {
  LUMBROOK_REQUIRE_FIXTURE(dir, "paradox");
  auto rs = open(connect(dir), "CUSTOMER");
  EXPECT_EQ(rs->RecordCount(), 20);
  EXPECT_EQ(rs->Fields("CustNo").Type(), adInteger);
  EXPECT_EQ(rs->Fields("FirstName").Type(), adVarWChar);
  EXPECT_EQ(rs->Fields("FirstName").DefinedSize(), 51);
  EXPECT_EQ(rs->Fields("Comments").Type(), adLongVarWChar);
  EXPECT_EQ(rs->Fields("DateEntered").Type(), adDBDate);
  // A memo short enough to live in its record...
  EXPECT_TRUE(rs->Fields("Comments").Value().toString().startsWith("Small comment (less 100 symbol"));
  EXPECT_EQ(rs->Fields("Comments").Value().toString().size(), 32);
  // ...and longer ones from sub-allocated blocks of the .MB file.
  rs->MoveNext();
  EXPECT_TRUE(rs->Fields("Comments").Value().toString().startsWith("\tThe length of the leader may be zero fo"));
  EXPECT_EQ(rs->Fields("Comments").Value().toString().size(), 518);
  rs->MoveNext();
  EXPECT_TRUE(rs->Fields("Comments").Value().toString().startsWith("mvn versions:set -DgenerateBac"));
}

TEST(ParadoxRead, FormattedMemoShowsItsText) {
  LUMBROOK_REQUIRE_FIXTURE(dir, "paradox");
  auto rs = open(connect(dir), "fmemo");
  EXPECT_EQ(rs->Fields("FMEMO").Type(), adLongVarWChar);
  EXPECT_EQ(rs->Fields("FMEMO").Value(), QVariant(QStringLiteral("123")));
  rs->MoveNext();
  EXPECT_TRUE(rs->Fields("FMEMO").Value().toString().startsWith("01234567890012345678900123456789"));
}

TEST(ParadoxRead, NumbersMoneyDatesTimesAndBcd) {
  LUMBROOK_REQUIRE_FIXTURE(dir, "paradox");
  auto cn = connect(dir);
  auto orders = open(cn, "ORDERS");
  EXPECT_EQ(orders->RecordCount(), 224);
  EXPECT_EQ(orders->Fields("Order No").Type(), adDouble);
  EXPECT_EQ(orders->Fields("Total Invoice").Type(), adCurrency);
  EXPECT_EQ(orders->Fields("Sale Date").Type(), adDBDate);
  EXPECT_TRUE(orders->Fields("Sale Date").Value().toDate().isValid());
  EXPECT_GT(orders->Fields("Order No").Value().toDouble(), 0);

  auto time = open(cn, "time");
  EXPECT_EQ(time->Fields(0).Type(), adDBTime);
  EXPECT_TRUE(time->Fields(0).Value().toTime().isValid());

  auto bcd = open(cn, "bcd");
  EXPECT_EQ(bcd->Fields("A").Type(), adNumeric);
  EXPECT_EQ(bcd->Fields("A").NumericScale(), 2);
}

TEST(ParadoxRead, TableMadeByPxlibReadsBack) {
  testsupport::TempDir tmp;
  makeTable(tmp.file("made.db"));
  auto rs = open(connect(tmp.path()), "made");
  ASSERT_EQ(rs->RecordCount(), 3);
  rs->Move(1);
  EXPECT_EQ(rs->Fields("Name").Value(), QVariant(QStringLiteral("item 1")));
  EXPECT_EQ(rs->Fields("Done").Value(), QVariant(true));
  EXPECT_EQ(rs->Fields("Amount").Value(), QVariant(1.5));
  EXPECT_EQ(rs->Fields("Count").Value(), QVariant(qlonglong(10)));
  EXPECT_EQ(rs->Fields("Due").Value(), QVariant(QDate(2024, 1, 2)));
  EXPECT_EQ(rs->Fields("At").Value(), QVariant(QTime(10, 0, 1)));
}

TEST(ParadoxRead, PasswordProtectedTableIsRefused) {
  LUMBROOK_REQUIRE_FIXTURE(dir, "paradox");
  testsupport::TempDir tmp;
  copyTable(dir, tmp.path(), "CONTACTS");
  QFile f(tmp.file("CONTACTS.DB"));
  ASSERT_TRUE(f.open(QIODevice::ReadWrite));
  f.seek(0x5C);  // the password checksum of Paradox 4 and later tables
  f.write("\x12\x34\x56\x78", 4);
  f.close();
  try {
    open(connect(tmp.path()), "CONTACTS");
    FAIL() << "rows of a protected table were shown";
  } catch (const Error& e) {
    EXPECT_TRUE(e.description().contains("password")) << e.description().toStdString();
  }
}

class ParadoxWrite : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = testsupport::fixture("paradox");
    if (dir.isEmpty()) GTEST_SKIP() << "fixtures not available";
    copyTable(dir, tmp.path(), "CUSTOMER");
    copyTable(dir, tmp.path(), "ORDERS");
    cn = connect(tmp.path());
  }
  QString dir;
  testsupport::TempDir tmp;
  std::shared_ptr<Connection> cn;
};

TEST_F(ParadoxWrite, WritesTextDateAndMemoThatPxlibReadsBack) {
  auto rs = open(cn, "CUSTOMER");
  rs->Move(3);
  const QString longMemo = QString("A memo longer than the hundred bytes that fit in the record. ").repeated(5);
  rs->Fields("FirstName").setValue(QString::fromUtf8("Zoë"));
  rs->Fields("DateEntered").setValue(QDate(2021, 6, 30));
  rs->Fields("Comments").setValue(longMemo);
  rs->UpdateBatch();

  PxReader px(tmp.file("CUSTOMER.DB"));
  ASSERT_TRUE(px.ok);
  EXPECT_EQ(px.alpha(3, 1), QString::fromLatin1("Zo\xEB"));  // code page 1252
  EXPECT_EQ(px.longValue(3, 9), long(QDate(2021, 6, 30).toJulianDay() - 1721425));

  auto again = open(connect(tmp.path()), "CUSTOMER");
  again->Move(3);
  EXPECT_EQ(again->Fields("FirstName").Value(), QVariant(QString::fromUtf8("Zoë")));
  EXPECT_EQ(again->Fields("DateEntered").Value(), QVariant(QDate(2021, 6, 30)));
  EXPECT_EQ(again->Fields("Comments").Value(), QVariant(longMemo));
  // The other memos still read.
  again->Move(-2);
  EXPECT_EQ(again->Fields("Comments").Value().toString().size(), 518);

  // A short memo goes back into the record.
  again->Fields("Comments").setValue(QStringLiteral("short"));
  again->UpdateBatch();
  auto third = open(connect(tmp.path()), "CUSTOMER");
  third->Move(1);
  EXPECT_EQ(third->Fields("Comments").Value(), QVariant(QStringLiteral("short")));
}

TEST_F(ParadoxWrite, KeyFieldEditRefusedAndOtherFieldsWritten) {
  auto rs = open(cn, "ORDERS");
  const QByteArray before = bytesOf(tmp.file("ORDERS.DB"));
  rs->Fields("Order No").setValue(1.0);
  EXPECT_THROW(rs->UpdateBatch(), Error);
  EXPECT_EQ(bytesOf(tmp.file("ORDERS.DB")), before);
  rs->CancelBatch();
  rs->Fields("Total Invoice").setValue(1234.56);
  rs->Fields("Ship VIA").setValue(QStringLiteral("Boat"));
  rs->UpdateBatch();
  PxReader px(tmp.file("ORDERS.DB"));
  EXPECT_DOUBLE_EQ(px.number(0, 5), 1234.56);
  EXPECT_EQ(px.alpha(0, 4), QStringLiteral("Boat"));
}

TEST_F(ParadoxWrite, RefusalAndConflictLeaveBothFilesByteIdentical) {
  const QByteArray db = bytesOf(tmp.file("CUSTOMER.DB")), mb = bytesOf(tmp.file("CUSTOMER.MB"));
  auto rs = open(cn, "CUSTOMER");
  rs->Fields("Comments").setValue(QString(300, QLatin1Char('m')));
  rs->MoveNext();
  rs->Fields("City").setValue(QStringLiteral("A city name far too long"));  // 15 characters at most
  try {
    rs->UpdateBatch();
    FAIL();
  } catch (const Error& e) {
    EXPECT_TRUE(e.description().contains("City"));
  }
  EXPECT_EQ(bytesOf(tmp.file("CUSTOMER.DB")), db);
  EXPECT_EQ(bytesOf(tmp.file("CUSTOMER.MB")), mb);

  // Another program changes the first record meanwhile.
  auto other = open(connect(tmp.path()), "CUSTOMER");
  other->Fields("City").setValue(QStringLiteral("Elsewhere"));
  other->UpdateBatch();
  const QByteArray db2 = bytesOf(tmp.file("CUSTOMER.DB")), mb2 = bytesOf(tmp.file("CUSTOMER.MB"));
  rs->Fields("City").setValue(QStringLiteral("Short"));
  try {
    rs->UpdateBatch();
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), err::kRowConflict);
  }
  EXPECT_EQ(bytesOf(tmp.file("CUSTOMER.DB")), db2);
  EXPECT_EQ(bytesOf(tmp.file("CUSTOMER.MB")), mb2);
  rs->MoveFirst();
  rs->Resync(adAffectCurrent);
  EXPECT_EQ(rs->Fields("City").Value(), QVariant(QStringLiteral("Elsewhere")));
}

TEST(ParadoxWriteMade, LogicalNumberShortAndTime) {
  testsupport::TempDir tmp;
  makeTable(tmp.file("made.db"));
  auto rs = open(connect(tmp.path()), "made");
  rs->Fields("Done").setValue(true);
  rs->Fields("Amount").setValue(QStringLiteral("-7.25"));
  rs->Fields("Count").setValue(QStringLiteral("-3"));
  rs->Fields("At").setValue(QTime(23, 59, 59));
  rs->MoveNext();
  rs->Fields("Done").setValue(false);
  EXPECT_THROW(rs->Fields("Count").setValue(QStringLiteral("40000")), Error);  // too big for a short
  rs->Fields("Count").setValue(QStringLiteral("-32768"));  // a short, but Paradox's own Null pattern
  EXPECT_THROW(rs->UpdateBatch(), Error);
  rs->Fields("Count").setValue(QStringLiteral("4"));
  rs->UpdateBatch();

  PxReader px(tmp.file("made.db"));
  ASSERT_TRUE(px.ok);
  EXPECT_EQ(px.byteValue(0, 1), 1);
  EXPECT_EQ(px.byteValue(1, 1), 0);
  EXPECT_DOUBLE_EQ(px.number(0, 2), -7.25);
  EXPECT_EQ(px.longValue(0, 5), long((23 * 3600 + 59 * 60 + 59) * 1000));
}

TEST(ParadoxRead, StatementsWithHashDateLiterals) {
  LUMBROOK_REQUIRE_FIXTURE(dir, "paradox");
  auto cn = connect(dir);
  auto all = open(cn, "ORDERS");
  const QDate first = all->Fields("Sale Date").Value().toDate();
  Recordset rs;
  rs.setCursorLocation(adUseClient);
  rs.Open(QStringLiteral("SELECT * FROM ORDERS WHERE \"Sale Date\" = #%1#").arg(first.toString("M/d/yyyy")), cn,
          adOpenKeyset, adLockBatchOptimistic, adCmdText);
  ASSERT_GE(rs.RecordCount(), 1);
  EXPECT_EQ(rs.Fields("Sale Date").Value(), QVariant(first));
}
