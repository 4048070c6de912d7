// Export files are written in the encoding their declaration names, and
// read back to the original text.
#include "converter/convertor.h"
#include "converter/xmltextfile.h"

#include "converter_testutil.h"
#include "testsupport/tempdir.h"

#include <QStringDecoder>
#include <gtest/gtest.h>

using dataaccess::Error;
using namespace quillon;

TEST(XmlTextFile, DeclaredEncodingIsFound) {
  EXPECT_EQ(declaredEncoding("<?xml version=\"1.0\" encoding=\"windows-1251\" ?>\r\n<a/>"), "windows-1251");
  EXPECT_EQ(declaredEncoding("<?xml version='1.0' encoding='UTF-8'?><a/>"), "UTF-8");
  EXPECT_EQ(declaredEncoding("<?xml version=\"1.0\" ?>\r\n<a encoding=\"x\"/>"), "");
  EXPECT_EQ(declaredEncoding("<a/>"), "");
}

TEST(XmlTextFile, BytesAreInTheDeclaredEncoding) {
  const QString text = "<?xml version=\"1.0\" encoding=\"windows-1251\" ?>\r\n<RS><row><N>Цена</N></row></RS>";
  const QByteArray bytes = encodeXmlText(text);
  EXPECT_TRUE(bytes.contains("\xD6\xE5\xED\xE0"));  // Цена in windows-1251
  EXPECT_EQ(QStringDecoder("windows-1251").decode(bytes), text);
}

TEST(XmlTextFile, UnencodableCharactersBecomeReferencesInTextAndAttributes) {
  const QString text = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\r\n<RS><row N=\"€ é\">Ж 𝄞</row></RS>";
  const QByteArray bytes = encodeXmlText(text);
  EXPECT_TRUE(bytes.contains("N=\"&#x20AC; \xE9\""));
  EXPECT_TRUE(bytes.contains(">&#x416; &#x1D11E;<"));
}

TEST(XmlTextFile, UnencodableCharacterInANameIsAnError) {
  const QString text = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\r\n<RS><Цена>1</Цена></RS>";
  EXPECT_THROW(encodeXmlText(text), Error);
}

TEST(XmlTextFile, UnknownEncodingIsAnError) {
  try {
    encodeXmlText("<?xml version=\"1.0\" encoding=\"no-such-charset\" ?>\r\n<a/>");
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrEncoding);
    EXPECT_TRUE(e.description().contains("no-such-charset"));
  }
}

TEST(XmlTextFile, Utf16GetsAByteOrderMarkAndNoDeclarationMeansUtf8) {
  const QByteArray utf16 = encodeXmlText("<?xml version=\"1.0\" encoding=\"UTF-16\" ?>\r\n<a/>");
  EXPECT_TRUE(utf16.startsWith(QByteArrayView("\xFF\xFE<\0", 4)) || utf16.startsWith(QByteArrayView("\xFE\xFF\0<", 4)));
  EXPECT_EQ(encodeXmlText("<?xml version=\"1.0\" ?>\r\n<a>é</a>"), QString("<?xml version=\"1.0\" ?>\r\n<a>é</a>").toUtf8());
}

// The whole export path: recordset -> converter -> file -> parse back.
TEST(XmlTextFile, ExportedFileReadsBackToTheOriginalValues) {
  testsupport::TempDir dir;
  auto rs = convertertest::makeRecordset({{"Name", dataaccess::adVarWChar, 50}},
                                         {{QString("Цена €")}, {QString("plain")}});
  for (const char* encoding : {"windows-1251", "UTF-8", "ISO-8859-1"}) {
    const QString path = dir.file(QString("out-%1.xml").arg(encoding));
    writeXmlTextFile(path, exportXml(*rs, xrsEntity, encoding));
    const QByteArray bytes = dir.read(QString("out-%1.xml").arg(encoding));
    const QString text = QStringDecoder(encoding).decode(bytes);
    // References are resolved by the parser.
    const auto root = convertertest::parseXml(convertertest::bodyAfterDeclaration(text));
    ASSERT_EQ(root.children.size(), 2u) << encoding;
    EXPECT_EQ(root.children[0].children.at(0).text, "Цена €") << encoding;
  }
}
