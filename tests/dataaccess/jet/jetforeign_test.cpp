// Files that are not Access databases, and a database whose catalogue has
// no usage map: each gives the error that says why. Damaged copies of the
// databases in general are in the damaged-file suite.
#include "testsupport/fixtures.h"
#include "testsupport/readeverything.h"
#include "testsupport/tempdir.h"

#include <QFile>
#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

// Opens the database and reads the catalogue, the columns and every table,
// system tables included (not saved queries or links). Returns the error
// text, or an empty string when everything read.
QString readEverything(const QString& path) {
  return testsupport::readEverything(
      QStringLiteral("Provider=Microsoft JET 4.0 OLE DB Provider;Data Source=%1;").arg(path),
      [](const QString&, const QString& type) { return type.endsWith(QLatin1String("TABLE")); });
}

QByteArray fixtureBytes() {
  const QString path = testsupport::fixture(QStringLiteral("access/fruit.mdb"));
  if (path.isEmpty()) return {};
  QFile f(path);
  f.open(QIODevice::ReadOnly);
  return f.readAll();
}

}  // namespace

TEST(JetForeignFiles, MissingEmptyAndForeignFilesGiveErrors) {
  testsupport::TempDir dir;
  EXPECT_NE(readEverything(dir.file(QStringLiteral("missing.mdb"))), QString());
  EXPECT_TRUE(readEverything(dir.write(QStringLiteral("empty.mdb"), {})).contains(QLatin1String("empty")));
  EXPECT_TRUE(readEverything(dir.write(QStringLiteral("text.mdb"), "Fruit,Sugar\nApple,12\n"))
                  .contains(QLatin1String("Unrecognized database format")));
  QByteArray noise(8192, '\0');
  QRandomGenerator rng(7);
  for (char& c : noise) c = char(rng.bounded(256));
  EXPECT_NE(readEverything(dir.write(QStringLiteral("noise.mdb"), noise)), QString());
}

// A table whose usage-map pointer names an empty row has no map of its data
// pages: the catalogue's (on page 2) or a user table's must give an error,
// not a read through a null map.
TEST(JetForeignFiles, EmptyUsageMapGivesAnError) {
  const QByteArray bytes = fixtureBytes();
  if (bytes.isEmpty()) GTEST_SKIP() << "fixture not available";
  testsupport::TempDir dir;
  constexpr qsizetype kUsageMap = 2 * 4096 + 55;  // row byte, then page, of the catalogue's usage map
  QByteArray damaged = bytes.left(16 * 4096);
  damaged[kUsageMap] = char(0x81);
  damaged[kUsageMap + 1] = char(0x0B);
  damaged[kUsageMap + 2] = 0;
  damaged[kUsageMap + 3] = 0;
  const QString message = readEverything(dir.write(QStringLiteral("nomap.mdb"), damaged));
  EXPECT_TRUE(message.contains(QLatin1String("catalogue"))) << message.toStdString();
}
