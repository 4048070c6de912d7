// The streaming path for the 101 and 103 forms must give exactly the bytes
// of the stylesheet path, over varied data; and ParseError reporting on
// persisted text that does not parse.
#include "converter/convertor.h"

#include "converter_testutil.h"

#include "dataaccess/stream.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace quillon;

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

void expectSameBothWays(const QString& persisted, const char* what) {
  for (int style : {int(xrsAttribute), int(xrsEntity)}) {
    QString fastError, slowError;
    const QString fast = ConvertPersistedText(persisted, style, &fastError, "UTF-8", ConversionPath::Automatic);
    const QString slow = ConvertPersistedText(persisted, style, &slowError, "UTF-8", ConversionPath::Stylesheet);
    EXPECT_EQ(fast, slow) << what << " style " << style;
    EXPECT_EQ(fastError, slowError) << what;
  }
}

const char kHead[] =
    "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882' xmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882' "
    "xmlns:rs='urn:schemas-microsoft-com:rowset' xmlns:z='#RowsetSchema'>";

}  // namespace

TEST(StreamingPath, SameBytesAsTheStylesheetOverVariedData) {
  const QString samples[] = {"", " ", "plain", "<&>\"'", "a\r\nb\nc\r", "Цена € 𝄞 日本", "]]>", "&amp;",
                             "tab\there", QString(QChar(0x1F)) + "ctl", "  leading and trailing  "};
  std::vector<std::vector<QVariant>> rows;
  QRandomGenerator gen(7);
  for (int i = 0; i < 200; ++i) {
    rows.push_back({i % 11 == 0 ? QVariant() : QVariant(qlonglong(gen.bounded(-1000, 1000))),
                    QVariant(samples[i % std::size(samples)]),
                    i % 5 == 0 ? QVariant() : QVariant(gen.generateDouble() * 1e6),
                    QVariant(i % 2 == 0),
                    QVariant(QDateTime(QDate(2004, 1, 1).addDays(i), QTime(i % 24, 0), Qt::UTC))});
  }
  // Column names that the writer must encode, and non-ASCII ones.
  auto rs = convertertest::makeRecordset({{"Id", dataaccess::adInteger, 4},
                                          {"Order Date & Name", dataaccess::adVarWChar, 100},
                                          {"Цена", dataaccess::adDouble, 8},
                                          {"1st", dataaccess::adBoolean, 2},
                                          {"When", dataaccess::adDate, 8}},
                                         rows);
  expectSameBothWays(persistedTextOf(*rs), "recordset");
  auto empty = convertertest::makeRecordset({{"A", dataaccess::adInteger, 4}}, {});
  expectSameBothWays(persistedTextOf(*empty), "empty recordset");
}

TEST(StreamingPath, SameBytesForUnusualShapes) {
  const QString tail = "</xml>";
  const QString cases[] = {
      QString(kHead) + "<rs:data><z:row/><z:row a=''/></rs:data>" + tail,
      QString(kHead) + "<rs:data/><rs:data><z:row a='1'><z:row a='nested'/></z:row></rs:data>" + tail,
      QString(kHead) + "<rs:data><z:row a='1' rs:forcenull='b'/></rs:data>" + tail,
      QString(kHead) + "<rs:data><row a='not a z:row'/><z:other/></rs:data><z:row a='outside'/>" + tail,
      "<notxml><rs:data xmlns:rs='urn:schemas-microsoft-com:rowset'/></notxml>",
      "<!DOCTYPE xml [<!ENTITY e 'ent'>]>" + QString(kHead) + "<rs:data><z:row a='&e;'/></rs:data>" + tail,
      QString(kHead) + "<rs:data><z:row xmlns:q='urn:q' a='1'/></rs:data>" + tail,
      QString(kHead) + "<rs:data><z:row a='1'/>" + tail,  // not well-formed
      "<r:xml xmlns:r='urn:r'/>",
  };
  for (const QString& text : cases) expectSameBothWays(text, text.toUtf8().constData());
}

TEST(ParseError, ReportsLineAndReasonThenGoesOnWithAnEmptyDocument) {
  const QString broken = QString(kHead) + "\n<rs:data>\n<z:row a='1'>\n</rs:data></xml>";
  QString parseError;
  const QString text = ConvertPersistedText(broken, xrsEntity, &parseError, "");
  EXPECT_EQ(text, "<?xml version=\"1.0\" ?>\r\n<RS/>");
  EXPECT_TRUE(parseError.startsWith("A parse error occurred on line 4\r\n")) << parseError.toStdString();
  EXPECT_TRUE(parseError.contains(": ")) << parseError.toStdString();

  // With style 0 there is no root element to return.
  EXPECT_THROW(ConvertPersistedText(broken, xrsADOPersist, &parseError, ""), dataaccess::Error);
}
