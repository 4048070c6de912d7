#include "viewertestsupport.h"

#include "dataaccess/error.h"
#include "testsupport/fakeprovider.h"
#include "testsupport/tempdir.h"
#include "viewer/datasource/opening.h"
#include "viewer/datasource/paths.h"
#include "viewer/datasource/schemaini.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace viewer;
using testsupport::TempDir;
using viewertest::FakeView;
using viewertest::RecordingPrompts;

namespace {

class OpeningTest : public ::testing::Test {
 protected:
  void SetUp() override {
    viewertest::resetState();
    setSourceViewFactory([this] { return &view; });
  }
  void TearDown() override {
    setSourceViewFactory({});
    viewertest::resetState();
  }
  RecordingPrompts prompts;
  FakeView view;
  TempDir dir;
};

QString cs(const QString& path, int32_t* k = nullptr) {
  return ConnectionStringFor(path, GetExtension(path).toLower(), k);
}

}  // namespace

TEST(ConnectionStrings, ExactTextForEveryKind) {
  int32_t k = -1;
  EXPECT_EQ(cs("/data/shop.mdb", &k),
            "Provider=Microsoft JET 4.0 OLE DB Provider;Data Source=/data/shop.mdb;User ID=Admin;Password=;"
            "Persist Security Info=True;");
  EXPECT_EQ(k, kind::Access);
  EXPECT_EQ(cs("/data/New Shop.ACCDB", &k),
            "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/data/New Shop.ACCDB;User ID=Admin;Password=;"
            "Persist Security Info=True;");
  EXPECT_EQ(k, kind::Access);
  EXPECT_EQ(cs("/data/book.xls", &k),
            "Driver={Microsoft Excel Driver (*.xls)};DriverId=790;Dbq=/data/book.xls;DefaultDir=/data/;");
  EXPECT_EQ(k, kind::Excel);
  EXPECT_EQ(cs("/data/t.dbf", &k),
            "Provider=MSDASQL.1;Driver={Microsoft Visual FoxPro Driver};SourceType=DBF;DBQ=/data/;Exclusive=No;"
            "BackgroundFetch=Yes;Null=Yes;Deleted=Yes;");
  EXPECT_EQ(k, kind::FoxProTable);
  EXPECT_EQ(cs("/data/c.dbc", &k),
            "Driver={Microsoft Visual FoxPro Driver};SourceType=DBC;SourceDB=/data/c.dbc;Exclusive=No;"
            "BackgroundFetch=Yes;Null=Yes;Deleted=Yes;");
  EXPECT_EQ(k, kind::FoxProDatabase);
  EXPECT_EQ(cs("/data/link.udl", &k), "File Name=/data/link.udl;");
  EXPECT_EQ(k, kind::Generic);
  EXPECT_EQ(cs("/data/a b.csv", &k),
            "Driver={Microsoft Text Driver (*.txt; *.csv)};DriverId=27;FIL=text;MaxBufferSize=2048;PageTimeout=5;"
            "Extensions=csv;DBQ=/data;DefaultDir=/data;");
  EXPECT_EQ(k, kind::Csv);
  const QString text =
      "Driver={Microsoft Text Driver (*.txt; *.csv)};DriverId=27;FIL=text;MaxBufferSize=2048;PageTimeout=5;"
      "Extensions=log,txt;DBQ=/data;DefaultDir=/data;";
  EXPECT_EQ(cs("/data/a.txt", &k), text);
  EXPECT_EQ(k, kind::Text);
  EXPECT_EQ(cs("/data/a.log"), text);
  EXPECT_EQ(cs("/data/p.db", &k),
            "Provider=MSDASQL.1;Driver={Microsoft Paradox Driver (*.db )};Extended Properties=\"DefaultDir=/data;"
            "DriverId=538;FIL=Paradox 5.X;MaxBufferSize=2048;PageTimeout=30;CollatingSequence=ASCII;\";User Id=Admin;");
  EXPECT_EQ(k, kind::Paradox);
  EXPECT_EQ(cs("/data/r.xml", &k), "");
  EXPECT_EQ(k, kind::PersistedRecordset);
  EXPECT_EQ(cs("/data/report", &k), "");
  EXPECT_EQ(k, -1);
}

TEST(ConnectionStrings, FileInTheRootFolderNamesTheRootNotNothing) {
  EXPECT_TRUE(cs("/a.csv").endsWith(";DBQ=/;DefaultDir=/;"));
  EXPECT_TRUE(cs("/p.db").contains("DefaultDir=/;DriverId"));
  EXPECT_TRUE(cs("/b.xls").endsWith(";DefaultDir=/;"));
}

