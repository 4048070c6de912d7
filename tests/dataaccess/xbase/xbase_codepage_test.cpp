// Code pages of dBase/FoxPro tables (no mark, unknown marks, Mazovia and
// Kamenický, the LegacyCodePage default, bytes written back unchanged) and
// the exact text of dBase IV memos.
#include "xbasetestutil.h"

#include "dataaccess/codepage.h"
#include "dataaccess/error.h"

#include "testsupport/fixtures.h"
#include "testsupport/tempdir.h"

#include <gtest/gtest.h>

using namespace dataaccess;
using namespace xbasetest;

namespace {

struct LegacySettingGuard {
  ~LegacySettingGuard() { CodePage::setLegacyCodePage(QString()); }
};

QByteArray le32(uint32_t v) {
  QByteArray b(4, '\0');
  for (int i = 0; i < 4; ++i) b[i] = char((v >> (8 * i)) & 0xFF);
  return b;
}

// A dBase IV table (version 0x8B, no language-driver mark) with a 10-byte
// name and a memo field, one record per (name, first memo block; 0: none).
QByteArray dBaseFourTable(const std::vector<std::pair<QByteArray, int>>& rows) {
  const int recordLength = 1 + 10 + 10;
  const int headerLength = 32 + 2 * 32 + 1;
  QByteArray out(32, '\0');
  out[0] = char(0x8B);
  out[1] = 124;
  out[2] = 1;
  out[3] = 2;
  out.replace(4, 4, le32(uint32_t(rows.size())));
  out[8] = char(headerLength & 0xFF);
  out[9] = char(headerLength >> 8);
  out[10] = char(recordLength);
  for (const auto& [name, type] : {std::pair<const char*, char>{"NAME", 'C'}, {"NOTES", 'M'}}) {
    QByteArray d(32, '\0');
    d.replace(0, int(strlen(name)), name);
    d[11] = type;
    d[16] = 10;
    out += d;
  }
  out += '\x0D';
  for (const auto& [name, block] : rows) {
    out += ' ';
    out += name.leftJustified(10, ' ', true);
    out += block ? QByteArray::number(block).rightJustified(10, ' ') : QByteArray(10, ' ');
  }
  out += '\x1A';
  return out;
}

// A dBase IV memo file of 512-byte blocks; each memo block is given whole
// (block header included) and padded to a block boundary.
QByteArray dBaseFourMemo(const std::vector<QByteArray>& blocks) {
  QByteArray out(512, '\0');
  out[20] = 0x00;
  out[21] = 0x02;  // block size 512
  for (const QByteArray& b : blocks) {
    out += b;
    out += QByteArray((512 - b.size() % 512) % 512, '\x1F');
  }
  out.replace(0, 4, le32(uint32_t(out.size() / 512)));
  return out;
}

QByteArray memoBlock(const QByteArray& text, int lengthAdjust = 0) {
  return QByteArray("\xFF\xFF\x08\x00", 4) + le32(uint32_t(text.size() + 8 + lengthAdjust)) + text;
}

}  // namespace

TEST(XBaseCodePage, TablesWithoutAKnownMarkAreWindows1252) {
  testsupport::TempDir tmp;
  tmp.write("nomark.dbf", vfpTable({{"NAME", 'C', 20}}, {QByteArray("baix pened\xE8s")}, 0x00));
  tmp.write("unknown.dbf", vfpTable({{"NAME", 'C', 20}}, {QByteArray("Vall\xE8s \x80")}, 0xFE));
  tmp.write("polish.dbf", vfpTable({{"NAME", 'C', 20}}, {QByteArray("\x9C\xA2\x64\xA6")}, 0x69));
  tmp.write("czech.dbf", vfpTable({{"NAME", 'C', 20}}, {QByteArray("\x80\x65\xA8tina")}, 0x68));
  auto cn = connect(folderConnection(tmp.path()));
  EXPECT_EQ(openTable(cn, "nomark")->Fields(0).Value(), QVariant(QString::fromUtf8("baix penedès")));
  EXPECT_EQ(openTable(cn, "unknown")->Fields(0).Value(), QVariant(QString::fromUtf8("Vallès €")));
  EXPECT_EQ(openTable(cn, "polish")->Fields(0).Value(), QVariant(QString::fromUtf8("Łódź")));
  EXPECT_EQ(openTable(cn, "czech")->Fields(0).Value(), QVariant(QString::fromUtf8("Čeština")));
}

