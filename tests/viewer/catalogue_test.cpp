#include "viewertestsupport.h"

#include "dataaccess/error.h"
#include "dataaccess/schemarowsets.h"
#include "testsupport/tempdir.h"
#include "viewer/datasource/catalogue.h"
#include "viewer/datasource/opening.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace viewer;
using testsupport::TempDir;

namespace {

std::unique_ptr<dataaccess::Recordset> catalogueOf(const std::vector<std::pair<QString, QString>>& rows) {
  std::vector<dataaccess::TableEntry> tables;
  for (const auto& [name, type] : rows) {
    dataaccess::TableEntry e;
    e.name = name;
    e.type = type;
    tables.push_back(e);
  }
  auto rs = std::make_unique<dataaccess::Recordset>();
  rs->attach(dataaccess::makeTablesRowset(tables), nullptr, QString(), dataaccess::adOpenStatic,
             dataaccess::adLockReadOnly);
  return rs;
}

QStringList names(const std::vector<TreeEntry>& entries) {
  QStringList out;
  for (const auto& e : entries) out << e.name;
  return out;
}

}  // namespace

TEST(Catalogue, TableTypesListedPerKind) {
  auto rs = catalogueOf({{"Orders", "TABLE"},
                         {"Sheet1$", "SYSTEM TABLE"},
                         {"Totals", "VIEW"},
                         {"Syn", "SYNONYM"},
                         {"MSysObjects", "ACCESS TABLE"},
                         {"Orders", "TABLE"}});
  const QStringList common = {"Orders", "Totals", "Syn"};
  for (int32_t k : {kind::Generic, kind::Oracle, kind::SqlServer, kind::Access, kind::Text, kind::Paradox,
                    kind::FoxProTable, kind::Csv, kind::FoxProDatabase})
    EXPECT_EQ(names(CatalogueEntries(rs.get(), k, "", "")), common) << k;
  EXPECT_EQ(names(CatalogueEntries(rs.get(), kind::Excel, "xls", "")),
            QStringList({"Orders", "Sheet1$", "Totals", "Syn"}));
  const auto entries = CatalogueEntries(rs.get(), kind::Access, "mdb", "");
  EXPECT_EQ(entries[1].type, "VIEW");
  EXPECT_EQ(entries[1].image, "x135");
}

TEST(Catalogue, EmptyTextCatalogueFallsBackToTheOpenedFile) {
  auto empty = catalogueOf({});
  for (const QString ext : {"txt", "log", "csv", "TXT"}) {
    const auto entries = CatalogueEntries(empty.get(), kind::Text, ext, "/data/my shop." + ext);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "my shop." + ext);
    EXPECT_EQ(entries[0].image, "Text");
    EXPECT_EQ(entries[0].type, "TABLE");
  }
  EXPECT_TRUE(CatalogueEntries(empty.get(), kind::Access, "mdb", "/data/x.mdb").empty());
  EXPECT_TRUE(CatalogueEntries(nullptr, kind::Access, "mdb", "/data/x.mdb").empty());
  auto onlySystem = catalogueOf({{"MSysX", "SYSTEM TABLE"}});
  EXPECT_EQ(CatalogueEntries(onlySystem.get(), kind::Csv, "csv", "/d/a.csv").size(), 1u)
      << "the fallback applies when nothing was listed";
}

TEST(ContentQuery, QuotingByKind) {
  EXPECT_EQ(QuoteTableName("Orders", kind::Access), "Orders");
  EXPECT_EQ(QuoteTableName("Order Details", kind::Access), "[Order Details]");
  EXPECT_EQ(QuoteTableName("Order Details", kind::SqlServer), "[Order Details]");
  EXPECT_EQ(QuoteTableName("Order Details", kind::Excel), "[Order Details]");
  EXPECT_EQ(QuoteTableName("Order Details", kind::Oracle), "'Order Details'");
  for (int32_t k : {kind::Paradox, kind::FoxProTable, kind::FoxProDatabase, kind::Generic})
    EXPECT_EQ(QuoteTableName("Order Details", k), "\"Order Details\"") << k;
  EXPECT_EQ(QuoteTableName("my notes#txt", kind::Text), "[my notes#txt]");
  EXPECT_EQ(QuoteTableName("it's [x]", kind::Access), "[it's [x]]") << "inner characters are not escaped";
}

