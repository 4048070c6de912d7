#include "exportconverter.h"

#include "converter/entrytable.h"
#include "dataaccess/error.h"
#include "dataaccess/lazylibrary.h"

namespace viewer {

namespace {

// The converter's entry table, from the library opened at the first call.
// LUMBROOK_QUILLON_SONAME is the library's soname; the build tree's programs
// find it through their run path, installed ones in the library folder.
const quillon::EntryTable& converter() {
  static dataaccess::LazyLibrary library(LUMBROOK_QUILLON_SONAME, "XML export");
  static const quillon::EntryTable* const table = [] {
    using Getter = const quillon::EntryTable* (*)();
    const auto get = reinterpret_cast<Getter>(library.symbol(QUILLON_ENTRY_TABLE_SYMBOL));
    const quillon::EntryTable* t = get();
    if (!t || t->size < sizeof(quillon::EntryTable))
      throw dataaccess::Error(dataaccess::err::kProviderNotFound, QStringLiteral("Connection.Open"),
                              QStringLiteral("The library %1 is older than this program.")
                                  .arg(QString::fromLatin1(LUMBROOK_QUILLON_SONAME)));
    return t;
  }();
  return *table;
}

}  // namespace

QString ConvertRecordsetToXml(dataaccess::Recordset& rs, int style, const QString& encoding) {
  return converter().exportXml(rs, style, encoding);
}

void WriteRecordsetXml(dataaccess::Recordset& rs, int style, const QString& encoding, QIODevice& out) {
  converter().exportXmlTo(rs, style, encoding, out);
}

QByteArray EncodeConvertedXml(const QString& text) { return converter().encodeXmlText(text); }

}  // namespace viewer
