#include "dataaccess/error.h"
#include "dataaccess/tablefolder.h"
#include "testsupport/tempdir.h"

#include <gtest/gtest.h>

using namespace dataaccess;
using testsupport::TempDir;

TEST(TableFolder, ListsTableFilesByExtensionInAnyCaseAndSkipsHiddenOnes) {
  TempDir dir;
  for (const char* name : {"b.DBF", "a.dbf", ".hidden.dbf", "c.dbf.bak", "noext", ".dbf", "d.Dbf"})
    dir.write(QString::fromLatin1(name), "x");
  dir.write(QStringLiteral("sub.dbf/inner.txt"), "x");  // a folder named like a table
  QStringList names;
  for (const QFileInfo& fi : tablefolder::tableFiles(dir.path(), {QStringLiteral("dbf")})) names << fi.fileName();
  EXPECT_EQ(names, (QStringList{QStringLiteral("a.dbf"), QStringLiteral("b.DBF"), QStringLiteral("d.Dbf")}));
  EXPECT_EQ(tablefolder::tablePath(dir.path(), QStringLiteral("B"), {QStringLiteral("dbf")}), dir.file(QStringLiteral("b.DBF")));
  EXPECT_TRUE(tablefolder::tablePath(dir.path(), QStringLiteral("sub"), {QStringLiteral("dbf")}).isEmpty());
  EXPECT_TRUE(tablefolder::tablePath(dir.path(), QStringLiteral("c"), {QStringLiteral("dbf")}).isEmpty());
}

TEST(TableFolder, FindsCompanionFilesIgnoringCaseInTheOrderAsked) {
  TempDir dir;
  const QString table = dir.write(QStringLiteral("Orders.DBF"), "x");
  dir.write(QStringLiteral("ORDERS.dbt"), "x");
  dir.write(QStringLiteral("orders.FPT"), "x");
  dir.write(QStringLiteral("Schema.Ini"), "x");
  EXPECT_EQ(tablefolder::findBeside(table, {QStringLiteral("fpt"), QStringLiteral("dbt")}), dir.file(QStringLiteral("orders.FPT")));
  EXPECT_EQ(tablefolder::findBeside(table, {QStringLiteral("dbt"), QStringLiteral("fpt")}), dir.file(QStringLiteral("ORDERS.dbt")));
  EXPECT_TRUE(tablefolder::findBeside(table, {QStringLiteral("cpg")}).isEmpty());
  EXPECT_EQ(tablefolder::findFile(dir.path(), QStringLiteral("SCHEMA.INI")), dir.file(QStringLiteral("Schema.Ini")));
  // A name that is a folder, or nothing at all, finds no file.
  EXPECT_TRUE(tablefolder::findFile(dir.path(), QStringLiteral("..")).isEmpty());
  EXPECT_TRUE(tablefolder::findFile(dir.path(), QString()).isEmpty());
}

TEST(TableFolder, OpeningRefusesMissingFoldersAndFilesWithTheGivenMessage) {
  TempDir dir;
  const QString file = dir.write(QStringLiteral("plain.txt"), "x");
  EXPECT_EQ(tablefolder::open(dir.path() + QStringLiteral("/.")), dir.path());
  for (const QString& bad : {QString(), dir.file(QStringLiteral("missing")), file}) {
    try {
      tablefolder::open(bad);
      ADD_FAILURE() << bad.toStdString();
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), err::kProviderFailure);
      EXPECT_TRUE(e.description().contains(QStringLiteral("does not exist"))) << e.description().toStdString();
    }
  }
  try {
    tablefolder::open(file, QStringLiteral("not a folder"));
    ADD_FAILURE();
  } catch (const Error& e) {
    EXPECT_EQ(e.description(), QStringLiteral("not a folder"));
  }
}
