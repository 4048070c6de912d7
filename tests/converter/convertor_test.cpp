// ADORS_2_XMLString: the shapes of the four styles, the declaration line,
// the cleaning of the persisted text, and the failures a caller can meet.
#include "converter/convertor.h"

#include "converter_testutil.h"
#include "testsupport/tempdir.h"

#include <QFile>
#include <gtest/gtest.h>

using dataaccess::Error;
using namespace quillon;
using convertertest::bodyAfterDeclaration;
using convertertest::parseXml;

namespace {

Error conversionError(dataaccess::Recordset* rs, int style, QString* parseError = nullptr) {
  try {
    Convertor().ADORS_2_XMLString(rs, style, parseError);
  } catch (const Error& e) {
    return e;
  }
  ADD_FAILURE() << "no error raised";
  return Error(0, {}, {});
}

}  // namespace

TEST(ADORS_2_XMLString, AttributeFormHasOneElementPerRowAndAnAttributePerColumn) {
  auto rs = convertertest::twoColumnRecordset();
  const QString text = Convertor().ADORS_2_XMLString(rs.get(), xrsAttribute);
  EXPECT_TRUE(text.startsWith("<?xml version=\"1.0\" ?>\r\n<RS>")) << text.toStdString();
  const auto root = parseXml(bodyAfterDeclaration(text));
  EXPECT_EQ(root.name, "RS");
  EXPECT_TRUE(root.attributes.empty());
  ASSERT_EQ(root.children.size(), 1u);
  const auto& row = root.children[0];
  EXPECT_EQ(row.name, "row");
  EXPECT_TRUE(row.namespaceUri.isEmpty());
  ASSERT_EQ(row.attributes.size(), 2u);
  EXPECT_EQ(row.attributes[0], std::make_pair(QString("A"), QString("1")));
  EXPECT_EQ(row.attributes[1], std::make_pair(QString("B"), QString("x")));
  EXPECT_TRUE(row.children.empty());
}

