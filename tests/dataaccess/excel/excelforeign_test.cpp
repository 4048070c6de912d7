// Files that are not readable workbooks (missing, empty, another format, a
// chart, noise, a password-protected workbook): each gives the error that
// says why. Damaged copies of workbooks are in the damaged-file suite.
#include "testsupport/fixtures.h"
#include "testsupport/readeverything.h"
#include "testsupport/tempdir.h"

#include <QFile>
#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

// Opens the workbook and reads every table. Returns the error text, or an
// empty string when everything read.
QString readEverything(const QString& path) {
  return testsupport::readEverything(
      QStringLiteral("Driver={Microsoft Excel Driver (*.xls)};DriverId=790;Dbq=%1;DefaultDir=/tmp/;").arg(path));
}

QByteArray fixtureBytes(const char* name) {
  const QString path = testsupport::fixture(QStringLiteral("excel/") + QLatin1String(name));
  if (path.isEmpty()) return {};
  QFile f(path);
  f.open(QIODevice::ReadOnly);
  return f.readAll();
}

}  // namespace

TEST(ExcelForeignFiles, ForeignFilesGiveClearErrors) {
  testsupport::TempDir dir;
  EXPECT_TRUE(readEverything(dir.file(QStringLiteral("missing.xls"))).contains(QLatin1String("Could not find")));
  EXPECT_TRUE(readEverything(dir.write(QStringLiteral("empty.xls"), {})).contains(QLatin1String("empty")));
  EXPECT_TRUE(readEverything(dir.write(QStringLiteral("csv.xls"), "a,b\n1,2\n")).contains(QLatin1String("not an Excel")));
  EXPECT_TRUE(readEverything(dir.write(QStringLiteral("new.xls"), QByteArray("PK\x03\x04", 4) + QByteArray(100, 'x')))
                  .contains(QLatin1String(".xlsx")));
  // An Excel 4.0 chart: a bare BIFF stream, but no worksheet.
  const QByteArray chart("\x09\x04\x06\x00\x00\x00\x20\x00\x00\x00", 10);
  EXPECT_TRUE(readEverything(dir.write(QStringLiteral("chart.xls"), chart))
                  .contains(QLatin1String("holds no worksheet")));
  QByteArray noise(4096, '\0');
  QRandomGenerator rng(3);
  for (char& c : noise) c = char(rng.bounded(256));
  EXPECT_NE(readEverything(dir.write(QStringLiteral("noise.xls"), noise)), QString());
}

TEST(ExcelForeignFiles, EncryptedWorkbookSaysSo) {
  const QByteArray bytes = fixtureBytes("ragged.xls");
  if (bytes.isEmpty()) GTEST_SKIP() << "fixture not available";
  // Rename the first BIFF8 record after the workbook's BOF to FILEPASS,
  // the record Excel writes into a password-protected workbook.
  const qsizetype bof = bytes.indexOf(QByteArray("\x09\x08\x10\x00\x00\x06\x05\x00", 8));
  ASSERT_GT(bof, 0);
  QByteArray locked = bytes;
  locked[bof + 20] = 0x2F;
  locked[bof + 21] = 0x00;
  testsupport::TempDir dir;
  EXPECT_TRUE(readEverything(dir.write(QStringLiteral("locked.xls"), locked)).contains(QLatin1String("password")));
}
