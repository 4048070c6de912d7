// Long records that go on in CONTINUE records (shared strings, labels,
// formula text) and the used range of a sheet, in workbooks built here
// record by record, and in workbooks that Python's xlwt writes.
#include "biffwriter.h"
#include "dataaccess/connection.h"
#include "dataaccess/error.h"
#include "dataaccess/recordset.h"
#include "testsupport/tempdir.h"

#include <QProcess>
#include <gtest/gtest.h>

using namespace dataaccess;
using namespace biffwriter;

namespace {

std::shared_ptr<Connection> openXls(const QString& path) {
  auto cn = std::make_shared<Connection>();
  cn->Open(QStringLiteral("Driver={Microsoft Excel Driver (*.xls)};DriverId=790;Dbq=%1;DefaultDir=/tmp/;").arg(path));
  return cn;
}

std::unique_ptr<Recordset> openTable(const std::shared_ptr<Connection>& cn, const QString& table) {
  auto rs = std::make_unique<Recordset>();
  rs->Open(QStringLiteral("SELECT * FROM [%1]").arg(table), cn, adOpenStatic, adLockReadOnly, adCmdText);
  return rs;
}

// Texts of every kind a shared-string table holds: 8-bit, 16-bit, long
// enough to cross several CONTINUE records, empty.
QString sampleText(int i) {
  switch (i % 6) {
    case 0: return QStringLiteral("row %1").arg(i);
    case 1: return QStringLiteral("Zürich straße %1 è").arg(i);
    case 2: return QStringLiteral("Ελληνικά Кириллица 日本語 %1").arg(i);
    case 3: return QStringLiteral("long %1 ").arg(i) + QString(300 + i % 50, QChar(i % 2 ? u'x' : u'ж'));
    case 4: return QStringLiteral("%1 ab").arg(i);
    default: return i % 12 == 5 ? QString() : QStringLiteral("mixed ä€ %1").arg(i);
  }
}

struct SstCase {
  int rows;     // below the header row; a sheet holds at most 65,536 rows
  int limit;    // bytes per record before a CONTINUE record
  bool mixed;   // continued characters switch between 8-bit and 16-bit
};

class SharedStrings : public ::testing::TestWithParam<SstCase> {};

}  // namespace

TEST_P(SharedStrings, EveryStringReadsWholeAcrossContinueRecords) {
  const SstCase c = GetParam();
  Biff8Book book(c.limit);
  book.mixedEncodings = c.mixed;
  book.labelSst(0, 0, book.share(QStringLiteral("Text")));
  book.labelSst(0, 1, book.share(QStringLiteral("N")));
  for (int i = 0; i < c.rows; ++i) {
    // Rich-text runs and phonetic data on some strings cross boundaries too.
    book.labelSst(i + 1, 0, book.share(sampleText(i), i % 7 == 3 ? 3 : 0, i % 11 == 4 ? 9 : 0));
    book.labelSst(i + 1, 1, book.share(QString::number(i)));
  }
  book.dimensions(0, c.rows + 1, 0, 2);
  testsupport::TempDir dir;
  const QString path = dir.file(QStringLiteral("strings.xls"));
  writeXls(path, book.stream(QStringLiteral("Data")));

  auto rs = openTable(openXls(path), QStringLiteral("Data$"));
  ASSERT_EQ(rs->RecordCount(), c.rows);
  EXPECT_EQ(rs->Fields(0).Name(), QStringLiteral("Text"));
  int mismatches = 0;
  for (int i = 0; !rs->IsEOF(); rs->MoveNext(), ++i) {
    const QVariant v = rs->Fields(0).Value();
    const QString expected = sampleText(i);
    if (v.toString() != expected || rs->Fields(1).Value().toString() != QString::number(i))
      if (++mismatches < 5) ADD_FAILURE() << "row " << i << ": " << v.toString().toStdString();
  }
  EXPECT_EQ(mismatches, 0);
}

INSTANTIATE_TEST_SUITE_P(Excel, SharedStrings,
                         ::testing::Values(SstCase{10, 8224, false}, SstCase{10, 23, false}, SstCase{10, 23, true},
                                           SstCase{1000, 8224, false}, SstCase{1000, 8224, true},
                                           SstCase{1000, 97, true}, SstCase{65535, 8224, true}));

