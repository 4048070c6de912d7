// The error contract and the library's identity: what a client sees when
// something fails, and how it creates the classes.
#include "converter/convertor.h"
#include "converter/convertorerrors.h"
#include "converter/identity.h"

#include "testsupport/tempdir.h"

#include <QFile>
#include <gtest/gtest.h>

using dataaccess::Error;
using namespace quillon;

namespace {

Error translated(const Error& trapped) {
  try {
    RaiseConvertorError(trapped);
  } catch (const Error& e) {
    return e;
  }
  return Error(0, {}, {});
}

}  // namespace

TEST(ConvertorErrors, NumbersAreTheApplicationBasePlusOffsets) {
  EXPECT_EQ(errFilePathFailed, -2147221504 + 612);
  EXPECT_EQ(errXMLload, int32_t(0x8004026B));
  EXPECT_EQ(errRSisEmpty, -2147221504 + 621);
}

TEST(ConvertorErrors, ThreeNumbersGetFixedTextsAndKeepTheirSource) {
  Error e = translated(Error(errFilePathFailed, "mXML.LoadXML", "detail"));
  EXPECT_EQ(e.number(), errFilePathFailed);
  EXPECT_EQ(e.source(), "mXML.LoadXML");
  EXPECT_EQ(e.description(), "File not found or Path not specified.");

  e = translated(Error(errXMLVersionFailed, "mXML.CreateXMLObject", ""));
  EXPECT_EQ(e.description(), "Required MSXML version 3.0 or later.");

  e = translated(Error(errXMLload, "mXML.LoadXML", "4:Document is empty"));
  EXPECT_EQ(e.number(), errXMLload);
  EXPECT_EQ(e.description(), "Can not load XML into XMLDocument object.");
}

TEST(ConvertorErrors, OtherNumbersFoldIntoUnknownAndGainAPrefixEachTime) {
  Error once = translated(Error(-2146825287, "Recordset.Save", "bad"));
  EXPECT_EQ(once.number(), errUnknown);
  EXPECT_EQ(once.source(), "Recordset.Save");
  EXPECT_EQ(once.description(), "-2146825287:bad");

  Error twice = translated(once);
  EXPECT_EQ(twice.description(), "-2147220886:-2146825287:bad");

  Error own = translated(Error(errRSisEmpty, "Convertor.ADORS_2_XMLString", ""));
  EXPECT_EQ(own.description(), QString("-2147220883:") + kGenericDescription);
}

TEST(QuillonIdentity, CreatesEachClassByProgIdOrClassId) {
  EXPECT_NE(std::dynamic_pointer_cast<Convertor>(CreateObject("Quillon.Convertor")), nullptr);
  EXPECT_NE(std::dynamic_pointer_cast<cDictionaries>(CreateObject("quillon.cdictionaries")), nullptr);
  EXPECT_NE(std::dynamic_pointer_cast<cDictionary>(CreateObject(kClsidDictionary)), nullptr);
  // Without braces, any case.
  const QString bare = QString(kClsidConvertor).mid(1, 36).toLower();
  auto convertor = CreateObjectAs<Convertor>(bare);
  EXPECT_EQ(convertor->ProgId(), "Quillon.Convertor");
  EXPECT_EQ(convertor->InterfaceId(), kIid_Convertor);
}

TEST(QuillonIdentity, UnknownNamesAndWrongClassesAreErrors) {
  try {
    CreateObject("Quillon.Nothing");
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrCannotCreateObject);
  }
  EXPECT_THROW(CreateObjectAs<Convertor>("Quillon.cDictionary"), Error);
}

TEST(QuillonIdentity, LibraryFolderHoldsTheLibrary) {
  EXPECT_TRUE(QFile::exists(LibraryFolder() + "/libquillon.so")) << LibraryFolder().toStdString();
}

TEST(Convertor, ADORS_2_XML_WritesNothingAndReturnsFalse) {
  testsupport::TempDir dir;
  Convertor c;
  EXPECT_FALSE(c.ADORS_2_XML(nullptr, dir.file("out.xml")));
  EXPECT_FALSE(QFile::exists(dir.file("out.xml")));
}
