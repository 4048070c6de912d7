// The document factory and the two loaders: empty input, bad input,
// hostile input, and how file paths are found.
#include "converter/convertor.h"
#include "converter/loaders.h"

#include "testsupport/tempdir.h"

#include <QDir>
#include <QFile>
#include <QUuid>
#include <gtest/gtest.h>

using dataaccess::Error;
using namespace quillon;

namespace {

template <class F>
Error errorOf(F&& f) {
  try {
    f();
  } catch (const Error& e) {
    return e;
  }
  ADD_FAILURE() << "no error raised";
  return Error(0, {}, {});
}

// A file in the library's folder, removed afterwards.
struct LibraryFile {
  explicit LibraryFile(const QByteArray& content) {
    name = "quillon-test-" + QUuid::createUuid().toString(QUuid::WithoutBraces) + ".xml";
    QFile f(LibraryFolder() + "/" + name);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
  }
  ~LibraryFile() { QFile::remove(LibraryFolder() + "/" + name); }
  QString name;
};

}  // namespace

TEST(StringLoader, EmptyTextGivesNoDocumentAndNoError) {
  Convertor c;
  EXPECT_EQ(c.LoadXML_FromString(""), nullptr);
}

TEST(StringLoader, ParsesWellFormedText) {
  Convertor c;
  auto doc = c.LoadXML_FromString("<a x='1'><b>é</b></a>");
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(doc->documentElementName(), "a");
  EXPECT_EQ(doc->xml(), "<a x=\"1\"><b>é</b></a>");
}

TEST(StringLoader, BlanksOrBrokenTextRaiseXmlLoadWithTheFixedText) {
  Convertor c;
  for (const char* text : {"   ", "<a>", "<a></b>", "plain text"}) {
    Error e = errorOf([&] { c.LoadXML_FromString(text); });
    EXPECT_EQ(e.number(), errXMLload) << text;
    EXPECT_EQ(e.source(), "mXML.LoadXML");
    EXPECT_EQ(e.description(), "Can not load XML into XMLDocument object.");
  }
}

TEST(StringLoader, ParseErrorOfADocumentCarriesLineAndReason) {
  XMLDocument doc;
  EXPECT_FALSE(doc.LoadXML("<a>\n<b>\n</a>"));
  EXPECT_NE(doc.ParseError().errorCode, 0);
  EXPECT_EQ(doc.ParseError().line, 3);
  EXPECT_FALSE(doc.ParseError().reason.isEmpty());
  EXPECT_FALSE(doc.hasDocumentElement());
  EXPECT_TRUE(doc.LoadXML("<ok/>"));
  EXPECT_EQ(doc.ParseError().errorCode, 0);
}

// Documents that try to read files, reach the network or blow up in memory
// must fail to load, having read nothing.
TEST(StringLoader, HostileDocumentsFailToLoad) {
  testsupport::TempDir dir;
  const QString secret = dir.write("secret.txt", "TOPSECRET");
  const QString cases[] = {
      QString("<!DOCTYPE a [<!ENTITY x SYSTEM \"file://%1\">]><a>&x;</a>").arg(secret),
      QString("<!DOCTYPE a [<!ENTITY x SYSTEM \"file://%1\">]><a b=\"&x;\"/>").arg(secret),
      QString("<!DOCTYPE a [<!ENTITY % p SYSTEM \"file://%1\"> %p;]><a/>").arg(secret),
      QString("<!DOCTYPE a [<!ENTITY x SYSTEM \"http://127.0.0.1:9/x\">]><a>&x;</a>"),
      // A billion laughs, in content and in an attribute.
      QString("<!DOCTYPE a [<!ENTITY l0 \"ha\">"
              "<!ENTITY l1 \"&l0;&l0;&l0;&l0;&l0;&l0;&l0;&l0;&l0;&l0;\">"
              "<!ENTITY l2 \"&l1;&l1;&l1;&l1;&l1;&l1;&l1;&l1;&l1;&l1;\">"
              "<!ENTITY l3 \"&l2;&l2;&l2;&l2;&l2;&l2;&l2;&l2;&l2;&l2;\">"
              "<!ENTITY l4 \"&l3;&l3;&l3;&l3;&l3;&l3;&l3;&l3;&l3;&l3;\">"
              "<!ENTITY l5 \"&l4;&l4;&l4;&l4;&l4;&l4;&l4;&l4;&l4;&l4;\">"
              "<!ENTITY l6 \"&l5;&l5;&l5;&l5;&l5;&l5;&l5;&l5;&l5;&l5;\">"
              "<!ENTITY l7 \"&l6;&l6;&l6;&l6;&l6;&l6;&l6;&l6;&l6;&l6;\">"
              "<!ENTITY l8 \"&l7;&l7;&l7;&l7;&l7;&l7;&l7;&l7;&l7;&l7;\">"
              "<!ENTITY l9 \"&l8;&l8;&l8;&l8;&l8;&l8;&l8;&l8;&l8;&l8;\">]>"
              "<a b=\"&l9;\">&l9;</a>"),
  };
  Convertor c;
  for (const QString& text : cases) {
    Error e = errorOf([&] { c.LoadXML_FromString(text); });
    EXPECT_EQ(e.number(), errXMLload) << text.toStdString();
  }
}

