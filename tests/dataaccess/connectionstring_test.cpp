#include "dataaccess/connectionstring.h"
#include "dataaccess/error.h"

#include "testsupport/tempdir.h"

#include <gtest/gtest.h>

using namespace dataaccess;

TEST(ConnectionString, ParsesBracedQuotedAndPlainValues) {
  const auto cs = ConnectionString::parse(
      "Provider=MSDASQL.1;Driver={Microsoft Paradox Driver (*.db )};Extended Properties=\"DefaultDir=/d;DriverId=538;"
      "\";User Id=Admin;");
  EXPECT_EQ(cs.value("driver"), "Microsoft Paradox Driver (*.db )");
  EXPECT_EQ(cs.value("Extended Properties"), "DefaultDir=/d;DriverId=538;");
  EXPECT_EQ(cs.value(" USER ID "), "Admin");
  EXPECT_FALSE(cs.contains("Password"));
  const auto inner = ConnectionString::parse(cs.value("Extended Properties"));
  EXPECT_EQ(inner.value("DefaultDir"), "/d");
  EXPECT_EQ(ConnectionString::parse("Password=;A=1").value("Password"), "");
  EXPECT_TRUE(ConnectionString::parse("Password=;A=1").contains("password"));
}

TEST(ConnectionString, ChoosesTheProviderOfEveryKindOfSource) {
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"Provider=Microsoft JET 4.0 OLE DB Provider;Data Source=/a.mdb;User ID=Admin;Password=;", "jet"},
      {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/a.mdb", "jet"},
      {"Driver={Microsoft Excel Driver (*.xls)};DriverId=790;Dbq=/a.xls;DefaultDir=/;", "excel"},
      {"Provider=MSDASQL.1;Driver={Microsoft Visual FoxPro Driver};SourceType=DBF;DBQ=/d/;", "xbase"},
      {"Driver={Microsoft Visual FoxPro Driver};SourceType=DBC;SourceDB=/d/x.dbc;", "xbase"},
      {"Driver={Microsoft Text Driver (*.txt; *.csv)};DriverId=27;FIL=text;Extensions=csv;DBQ=/d;", "text"},
      {"Provider=MSDASQL.1;Driver={Microsoft Paradox Driver (*.db )};Extended Properties=\"DefaultDir=/d\";", "paradox"},
      {"Provider=MSPERSIST", "persist"},
      {"Provider=MSDASQL;Driver={PostgreSQL Unicode};Server=127.0.0.1;", "odbc"},
      {"DSN=warehouse;UID=me", "odbc"},
  };
  for (const auto& [text, provider] : cases)
    EXPECT_EQ(providerNameFor(ConnectionString::parse(text)), provider) << text;
  EXPECT_THROW(providerNameFor(ConnectionString::parse("Provider=SQLOLEDB;Data Source=x")), Error);
  EXPECT_THROW(providerNameFor(ConnectionString::parse("")), Error);
}

TEST(ConnectionString, ReadsDataLinksInUtf16AndUtf8) {
  testsupport::TempDir dir;
  const QString text = QStringLiteral("[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n"
                                      "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/data/shop.mdb\r\n");
  QByteArray utf16("\xFF\xFE", 2);
  utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
  const QString a = dir.write("a.udl", utf16);
  const QString b = dir.write("b.udl", text.toUtf8());
  EXPECT_EQ(readDataLink(a), "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/data/shop.mdb");
  EXPECT_EQ(readDataLink(b), readDataLink(a));
  ConnectionString resolved;
  EXPECT_EQ(providerNameFor(ConnectionString::parse("File Name=" + a + ";"), &resolved), "jet");
  EXPECT_EQ(resolved.value("Data Source"), "/data/shop.mdb");
}

TEST(ConnectionString, RefusesEmptyOrGarbageDataLinks) {
  testsupport::TempDir dir;
  for (const QByteArray& bytes : {QByteArray(), QByteArray("[oledb]\n; nothing\n"), QByteArray("\x01\x02\xff\xfe\xfd", 5),
                                  QByteArray("just words\n")}) {
    const QString p = dir.write("bad.udl", bytes);
    EXPECT_THROW(readDataLink(p), Error) << bytes.toHex().toStdString();
  }
  EXPECT_THROW(readDataLink(dir.file("missing.udl")), Error);
}
