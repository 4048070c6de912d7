// Saving through the record editor's logic on real files: a .dbf made with
// shapelib is edited, saved and read back by the viewer and by shapelib;
// bad input gives one message, keeps the edit pending and leaves the file
// as it was.
#include "dataaccess/recordset.h"
#include "testgrid.h"
#include "testsupport/fixtures.h"
#include "testsupport/tempdir.h"
#include "viewer/editor/editorrules.h"
#include "viewer/editor/recordedit.h"

#include <QFile>
#include <gtest/gtest.h>
#include <shapefil.h>

using namespace viewer;
using namespace viewer::editor;
using namespace viewertest;

namespace {

const QLocale kUs(QLocale::English, QLocale::UnitedStates);

void makeStock(const QString& path) {
  DBFHandle h = DBFCreate(QFile::encodeName(path).constData());
  ASSERT_NE(h, nullptr);
  DBFAddField(h, "NAME", FTString, 10, 0);
  DBFAddField(h, "QTY", FTInteger, 6, 0);
  DBFAddNativeFieldType(h, "BORN", 'D', 8, 0);
  DBFAddField(h, "OK", FTLogical, 1, 0);
  for (int i = 0; i < 2; ++i) {
    DBFWriteStringAttribute(h, i, 0, i ? "Plum" : "Pear");
    DBFWriteIntegerAttribute(h, i, 1, 10 + i);
    DBFWriteStringAttribute(h, i, 2, "19900517");
    DBFWriteLogicalAttribute(h, i, 3, 'F');
  }
  DBFClose(h);
}

QByteArray bytesOf(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class DbfEditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path = dir.file("stock.dbf");
    makeStock(path);
    open();
  }
  void open() {
    rs = openTable(path, "stock", ext);
    ASSERT_TRUE(rs) << (prompts.shown.empty() ? "" : prompts.shown[0].text.toStdString());
    ASSERT_EQ(rs->RecordCount(), 2);
    rs->MoveLast();
    edit.load(rs, state().SourceKind);
    ASSERT_EQ(edit.rowCount(), 4);
  }
  int row(const char* name) const {
    for (int i = 1; i <= edit.rowCount(); ++i)
      if (edit.row(i).name == QLatin1String(name)) return i;
    return 0;
  }

  testsupport::TempDir dir;
  RecordingPrompts prompts;
  QString path, ext;
  std::shared_ptr<dataaccess::Recordset> rs;
  RecordEdit edit{kUs};
};

}  // namespace

TEST_F(DbfEditTest, EditSaveReopenAndShapelibSeesIt) {
  EXPECT_EQ(edit.row(row("NAME")).spec.maxLength, 10);
  EXPECT_EQ(edit.row(row("BORN")).spec.aid, "DATE");
  EXPECT_EQ(edit.row(row("OK")).spec.aid, "BOOLEAN");
  edit.textChanged(row("NAME"), "Quince");
  edit.textChanged(row("QTY"), "1234");
  edit.textChanged(row("BORN"), pickedDateText(QDate(2001, 2, 3), edit.row(row("BORN")).text, kUs));
  edit.textChanged(row("OK"), toggledBooleanText(edit.row(row("OK")).text));
  ASSERT_TRUE(edit.SaveRecord()) << (prompts.shown.empty() ? "" : prompts.shown[0].text.toStdString());
  EXPECT_TRUE(prompts.shown.empty());

  open();
  EXPECT_EQ(edit.row(row("NAME")).text, "Quince");
  EXPECT_EQ(edit.row(row("QTY")).text, "1234");
  EXPECT_EQ(edit.row(row("OK")).text, "-1");
  EXPECT_EQ(calendarStartDate(edit.row(row("BORN")).text, QDate(), kUs), QDate(2001, 2, 3));

  DBFHandle h = DBFOpen(QFile::encodeName(path).constData(), "rb");
  ASSERT_NE(h, nullptr);
  EXPECT_STREQ(DBFReadStringAttribute(h, 1, 0), "Quince");
  EXPECT_EQ(DBFReadIntegerAttribute(h, 1, 1), 1234);
  EXPECT_STREQ(DBFReadStringAttribute(h, 1, 2), "20010203");
  EXPECT_EQ(DBFReadLogicalAttribute(h, 1, 3)[0], 'T');
  EXPECT_STREQ(DBFReadStringAttribute(h, 0, 0), "Pear");
  DBFClose(h);
}

