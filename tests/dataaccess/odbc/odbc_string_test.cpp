// How a data-link string becomes the string handed to the ODBC driver
// manager, and how ODBC types become field types. No driver needed.
#include "dataaccess/providers/odbc/odbcconnection.h"
#include "dataaccess/providers/odbc/odbcfetch.h"

#include <gtest/gtest.h>

using namespace dataaccess;
using dataaccess::odbc::odbcConnectionString;

TEST(OdbcString, DataLinkKeysBecomeOdbcKeys) {
  // What a data-link dialog writes for an ODBC source.
  EXPECT_EQ(odbcConnectionString(ConnectionString::parse("Provider=MSDASQL.1;Persist Security Info=False;"
                                                         "Extended Properties=\"DSN=shop;UID=ann;\""),
                                 {}, {}),
            "DSN=shop;UID=ann");
  EXPECT_EQ(odbcConnectionString(ConnectionString::parse("Provider=MSDASQL;Data Source=shop;User ID=ann;"
                                                         "Password=p;Initial Catalog=sales"),
                                 {}, {}),
            "DSN=shop;UID=ann;PWD=p;DATABASE=sales");
  // Keys of the Extended Properties win over the outer ones.
  EXPECT_EQ(odbcConnectionString(ConnectionString::parse("Extended Properties=\"DSN=a\";Data Source=b"), {}, {}),
            "DSN=a");
  // A driver string passes unchanged; values that need them get braces.
  EXPECT_EQ(odbcConnectionString(ConnectionString::parse("Driver={PostgreSQL Unicode};Servername=h;PWD={a;b}"),
                                 {}, {}),
            "Driver={PostgreSQL Unicode};Servername=h;PWD={a;b}");
  EXPECT_EQ(odbc::odbcValue("x}y;"), "{x}}y;}");
}

TEST(OdbcString, OpenArgumentsAddUserAndPasswordOnlyWhenAbsent) {
  EXPECT_EQ(odbcConnectionString(ConnectionString::parse("DSN=shop"), "ann", "secret"), "DSN=shop;UID=ann;PWD=secret");
  EXPECT_EQ(odbcConnectionString(ConnectionString::parse("DSN=shop;uid=bob"), "ann", ""), "DSN=shop;uid=bob");
  // DRIVER and DSN together: the driver is named, the DSN dropped.
  EXPECT_EQ(odbcConnectionString(ConnectionString::parse("DSN=shop;Driver={X}"), {}, {}), "Driver={X}");
}

TEST(OdbcTypes, SqlTypesMapToFieldTypes) {
  const std::pair<SQLSMALLINT, DataTypeEnum> cases[] = {
      {SQL_CHAR, adChar},          {SQL_VARCHAR, adVarChar},         {SQL_LONGVARCHAR, adLongVarChar},
      {SQL_WCHAR, adWChar},        {SQL_WVARCHAR, adVarWChar},       {SQL_WLONGVARCHAR, adLongVarWChar},
      {SQL_DECIMAL, adNumeric},    {SQL_NUMERIC, adNumeric},         {SQL_TINYINT, adTinyInt},
      {SQL_SMALLINT, adSmallInt},  {SQL_INTEGER, adInteger},         {SQL_BIGINT, adBigInt},
      {SQL_REAL, adSingle},        {SQL_FLOAT, adDouble},            {SQL_DOUBLE, adDouble},
      {SQL_BIT, adBoolean},        {SQL_TYPE_DATE, adDBDate},        {SQL_TYPE_TIME, adDBTime},
      {SQL_TYPE_TIMESTAMP, adDBTimeStamp}, {SQL_BINARY, adBinary},   {SQL_VARBINARY, adVarBinary},
      {SQL_LONGVARBINARY, adLongVarBinary}, {SQL_GUID, adGUID},      {SQL_INTERVAL_DAY, adVarWChar},
  };
  for (auto [sql, ad] : cases) EXPECT_EQ(odbc::fieldTypeFor(sql, false), ad) << sql;
  EXPECT_EQ(odbc::fieldTypeFor(SQL_INTEGER, true), adUnsignedInt);
  const FieldInfo n = odbc::fieldInfoFor("n", SQL_NUMERIC, 12, 3, true, false);
  EXPECT_EQ(n.precision, 12);
  EXPECT_EQ(n.numericScale, 3);
  const FieldInfo v = odbc::fieldInfoFor("v", SQL_WVARCHAR, 40, 0, false, false);
  EXPECT_EQ(v.definedSize, 40);
  EXPECT_FALSE(v.nullable);
}
