#include "viewertestsupport.h"

#include "dataaccess/error.h"
#include "dataaccess/rowstore.h"
#include "testsupport/tempdir.h"
#include "viewer/mainwindow/export.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace viewer;
using testsupport::TempDir;

namespace {

// Fields A (integer) and B (text), rows (1, Null) and (2, "x") and (3, "y").
std::unique_ptr<dataaccess::Recordset> sample(int rows = 3) {
  auto store = std::make_shared<dataaccess::RowStore>(
      std::vector<dataaccess::FieldInfo>{{"A", dataaccess::adInteger, 4}, {"B", dataaccess::adVarWChar, 10}});
  const std::vector<std::vector<QVariant>> data = {
      {qlonglong(1), QVariant()}, {qlonglong(2), QString("x")}, {qlonglong(3), QString("y")}};
  for (int i = 0; i < rows; ++i) store->appendRow(data[size_t(i)]);
  auto rs = std::make_unique<dataaccess::Recordset>();
  rs->attach(store, nullptr, "SELECT * FROM t", dataaccess::adOpenStatic, dataaccess::adLockReadOnly);
  return rs;
}

}  // namespace

TEST(Export, FormatKeysAndFilterIndexes) {
  bool ok = true;
  EXPECT_EQ(ExportFormatFromKey("", &ok), xml_row);
  EXPECT_FALSE(ok);
  EXPECT_EQ(ExportFormatFromKey("txt_comma", &ok), txt_comma);
  EXPECT_TRUE(ok);
  EXPECT_EQ(ExportFormatKey(xml_attr), "xml_attr");
  EXPECT_EQ(ExportFilterIndex(xml_ent), 2);
  EXPECT_EQ(ExportFilterIndex(txt_tab), 3);
}

TEST(Export, DelimitedTextFromTheCurrentRow) {
  TempDir dir;
  auto rs = sample(2);
  WriteExport(*rs, txt_tab, dir.file("t.txt"), "windows-1251");
  EXPECT_EQ(dir.read("t.txt"), QByteArray("A\tB\r\n1\t\r\n2\tx\r\n"));
  EXPECT_TRUE(rs->IsEOF());

  auto third = sample();
  third->setAbsolutePosition(3);
  WriteExport(*third, txt_comma, dir.file("c.txt"), "");
  EXPECT_EQ(dir.read("c.txt"), QByteArray("A,B\r\n3,y\r\n"));
}

TEST(Export, AtEndOfRowsNothingIsWritten) {
  TempDir dir;
  auto empty = sample(0);
  EXPECT_THROW(WriteExport(*empty, txt_tab, dir.file("e.txt"), ""), dataaccess::Error);
  EXPECT_FALSE(QFile::exists(dir.file("e.txt")));
}

TEST(Export, RowsetXmlHoldsEveryRowAndFailuresAreReported) {
  TempDir dir;
  auto rs = sample();
  rs->setAbsolutePosition(3);
  WriteExport(*rs, xml_row, dir.file("r.xml"), "");
  const QByteArray xml = dir.read("r.xml");
  EXPECT_TRUE(xml.contains("urn:schemas-microsoft-com:rowset"));
  EXPECT_EQ(xml.count("<z:row"), 3);

  dir.write("file", "x");
  auto again = sample();
  EXPECT_THROW(WriteExport(*again, txt_tab, dir.file("file/out.txt"), ""), dataaccess::Error)
      << "a file that cannot be written is not reported as written";
}

TEST(Export, CommandAsksForTheFileThenWrites) {
  viewertest::RecordingPrompts prompts;
  TempDir dir;
  ExportRecordset(nullptr, txt_tab, "Orders");
  EXPECT_EQ(prompts.lastRequest.title, "") << "no recordset: not even the dialog";

  auto rs = sample();
  ExportRecordset(rs.get(), txt_tab, "Orders");  // cancelled
  EXPECT_EQ(prompts.lastRequest.title, "Save recordset as file");
  EXPECT_EQ(prompts.lastRequest.proposedName, "Orders");
  EXPECT_EQ(prompts.lastRequest.filterIndex, 3);
  EXPECT_EQ(prompts.lastRequest.flags, 2050);
  EXPECT_EQ(prompts.lastRequest.filter, "All Files (*.*)|*.*|XML file (*.xml)|*.xml|Text file (*.txt)|*.txt");

  prompts.answerPath = dir.file("Orders");
  ExportRecordset(rs.get(), txt_tab, "Orders");
  EXPECT_TRUE(dir.read("Orders").startsWith("A\tB\r\n"));
}
