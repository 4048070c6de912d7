// The attribute and entity shapes written straight from the rows must give
// exactly the bytes of the stylesheet path (persist, clean, parse,
// transform, encode), whatever the values, names and encoding.
#include "converter/convertor.h"
#include "converter/rowsetshapes.h"
#include "converter/xmltextfile.h"

#include "converter_testutil.h"

#include "dataaccess/stream.h"

#include <QBuffer>
#include <QUuid>
#include <gtest/gtest.h>

using namespace quillon;
using dataaccess::FieldInfo;

namespace {

QString persistedTextOf(dataaccess::Recordset& rs) {
  dataaccess::Stream stream;
  stream.setType(dataaccess::adTypeBinary);
  stream.Open();
  rs.Save(stream);
  stream.setPosition(0);
  stream.setType(dataaccess::adTypeText);
  stream.setCharset("UTF-16");
  return stream.ReadText();
}

QByteArray throughStylesheet(dataaccess::Recordset& rs, int style, const QString& encoding) {
  QString parseError;
  const QString text = ConvertPersistedText(persistedTextOf(rs), style, &parseError, encoding,
                                            ConversionPath::Stylesheet);
  EXPECT_TRUE(parseError.isEmpty()) << parseError.toStdString();
  return encodeXmlText(text);
}

QByteArray streamed(dataaccess::Recordset& rs, int style, const QString& encoding) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  exportXmlTo(rs, style, encoding, buffer);
  return bytes;
}

void expectSameBytes(dataaccess::Recordset& rs, const char* what,
                     std::initializer_list<const char*> encodings = {"UTF-8", "windows-1251", "", "UTF-16"}) {
  for (int style : {int(xrsAttribute), int(xrsEntity)}) {
    for (const char* encoding : encodings) {
      const QByteArray expected = throughStylesheet(rs, style, QString::fromLatin1(encoding));
      const QByteArray got = streamed(rs, style, QString::fromLatin1(encoding));
      EXPECT_EQ(got, expected) << what << ", style " << style << ", encoding '" << encoding << "'";
    }
  }
}

// Text values that exercise every rule of the path: markup characters,
// line breaks and tabs, control characters, characters XML cannot carry,
// non-ASCII inside and outside the 8-bit code page, an empty string.
const QString kTexts[] = {
    "",
    " ",
    "plain",
    "<&>\"'",
    "a\r\nb\nc\r",
    "tab\there\t",
    QString(QChar(0x01)) + "ctl" + QChar(0x1F) + QChar(0x0B),
    QString::fromUtf16(u"Цена € 𝄞 日本"),
    QString(QChar(0xFFFE)) + QChar(0xFFFF) + "x",
    "]]> &amp; &#x9;",
    "  leading and trailing  ",
    QString::fromUtf16(u"é"),
};

std::vector<FieldInfo> everyType() {
  using namespace dataaccess;
  return {{"Id", adInteger, 4},       {"Small", adSmallInt, 2},    {"Tiny", adUnsignedTinyInt, 1},
          {"Big", adBigInt, 8},       {"Single", adSingle, 4},     {"Double", adDouble, 8},
          {"Money", adCurrency, 8},   {"Dec", adNumeric, 19},      {"Flag", adBoolean, 2},
          {"When", adDate, 8},        {"Day", adDBDate, 6},        {"Clock", adDBTime, 6},
          {"Stamp", adDBTimeStamp, 16}, {"Guid", adGUID, 16},      {"Bytes", adVarBinary, 50},
          {"Narrow", adVarChar, 50},  {"Wide", adVarWChar, 255},   {"Memo", adLongVarWChar, 0},
          {"Fixed", adWChar, 10}};
}

std::vector<QVariant> everyTypeRow(int i) {
  const bool nulls = i % 7 == 3;
  auto v = [&](QVariant value) { return nulls ? QVariant() : value; };
  const QString text = kTexts[size_t(i) % std::size(kTexts)];
  return {QVariant(qlonglong(i)),
          v(qlonglong(i * 37 % 32767 - 16000)),
          v(qlonglong(i % 256)),
          v(qlonglong(i) * 9007199254740LL),
          v(double(float(i * 0.1f))),
          v(i * 1.0e-3 - 17.25),
          v(double(i) * 12.3456),
          v(double(i) / 7.0),
          v(i % 2 == 0),
          v(QDateTime(QDate(1899, 12, 30).addDays(i * 97), QTime(i % 24, i % 60, i % 60, i % 3 ? 0 : 250), Qt::UTC)),
          v(QDate(1970, 1, 1).addDays(i * 11)),
          v(QTime(i % 24, 7, 9)),
          v(QDateTime(QDate(2024, 2, 29), QTime(23, 59, 59), Qt::UTC).addSecs(i)),
          v(QUuid(uint(i), 2, 3, 4, 5, 6, 7, 8, 9, 10, 11)),
          v(QByteArray::fromHex("00ff10") + QByteArray::number(i)),
          v(text.left(40)),
          v(text),
          v(text.repeated(3)),
          v(text.left(10))};
}

}  // namespace

