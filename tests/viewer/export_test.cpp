#include "viewertestsupport.h"

#include "dataaccess/error.h"
#include "dataaccess/rowstore.h"
#include "dataaccess/values.h"
#include "testsupport/tempdir.h"
#include "viewer/datasource/paths.h"
#include "viewer/datasource/sourcestate.h"
#include "viewer/mainwindow/export.h"

#include <QBuffer>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace viewer;
using testsupport::TempDir;

namespace {

// Fields A (integer) and B (text), rows (1, Null) and (2, "x") and (3, "y").
std::unique_ptr<dataaccess::Recordset> sample(int rows = 3) {
  auto store = std::make_shared<dataaccess::RowStore>(
      std::vector<dataaccess::FieldInfo>{{"A", dataaccess::adInteger, 4}, {"B", dataaccess::adVarWChar, 10}});
  const std::vector<std::vector<QVariant>> data = {
      {qlonglong(1), QVariant()}, {qlonglong(2), QString("x")}, {qlonglong(3), QString("y")}};
  for (int i = 0; i < rows; ++i) store->appendRow(data[size_t(i)]);
  auto rs = std::make_unique<dataaccess::Recordset>();
  rs->attach(store, nullptr, "SELECT * FROM t", dataaccess::adOpenStatic, dataaccess::adLockReadOnly);
  return rs;
}

}  // namespace

TEST(Export, FormatKeysAndFilterIndexes) {
  bool ok = true;
  EXPECT_EQ(ExportFormatFromKey("", &ok), xml_row);
  EXPECT_FALSE(ok);
  EXPECT_EQ(ExportFormatFromKey("txt_comma", &ok), txt_comma);
  EXPECT_TRUE(ok);
  EXPECT_EQ(ExportFormatKey(xml_attr), "xml_attr");
  EXPECT_EQ(ExportFilterIndex(xml_ent), 2);
  EXPECT_EQ(ExportFilterIndex(txt_tab), 3);
}

TEST(Export, DelimitedTextHasEveryRowAndKeepsTheCurrentRecord) {
  TempDir dir;
  auto rs = sample(2);
  WriteExport(*rs, txt_tab, dir.file("t.txt"), "windows-1251");
  EXPECT_EQ(dir.read("t.txt"), QByteArray("A\tB\r\n1\t\r\n2\tx\r\n"));
  EXPECT_EQ(rs->AbsolutePosition(), 1);

  // A user who clicked the third row still gets every row.
  auto third = sample();
  third->setAbsolutePosition(3);
  WriteExport(*third, txt_comma, dir.file("c.txt"), "");
  EXPECT_EQ(dir.read("c.txt"), QByteArray("A,B\r\n1,\r\n2,x\r\n3,y\r\n"));
  EXPECT_EQ(third->AbsolutePosition(), 3);

  third->MoveLast();
  third->MoveNext();
  for (ExportFormat f : {xml_row, xml_ent, txt_tab}) {
    WriteExport(*third, f, dir.file("again"), "UTF-8");
    EXPECT_TRUE(third->IsEOF()) << "format " << int(f);
  }
}

TEST(Export, ValuesThatHoldTheSeparatorQuotesOrLineBreaksAreQuoted) {
  auto store = std::make_shared<dataaccess::RowStore>(std::vector<dataaccess::FieldInfo>{
      {"Name", dataaccess::adVarWChar, 50}, {"Street, No", dataaccess::adVarWChar, 50}});
  store->appendRow({QString("Smith, John"), QString("1 \"Main\" St\r\nFlat 2")});
  store->appendRow({QString("plain"), QString("tab\there")});
  store->appendRow({QString("say \"hi\""), QString("line\nbreak")});
  dataaccess::Recordset rs;
  rs.attach(store, nullptr, "SELECT * FROM t", dataaccess::adOpenStatic, dataaccess::adLockReadOnly);

  EXPECT_EQ(ExportBytes(rs, txt_comma, ""),
            QByteArray("Name,\"Street, No\"\r\n"
                       "\"Smith, John\",\"1 \"\"Main\"\" St\r\nFlat 2\"\r\n"
                       "plain,tab\there\r\n"
                       "\"say \"\"hi\"\"\",\"line\nbreak\"\r\n"));
  // With TAB as separator the comma is harmless and the tab is quoted.
  EXPECT_EQ(ExportBytes(rs, txt_tab, ""),
            QByteArray("Name\tStreet, No\r\n"
                       "Smith, John\t\"1 \"\"Main\"\" St\r\nFlat 2\"\r\n"
                       "plain\t\"tab\there\"\r\n"
                       "\"say \"\"hi\"\"\"\t\"line\nbreak\"\r\n"));
}