TEST_F(OpeningTest, MissingHiddenFolderAndUnknownOpenNothingSilently) {
  state().SourceKind = kind::Excel;
  dir.write(".hidden.csv", "a\n1\n");
  dir.write("report", "x");
  QDir().mkpath(dir.file("old.data"));
  dir.write("old.data/readme", "x");
  for (const QString name : {"missing.csv", ".hidden.csv", "report", "old.data", "old.data/readme"}) {
    QString ext = "unchanged";
    EXPECT_EQ(BuildConnection(dir.file(name), ext), nullptr) << name.toStdString();
    const bool exists = QFileInfo(dir.file(name)).isFile() && !name.startsWith('.');
    EXPECT_EQ(ext, exists ? "" : "unchanged") << name.toStdString();
  }
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_EQ(state().SourceKind, kind::Excel) << "only a successful classification changes the kind";
}

TEST_F(OpeningTest, UpperCaseExtensionIsRecognisedAndFailuresShowNumberAndDescription) {
  const QString p = dir.write("SHOP.MDB", "this is not a database");
  QString ext;
  EXPECT_EQ(BuildConnection(p, ext), nullptr);
  EXPECT_EQ(ext, "mdb");
  EXPECT_EQ(state().SourceKind, kind::Access) << "the kind is set before opening";
  EXPECT_EQ(state().CurrentConnection, nullptr);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].icon, Prompts::Critical);
  EXPECT_TRUE(prompts.shown[0].text.contains(QRegularExpression("^-?\\d+: .+"))) << prompts.shown[0].text.toStdString();
}

TEST_F(OpeningTest, XmlFilesAreCheckedForTheRowsetNamespace) {
  state().SourceKind = kind::Csv;
  const QString other = dir.write("other.xml", "<root xmlns='urn:example'/>");
  QString ext;
  EXPECT_EQ(BuildConnection(other, ext), nullptr);
  EXPECT_EQ(ext, "xml");
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text,
            "The internal format of this file is not supported by the current version of the program. ");
  EXPECT_EQ(prompts.shown[0].icon, Prompts::Information);
  EXPECT_EQ(state().SourceKind, kind::Csv);

  const QString rowset = dir.write("Rows.XML", "<xml xmlns:rs='urn:schemas-microsoft-com:rowset'/>");
  EXPECT_EQ(BuildConnection(rowset, ext), nullptr);
  EXPECT_EQ(state().SourceKind, kind::PersistedRecordset);
  EXPECT_EQ(prompts.shown.size(), 1u);

  const QString upper = dir.write("upper.xml", "URN:SCHEMAS-MICROSOFT-COM:ROWSET");
  BuildConnection(upper, ext);
  EXPECT_EQ(prompts.shown.size(), 2u) << "the namespace test is case-sensitive";
}

TEST_F(OpeningTest, OpenSourceHandsTheResultToTheWindowAndSetsTheCaption) {
  const QString p = dir.write("Orders 2024.csv", "id,name\n1,Tea\n");
  OpenSource(p);
  EXPECT_EQ(view.opened, 1);
  EXPECT_EQ(view.kindText, "csv");
  EXPECT_EQ(state().CurrentPath, p);
  EXPECT_EQ(view.caption, "Lumbrook: [" + p + "]");
  EXPECT_EQ(state().SourceKind, kind::Csv);
  EXPECT_TRUE(QFile::exists(dir.file("SCHEMA.INI")));
  const auto cn = state().CurrentConnection;  // open once the text provider is built

  // An empty path reloads the same connection with the window's own kind text.
  view.caption = "kept";
  OpenSource("");
  EXPECT_EQ(view.opened, 2);
  EXPECT_EQ(view.kindText, "csv");
  EXPECT_EQ(view.connection, cn);
  EXPECT_EQ(view.caption, "kept");
  EXPECT_EQ(state().CurrentPath, p);

  // A missing file: no connection, empty kind text, caption still changes.
  OpenSource(dir.file("gone.csv"));
  EXPECT_EQ(view.connection, nullptr);
  EXPECT_EQ(view.kindText, "");
  EXPECT_EQ(view.caption, "Lumbrook: [" + dir.file("gone.csv") + "]");
  EXPECT_EQ(state().SourceKind, kind::Csv);
}

TEST_F(OpeningTest, CommandLineLosesEveryDoubleQuote) {
  EXPECT_EQ(CommandLinePath({"lumbrook", "\"/data/my", "shop.csv\""}), "/data/my shop.csv");
  EXPECT_EQ(CommandLinePath({"lumbrook", "/da\"ta/x.csv"}), "/data/x.csv");
  EXPECT_EQ(CommandLinePath({"lumbrook"}), "");

  const QString p = dir.write("my shop.csv", "a\n1\n");
  Main("\"" + p + "\"");
  EXPECT_EQ(state().CurrentPath, p);
  EXPECT_EQ(view.kindText, "csv");
  Main("");
  EXPECT_EQ(view.opened, 2) << "an empty command line still shows the window";
}