TEST(RowsetShapes, SameBytesAsTheStylesheetForEveryTypeAndAwkwardText) {
  std::vector<std::vector<QVariant>> rows;
  for (int i = 0; i < 120; ++i) rows.push_back(everyTypeRow(i));
  auto rs = convertertest::makeRecordset(everyType(), rows);
  expectSameBytes(*rs, "every type");
}

TEST(RowsetShapes, SameBytesForNamesThatAreNotXmlNames) {
  using namespace dataaccess;
  // Spaces, a leading digit, markup, a clash ignoring case, a clash with a
  // generated name, non-ASCII that the 8-bit code page holds.
  auto rs = convertertest::makeRecordset({{"Order Date", adInteger, 4},
                                          {"1st", adVarWChar, 20},
                                          {"a<b>&\"c'", adVarWChar, 20},
                                          {"name", adVarWChar, 20},
                                          {"NAME", adVarWChar, 20},
                                          {"c2", adInteger, 4},
                                          {QString::fromUtf16(u"Цена"), adDouble, 8},
                                          {"", adInteger, 4}},
                                         {{1, "x", "y", "n", "N", 2, 3.5, 4},
                                          {QVariant(), QVariant(), "", "\t", QVariant(), QVariant(), QVariant(), 0},
                                          {QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(),
                                           QVariant(), QVariant()}});
  expectSameBytes(*rs, "odd names");
}

TEST(RowsetShapes, SameBytesForAnEmptyRecordsetAndOneWithoutColumnsValues) {
  auto empty = convertertest::makeRecordset(everyType(), {});
  expectSameBytes(*empty, "empty");
  auto nulls = convertertest::makeRecordset({{"A", dataaccess::adInteger, 4}}, {{QVariant()}, {QVariant()}});
  expectSameBytes(*nulls, "only nulls");
}

TEST(RowsetShapes, EditedRowsAreWrittenWithTheirCurrentValues) {
  auto rs = convertertest::makeRecordset(everyType(), {everyTypeRow(1), everyTypeRow(2), everyTypeRow(3)});
  rs->MoveFirst();
  rs->MoveNext();
  rs->Fields("Wide").setValue(QStringLiteral("edited <\t\n> \u00e9"));
  rs->Fields("Id").setValue(QVariant());
  expectSameBytes(*rs, "edited", {"UTF-8", "windows-1251"});
}

TEST(RowsetShapes, LargeOutputInPiecesEncodesAsTheWholeText) {
  // More than one piece of output, with characters the code page lacks
  // (written as references) on both sides of the piece boundaries.
  std::vector<std::vector<QVariant>> rows;
  for (int i = 0; i < 30000; ++i)
    rows.push_back({QVariant(qlonglong(i)), QVariant(QString::fromUtf16(u"日本 Цена ") + QString::number(i))});
  auto rs = convertertest::makeRecordset({{"N", dataaccess::adInteger, 4}, {"T", dataaccess::adVarWChar, 40}}, rows);
  expectSameBytes(*rs, "large", {"windows-1251", "ISO-8859-1", "UTF-8"});
}

TEST(RowsetShapes, NameTheEncodingCannotHoldFailsBeforeAnythingIsWritten) {
  auto rs = convertertest::makeRecordset({{QString::fromUtf16(u"日本"), dataaccess::adInteger, 4}}, {{1}});
  for (int style : {int(xrsAttribute), int(xrsEntity)}) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    int streamedNumber = 0, wholeNumber = 0;
    try {
      exportXmlTo(*rs, style, "windows-1251", buffer);
    } catch (const dataaccess::Error& e) {
      streamedNumber = e.number();
    }
    try {
      encodeXmlText(exportXml(*rs, style, "windows-1251"));
    } catch (const dataaccess::Error& e) {
      wholeNumber = e.number();
    }
    EXPECT_EQ(streamedNumber, kErrEncoding);
    EXPECT_EQ(streamedNumber, wholeNumber);
    EXPECT_TRUE(bytes.isEmpty());
  }
  // An unknown encoding and a malformed encoding name fail as before.
  QBuffer sink;
  sink.open(QIODevice::WriteOnly);
  EXPECT_THROW(exportXmlTo(*rs, xrsEntity, "no-such-encoding", sink), dataaccess::Error);
  EXPECT_THROW(exportXmlTo(*rs, xrsEntity, "bad name\"", sink), dataaccess::Error);
  EXPECT_TRUE(sink.data().isEmpty());
}
