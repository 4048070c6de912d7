// Workbooks written here record by record (dates, times, Booleans), and the
// filter forms the viewer builds for .xls sources.
#include "dataaccess/connection.h"
#include "dataaccess/error.h"
#include "dataaccess/recordset.h"
#include "testsupport/fixtures.h"
#include "testsupport/tempdir.h"

#include <QtEndian>
#include <cstring>
#include <gtest/gtest.h>

extern "C" {
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>
}

using namespace dataaccess;

namespace {

// Builds the BIFF8 records of a workbook with one sheet.
class BiffWriter {
 public:
  QByteArray globals, sheet;

  static void record(QByteArray& out, uint16_t id, const QByteArray& data) {
    out += le16(id) + le16(uint16_t(data.size())) + data;
  }
  static QByteArray le16(uint16_t v) { return QByteArray(reinterpret_cast<const char*>(&v), 2); }
  static QByteArray le32(uint32_t v) { return QByteArray(reinterpret_cast<const char*>(&v), 4); }
  static QByteArray bof(uint16_t type) { return le16(0x0600) + le16(type) + QByteArray(12, '\0'); }

  void label(int row, int col, const QString& text) {
    QByteArray d = le16(uint16_t(row)) + le16(uint16_t(col)) + le16(0) + le16(uint16_t(text.size())) + QByteArray(1, 1);
    for (QChar c : text) d += le16(c.unicode());
    record(sheet, 0x0204, d);
  }
  void number(int row, int col, int xf, double v) {
    QByteArray d = le16(uint16_t(row)) + le16(uint16_t(col)) + le16(uint16_t(xf));
    d += QByteArray(reinterpret_cast<const char*>(&v), 8);
    record(sheet, 0x0203, d);
  }
  void boolean(int row, int col, bool v) {
    record(sheet, 0x0205, le16(uint16_t(row)) + le16(uint16_t(col)) + le16(0) + QByteArray(1, v ? 1 : 0) +
                              QByteArray(1, 0));
  }

  // The whole stream: globals with XF 0 general, XF 1 a date, then the sheet.
  QByteArray stream(const QString& sheetName) const {
    QByteArray head;
    record(head, 0x0809, bof(0x0005));
    for (uint16_t fmt : {uint16_t(0), uint16_t(14)}) record(head, 0x00E0, le16(0) + le16(fmt) + QByteArray(16, '\0'));
    QByteArray name = QByteArray(1, char(sheetName.size())) + QByteArray(1, 1);
    for (QChar c : sheetName) name += le16(c.unicode());
    const int boundSheetSize = 4 + 6 + name.size();
    const uint32_t sheetPos = uint32_t(head.size() + boundSheetSize + 4);
    record(head, 0x0085, le32(sheetPos) + QByteArray(2, '\0') + name);
    record(head, 0x000A, {});
    QByteArray body;
    record(body, 0x0809, bof(0x0010));
    body += sheet;
    record(body, 0x000A, {});
    return head + body;
  }
};

// Writes `stream` as the workbook stream of a compound document.
void writeXls(const QString& path, const QByteArray& stream) {
  gsf_init();
  GsfOutput* out = gsf_output_stdio_new(path.toUtf8().constData(), nullptr);
  ASSERT_NE(out, nullptr);
  GsfOutfile* ole = gsf_outfile_msole_new(out);
  GsfOutput* child = gsf_outfile_new_child(ole, "Workbook", FALSE);
  gsf_output_write(child, size_t(stream.size()), reinterpret_cast<const guint8*>(stream.constData()));
  gsf_output_close(child);
  g_object_unref(child);
  gsf_output_close(GSF_OUTPUT(ole));
  g_object_unref(ole);
  gsf_output_close(out);
  g_object_unref(out);
}

// 2 January 2005 as a serial day number of the 1900 date system.
constexpr double kJan2 = 38354.0;

QString datesWorkbook(const testsupport::TempDir& dir) {
  BiffWriter w;
  w.label(0, 0, QStringLiteral("When"));
  w.label(0, 1, QStringLiteral("Flag"));
  w.label(0, 2, QStringLiteral("Name"));
  w.number(1, 0, 1, kJan2);
  w.boolean(1, 1, true);
  w.label(1, 2, QStringLiteral("O'Brien"));
  w.number(2, 0, 1, kJan2 + (10 * 3600 + 5 * 60 + 7) / 86400.0);
  w.boolean(2, 1, false);
  w.label(2, 2, QStringLiteral("Smith"));
  w.number(3, 0, 1, 0.5);
  w.boolean(3, 1, true);
  w.number(4, 0, 1, 36525.0);
  const QString path = dir.file(QStringLiteral("dates.xls"));
  writeXls(path, w.stream(QStringLiteral("Log Book")));
  return path;
}

std::shared_ptr<Connection> openXls(const QString& path) {
  auto cn = std::make_shared<Connection>();
  cn->Open(QStringLiteral("Driver={Microsoft Excel Driver (*.xls)};DriverId=790;Dbq=%1;DefaultDir=/tmp/;").arg(path));
  return cn;
}

// Rows a statement returns; skips the test while the SQL engine is not built.
int64_t countRows(const std::shared_ptr<Connection>& cn, const QString& sql) {
  Recordset rs;
  rs.setCursorLocation(adUseClient);
  rs.Open(sql, cn, adOpenKeyset, adLockBatchOptimistic, adCmdText);
  return rs.RecordCount();
}

bool engineMissing(const std::shared_ptr<Connection>& cn, const QString& table) {
  try {
    countRows(cn, QStringLiteral("SELECT * FROM %1 WHERE 1 = 1").arg(table));
    return false;
  } catch (const Error& e) {
    return e.description() == QLatin1String("not yet");
  }
}

}  // namespace