TEST(Export, EmptyTablesGiveTheHeaderOrAnEmptyRowset) {
  TempDir dir;
  auto empty = sample(0);
  WriteExport(*empty, txt_tab, dir.file("e.txt"), "");
  EXPECT_EQ(dir.read("e.txt"), QByteArray("A\tB\r\n"));
  WriteExport(*empty, xml_row, dir.file("e.xml"), "");
  EXPECT_EQ(dir.read("e.xml").count("<z:row"), 0);
  EXPECT_TRUE(dir.read("e.xml").contains("rs:data"));
  for (ExportFormat f : {xml_ent, xml_attr}) {
    const QByteArray xml = ExportBytes(*empty, f, "UTF-8");
    EXPECT_TRUE(xml.startsWith("<?xml")) << xml.constData();
  }
}

// Large tables are written in pieces formatted on two threads: the file must
// hold exactly the text built whole, every row once and in order, whatever
// the row widths (narrow rows first, then wide ones that change the piece size).
TEST(Export, StreamedTextEqualsTheTextBuiltWhole) {
  auto store = std::make_shared<dataaccess::RowStore>(std::vector<dataaccess::FieldInfo>{
      {"Id", dataaccess::adInteger, 4}, {"Amount", dataaccess::adDouble, 8}, {"Note", dataaccess::adLongVarWChar, 0},
      {"When", dataaccess::adDate, 8}});
  const int rows = 30000;
  for (int i = 0; i < rows; ++i) {
    QString note;
    if (i % 5 == 1) note = QStringLiteral("say \"hi\", row %1").arg(i);
    if (i % 5 == 2) note = QStringLiteral("Grüße\r\n日本\t%1").arg(i);
    if (i > rows / 2) note += QString(200 + i % 300, QLatin1Char('w'));
    store->appendRow({qlonglong(i), i % 7 ? QVariant(i * 1.25 - 3000.5) : QVariant(),
                      note.isEmpty() ? QVariant() : QVariant(note),
                      dataaccess::makeDateTime(QDate(2000, 1, 1).addDays(i % 9000), QTime(i % 24, 0))});
  }
  dataaccess::Recordset rs;
  rs.attach(store, nullptr, "SELECT * FROM t", dataaccess::adOpenStatic, dataaccess::adLockReadOnly);
  rs.setAbsolutePosition(17);
  TempDir dir;
  for (ExportFormat f : {txt_tab, txt_comma}) {
    // Built whole in one pass by the single-threaded formatter; the field
    // names need no quoting.
    const QString sep = f == txt_tab ? QStringLiteral("\t") : QStringLiteral(",");
    QByteArray whole = QStringList{"Id", "Amount", "Note", "When"}.join(sep).toUtf8() + "\r\n";
    rs.AppendDelimitedRowsUtf8(whole, sep, QStringLiteral("\r\n"), QString());
    whole = encodeText(QString::fromUtf8(whole));  // the locale's character set, as the file is written
    WriteExport(rs, f, dir.file("s.txt"), "");
    const QByteArray streamed = dir.read("s.txt");
    EXPECT_EQ(streamed.count("\r\n"), whole.count("\r\n"));
    EXPECT_TRUE(streamed == whole) << "format " << int(f) << ": sizes " << streamed.size() << " and " << whole.size();
    EXPECT_EQ(rs.AbsolutePosition(), 17);
  }
}

TEST(Export, AFailedExportLeavesTheEarlierFileAndIsShown) {
  viewertest::RecordingPrompts prompts;
  TempDir dir;
  dir.write("out.xml", "earlier");
  auto rs = sample();
  EXPECT_THROW(WriteExport(*rs, xml_ent, dir.file("out.xml"), "no-such-encoding"), dataaccess::Error);
  EXPECT_EQ(dir.read("out.xml"), QByteArray("earlier"));

  state().PageEncoding = "no-such-encoding";
  prompts.answerPath = dir.file("out.xml");
  ExportRecordset(rs.get(), xml_attr, "Orders");
  state().PageEncoding = "windows-1251";
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].icon, Prompts::Exclamation);
  EXPECT_TRUE(prompts.shown[0].text.contains(QRegularExpression("^-?\\d+: .+"))) << prompts.shown[0].text.toStdString();
  EXPECT_EQ(dir.read("out.xml"), QByteArray("earlier"));
}

TEST(Export, RowsetXmlHoldsEveryRowAndFailuresAreReported) {
  TempDir dir;
  auto rs = sample();
  rs->setAbsolutePosition(3);
  WriteExport(*rs, xml_row, dir.file("r.xml"), "");
  const QByteArray xml = dir.read("r.xml");
  EXPECT_TRUE(xml.contains("urn:schemas-microsoft-com:rowset"));
  EXPECT_EQ(xml.count("<z:row"), 3);

  dir.write("file", "x");
  auto again = sample();
  EXPECT_THROW(WriteExport(*again, txt_tab, dir.file("file/out.txt"), ""), dataaccess::Error)
      << "a file that cannot be written is not reported as written";
}