TEST(ADORS_2_XMLString, EntityFormHasAChildElementPerColumn) {
  auto rs = convertertest::twoColumnRecordset();
  const QString text = Convertor().ADORS_2_XMLString(rs.get(), xrsEntity, nullptr, "UTF-8");
  EXPECT_TRUE(text.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n")) << text.toStdString();
  EXPECT_EQ(bodyAfterDeclaration(text), "<RS><row><A>1</A><B>x</B></row></RS>");
}

TEST(ADORS_2_XMLString, SchemaFormDescribesTheColumnsThenTheRowsInTheSchemaNamespace) {
  auto rs = convertertest::twoColumnRecordset();
  const auto root = parseXml(bodyAfterDeclaration(Convertor().ADORS_2_XMLString(rs.get(), xrsSchema)));
  EXPECT_EQ(root.name, "RS");
  ASSERT_EQ(root.children.size(), 2u);
  const auto& schema = root.children[0];
  EXPECT_EQ(schema.name, "Schema");
  EXPECT_EQ(schema.namespaceUri, "urn:schemas-microsoft-com:xml-data");
  EXPECT_EQ(schema.attribute("name"), "rowSchema");
  ASSERT_EQ(schema.children.size(), 1u);
  const auto& type = schema.children[0];
  EXPECT_EQ(type.name, "ElementType");
  EXPECT_EQ(type.attribute("name"), "row");
  EXPECT_EQ(type.attribute("content"), "empty");
  EXPECT_EQ(type.attribute("model"), "closed");
  ASSERT_EQ(type.children.size(), 4u);
  EXPECT_EQ(type.children[0].name, "AttributeType");
  EXPECT_EQ(type.children[0].attribute("name"), "A");
  EXPECT_EQ(type.children[0].attribute("dt:type"), "int");
  EXPECT_EQ(type.children[1].name, "attribute");
  EXPECT_EQ(type.children[1].attribute("type"), "A");
  EXPECT_EQ(type.children[2].attribute("dt:type"), "string");
  EXPECT_EQ(type.children[3].attribute("type"), "B");
  const auto& row = root.children[1];
  EXPECT_EQ(row.name, "row");
  EXPECT_EQ(row.namespaceUri, "x-schema:#rowSchema");
  EXPECT_EQ(row.attribute("A"), "1");
  EXPECT_EQ(row.attribute("B"), "x");
}

TEST(ADORS_2_XMLString, SchemaElementCarriesTheDataTypesAndRowsetPrefixes) {
  auto rs = convertertest::twoColumnRecordset();
  const QString body = bodyAfterDeclaration(Convertor().ADORS_2_XMLString(rs.get(), xrsSchema));
  EXPECT_TRUE(body.contains("xmlns:dt=\"urn:schemas-microsoft-com:datatypes\""));
  EXPECT_TRUE(body.contains("xmlns:rs=\"urn:schemas-microsoft-com:rowset\""));
  EXPECT_TRUE(body.contains("xmlns:z=\"#RowsetSchema\""));
  EXPECT_TRUE(body.contains("xmlns:s=\"uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882\""));
}

TEST(ADORS_2_XMLString, StyleZeroReturnsThePersistedForm) {
  auto rs = convertertest::twoColumnRecordset();
  const auto root = parseXml(bodyAfterDeclaration(Convertor().ADORS_2_XMLString(rs.get(), xrsADOPersist)));
  EXPECT_EQ(root.name, "xml");
  ASSERT_EQ(root.children.size(), 2u);
  EXPECT_EQ(root.children[0].name, "s:Schema");
  EXPECT_EQ(root.children[1].name, "rs:data");
  ASSERT_EQ(root.children[1].children.size(), 1u);
  EXPECT_EQ(root.children[1].children[0].attribute("B"), "x");
}

TEST(ADORS_2_XMLString, EmptyRecordsetGivesAnEmptyRoot) {
  auto rs = convertertest::makeRecordset({{"A", dataaccess::adInteger, 4}}, {});
  EXPECT_EQ(bodyAfterDeclaration(Convertor().ADORS_2_XMLString(rs.get(), xrsEntity)), "<RS/>");
}

TEST(ADORS_2_XMLString, TabsAreRemovedLineBreaksAndNonAsciiKept) {
  auto rs = convertertest::makeRecordset({{"T", dataaccess::adVarWChar, 100}},
                                         {{QString("a\tb")}, {QString("line1\r\nline2")}, {QString("Цена € 𝄞")}});
  for (int style : {int(xrsAttribute), int(xrsEntity)}) {
    const QString text = Convertor().ADORS_2_XMLString(rs.get(), style);
    EXPECT_FALSE(text.contains('\t'));
    const auto root = parseXml(bodyAfterDeclaration(text));
    ASSERT_EQ(root.children.size(), 3u);
    auto value = [&](int i) {
      return style == xrsAttribute ? root.children[i].attribute("T") : root.children[i].children.at(0).text;
    };
    EXPECT_EQ(value(0), "ab");
    EXPECT_EQ(value(1), "line1\r\nline2");
    EXPECT_EQ(value(2), "Цена € 𝄞");
  }
}

// Characters XML 1.0 cannot carry must not make the result malformed.
TEST(ADORS_2_XMLString, ControlCharactersStillGiveWellFormedOutput) {
  auto rs = convertertest::makeRecordset({{"T", dataaccess::adVarWChar, 100}},
                                         {{QString("a") + QChar(0x01) + QChar(0x0B) + QChar(0x1F) + "b"},
                                          {QString("c") + QChar(0xFFFF) + "d" + QChar(0xD800)}});
  QString parseError;
  const QString text = Convertor().ADORS_2_XMLString(rs.get(), xrsEntity, &parseError);
  EXPECT_TRUE(parseError.isEmpty()) << parseError.toStdString();
  const auto root = parseXml(bodyAfterDeclaration(text));
  ASSERT_EQ(root.children.size(), 2u);
  EXPECT_TRUE(root.children[0].children.at(0).text.startsWith("a"));
  EXPECT_TRUE(root.children[0].children.at(0).text.endsWith("b"));
}

TEST(ADORS_2_XMLString, NullsAreLeftOutAndAwkwardValuesEscaped) {
  auto rs = convertertest::makeRecordset(
      {{"A", dataaccess::adInteger, 4}, {"B", dataaccess::adVarWChar, 50}},
      {{QVariant(), QString("<&'\">")}, {QVariant(qlonglong(-5)), QVariant()}});
  const auto root = parseXml(bodyAfterDeclaration(Convertor().ADORS_2_XMLString(rs.get(), xrsAttribute)));
  ASSERT_EQ(root.children.size(), 2u);
  EXPECT_FALSE(root.children[0].hasAttribute("A"));
  EXPECT_EQ(root.children[0].attribute("B"), "<&'\">");
  EXPECT_EQ(root.children[1].attribute("A"), "-5");
  EXPECT_FALSE(root.children[1].hasAttribute("B"));
}

TEST(ADORS_2_XMLString, LeavesTheRecordsetOnItsFirstRecordAndRepeatsItself) {
  auto rs = convertertest::makeRecordset({{"N", dataaccess::adInteger, 4}},
                                         {{qlonglong(1)}, {qlonglong(2)}, {qlonglong(3)}});
  rs->MoveLast();
  Convertor c;
  const QString first = c.ADORS_2_XMLString(rs.get(), xrsEntity);
  EXPECT_EQ(rs->AbsolutePosition(), 1);
  rs->MoveNext();
  EXPECT_EQ(c.ADORS_2_XMLString(rs.get(), xrsEntity), first);
  EXPECT_EQ(bodyAfterDeclaration(first), "<RS><row><N>1</N></row><row><N>2</N></row><row><N>3</N></row></RS>");
}

TEST(ADORS_2_XMLString, NoRecordsetOrServerCursorAreUnknownWithTheirNumbers) {
  Error none = conversionError(nullptr, xrsAttribute);
  EXPECT_EQ(none.number(), errUnknown);
  EXPECT_EQ(none.source(), "Convertor.ADORS_2_XMLString");
  EXPECT_TRUE(none.description().startsWith("-2147220883:"));

  auto rs = convertertest::twoColumnRecordset();
  rs->setCursorLocation(dataaccess::adUseServer);
  Error server = conversionError(rs.get(), xrsAttribute);
  EXPECT_EQ(server.number(), errUnknown);
  EXPECT_TRUE(server.description().startsWith("-2147220884:"));
}

TEST(ADORS_2_XMLString, UnknownStyleAndClosedRecordsetAreUnknown) {
  auto rs = convertertest::twoColumnRecordset();
  Error style = conversionError(rs.get(), 104);
  EXPECT_EQ(style.number(), errUnknown);
  EXPECT_TRUE(style.description().startsWith("-2146827962:")) << style.description().toStdString();

  rs->Close();
  Error closed = conversionError(rs.get(), xrsAttribute);
  EXPECT_EQ(closed.number(), errUnknown);
  EXPECT_TRUE(closed.description().startsWith(QString::number(dataaccess::err::kObjectClosed) + ":"));
}

TEST(ADORS_2_XMLString, EncodingNameThatWouldBreakTheDeclarationIsRefused) {
  auto rs = convertertest::twoColumnRecordset();
  EXPECT_THROW(Convertor().ADORS_2_XMLString(rs.get(), xrsAttribute, nullptr, "x\" ?><evil"), Error);
  EXPECT_TRUE(Convertor().ADORS_2_XMLString(rs.get(), xrsAttribute, nullptr, "windows-1251")
                  .startsWith("<?xml version=\"1.0\" encoding=\"windows-1251\" ?>\r\n"));
}

TEST(ADORS_2_XMLString, ExportEntryPointUsesAFreshConvertor) {
  auto rs = convertertest::twoColumnRecordset();
  EXPECT_EQ(exportXml(*rs, xrsEntity, "UTF-8"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n<RS><row><A>1</A><B>x</B></row></RS>");
}

TEST(ADORS_2_XML, ReturnsFalseAndCreatesNoFileEvenForAValidRecordset) {
  testsupport::TempDir dir;
  auto rs = convertertest::twoColumnRecordset();
  EXPECT_FALSE(Convertor().ADORS_2_XML(rs.get(), dir.file("out.xml"), xrsEntity));
  EXPECT_FALSE(QFile::exists(dir.file("out.xml")));
}

// Nothing is cut off, whether the table is long or one value is huge.
TEST(ADORS_2_XMLString, LargeTablesAndHugeValuesComeThroughWhole) {
  std::vector<std::vector<QVariant>> rows;
  for (int i = 0; i < 20000; ++i) rows.push_back({QVariant(qlonglong(i)), QVariant(QString("v%1").arg(i))});
  auto many = convertertest::makeRecordset({{"N", dataaccess::adInteger, 4}, {"T", dataaccess::adVarWChar, 20}}, rows);
  const QString text = Convertor().ADORS_2_XMLString(many.get(), xrsAttribute);
  EXPECT_EQ(text.count("<row "), 20000);
  EXPECT_TRUE(text.endsWith("<row N=\"19999\" T=\"v19999\"/></RS>"));

  const QString memo = QString(11 * 1000 * 1000, QChar('m')) + "end";
  auto huge = convertertest::makeRecordset({{"M", dataaccess::adLongVarWChar, 0}}, {{memo}});
  QString parseError;
  const QString out = Convertor().ADORS_2_XMLString(huge.get(), xrsEntity, &parseError);
  EXPECT_TRUE(parseError.isEmpty()) << parseError.toStdString();
  EXPECT_EQ(out.size(), QString("<?xml version=\"1.0\" ?>\r\n<RS><row><M></M></row></RS>").size() + memo.size());
}