TEST(ExcelWorkbook, DateFormattedNumbersAreDatesAndBooleansBooleans) {
  testsupport::TempDir dir;
  auto cn = openXls(datesWorkbook(dir));
  Recordset rs;
  rs.Open(QStringLiteral("SELECT * FROM [Log Book$]"), cn, adOpenStatic, adLockReadOnly, adCmdText);
  ASSERT_EQ(rs.RecordCount(), 4);
  EXPECT_EQ(rs.Fields(0).Type(), adDate);
  EXPECT_EQ(rs.Fields(1).Type(), adBoolean);
  EXPECT_EQ(rs.Fields(2).Type(), adVarWChar);
  EXPECT_EQ(rs.Fields(0).Value().toDateTime(), QDateTime(QDate(2005, 1, 2), QTime(0, 0), Qt::UTC));
  EXPECT_EQ(rs.Fields(1).Value().toBool(), true);
  rs.MoveNext();
  EXPECT_EQ(rs.Fields(0).Value().toDateTime(), QDateTime(QDate(2005, 1, 2), QTime(10, 5, 7), Qt::UTC));
  rs.MoveNext();
  EXPECT_EQ(rs.Fields(0).Value().toDateTime(), QDateTime(QDate(1899, 12, 30), QTime(12, 0), Qt::UTC));
  EXPECT_FALSE(rs.Fields(2).Value().isValid());
  rs.MoveNext();
  EXPECT_EQ(rs.Fields(0).Value().toDateTime().date(), QDate(1999, 12, 31));
  EXPECT_FALSE(rs.Fields(1).Value().isValid());
}

TEST(ExcelWorkbook, FilterLiteralFormsSelectTheExpectedRows) {
  testsupport::TempDir dir;
  auto cn = openXls(datesWorkbook(dir));
  if (engineMissing(cn, QStringLiteral("[Log Book$]"))) GTEST_SKIP() << "SQL engine not built yet";
  const QString from = QStringLiteral("SELECT * FROM [Log Book$] WHERE ");
  EXPECT_EQ(countRows(cn, from + QStringLiteral("[When] = '1/2/2005'")), 1);
  EXPECT_EQ(countRows(cn, from + QStringLiteral("[When] = '1/2/2005 10:5:7'")), 1);
  EXPECT_EQ(countRows(cn, from + QStringLiteral("[When] = '12:0:0'")), 1);
  EXPECT_EQ(countRows(cn, from + QStringLiteral("[Name] = 'O''Brien'")), 1);
  EXPECT_EQ(countRows(cn, from + QStringLiteral("[Flag] = 1")), 2);
  EXPECT_EQ(countRows(cn, from + QStringLiteral("[Name] LIKE 'S%'")), 1);
}
