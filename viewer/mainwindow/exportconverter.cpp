#include "exportconverter.h"

#include "converter/entrytable.h"
#include "dataaccess/error.h"
#include "dataaccess/lazylibrary.h"

namespace viewer {

const quillon::EntryTable& ConverterEntryTable(dataaccess::LazyLibrary& library) {
  using Getter = const quillon::EntryTable* (*)();
  const auto get = reinterpret_cast<Getter>(library.symbol(QUILLON_ENTRY_TABLE_SYMBOL));
  const quillon::EntryTable* table = get();
  if (!table || table->size < sizeof(quillon::EntryTable))
    throw dataaccess::Error(dataaccess::err::kProviderNotFound, QStringLiteral("Connection.Open"),
                            QStringLiteral("The library %1 is older than this program.").arg(library.name()));
  return *table;
}

namespace {

// libquillon, opened at the first call. LUMBROOK_QUILLON_SONAME is its
// soname; the build tree's programs find it through their run path,
// installed ones in the library folder.
const quillon::EntryTable& converter() {
  static dataaccess::LazyLibrary library(LUMBROOK_QUILLON_SONAME, "XML export");
  static const quillon::EntryTable& table = ConverterEntryTable(library);
  return table;
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
