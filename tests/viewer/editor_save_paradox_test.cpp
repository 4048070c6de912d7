// Saving through the record editor's logic on a Paradox table made with
// pxlib: text, number, date and Boolean edits read back by the viewer and
// by pxlib.
#include "dataaccess/recordset.h"
#include "testgrid.h"
#include "testsupport/tempdir.h"
#include "viewer/editor/editorrules.h"
#include "viewer/editor/recordedit.h"

#include <QFile>
#include <gtest/gtest.h>
extern "C" {
#include <paradox.h>
}

using namespace viewer;
using namespace viewer::editor;
using namespace viewertest;

namespace {

const QLocale kUs(QLocale::English, QLocale::UnitedStates);

void makeParts(const QString& path) {
  const char* names[4] = {"Name", "Qty", "Since", "Ok"};
  const char types[4] = {pxfAlpha, pxfLong, pxfDate, pxfLogical};
  const int lengths[4] = {12, 4, 4, 1};
  pxdoc_t* doc = PX_new();
  auto* fields = static_cast<pxfield_t*>(doc->malloc(doc, 4 * sizeof(pxfield_t), "fields"));
  for (int i = 0; i < 4; ++i) {
    fields[i].px_fname = PX_strdup(doc, names[i]);
    fields[i].px_ftype = types[i];
    fields[i].px_flen = lengths[i];
    fields[i].px_fdc = 0;
  }
  ASSERT_EQ(PX_create_file(doc, fields, 4, QFile::encodeName(path).constData(), pxfFileTypNonIndexDB), 0);
  PX_set_parameter(doc, "codepage", "1252");
  for (int r = 0; r < 2; ++r) {
    QByteArray rec(doc->px_head->px_recordsize, '\0');
    char* p = rec.data();
    QByteArray name(r ? "Bolt" : "Nut");
    PX_put_data_alpha(doc, p, 12, name.data());
    PX_put_data_long(doc, p + 12, 4, 10 + r);
    PX_put_data_long(doc, p + 16, 4, PX_GregorianToSdn(2005, 1, 2) - 1721425);
    PX_put_data_byte(doc, p + 20, 1, 0);
    PX_put_record(doc, p);
  }
  PX_close(doc);
  PX_delete(doc);
}

}  // namespace

TEST(ParadoxEdit, EditSaveReopenAndPxlibSeesIt) {
  testsupport::TempDir dir;
  RecordingPrompts prompts;
  const QString path = dir.file("parts.db");
  makeParts(path);
  QString ext;
  auto rs = openTable(path, "parts", ext);
  ASSERT_TRUE(rs) << (prompts.shown.empty() ? "" : prompts.shown[0].text.toStdString());
  rs->MoveLast();
  RecordEdit edit(kUs);
  edit.load(rs, state().SourceKind);
  ASSERT_EQ(edit.rowCount(), 4);
  EXPECT_EQ(edit.row(1).text, "Bolt");
  EXPECT_EQ(edit.row(3).spec.aid, "DATE");
  EXPECT_EQ(edit.row(4).spec.aid, "BOOLEAN");
  edit.textChanged(1, "Washer");
  edit.textChanged(2, "77");
  edit.textChanged(3, pickedDateText(QDate(2010, 6, 30), edit.row(3).text, kUs));
  edit.textChanged(4, toggledBooleanText(edit.row(4).text));
  ASSERT_TRUE(edit.SaveRecord()) << (prompts.shown.empty() ? "" : prompts.shown[0].text.toStdString());

  rs = openTable(path, "parts", ext);
  ASSERT_TRUE(rs);
  rs->MoveLast();
  edit.load(rs, state().SourceKind);
  EXPECT_EQ(edit.row(1).text, "Washer");
  EXPECT_EQ(edit.row(2).text, "77");
  EXPECT_EQ(calendarStartDate(edit.row(3).text, QDate(), kUs), QDate(2010, 6, 30));
  EXPECT_EQ(edit.row(4).text, "-1");
  rs.reset();

  pxdoc_t* doc = PX_new();
  ASSERT_EQ(PX_open_file(doc, QFile::encodeName(path).constData()), 0);
  QByteArray rec(doc->px_head->px_recordsize, '\0');
  ASSERT_NE(PX_get_record(doc, 1, rec.data()), nullptr);
  char* name = nullptr;
  ASSERT_GT(PX_get_data_alpha(doc, rec.data(), 12, &name), 0);
  EXPECT_STREQ(name, "Washer");
  doc->free(doc, name);
  long qty = 0, since = 0;
  PX_get_data_long(doc, rec.data() + 12, 4, &qty);
  PX_get_data_long(doc, rec.data() + 16, 4, &since);
  EXPECT_EQ(qty, 77);
  EXPECT_EQ(since, PX_GregorianToSdn(2010, 6, 30) - 1721425);
  char ok = 0;
  PX_get_data_byte(doc, rec.data() + 20, 1, &ok);
  EXPECT_NE(ok, 0);
  PX_close(doc);
  PX_delete(doc);
}
