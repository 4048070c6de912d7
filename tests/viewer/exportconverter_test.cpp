// The converter library is opened at the first XML export: a library that
// is missing, or is not the converter, is a "number: description" error
// naming it, and the real one gives the same XML as before.
#include "converter/entrytable.h"
#include "dataaccess/error.h"
#include "dataaccess/lazylibrary.h"
#include "dataaccess/rowstore.h"
#include "viewer/mainwindow/exportconverter.h"

#include <QBuffer>
#include <gtest/gtest.h>

using dataaccess::Error;
using dataaccess::LazyLibrary;

namespace {

std::unique_ptr<dataaccess::Recordset> twoRows() {
  auto store = std::make_shared<dataaccess::RowStore>(
      std::vector<dataaccess::FieldInfo>{{"N", dataaccess::adInteger, 4}, {"T", dataaccess::adVarWChar, 10}});
  store->appendRow({qlonglong(1), QString("a<b")});
  store->appendRow({qlonglong(2), QVariant()});
  auto rs = std::make_unique<dataaccess::Recordset>();
  rs->attach(store, nullptr, "SELECT * FROM t", dataaccess::adOpenStatic, dataaccess::adLockReadOnly);
  return rs;
}

}  // namespace

TEST(ConverterLibrary, AMissingLibraryOrOneWithoutTheTableIsANumberedErrorNamingIt) {
  LazyLibrary missing("liblumbrook-no-such-converter.so.2", "XML export");
  try {
    viewer::ConverterEntryTable(missing);
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), dataaccess::err::kProviderNotFound);
    EXPECT_TRUE(e.description().contains("liblumbrook-no-such-converter.so.2")) << e.description().toStdString();
    EXPECT_TRUE(e.description().contains("XML export")) << e.description().toStdString();
    EXPECT_TRUE(e.message().startsWith(QString::number(e.number()) + ": ")) << e.message().toStdString();
  }
  LazyLibrary notTheConverter("libm.so.6", "XML export");
  try {
    viewer::ConverterEntryTable(notTheConverter);
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), dataaccess::err::kProviderNotFound);
    EXPECT_TRUE(e.description().contains(QUILLON_ENTRY_TABLE_SYMBOL)) << e.description().toStdString();
  }
}

TEST(ConverterLibrary, TheOpenedLibraryWritesTheSameXmlWholeAndStreamed) {
  auto rs = twoRows();
  for (const int style : {101, 103}) {
    const QString whole = viewer::ConvertRecordsetToXml(*rs, style, QStringLiteral("UTF-8"));
    EXPECT_TRUE(whole.contains(QStringLiteral("a&lt;b"))) << whole.toStdString();
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    viewer::WriteRecordsetXml(*rs, style, QStringLiteral("UTF-8"), buffer);
    EXPECT_EQ(buffer.data(), viewer::EncodeConvertedXml(whole)) << "style " << style;
  }
  // An encoding the converter does not know fails as before, through the library.
  EXPECT_THROW(viewer::EncodeConvertedXml(QStringLiteral("<?xml version=\"1.0\" encoding=\"x-no-such\"?><a/>")),
               Error);
}