TEST(ExcelRecords, LabelsAndFormulaTextGoOnInContinueRecords) {
  for (bool mixed : {false, true}) {
    SCOPED_TRACE(mixed);
    Biff8Book book(40);
    book.mixedEncodings = mixed;
    const QString longLatin = QStringLiteral("abcdefghij").repeated(30);
    const QString longWide = QStringLiteral("ŁódźЖ").repeated(40);
    book.label(0, 0, QStringLiteral("Label"));
    book.label(0, 1, QStringLiteral("Formula"));
    book.label(1, 0, longLatin);
    book.formulaText(1, 1, longWide);
    book.label(2, 0, longWide);
    book.formulaText(2, 1, longLatin);
    testsupport::TempDir dir;
    const QString path = dir.file(QStringLiteral("long.xls"));
    writeXls(path, book.stream(QStringLiteral("Sheet1")));
    auto rs = openTable(openXls(path), QStringLiteral("Sheet1$"));
    ASSERT_EQ(rs->RecordCount(), 2);
    EXPECT_EQ(rs->Fields(0).Type(), adLongVarWChar);
    EXPECT_EQ(rs->Fields(0).Value().toString(), longLatin);
    EXPECT_EQ(rs->Fields(1).Value().toString(), longWide);
    rs->MoveNext();
    EXPECT_EQ(rs->Fields(0).Value().toString(), longWide);
    EXPECT_EQ(rs->Fields(1).Value().toString(), longLatin);
  }
}

TEST(ExcelRecords, StringCutShortInItsLastContinueRecordIsDamage) {
  Biff8Book book(30);
  book.labelSst(0, 0, book.share(QStringLiteral("x").repeated(100)));
  QByteArray stream = book.stream(QStringLiteral("S"));
  // Drop the last CONTINUE record of the shared-string table.
  const qsizetype boundSheet = stream.indexOf(QByteArray("\x85\x00", 2));
  const qsizetype lastContinue = stream.lastIndexOf(QByteArray("\x3C\x00", 2), boundSheet);
  ASSERT_GT(lastContinue, 0);
  stream.remove(lastContinue, boundSheet - lastContinue);
  testsupport::TempDir dir;
  const QString path = dir.file(QStringLiteral("cut.xls"));
  writeXls(path, stream);
  try {
    openTable(openXls(path), QStringLiteral("S$"));
    FAIL() << "a cut string read";
  } catch (const Error& e) {
    EXPECT_TRUE(e.description().contains(QLatin1String("damaged"))) << e.message().toStdString();
  }
}

// The used range is what Excel records: the DIMENSIONS record and formatted
// blank cells. Its first row names the columns; every other row is a row.
TEST(ExcelUsedRange, BlankFormattedRowsAboveAValueAreRows) {
  testsupport::TempDir dir;
  {
    // Eleven formatted blank rows, then 42 in A12.
    Biff8Book book;
    for (int r = 0; r < 11; ++r) book.blank(r, 0);
    book.number(11, 0, 0, 42);
    book.dimensions(0, 12, 0, 1);
    writeXls(dir.file(QStringLiteral("blank.xls")), book.stream(QStringLiteral("S")));
    auto rs = openTable(openXls(dir.file(QStringLiteral("blank.xls"))), QStringLiteral("S$"));
    EXPECT_EQ(rs->Fields(0).Name(), QStringLiteral("F1"));
    EXPECT_EQ(rs->Fields(0).Type(), adDouble);
    ASSERT_EQ(rs->RecordCount(), 11);
    EXPECT_FALSE(rs->Fields(0).Value().isValid());
    rs->MoveLast();
    EXPECT_EQ(rs->Fields(0).Value().toDouble(), 42.0);
  }
  {
    // The same with only the DIMENSIONS record saying where the sheet starts.
    Biff8Book book;
    book.number(11, 0, 0, 42);
    book.dimensions(0, 12, 0, 1);
    writeXls(dir.file(QStringLiteral("dims.xls")), book.stream(QStringLiteral("S")));
    auto rs = openTable(openXls(dir.file(QStringLiteral("dims.xls"))), QStringLiteral("S$"));
    EXPECT_EQ(rs->Fields(0).Name(), QStringLiteral("F1"));
    EXPECT_EQ(rs->RecordCount(), 11);
  }
  {
    // No DIMENSIONS record: the blank cells alone count.
    Biff8Book book;
    book.blank(2, 1);
    book.number(5, 2, 0, 7);
    writeXls(dir.file(QStringLiteral("nodims.xls")), book.stream(QStringLiteral("S")));
    auto rs = openTable(openXls(dir.file(QStringLiteral("nodims.xls"))), QStringLiteral("S$"));
    ASSERT_EQ(rs->FieldCount(), 2);
    EXPECT_EQ(rs->Fields(1).Name(), QStringLiteral("F2"));
    EXPECT_EQ(rs->RecordCount(), 3);
  }
}