TEST(XBaseCodePage, CpgFileBesideATableWithoutAMarkNamesItsCodePage) {
  testsupport::TempDir tmp;
  tmp.write("utf.dbf", vfpTable({{"NAME", 'C', 20}}, {QByteArray("pened\xC3\xA8s")}, 0x00));
  tmp.write("utf.cpg", "UTF-8\n");
  tmp.write("ldid.dbf", vfpTable({{"NAME", 'C', 20}}, {QByteArray("\x8C\xA8\xE0")}, 0x00));
  tmp.write("LDID.CPG", "LDID/38");
  tmp.write("iso.dbf", vfpTable({{"NAME", 'C', 20}}, {QByteArray("\xA3\xF3" "d\xBC")}, 0x00));
  tmp.write("iso.cpg", "88592");
  tmp.write("odd.dbf", vfpTable({{"NAME", 'C', 20}}, {QByteArray("pened\xE8s")}, 0x00));
  tmp.write("odd.cpg", "no such page");
  // The header's mark wins over the .cpg file.
  tmp.write("marked.dbf", vfpTable({{"NAME", 'C', 20}}, {QByteArray("pened\xE8s")}, 0x03));
  tmp.write("marked.cpg", "UTF-8");
  auto cn = connect(folderConnection(tmp.path()));
  EXPECT_EQ(openTable(cn, "utf")->Fields(0).Value(), QVariant(QString::fromUtf8("penedès")));
  EXPECT_EQ(openTable(cn, "ldid")->Fields(0).Value(), QVariant(QString::fromUtf8("Мир")));
  EXPECT_EQ(openTable(cn, "iso")->Fields(0).Value(), QVariant(QString::fromUtf8("Łódź")));
  EXPECT_EQ(openTable(cn, "odd")->Fields(0).Value(), QVariant(QString::fromUtf8("penedès")));
  EXPECT_EQ(openTable(cn, "marked")->Fields(0).Value(), QVariant(QString::fromUtf8("penedès")));

  // Edits are written in the page the .cpg names.
  auto rs = openTable(cn, "utf");
  rs->Fields(0).setValue(QString::fromUtf8("Łódź"));
  rs->UpdateBatch();
  EXPECT_TRUE(readAll(tmp.file("utf.dbf")).contains("\xC5\x81\xC3\xB3" "d\xC5\xBA"));
}

TEST(XBaseCodePage, LegacyCodePageSettingDecidesOnlyForTablesWithoutAMark) {
  LegacySettingGuard guard;
  testsupport::TempDir tmp;
  tmp.write("nomark.dbf", vfpTable({{"NAME", 'C', 8}}, {QByteArray("caf\x8A")}, 0x00));
  tmp.write("marked.dbf", vfpTable({{"NAME", 'C', 8}}, {QByteArray("caf\x8A")}, 0x03));
  ASSERT_TRUE(CodePage::setLegacyCodePage(QStringLiteral("850")));
  auto cn = connect(folderConnection(tmp.path()));
  EXPECT_EQ(openTable(cn, "nomark")->Fields(0).Value(), QVariant(QString::fromUtf8("cafè")));
  EXPECT_EQ(openTable(cn, "marked")->Fields(0).Value(), QVariant(QString::fromUtf8("cafŠ")));
}