TEST(Export, CommandAsksForTheFileThenWrites) {
  viewertest::RecordingPrompts prompts;
  TempDir dir;
  ExportRecordset(nullptr, txt_tab, "Orders");
  EXPECT_EQ(prompts.lastRequest.title, "") << "no recordset: not even the dialog";

  auto rs = sample();
  ExportRecordset(rs.get(), txt_tab, "Orders");  // cancelled
  EXPECT_EQ(prompts.lastRequest.title, "Save recordset as file");
  EXPECT_EQ(prompts.lastRequest.proposedName, "Orders");
  EXPECT_EQ(prompts.lastRequest.filterIndex, 3);
  EXPECT_EQ(prompts.lastRequest.flags, 2050);
  EXPECT_EQ(prompts.lastRequest.filter, "All Files (*.*)|*.*|XML file (*.xml)|*.xml|Text file (*.txt)|*.txt");

  prompts.answerPath = dir.file("Orders");
  ExportRecordset(rs.get(), txt_tab, "Orders");
  EXPECT_TRUE(dir.read("Orders").startsWith("A\tB\r\n"));
}

namespace {

// A device that accepts `room` bytes and then fails.
class FullDevice : public QIODevice {
 public:
  explicit FullDevice(qint64 room) : room_(room) { open(QIODevice::WriteOnly); }

 protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char*, qint64 n) override {
    if (n > room_) {
      setErrorString("device full");
      return -1;
    }
    room_ -= n;
    return n;
  }

 private:
  qint64 room_;
};

std::unique_ptr<dataaccess::Recordset> manyRows(int rows) {
  auto store = std::make_shared<dataaccess::RowStore>(
      std::vector<dataaccess::FieldInfo>{{"N", dataaccess::adInteger, 4}, {"T", dataaccess::adVarWChar, 40}});
  for (int i = 0; i < rows; ++i)
    store->appendRow({qlonglong(i), i % 9 ? QVariant(QString::fromUtf16(u"Zoë <%1> Цена").arg(i)) : QVariant()});
  auto rs = std::make_unique<dataaccess::Recordset>();
  rs->attach(store, nullptr, "SELECT * FROM t", dataaccess::adOpenStatic, dataaccess::adLockReadOnly);
  return rs;
}

}  // namespace

TEST(Export, StreamedXmlIsTheSameInAFileOnADeviceAndInMemory) {
  TempDir dir;
  auto rs = manyRows(40000);  // more than one piece of output
  rs->setAbsolutePosition(7);
  for (ExportFormat f : {xml_row, xml_ent, xml_attr, txt_tab, txt_comma}) {
    const QByteArray bytes = ExportBytes(*rs, f, "windows-1251");
    WriteExport(*rs, f, dir.file("s.xml"), "windows-1251");
    EXPECT_EQ(dir.read("s.xml"), bytes) << ExportFormatKey(f).toStdString();
    QByteArray streamed;
    QBuffer buffer(&streamed);
    buffer.open(QIODevice::WriteOnly);
    WriteExportTo(*rs, f, buffer, "windows-1251");
    EXPECT_EQ(streamed, bytes) << ExportFormatKey(f).toStdString();
    EXPECT_EQ(rs->AbsolutePosition(), 7);
  }
}

TEST(Export, AStreamedExportThatCannotBeWrittenFailsAndLeavesNoFile) {
  TempDir dir;
  auto rs = manyRows(40000);
  for (ExportFormat f : {xml_ent, xml_attr}) {
    FullDevice full(1000);
    EXPECT_THROW(WriteExportTo(*rs, f, full, "UTF-8"), dataaccess::Error) << ExportFormatKey(f).toStdString();

    dir.write("file", "x");
    try {
      WriteExport(*rs, f, dir.file("file/out.xml"), "UTF-8");
      ADD_FAILURE() << "a file that cannot be written is not reported as written";
    } catch (const dataaccess::Error& e) {
      EXPECT_TRUE(e.description().contains("Error writing to file")) << e.description().toStdString();
    }
  }
  // A column name the encoding cannot hold fails before the file is touched.
  auto store = std::make_shared<dataaccess::RowStore>(
      std::vector<dataaccess::FieldInfo>{{QString::fromUtf16(u"日本"), dataaccess::adInteger, 4}});
  store->appendRow({qlonglong(1)});
  dataaccess::Recordset named;
  named.attach(store, nullptr, "SELECT * FROM t", dataaccess::adOpenStatic, dataaccess::adLockReadOnly);
  dir.write("named.xml", "earlier");
  EXPECT_THROW(WriteExport(named, xml_ent, dir.file("named.xml"), "windows-1251"), dataaccess::Error);
  EXPECT_EQ(dir.read("named.xml"), QByteArray("earlier"));
}