TEST(ContentQuery, StatementsByKindText) {
  EXPECT_EQ(ContentSql("Order Details", "mdb", kind::Access, "/d/shop.mdb"), "SELECT * FROM [Order Details]");
  EXPECT_EQ(ContentSql("Orders", "mdb", kind::Access, "/d/shop.mdb"), "SELECT * FROM Orders");
  EXPECT_EQ(ContentSql("a#txt", "txt", kind::Text, "/d/a.txt"), "SELECT * FROM a#txt");
  // csv and log show the opened file whatever name was chosen.
  EXPECT_EQ(ContentSql("other#csv", "csv", kind::Csv, "/d/Orders 2024.csv"), "SELECT * FROM [Orders 2024#csv]");
  EXPECT_EQ(ContentSql("anything", "log", kind::Text, "/d/shop.log"), "SELECT * FROM [shop#txt]");
  EXPECT_EQ(ContentSql("x", "LOG", kind::Text, "/d/shop.log"), "SELECT * FROM [shop#txt]");
}

TEST(LogCopy, MadeBesideTheLogAndRefreshedLater) {
  TempDir dir;
  const QString log = dir.write("shop.log", "first line\nsecond\n");
  EXPECT_EQ(LogCopyPath(log), dir.file("shop.txt"));
  PrepareLogCopy(log);
  EXPECT_EQ(dir.read("shop.txt"), QByteArray("first line\nsecond\n"));
  EXPECT_TRUE(QFile::exists(LogCopyMarkerPath(log)));

  dir.write("shop.log", "grown\n");
  PrepareLogCopy(log);
  EXPECT_EQ(dir.read("shop.txt"), QByteArray("grown\n")) << "a copy made earlier is refreshed";
}

TEST(LogCopy, NeverOverwritesAFileLumbrookDidNotMake) {
  TempDir dir;
  const QString log = dir.write("shop.log", "log\n");
  dir.write("shop.txt", "the user's own notes\n");
  try {
    PrepareLogCopy(log);
    FAIL() << "expected an error";
  } catch (const dataaccess::Error& e) {
    EXPECT_TRUE(e.description().contains(dir.file("shop.txt"))) << e.description().toStdString();
  }
  EXPECT_EQ(dir.read("shop.txt"), QByteArray("the user's own notes\n"));

  // Our copy, later edited by someone: no longer ours.
  TempDir dir2;
  const QString log2 = dir2.write("a.log", "log\n");
  PrepareLogCopy(log2);
  dir2.write("a.txt", "edited by hand\n");
  EXPECT_THROW(PrepareLogCopy(log2), dataaccess::Error);
  EXPECT_EQ(dir2.read("a.txt"), QByteArray("edited by hand\n"));

  // A marker copied from another log does not make the file ours.
  TempDir dir3;
  const QString log3 = dir3.write("b.log", "same\n");
  dir3.write("b.txt", "same\n");
  dir3.write(".b.txt.lumbrook", "other.log\n0000\n");
  EXPECT_THROW(PrepareLogCopy(log3), dataaccess::Error);
}

TEST(LogCopy, LogContentIsReadWithItsFirstLineAsData) {
  viewertest::resetState();
  viewertest::RecordingPrompts prompts;
  TempDir dir;
  const QString log = dir.write("shop.log", "started\nstopped\n");
  QString ext;
  auto cn = BuildConnection(log, ext);
  ASSERT_TRUE(cn) << (prompts.shown.empty() ? "" : prompts.shown[0].text.toStdString());
  auto rs = OpenContent(cn, "ignored", ext, state().SourceKind, log);
  EXPECT_EQ(rs->Source(), "SELECT * FROM [shop#txt]");
  EXPECT_EQ(rs->RecordCount(), 2);
  EXPECT_EQ(rs->Fields(0).Value().toString(), "started");
  EXPECT_EQ(rs->CursorLocation(), dataaccess::adUseClient);
  EXPECT_EQ(rs->LockType(), dataaccess::adLockBatchOptimistic);
  viewertest::resetState();
}

TEST(ContentView, ColumnRestrictionsUseTheUserSchemaOnlyForOracle) {
  viewertest::resetState();
  viewertest::RecordingPrompts prompts;
  TempDir dir;
  const QString p = dir.write("a.csv", "x\n1\n");
  QString ext;
  auto cn = BuildConnection(p, ext);
  ASSERT_TRUE(cn);
  const QVariantList r = ColumnRestrictions(*cn, "a#csv", kind::Csv);
  ASSERT_EQ(r.size(), 4);
  EXPECT_TRUE(r[0].isNull());
  EXPECT_TRUE(r[1].isNull());
  EXPECT_EQ(r[2].toString(), "a#csv");
  EXPECT_TRUE(r[3].isNull());
  viewertest::resetState();
}
