#include "dataaccess/providers/text/schemaini.h"

#include "dataaccess/error.h"

#include <gtest/gtest.h>

using namespace dataaccess;
using namespace dataaccess::text;

TEST(SchemaIni, SectionsAndKeysMatchWithoutCase) {
  const QString ini = QStringLiteral(
      "; written by hand\r\n"
      "[other.csv]\r\nFormat=TabDelimited\r\n"
      "[Sales.CSV]\r\ncolnameheader = false\r\nFORMAT=Delimited(;)\r\ncharacterSet=1251\r\nMaxScanRows=25\r\n"
      "Format=TabDelimited\r\n"
      "Col1=Id Long\r\nCol2=\"Unit Price\" Currency\r\nCol3=Note Text Width 40\r\ncol4=First Name\r\n"
      "Col5=When Date\r\n"
      "[sales.csv]\r\nFormat=CSVDelimited\r\n");
  const TextSchema s = parseSchemaIni(ini, QStringLiteral("sales.csv"), QStringLiteral("SCHEMA.INI"));
  EXPECT_TRUE(s.hasSection);
  EXPECT_FALSE(s.colNameHeader);
  EXPECT_EQ(s.delimiter, ';');  // the first occurrence of a key and of a section counts
  EXPECT_EQ(s.characterSet, QStringLiteral("1251"));
  EXPECT_EQ(s.maxScanRows, 25);
  ASSERT_EQ(s.columns.size(), 5u);
  EXPECT_EQ(s.columns.at(1).name, QStringLiteral("Id"));
  EXPECT_EQ(s.columns.at(1).type, adInteger);
  EXPECT_EQ(s.columns.at(2).name, QStringLiteral("Unit Price"));
  EXPECT_EQ(s.columns.at(2).type, adCurrency);
  EXPECT_EQ(s.columns.at(3).type, adVarWChar);
  EXPECT_EQ(s.columns.at(3).width, 40);
  EXPECT_EQ(s.columns.at(4).name, QStringLiteral("First Name"));  // no type word: guessed
  EXPECT_FALSE(s.columns.at(4).type.has_value());
  EXPECT_EQ(s.columns.at(5).type, adDate);
}

TEST(SchemaIni, DefaultsWithoutASection) {
  const TextSchema s = parseSchemaIni(QStringLiteral("[a.txt]\nFormat=TabDelimited\n"), QStringLiteral("b.txt"), {});
  EXPECT_FALSE(s.hasSection);
  EXPECT_TRUE(s.colNameHeader);
  EXPECT_EQ(s.delimiter, ',');
  EXPECT_EQ(s.maxScanRows, 0);
}

TEST(SchemaIni, Formats) {
  auto delimiterOf = [](const char* format) {
    return parseSchemaIni(QStringLiteral("[f.txt]\nFormat=%1\n").arg(QLatin1String(format)), QStringLiteral("f.txt"), {})
        .delimiter;
  };
  EXPECT_EQ(delimiterOf("TabDelimited"), '\t');
  EXPECT_EQ(delimiterOf("csvdelimited"), ',');
  EXPECT_EQ(delimiterOf("Delimited( )"), ' ');
  EXPECT_EQ(delimiterOf("Delimited(|)"), '|');
  EXPECT_THROW(delimiterOf("FixedLength"), Error);
  EXPECT_THROW(delimiterOf("Delimited(\")"), Error);
  EXPECT_THROW(delimiterOf("Spaces"), Error);
  EXPECT_THROW(parseSchemaIni(QStringLiteral("[f.txt]\nCharacterSet=Klingon\n"), QStringLiteral("f.txt"), {}), Error);
}

