// Filter and sort over a Paradox table made with pxlib, whose field names
// hold a slash and a blank, as Paradox's own sample tables do.
#include "testsupport/tempdir.h"
#include "testgrid.h"

#include <QFile>
#include <gtest/gtest.h>
extern "C" {
#include <paradox.h>
}

using namespace viewer;
using namespace viewertest;

namespace {

QString S(const char* s) { return QString::fromUtf8(s); }

void makeCustomers(const QString& path) {
  const char* names[4] = {"Name", "State/Prov", "Zip/Postal Code", "Since"};
  const char types[4] = {pxfAlpha, pxfAlpha, pxfAlpha, pxfDate};
  const int lengths[4] = {10, 4, 10, 4};
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
  const char* rows[4][3] = {{"Ann", "BC", "V5K 0A1"}, {"Bob", "ON", "M5V 2T6"}, {"Cid", "BC", "V6B 1A1"},
                            {"Dora", "QC", "H2X 1Y4"}};
  for (int r = 0; r < 4; ++r) {
    QByteArray rec(doc->px_head->px_recordsize, '\0');
    char* p = rec.data();
    QByteArray name(rows[r][0]), state(rows[r][1]), zip(rows[r][2]);
    PX_put_data_alpha(doc, p, 10, name.data());
    PX_put_data_alpha(doc, p + 10, 4, state.data());
    PX_put_data_alpha(doc, p + 14, 10, zip.data());
    PX_put_data_long(doc, p + 24, 4, PX_GregorianToSdn(2005, 1, 2 + (r % 2)) - 1721425);
    PX_put_record(doc, p);
  }
  PX_close(doc);
  PX_delete(doc);
}

class ParadoxFilterSort : public ::testing::Test {
 protected:
  void SetUp() override {
    const QString path = dir.file(QStringLiteral("customer.db"));
    makeCustomers(path);
    grid.rs = openTable(path, QStringLiteral("customer"), ext);
    ASSERT_TRUE(grid.rs) << (prompts.shown.empty() ? "" : prompts.shown[0].text.toStdString());
    ASSERT_EQ(grid.rs->RecordCount(), 4);
    base = grid.rs->Source();
  }
  testsupport::TempDir dir;
  RecordingPrompts prompts;
  TestGrid grid;
  QString ext;
  QString base;
};

}  // namespace

TEST_F(ParadoxFilterSort, FilterOnAFieldWithASlash) {
  grid.select(S("State/Prov"), 1);
  ASSERT_TRUE(FilterBySelection(grid, QString(), ext)) << prompts.shown.back().text.toStdString();
  EXPECT_EQ(grid.rs->Source(), base + S(" WHERE   [State/Prov]='BC'"));
  EXPECT_EQ(grid.values(S("Name")), (QStringList{S("Ann"), S("Cid")}));
}

TEST_F(ParadoxFilterSort, SortByFieldsWithASlashAndABlank) {
  grid.select(S("State/Prov"));
  ASSERT_TRUE(SortByColumn(grid, -1, ext));
  grid.select(S("Zip/Postal Code"));
  grid.ctrl = true;
  ASSERT_TRUE(SortByColumn(grid, 1, ext));
  EXPECT_EQ(grid.rs->Source(), base + S(" ORDER BY [State/Prov] DESC,[Zip/Postal Code]"));
  EXPECT_EQ(grid.values(S("Name")), (QStringList{S("Dora"), S("Bob"), S("Ann"), S("Cid")}));
}

TEST_F(ParadoxFilterSort, DateFilterAndPrefixSelection) {
  grid.select(S("Since"), 2);  // 1/3/2005
  ASSERT_TRUE(FilterBySelection(grid, QString(), ext, QLocale(QLocale::German, QLocale::Germany)))
      << prompts.shown.back().text.toStdString();
  EXPECT_EQ(grid.rs->Source(), base + S(" WHERE   Since=#1/3/2005#"));
  EXPECT_EQ(grid.values(S("Name")), (QStringList{S("Bob"), S("Dora")}));
  grid.select(S("Zip/Postal Code"), 2, S("H2"));
  ASSERT_TRUE(FilterBySelection(grid, QString(), ext));
  EXPECT_EQ(grid.values(S("Name")), QStringList{S("Dora")});
  ASSERT_TRUE(RemoveFilter(grid));
  EXPECT_EQ(grid.rs->Source(), base);
}