namespace {

class SchemaIniTest : public OpeningTest {
 protected:
  QString ini() { return QString::fromUtf8(dir.read("SCHEMA.INI")); }
};

}  // namespace

TEST_F(SchemaIniTest, SectionsForEveryTextFileOfTheFolder) {
  dir.write("a.txt", "x");
  dir.write("b.log", "x");
  dir.write("c.csv", "x");
  dir.write("Data.TXT", "x");
  dir.write("d.mdb", "x");
  dir.write(".e.csv", "x");
  WriteSchemaIni(dir.file("c.csv"), "csv");
  const QString text = ini();
  EXPECT_TRUE(text.contains("[a.txt]\nColNameHeader=True\nFormat=TabDelimited\nCharacterSet=ANSI\nMaxScanRows=0\n"));
  EXPECT_TRUE(text.contains("[b.txt]\nColNameHeader=False\nFormat=TabDelimited\nCharacterSet=ANSI\nMaxScanRows=0\n"));
  EXPECT_TRUE(text.contains("[c.csv]\nColNameHeader=True\nFormat=CSVDelimited\nCharacterSet=ANSI\nMaxScanRows=0\n"));
  EXPECT_TRUE(text.contains("[Data.txt]\nColNameHeader=True"));
  EXPECT_FALSE(text.contains("d.mdb"));
  EXPECT_FALSE(text.contains(".e.csv")) << "hidden files get no section";
  EXPECT_EQ(text.count('['), 4);
}

TEST_F(SchemaIniTest, FormatChangeRewritesTextSectionsAndKeepsUserLines) {
  dir.write("a.txt", "x");
  dir.write("c.csv", "x");
  dir.write("SCHEMA.INI", "[a.txt]\nCol1=id Integer\n");
  WriteSchemaIni(dir.file("a.txt"), "txt");
  state().TextFormat = "Delimited(;)";
  WriteSchemaIni(dir.file("a.txt"), "txt");
  const QString text = ini();
  EXPECT_TRUE(text.startsWith("[a.txt]\nCol1=id Integer\nColNameHeader=True\nFormat=Delimited(;)\n"));
  EXPECT_TRUE(text.contains("[c.csv]\nColNameHeader=True\nFormat=CSVDelimited\n"));
}

TEST_F(SchemaIniTest, UnwritableSchemaIniStopsTheOpenWithTheProfileMessage) {
  const QString p = dir.write("a.txt", "x\n1\n");
  QDir().mkpath(dir.file("SCHEMA.INI"));  // a folder in its place cannot be written
  QString ext;
  EXPECT_EQ(BuildConnection(p, ext), nullptr);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, "-2147221504: Error writing to file '" + dir.file("SCHEMA.INI") + "'");
  EXPECT_EQ(prompts.shown[0].icon, Prompts::Critical);

  if (!viewertest::permissionsApply()) GTEST_SKIP() << "permission bits do not apply to root";
  TempDir ro;
  const QString q = ro.write("b.csv", "x\n1\n");
  QFile::setPermissions(ro.path(), QFile::ReadOwner | QFile::ExeOwner);
  EXPECT_EQ(BuildConnection(q, ext), nullptr);
  QFile::setPermissions(ro.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  EXPECT_EQ(prompts.shown.back().text, "-2147221504: Error writing to file '" + ro.file("SCHEMA.INI") + "'");
}

// The kind of a data link comes from what its connection says about itself:
// an Oracle driver by its name in any letter case, SQL Server by the exact
// DBMS name, everything else generic.
TEST(DetectProviderTest, ClassifiesByFriendlyNameThenDbmsName) {
  struct Case {
    const char* friendlyName;
    const char* dbmsName;
    int32_t kind;
  };
  const Case cases[] = {
      {"ODBC Driver (Oracle in OraClient19Home1)", "Oracle", 1},
      {"lumbrook odbc: ORACLE wire driver", "whatever", 1},
      {"ODBC Driver (ODBC Driver 18 for SQL Server)", "Microsoft SQL Server", 2},
      {"ODBC Driver (SQL Server)", "microsoft sql server", 0},  // the match is exact
      {"ODBC Driver (PostgreSQL Unicode)", "PostgreSQL", 0},
      {"Lumbrook Jet Provider", "MS Jet", 0},
  };
  for (const Case& c : cases) {
    testsupport::FakeProvider* fake = nullptr;
    auto cn = testsupport::fakeConnection(&fake);
    fake->properties["Provider Friendly Name"] = QString::fromUtf8(c.friendlyName);
    fake->properties["DBMS Name"] = QString::fromUtf8(c.dbmsName);
    EXPECT_EQ(DetectProvider(*cn), c.kind) << c.friendlyName << " / " << c.dbmsName;
  }
}