TEST(SchemaIni, CharacterSets) {
  EXPECT_EQ(decoderNameFor(QStringLiteral("ANSI")), QStringLiteral("UTF-8"));  // tests run in C.UTF-8
  EXPECT_EQ(decoderNameFor(QStringLiteral("OEM")), QStringLiteral("IBM437"));
  EXPECT_EQ(decoderNameFor(QStringLiteral("unicode")), QStringLiteral("UTF-16LE"));
  EXPECT_EQ(decoderNameFor(QStringLiteral("1251")), QStringLiteral("windows-1251"));
  EXPECT_EQ(decoderNameFor(QStringLiteral("65001")), QStringLiteral("UTF-8"));
  EXPECT_EQ(decoderNameFor(QStringLiteral("437")), QStringLiteral("IBM437"));
  EXPECT_EQ(decoderNameFor(QStringLiteral("850")), QStringLiteral("IBM850"));
  EXPECT_EQ(decoderNameFor(QStringLiteral("28595")), QStringLiteral("ISO-8859-5"));
  EXPECT_EQ(decoderNameFor(QStringLiteral("KOI8-R")), QStringLiteral("KOI8-R"));
  EXPECT_TRUE(decoderNameFor(QStringLiteral("99999")).isEmpty());
  EXPECT_EQ(schemaType(QStringLiteral("integer")), adSmallInt);
  EXPECT_EQ(schemaType(QStringLiteral("LongChar")), adLongVarWChar);
  EXPECT_EQ(schemaType(QStringLiteral("Float")), adDouble);
  EXPECT_EQ(schemaType(QStringLiteral("Char")), adVarWChar);
  EXPECT_EQ(schemaType(QStringLiteral("Bit")), adBoolean);
  EXPECT_EQ(schemaType(QStringLiteral("Byte")), adUnsignedTinyInt);
  EXPECT_FALSE(schemaType(QStringLiteral("Money")).has_value());
}

// A column definition that could never apply is an error naming the file,
// the section and the line, not a definition dropped without a word.
TEST(SchemaIni, ColumnDefinitionsThatCannotApplyAreErrors) {
  const auto errorFor = [](const char* definition) -> QString {
    try {
      parseSchemaIni(QStringLiteral("[other.txt]\nCol0=x\n[Data.txt]\nFormat=TabDelimited\n%1\n").arg(QLatin1String(definition)),
                     QStringLiteral("data.txt"), QStringLiteral("/in/SCHEMA.INI"));
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), -2147467259);
      return e.message();
    }
    return QStringLiteral("<no error>");
  };
  const char* const bad[] = {"Col0=Id Long",       "Col-1=Id Long",          "COL-3=Id",
                             "Col65537=Id Long",   "Col99999999999999999999=Id", "Col2=\"Unit Price\" Money",
                             "Col2=\"Unit Price\" Currency Extra", "Col1=Id Long Width -4"};
  for (const char* definition : bad) {
    const QString message = errorFor(definition);
    EXPECT_TRUE(message.startsWith(QLatin1String("-2147467259: ")) && message.contains(QLatin1String(definition)) &&
                message.contains(QLatin1String("[Data.txt]")) && message.contains(QLatin1String("/in/SCHEMA.INI")))
        << definition << " gave " << message.toStdString();
  }
  // Another file's section is not read, so its bad line does not matter.
  EXPECT_EQ(errorFor("Col1=Id Long"), QStringLiteral("<no error>"));

  // The limits themselves, a sign and blanks are fine.
  const TextSchema s = parseSchemaIni(
      QStringLiteral("[d.txt]\nCol65536=Last Long\nCol+2=Id Long\nCol 3=Note Text\n"), QStringLiteral("d.txt"), {});
  ASSERT_EQ(s.columns.size(), 3u);
  EXPECT_EQ(s.columns.at(65536).name, QStringLiteral("Last"));
  EXPECT_EQ(s.columns.at(2).type, adInteger);
  EXPECT_EQ(s.columns.at(3).name, QStringLiteral("Note"));
}

// An unknown last word after an unquoted name cannot be told from a name
// with a blank ("First Name"): it stays part of the name and the type is
// guessed. Keys that merely start with "Col" are not definitions.
TEST(SchemaIni, UnknownWordAfterAnUnquotedNameIsPartOfTheName) {
  const TextSchema s = parseSchemaIni(QStringLiteral("[d.txt]\nCol1=Name Blah\nCol2=Qty Gizmo Width 8\nColour=red\n"),
                                      QStringLiteral("d.txt"), {});
  ASSERT_EQ(s.columns.size(), 2u);
  EXPECT_EQ(s.columns.at(1).name, QStringLiteral("Name Blah"));
  EXPECT_FALSE(s.columns.at(1).type.has_value());
  EXPECT_EQ(s.columns.at(2).name, QStringLiteral("Qty Gizmo"));
  EXPECT_EQ(s.columns.at(2).width, 8);
}
