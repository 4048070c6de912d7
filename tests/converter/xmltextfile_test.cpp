// Export files are written in the encoding their declaration names, and
// read back to the original text.
#include "converter/convertor.h"
#include "converter/xmltextfile.h"

#include "converter_testutil.h"
#include "testsupport/tempdir.h"

#include <QStringDecoder>
#include <vector>
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

namespace {

// The bytes (or the error) of `pieces` through one encoder, given as UTF-8
// or as UTF-16 text.
QByteArray encodePieces(const char* encoding, const std::vector<QByteArray>& pieces, bool asUtf8) {
  XmlTextEncoder encoder(QString::fromLatin1(encoding));
  QByteArray out;
  try {
    for (const QByteArray& p : pieces) out += asUtf8 ? encoder.encodeUtf8(p) : encoder.encode(QString::fromUtf8(p));
  } catch (const Error& e) {
    return "error: " + e.description().toUtf8();
  }
  return out;
}

}  // namespace

// Large pieces of UTF-8 take a direct path in single-byte encodings; every
// encoding must give exactly what the UTF-16 path gives, references and
// errors included, with the markup state carried from piece to piece.
TEST(XmlTextFile, Utf8PiecesEncodeAsTheirText) {
  const QByteArray filler = QByteArray("<row a=\"x > y\" b='it\"s'><N>plain &amp; text</N></row>").repeated(120);
  const std::vector<std::pair<const char*, std::vector<QByteArray>>> documents = {
      {"all held", {filler + "<R N=\"Цена Ёё\">Привет</R>" + filler, filler + "<R>Жж№</R>"}},
      {"accents", {filler + "<R>café naïve ß Ü</R>" + filler}},
      {"unheld in text", {filler + "<R N=\"€ 中 \xF0\x9D\x84\x9E\">中文 Ж</R>" + filler}},
      {"bad UTF-8", {filler + "<R>\xC3 \xED\xA0\x80 \xC0\xAF \xFF</R>" + filler}},
      {"byte-order mark", {"\xEF\xBB\xBF" + filler}},
      {"unheld in a name", {filler + "<Цена>1</Цена>" + filler}},
      {"references, then a name", {filler + "<R N='Zoë 𝄞'>ë€</R><Ж/>" + filler, filler + "<R>ë</R>"}},
      {"unheld in a comment", {filler + "<!-- 中 -->" + filler}},
      // A piece ending inside a tag, an attribute value and a comment: the
      // next piece's characters are judged where they stand.
      {"state across pieces", {filler + "<R N='a", "中' M=\"b" + filler, "\">中</R><!-- x" + filler, "中 -->" + filler}},
      {"tag open at a piece end", {filler + "<R", " Ж=\"1\"/>" + filler}},
  };
  for (const char* encoding :
       {"windows-1251", "windows-1252", "ISO-8859-1", "ISO-8859-5", "KOI8-R", "IBM866", "Shift_JIS", "EUC-JP", "GB18030"}) {
    for (const auto& [name, pieces] : documents) {
      const QByteArray expected = encodePieces(encoding, pieces, false);
      EXPECT_EQ(encodePieces(encoding, pieces, true), expected) << encoding << ": " << name;
    }
  }
  // The direct path is taken and right: Cyrillic in windows-1251.
  EXPECT_TRUE(encodePieces("windows-1251", documents[0].second, true).contains("\xD6\xE5\xED\xE0"));
  EXPECT_TRUE(encodePieces("ISO-8859-1", documents[2].second, true).contains("&#x20AC; &#x4E2D; &#x1D11E;"));
  EXPECT_TRUE(encodePieces("ISO-8859-1", documents[5].second, true).startsWith("error: "));
}
