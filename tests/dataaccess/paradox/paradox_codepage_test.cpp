// Code pages of Paradox tables: code page 0 (no mark) is DOS 437, the
// LegacyCodePage setting replaces that default, and text written back keeps
// every byte. Tables are made with pxlib, which also checks what was written.
#include "dataaccess/codepage.h"
#include "dataaccess/connection.h"
#include "dataaccess/error.h"
#include "dataaccess/recordset.h"
#include "testsupport/tempdir.h"

#include <QFile>
#include <gtest/gtest.h>
extern "C" {
#include <paradox.h>
}

using namespace dataaccess;

namespace {

struct LegacySettingGuard {
  ~LegacySettingGuard() { CodePage::setLegacyCodePage(QString()); }
};

std::shared_ptr<Connection> connect(const QString& folder) {
  auto cn = std::make_shared<Connection>();
  cn->Open(QStringLiteral("Provider=MSDASQL.1;Driver={Microsoft Paradox Driver (*.db )};Extended Properties=\""
                          "DefaultDir=%1;DriverId=538;FIL=Paradox 5.X;MaxBufferSize=2048;PageTimeout=30;"
                          "CollatingSequence=ASCII;\";User Id=Admin;")
               .arg(folder));
  return cn;
}

std::unique_ptr<Recordset> open(const std::shared_ptr<Connection>& cn, const QString& table) {
  auto rs = std::make_unique<Recordset>();
  rs->setCursorLocation(adUseClient);
  rs->Open(QStringLiteral("SELECT * FROM \"%1\"").arg(table), cn, adOpenKeyset, adLockBatchOptimistic, adCmdText);
  return rs;
}

// A table of an alpha field "Name" (width 128) and a short "N", one record
// per name, with the code page `codePage` in its header.
void makeTable(const QString& path, const std::vector<QByteArray>& names, int codePage) {
  pxdoc_t* doc = PX_new();
  auto* fields = static_cast<pxfield_t*>(doc->malloc(doc, 2 * sizeof(pxfield_t), "fields"));
  fields[0] = {PX_strdup(doc, "Name"), pxfAlpha, 128, 0};
  fields[1] = {PX_strdup(doc, "N"), pxfShort, 2, 0};
  ASSERT_EQ(PX_create_file(doc, fields, 2, QFile::encodeName(path).constData(), pxfFileTypNonIndexDB), 0);
  PX_set_parameter(doc, "codepage", "1252");
  short n = 1;
  for (QByteArray name : names) {
    QByteArray rec(doc->px_head->px_recordsize, '\0');
    PX_put_data_alpha(doc, rec.data(), 128, name.data());
    PX_put_data_short(doc, rec.data() + 128, 2, n++);
    PX_put_record(doc, rec.data());
  }
  PX_close(doc);
  PX_delete(doc);
  // pxlib writes no code page it does not know (nor 0): set it in the
  // header of version 4 and later tables.
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadWrite));
  ASSERT_TRUE(f.seek(0x6A));
  const char cp[2] = {char(codePage & 0xFF), char(codePage >> 8)};
  ASSERT_EQ(f.write(cp, 2), 2);
}

// The raw bytes of the Name field of record `rec`, read by pxlib, and the
// code page its header names.
QByteArray rawName(const QString& path, int rec, int* codePage = nullptr) {
  pxdoc_t* doc = PX_new();
  QByteArray out;
  if (PX_open_file(doc, QFile::encodeName(path).constData()) == 0) {
    if (codePage) *codePage = doc->px_head->px_doscodepage;
    QByteArray buffer(doc->px_head->px_recordsize, '\0');
    if (PX_get_record(doc, rec, buffer.data())) out = QByteArray(buffer.constData(), 128);
    while (out.endsWith('\0')) out.chop(1);
  }
  PX_close(doc);
  PX_delete(doc);
  return out;
}

QByteArray highBytes() {
  QByteArray high;
  for (int b = 0x80; b < 0x100; ++b) high += char(b);
  return high;
}

}  // namespace

TEST(ParadoxCodePage, CodePageZeroIsDos437) {
  testsupport::TempDir tmp;
  makeTable(tmp.file("dos.db"), {QByteArray("\x84\x94\x81 \x9A"), QByteArray("\xC9\xCD\xBB")}, 0);
  int codePage = -1;
  rawName(tmp.file("dos.db"), 0, &codePage);
  ASSERT_EQ(codePage, 0);
  auto rs = open(connect(tmp.path()), "dos");
  EXPECT_EQ(rs->Fields("Name").Value(), QVariant(QString::fromUtf8("äöü Ü")));
  rs->MoveNext();
  EXPECT_EQ(rs->Fields("Name").Value(), QVariant(QString::fromUtf8("╔═╗")));
}

TEST(ParadoxCodePage, NamedCodePagesAndTheLegacySetting) {
  LegacySettingGuard guard;
  testsupport::TempDir tmp;
  makeTable(tmp.file("win.db"), {QByteArray("caf\xE9")}, 1252);
  makeTable(tmp.file("none.db"), {QByteArray("caf\x8A")}, 0);
  makeTable(tmp.file("odd.db"), {QByteArray("caf\x8A")}, 4242);  // a page not known here
  ASSERT_TRUE(CodePage::setLegacyCodePage(QStringLiteral("cp850")));
  auto cn = connect(tmp.path());
  EXPECT_EQ(open(cn, "win")->Fields("Name").Value(), QVariant(QString::fromUtf8("café")));
  EXPECT_EQ(open(cn, "none")->Fields("Name").Value(), QVariant(QString::fromUtf8("cafè")));
  EXPECT_EQ(open(cn, "odd")->Fields("Name").Value(), QVariant(QString::fromUtf8("cafè")));
}

TEST(ParadoxCodePage, EveryByteWrittenBackUnchanged) {
  testsupport::TempDir tmp;
  const QByteArray high = highBytes();
  makeTable(tmp.file("bytes.db"), {high, QByteArray("x")}, 0);
  auto rs = open(connect(tmp.path()), "bytes");
  const QString text = rs->Fields("Name").Value().toString();
  ASSERT_EQ(text.size(), 128);
  EXPECT_FALSE(text.contains(QChar(0xFFFD)));
  rs->MoveNext();
  rs->Fields("Name").setValue(text);
  rs->UpdateBatch();
  EXPECT_EQ(rawName(tmp.file("bytes.db"), 0), high);
  EXPECT_EQ(rawName(tmp.file("bytes.db"), 1), high);

  // A character DOS 437 lacks is refused, and nothing is written.
  rs->Fields("Name").setValue(QString::fromUtf8("Ж"));
  EXPECT_THROW(rs->UpdateBatch(), Error);
  EXPECT_EQ(rawName(tmp.file("bytes.db"), 1), high);
}