TEST(XBaseCodePage, EveryByteReadAndWrittenBackUnchanged) {
  testsupport::TempDir tmp;
  QByteArray high;
  for (int b = 0x80; b < 0x100; ++b) high += char(b);
  tmp.write("bytes.dbf", vfpTable({{"NAME", 'C', 128}, {"N", 'C', 2}}, {high + "1", QByteArray(128, 'x') + "2"}, 0x00));
  auto cn = connect(folderConnection(tmp.path()));
  auto rs = openTable(cn, "bytes");
  const QString text = rs->Fields("NAME").Value().toString();
  ASSERT_EQ(text.size(), 128);
  EXPECT_FALSE(text.contains(QChar(0xFFFD)));

  // The text copied into the second record gives the first record's bytes.
  rs->MoveNext();
  rs->Fields("NAME").setValue(text);
  rs->Fields("N").setValue(QStringLiteral("3"));
  rs->UpdateBatch();
  const QByteArray file = readAll(tmp.file("bytes.dbf"));
  EXPECT_EQ(file.count(high), 2);
  EXPECT_TRUE(file.contains(high + "3"));
}

TEST(XBaseMemo, DBaseFourMemoLengthGivesTheTextExactly) {
  testsupport::TempDir tmp;
  QByteArray longText;
  for (int i = 0; i < 60; ++i) longText += "line " + QByteArray::number(i) + " of a memo\r\n";
  ASSERT_GT(longText.size(), 512);
  tmp.write("notes.dbf", dBaseFourTable({{"crlf", 1}, {"lf", 2}, {"long", 3}, {"empty", 0}, {"stale", 6}}));
  tmp.write("notes.dbt", dBaseFourMemo({memoBlock("Second memo\r\n"), memoBlock("Ends in a line feed\n"),
                                        memoBlock(longText), memoBlock("Short\x1F\x1F\r\nleft over", -11)}));
  auto rs = openTable(connect(folderConnection(tmp.path())), "notes");
  ASSERT_EQ(rs->RecordCount(), 5);
  EXPECT_EQ(rs->Fields("NOTES").Value(), QVariant(QStringLiteral("Second memo\r\n")));
  rs->MoveNext();
  EXPECT_EQ(rs->Fields("NOTES").Value(), QVariant(QStringLiteral("Ends in a line feed\n")));
  rs->MoveNext();
  EXPECT_EQ(rs->Fields("NOTES").Value(), QVariant(QString::fromLatin1(longText)));
  rs->MoveNext();
  EXPECT_EQ(rs->Fields("NOTES").Value(), QVariant(QString()));
  // Bytes past the length are what an earlier, longer memo left behind.
  rs->MoveNext();
  EXPECT_EQ(rs->Fields("NOTES").Value(), QVariant(QStringLiteral("Short\x1F\x1F")));

  // A memo written here reads back with its line break.
  rs->Fields("NOTES").setValue(QString::fromUtf8("Written\r\nback Ж\r\n"));
  EXPECT_THROW(rs->UpdateBatch(), Error);  // "Ж" has no code in Windows-1252
  rs->CancelBatch();
  rs = openTable(connect(folderConnection(tmp.path())), "notes");
  rs->Move(4);
  rs->Fields("NOTES").setValue(QString::fromUtf8("Written\r\nback é\r\n"));
  rs->UpdateBatch();
  rs = openTable(connect(folderConnection(tmp.path())), "notes");
  rs->Move(4);
  EXPECT_EQ(rs->Fields("NOTES").Value(), QVariant(QString::fromUtf8("Written\r\nback é\r\n")));
  EXPECT_TRUE(readAll(tmp.file("notes.dbt")).contains("Written\r\nback \xE9\r\n"));
}

TEST(XBaseMemo, DBaseFourFixtureMemosEndWhereTheirLengthSays) {
  LUMBROOK_REQUIRE_FIXTURE(dir, "dbase");
  auto rs = openTable(connect(folderConnection(dir)), "dbase_8b");
  EXPECT_EQ(rs->Fields("MEMO").Value(), QVariant(QStringLiteral("First memo\r\n")));
  rs->MoveNext();
  EXPECT_EQ(rs->Fields("MEMO").Value(), QVariant(QStringLiteral("Second memo")));
}
