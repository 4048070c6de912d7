// Excel 2.x, 3.0 and 4.0 worksheets and Excel 4.0 workbooks: bare BIFF2-4
// streams built here record by record.
#include "biffwriter.h"
#include "dataaccess/connection.h"
#include "dataaccess/error.h"
#include "dataaccess/recordset.h"
#include "testsupport/tempdir.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace dataaccess;
using namespace biffwriter;

namespace {

std::shared_ptr<Connection> openXls(const QString& path) {
  auto cn = std::make_shared<Connection>();
  cn->Open(QStringLiteral("Driver={Microsoft Excel Driver (*.xls)};DriverId=790;Dbq=%1;DefaultDir=/tmp/;").arg(path));
  return cn;
}

QStringList tableNames(Connection& cn) {
  QStringList names;
  for (auto rs = cn.OpenSchema(adSchemaTables); !rs->IsEOF(); rs->MoveNext())
    names << rs->Fields(QStringLiteral("TABLE_NAME")).Value().toString();
  return names;
}

std::unique_ptr<Recordset> openTable(const std::shared_ptr<Connection>& cn, const QString& table) {
  auto rs = std::make_unique<Recordset>();
  rs->Open(QStringLiteral("SELECT * FROM [%1]").arg(table), cn, adOpenStatic, adLockReadOnly, adCmdText);
  return rs;
}

// A worksheet with a column of every kind of cell the old versions write.
// XF 0 is General, XF 1 shows dates (format 1, "m/d/yy").
OldSheet inventory(int version) {
  OldSheet s(version);
  s.codePage(0x8001);  // Windows ANSI
  s.format("General");
  s.format("m/d/yy");
  s.xf(0);
  s.xf(1);
  s.dimensions(0, 5, 0, 6);
  s.label(0, 0, "Item");
  s.label(0, 1, "Count");
  s.label(0, 2, "Bought");
  s.label(0, 3, "Ok");
  s.label(0, 4, "Total");
  s.label(0, 5, "Note");
  s.label(1, 0, "Gr\xFCnkohl");  // Grünkohl in Windows-1252
  if (version == 2) s.integer(1, 1, 0, 12);
  else s.rk(1, 1, 0, (12u << 2) | 2u);
  s.number(1, 2, 1, 38354.0);  // 2 January 2005
  s.boolErr(1, 3, 1, false);
  s.formulaNumber(1, 4, 0, 2.5);
  s.formulaText(1, 5, "from a formula");
  s.label(2, 0, "Bolt");
  s.number(2, 1, 0, 7.25);
  s.formulaNumber(2, 2, 1, 38355.5);  // a date from a formula
  s.formulaBoolean(2, 3, false);
  s.boolErr(2, 4, 0x07, true);  // #DIV/0!: an empty cell
  s.blank(3, 0);  // a formatted blank row, then an empty one inside the dimensions
  return s;
}

class OldWorksheet : public ::testing::TestWithParam<int> {};

}  // namespace

TEST_P(OldWorksheet, ReadsEveryKindOfCellAsOneSheetNamedAfterTheFile) {
  const int version = GetParam();
  testsupport::TempDir dir;
  const QString path = dir.write(QStringLiteral("Stock %1.xls").arg(version), inventory(version).stream());
  auto cn = openXls(path);
  EXPECT_EQ(tableNames(*cn), QStringList{QStringLiteral("Stock %1$").arg(version)});
  auto rs = openTable(cn, QStringLiteral("Stock %1$").arg(version));
  QStringList names;
  for (int i = 0; i < rs->FieldCount(); ++i) names << rs->Fields(i).Name();
  EXPECT_EQ(names, QStringList({"Item", "Count", "Bought", "Ok", "Total", "Note"}));
  ASSERT_EQ(rs->RecordCount(), 4);
  EXPECT_EQ(rs->Fields(1).Type(), adDouble);
  EXPECT_EQ(rs->Fields(2).Type(), adDate);
  EXPECT_EQ(rs->Fields(3).Type(), adBoolean);
  EXPECT_EQ(rs->Fields(0).Value().toString(), QStringLiteral("Grünkohl"));
  EXPECT_EQ(rs->Fields(1).Value().toDouble(), 12.0);
  EXPECT_EQ(rs->Fields(2).Value().toDateTime(), QDateTime(QDate(2005, 1, 2), QTime(0, 0), Qt::UTC));
  EXPECT_EQ(rs->Fields(3).Value().toBool(), true);
  EXPECT_EQ(rs->Fields(4).Value().toDouble(), 2.5);
  EXPECT_EQ(rs->Fields(5).Value().toString(), QStringLiteral("from a formula"));
  rs->MoveNext();
  EXPECT_EQ(rs->Fields(1).Value().toDouble(), 7.25);
  EXPECT_EQ(rs->Fields(2).Value().toDateTime(), QDateTime(QDate(2005, 1, 3), QTime(12, 0), Qt::UTC));
  EXPECT_EQ(rs->Fields(3).Value().toBool(), false);
  EXPECT_FALSE(rs->Fields(4).Value().isValid());
  rs->MoveNext();
  for (int i = 0; i < rs->FieldCount(); ++i) EXPECT_FALSE(rs->Fields(i).Value().isValid());
}

INSTANTIATE_TEST_SUITE_P(Excel, OldWorksheet, ::testing::Values(2, 3, 4));