TEST(FileLoader, EmptyPathGivesNoDocumentAndNoError) {
  Convertor c;
  EXPECT_EQ(c.LoadXML_FromFile(""), nullptr);
}

TEST(FileLoader, AbsolutePathLoads) {
  testsupport::TempDir dir;
  const QString path = dir.write("data.xml", "<data/>");
  Convertor c;
  auto doc = c.LoadXML_FromFile(path);
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(doc->documentElementName(), "data");
}

TEST(FileLoader, RelativePathIsTakenFromTheLibraryFolder) {
  LibraryFile file("<inlib/>");
  Convertor c;
  EXPECT_EQ(c.LoadXML_FromFile(file.name)->documentElementName(), "inlib");
  EXPECT_EQ(c.LoadXML_FromFile("\\" + file.name)->documentElementName(), "inlib");
}

TEST(FileLoader, MissingHiddenOrFolderPathsAreNotFound) {
  testsupport::TempDir dir;
  dir.write(".hidden.xml", "<a/>");
  QDir(dir.path()).mkdir("folder.xml");
  Convertor c;
  for (const QString& path : {dir.file("missing.xml"), dir.file(".hidden.xml"), dir.file("folder.xml"),
                              QString("quillon-no-such-file.xml")}) {
    Error e = errorOf([&] { c.LoadXML_FromFile(path); });
    EXPECT_EQ(e.number(), errFilePathFailed) << path.toStdString();
    EXPECT_EQ(e.source(), "mXML.LoadXML");
    EXPECT_EQ(e.description(), "File not found or Path not specified.");
  }
}

TEST(FileLoader, WildcardThatMatchesPassesTheTestThenFailsToLoad) {
  testsupport::TempDir dir;
  dir.write("data1.xml", "<a/>");
  Convertor c;
  EXPECT_EQ(errorOf([&] { c.LoadXML_FromFile(dir.file("data*.xml")); }).number(), errXMLload);
  EXPECT_EQ(errorOf([&] { c.LoadXML_FromFile(dir.file("dat?1.xml")); }).number(), errXMLload);
  EXPECT_EQ(errorOf([&] { c.LoadXML_FromFile(dir.file("other*.xml")); }).number(), errFilePathFailed);
}

TEST(FileLoader, MalformedFileIsXmlLoad) {
  testsupport::TempDir dir;
  const QString path = dir.write("bad.xml", "<a><b></a>");
  Convertor c;
  Error e = errorOf([&] { c.LoadXML_FromFile(path); });
  EXPECT_EQ(e.number(), errXMLload);
  EXPECT_EQ(e.description(), "Can not load XML into XMLDocument object.");
}

TEST(FileMatch, BracketsAreOrdinaryCharacters) {
  testsupport::TempDir dir;
  dir.write("a[1].xml", "<a/>");
  EXPECT_TRUE(FileMatches(dir.file("a[1].xml")));
  EXPECT_FALSE(FileMatches(dir.file("a1.xml")));
  EXPECT_TRUE(FileMatches(dir.file("a[*")));
}

TEST(Factory, EveryCallGivesANewEmptyDocument) {
  Convertor c;
  auto a = c.XMLObject();
  auto b = c.XMLObject();
  EXPECT_NE(a.get(), b.get());
  EXPECT_FALSE(a->hasDocumentElement());
}
