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