TEST(ExcelOld, DatesOfThe1904SystemAndFormatsOnlyInTheCellAttributes) {
  // Excel 2.x keeps the number format in each cell's attributes; a file
  // without XF records still shows its dates.
  OldSheet s(2);
  s.dateMode1904();
  s.format("General");
  s.format("d-mmm-yy");
  s.label(0, 0, "When");
  QByteArray stream = s.stream();
  // NUMBER record, row 1, col 0, attributes XF 0 / format 1, day 0 of 1904.
  const QByteArray cell = le16(0x0003) + le16(15) + le16(1) + le16(0) + QByteArray("\x00\x01\x00", 3) + f64(0);
  stream.insert(stream.size() - 4, cell);
  testsupport::TempDir dir;
  auto rs = openTable(openXls(dir.write(QStringLiteral("d.xls"), stream)), QStringLiteral("d$"));
  ASSERT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(rs->Fields(0).Type(), adDate);
  EXPECT_EQ(rs->Fields(0).Value().toDateTime().date(), QDate(1904, 1, 1));
}

TEST(ExcelOld, Excel4WorkbookListsEachSheetWithItsOwnFormats) {
  // Globals: where the first sheet starts, one BOUNDSHEET (name only) per
  // sheet; then each sheet behind a SHEETHDR record (substream length,
  // name). A chart sheet is skipped.
  OldSheet first(4);
  first.format("General");
  first.format("yyyy-mm-dd");
  first.xf(0);
  first.xf(1);
  first.label(0, 0, "Day");
  first.number(1, 0, 1, 38354.0);
  OldSheet second(4);
  second.format("General");
  second.xf(0);
  second.xf(0);  // XF 1 is no date here
  second.label(0, 0, "Count");
  second.number(1, 0, 1, 38354.0);
  const auto record = [](uint16_t id, const QByteArray& d) { return le16(id) + le16(uint16_t(d.size())) + d; };
  const auto name = [](const QByteArray& n) { return QByteArray(1, char(n.size())) + n; };
  const auto sheet = [&](const QByteArray& n, const QByteArray& body) {
    return record(0x008F, le32(uint32_t(body.size())) + name(n)) + body;
  };
  QByteArray stream = record(0x0409, le16(0) + le16(0x0100) + le16(0));
  QByteArray names;
  for (const char* n : {"Days", "Chart1", "Counts"}) names += record(0x0085, name(n));
  stream += record(0x008E, le32(uint32_t(stream.size() + 8 + names.size()))) + names;  // SHEETSOFFSET
  stream += sheet("Days", first.stream());
  stream += sheet("Chart1", OldSheet(4).stream(0x0020));
  stream += sheet("Counts", second.stream());
  stream += record(0x000A, {});
  testsupport::TempDir dir;
  auto cn = openXls(dir.write(QStringLiteral("book.xls"), stream));
  EXPECT_EQ(tableNames(*cn), QStringList({"Days$", "Counts$"}));
  auto days = openTable(cn, QStringLiteral("Days$"));
  ASSERT_EQ(days->RecordCount(), 1);
  EXPECT_EQ(days->Fields(0).Value().toDateTime().date(), QDate(2005, 1, 2));
  auto counts = openTable(cn, QStringLiteral("Counts$"));
  ASSERT_EQ(counts->RecordCount(), 1);
  EXPECT_EQ(counts->Fields(0).Type(), adDouble);
  EXPECT_EQ(counts->Fields(0).Value().toDouble(), 38354.0);
}

TEST(ExcelOld, DamagedOldFilesGiveErrorsNeverCrashes) {
  const QByteArray good = inventory(3).stream();
  testsupport::TempDir dir;
  const auto readAll = [&](const QByteArray& bytes) -> QString {
    try {
      auto cn = openXls(dir.write(QStringLiteral("bad.xls"), bytes));
      for (const QString& t : tableNames(*cn))
        for (auto rs = openTable(cn, t); !rs->IsEOF(); rs->MoveNext()) rs->Fields(0).Value();
      return {};
    } catch (const Error& e) {
      return e.message();
    }
  };
  // Cut inside a record: damaged. Cut between records: what was read.
  EXPECT_TRUE(readAll(good.left(good.size() - 7)).contains(QLatin1String("damaged")));
  EXPECT_TRUE(readAll(good.left(4)).contains(QLatin1String("damaged")));
  QRandomGenerator rng(11);
  for (int i = 0; i < 200; ++i) {
    QByteArray bytes = good;
    const qsizetype at = 4 + qsizetype(rng.bounded(quint32(bytes.size() - 4)));
    bytes[at] = char(rng.bounded(256));
    readAll(bytes);
  }
}

TEST(ExcelOld, EveryByteOfASingleByteCodePageIsACharacter) {
  // Bytes Windows-1252 leaves undefined map to the code point of the same
  // number instead of U+FFFD; a DOS code page is read as itself.
  for (uint16_t cp : {uint16_t(1252), uint16_t(0x8001), uint16_t(850)}) {
    OldSheet s(4);
    s.codePage(cp);
    s.dimensions(0, 2, 0, 1);
    s.label(0, 0, "Name");
    s.label(1, 0, QByteArray("a\x81\x8D\x8F\x90\x9D\x82z"));
    testsupport::TempDir dir;
    auto cn = openXls(dir.write(QStringLiteral("cp.xls"), s.stream()));
    auto rs = openTable(cn, QStringLiteral("cp$"));
    ASSERT_EQ(rs->RecordCount(), 1);
    const QString text = rs->Fields(0).Value().toString();
    EXPECT_FALSE(text.contains(QChar(0xFFFD))) << cp;
    if (cp == 850) {
      EXPECT_EQ(text, QString::fromUtf8("aüìÅÉ\u00d8éz"));
    } else {
      EXPECT_EQ(text, QString::fromUtf8("a\u0081\u008d\u008f\u0090\u009d\u201az"));
    }
  }
}