// A damaged DIMENSIONS record claiming millions of rows and every column
// past a few cells: the table ends near the cells, instead of a small file
// becoming millions of empty rows.
TEST(ExcelUsedRange, DimensionsFarPastTheCellsAreNotBelieved) {
  testsupport::TempDir dir;
  for (const auto& [rows, cols] : {std::pair{0x7FFFFFFF, 256}, std::pair{100, 256}, std::pair{0x7FFFFFFF, 3}}) {
    Biff8Book book;
    book.label(0, 0, QStringLiteral("A"));
    book.label(0, 1, QStringLiteral("B"));
    book.number(1, 0, 0, 1);
    book.number(2, 1, 0, 2);
    book.dimensions(0, rows, 0, cols);
    const QString path = dir.file(QStringLiteral("dims%1x%2.xls").arg(rows).arg(cols));
    writeXls(path, book.stream(QStringLiteral("S")));
    auto rs = openTable(openXls(path), QStringLiteral("S$"));
    SCOPED_TRACE(path.toStdString());
    // At most twice the rows and columns the cells span.
    EXPECT_LE(rs->FieldCount(), 4);
    EXPECT_LE(rs->RecordCount(), 5);
    EXPECT_EQ(rs->Fields(0).Value().toDouble(), 1.0);
  }
}

TEST(ExcelUsedRange, MergedFormattedHeaderAreaKeepsTheRowsBelow) {
  // A1:C2 merged and formatted (MULBLANK), a header row in row 3, data below.
  Biff8Book book;
  book.mulBlank(0, 0, 2);
  book.mulBlank(1, 0, 2);
  book.label(2, 0, QStringLiteral("Name"));
  book.label(2, 2, QStringLiteral("Qty"));
  book.label(3, 0, QStringLiteral("bolt"));
  book.number(3, 2, 0, 12);
  book.dimensions(0, 4, 0, 3);
  testsupport::TempDir dir;
  const QString path = dir.file(QStringLiteral("merged.xls"));
  writeXls(path, book.stream(QStringLiteral("S")));
  auto rs = openTable(openXls(path), QStringLiteral("S$"));
  ASSERT_EQ(rs->FieldCount(), 3);
  EXPECT_EQ(rs->Fields(0).Name(), QStringLiteral("F1"));
  ASSERT_EQ(rs->RecordCount(), 3);
  EXPECT_FALSE(rs->Fields(0).Value().isValid());
  rs->MoveNext();
  EXPECT_EQ(rs->Fields(0).Value().toString(), QStringLiteral("Name"));
  EXPECT_EQ(rs->Fields(2).Value().toString(), QStringLiteral("Qty"));
  rs->MoveNext();
  EXPECT_EQ(rs->Fields(2).Value().toString(), QStringLiteral("12"));
}

// Workbooks written by another program: Python's xlwt (Debian python3-xlwt).
TEST(ExcelRecords, ReadsWorkbooksWrittenByXlwt) {
  testsupport::TempDir dir;
  const QString path = dir.file(QStringLiteral("xlwt.xls"));
  const QString script = QStringLiteral(
      "import sys, xlwt\n"
      "wb = xlwt.Workbook(); ws = wb.add_sheet('Data')\n"
      "ws.write(0, 0, 'Name'); ws.write(0, 1, 'Other')\n"
      "for i in range(1, 3001):\n"
      "    ws.write(i, 0, 'name %d' % i)\n"
      "    ws.write(i, 1, ('v\\u00e4rde \\u0416\\u20ac %d' % i) * (1 + i % 4))\n"
      "wb.save(sys.argv[1])\n");
  QProcess py;
  py.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), script, path});
  if (!py.waitForFinished(60000) || py.exitCode() != 0) GTEST_SKIP() << "python3-xlwt is not installed";
  auto rs = openTable(openXls(path), QStringLiteral("Data$"));
  ASSERT_EQ(rs->RecordCount(), 3000);
  for (int i = 1; !rs->IsEOF(); rs->MoveNext(), ++i) {
    ASSERT_EQ(rs->Fields(0).Value().toString(), QStringLiteral("name %1").arg(i));
    ASSERT_EQ(rs->Fields(1).Value().toString(), QStringLiteral("värde Ж€ %1").arg(i).repeated(1 + i % 4));
  }
}
