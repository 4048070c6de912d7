// ADOXML_2_StandardXML: a persisted-recordset file rewritten as standard XML
// into an existing file, with or without parameters.
#include "converter/convertor.h"

#include "converter_testutil.h"
#include "testsupport/tempdir.h"

#include <QFile>
#include <gtest/gtest.h>

using dataaccess::Error;
using namespace quillon;
using convertertest::parseXml;

namespace {

// A persisted rowset with two columns and one row, as the rowset writer
// lays it out.
const char kPersisted[] =
    "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882' "
    "xmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882' xmlns:rs='urn:schemas-microsoft-com:rowset' "
    "xmlns:z='#RowsetSchema'>\n"
    "<s:Schema id='RowsetSchema'>\n"
    "\t<s:ElementType name='row' content='eltOnly'>\n"
    "\t\t<s:AttributeType name='A' rs:number='1'><s:datatype dt:type='int' dt:maxLength='4'/></s:AttributeType>\n"
    "\t\t<s:AttributeType name='B' rs:number='2'><s:datatype dt:type='string' dt:maxLength='50'/></s:AttributeType>\n"
    "\t\t<s:extends type='rs:rowbase'/>\n"
    "\t</s:ElementType>\n"
    "</s:Schema>\n"
    "<rs:data>\n"
    "\t<z:row A='1' B='x'/>\n"
    "</rs:data>\n"
    "</xml>\n";

struct Files {
  testsupport::TempDir dir;
  QString input = dir.write("rs.xml", kPersisted);
  QString output = dir.write("out.xml", "previous content");
};

Error standardXmlError(const QString& in, const QString& out, int style = xrsAttribute,
                       const cDictionaries* dict = nullptr) {
  try {
    Convertor().ADOXML_2_StandardXML(in, out, style, dict);
  } catch (const Error& e) {
    return e;
  }
  ADD_FAILURE() << "no error raised";
  return Error(0, {}, {});
}

}  // namespace

TEST(ADOXML_2_StandardXML, WithoutDictionaryWritesTheTransformedDocument) {
  Files f;
  EXPECT_TRUE(Convertor().ADOXML_2_StandardXML(f.input, f.output, xrsEntity));
  EXPECT_EQ(f.dir.read("out.xml"), "<RS><row><A>1</A><B>x</B></row></RS>\n");
}

TEST(ADOXML_2_StandardXML, DictionaryBecomesTheLastChildOfTheRoot) {
  Files f;
  cDictionaries d;
  d.Add("from", "2004-01-01");
  d.Add("to", "2004-12-31");
  EXPECT_TRUE(Convertor().ADOXML_2_StandardXML(f.input, f.output, xrsAttribute, &d));
  const auto root = parseXml(QString::fromUtf8(f.dir.read("out.xml")));
  ASSERT_EQ(root.children.size(), 2u);
  EXPECT_EQ(root.children[0].name, "row");
  const auto& request = root.children[1];
  EXPECT_EQ(request.name, "request");
  ASSERT_EQ(request.children.size(), 2u);
  EXPECT_EQ(request.children[0].name, "from");
  EXPECT_EQ(request.children[0].text, "2004-01-01");
  EXPECT_EQ(request.children[1].name, "to");
  EXPECT_EQ(request.children[1].text, "2004-12-31");
}

TEST(ADOXML_2_StandardXML, StyleZeroKeepsThePersistedForm) {
  Files f;
  cDictionaries d;
  d.Add("p", "v");
  Convertor().ADOXML_2_StandardXML(f.input, f.output, xrsADOPersist, &d, "params");
  const auto root = parseXml(QString::fromUtf8(f.dir.read("out.xml")));
  EXPECT_EQ(root.name, "xml");
  EXPECT_EQ(root.children.back().name, "params");
}

TEST(ADOXML_2_StandardXML, MissingOutputFileFailsAndCreatesNothing) {
  Files f;
  const QString missing = f.dir.file("new.xml");
  for (const QString& out : {missing, f.dir.file("out*.xml"), QString()}) {
    Error e = standardXmlError(f.input, out);
    EXPECT_EQ(e.number(), errFilePathFailed);
    EXPECT_EQ(e.source(), "Convertor.ConvertADOPersistXML2StandardXML");
    EXPECT_EQ(e.description(), "File not found or Path not specified.");
  }
  EXPECT_FALSE(QFile::exists(missing));
  EXPECT_EQ(f.dir.read("out.xml"), "previous content");
}

TEST(ADOXML_2_StandardXML, MissingInputFails) {
  Files f;
  EXPECT_EQ(standardXmlError(f.dir.file("none.xml"), f.output).number(), errFilePathFailed);
  EXPECT_EQ(standardXmlError("", f.output).number(), errFilePathFailed);
}

TEST(ADOXML_2_StandardXML, FailuresLeaveTheOutputFileIntact) {
  Files f;
  cDictionaries bad;
  bad.Add("two words", "x");
  Error dict = standardXmlError(f.input, f.output, xrsAttribute, &bad);
  EXPECT_EQ(dict.number(), errUnknown);
  EXPECT_TRUE(dict.description().startsWith("-2147220887:mXML component failure on line 150"));

  Error style = standardXmlError(f.input, f.output, 7);
  EXPECT_EQ(style.number(), errUnknown);

  const QString broken = f.dir.write("broken.xml", "<xml><rs:data>");
  EXPECT_EQ(standardXmlError(broken, f.output).number(), errXMLload);
  EXPECT_EQ(f.dir.read("out.xml"), "previous content");
}