TEST_F(DbfEditTest, BadInputGivesOneMessageAndLeavesTheFile) {
  const QByteArray before = bytesOf(path);
  struct Case {
    const char* field;
    QString text;
  };
  const Case cases[] = {
      {"NAME", "Elevenchars"},   // longer than the field
      {"BORN", "1/2/10000"},     // a year the field cannot hold
      {"BORN", "2/30/2001"},     // no such day
      {"QTY", "12345678"},       // more digits than the field
      {"QTY", "twelve"},         // text into a number
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.toStdString());
    prompts.shown.clear();
    open();
    edit.textChanged(row("NAME"), "Fig");
    edit.textChanged(row(c.field), c.text);
    EXPECT_FALSE(edit.SaveRecord());
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].icon, Prompts::Exclamation);
    EXPECT_TRUE(prompts.shown[0].text.contains(": ")) << prompts.shown[0].text.toStdString();
    EXPECT_TRUE(edit.IsChanged());
    EXPECT_EQ(edit.row(row(c.field)).text, c.text);
    EXPECT_EQ(bytesOf(path), before);
  }
}

TEST_F(DbfEditTest, FileDeletedOrChangedAfterOpening) {
  edit.textChanged(row("NAME"), "Fig");
  ASSERT_TRUE(QFile::remove(path));
  EXPECT_FALSE(edit.SaveRecord());
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_TRUE(prompts.shown[0].text.contains(": "));
  EXPECT_TRUE(edit.IsChanged());
  EXPECT_FALSE(QFile::exists(path));

  // Changed by someone else: the save reports it and writes nothing.
  makeStock(path);
  prompts.shown.clear();
  open();
  {
    DBFHandle h = DBFOpen(QFile::encodeName(path).constData(), "rb+");
    ASSERT_NE(h, nullptr);
    DBFWriteStringAttribute(h, 1, 0, "Other");
    DBFClose(h);
  }
  const QByteArray theirs = bytesOf(path);
  edit.textChanged(row("NAME"), "Fig");
  EXPECT_FALSE(edit.SaveRecord());
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(bytesOf(path), theirs);
  EXPECT_TRUE(edit.IsChanged());
}

TEST(ReadOnlyEdit, AccessFileRefusesAndStaysByteIdentical) {
  LUMBROOK_REQUIRE_FIXTURE(mdb, "access/fruit.mdb");
  const QByteArray before = bytesOf(mdb);
  RecordingPrompts prompts;
  QString ext;
  auto rs = openTable(mdb, "Fruit", ext);
  ASSERT_TRUE(rs) << (prompts.shown.empty() ? "" : prompts.shown[0].text.toStdString());
  ASSERT_GT(rs->RecordCount(), 0);
  rs->MoveFirst();
  RecordEdit edit(kUs);
  edit.load(rs, state().SourceKind);
  ASSERT_GT(edit.rowCount(), 0);
  // Edits are accepted in the window and refused only by the save.
  for (int i = 1; i <= edit.rowCount(); ++i)
    if (isEditorTextType(edit.row(i).type)) edit.textChanged(i, "changed");
  ASSERT_TRUE(edit.IsChanged());
  EXPECT_FALSE(edit.SaveRecord());
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_TRUE(prompts.shown[0].text.contains(": ")) << prompts.shown[0].text.toStdString();
  EXPECT_TRUE(edit.IsChanged());
  EXPECT_EQ(bytesOf(mdb), before);
}
