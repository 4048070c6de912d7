// The C entry point through which the viewer and the CLI reach Quillon when
// they open the library at first use instead of linking it: one exported C
// function returns a table of the calls they make, so a program that never
// exports XML never maps libquillon, libxslt or libxml2.
//
// The table is for programs built from this source tree (the recordset and
// Qt types cross it as they are); other programs link the library and use
// convertor.h. `size` grows when calls are added at the end.
#pragma once

#include "quillonglobal.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <cstddef>

namespace dataaccess {
class Recordset;
}

namespace quillon {

struct EntryTable {
  std::size_t size;  // sizeof(EntryTable) of the library
  // exportXml, exportXmlTo and encodeXmlText of convertor.h and xmltextfile.h.
  QString (*exportXml)(dataaccess::Recordset& rs, int style, const QString& encoding);
  void (*exportXmlTo)(dataaccess::Recordset& rs, int style, const QString& encoding, QIODevice& out);
  QByteArray (*encodeXmlText)(const QString& text);
};

}  // namespace quillon

// The name dlsym finds the table by.
#define QUILLON_ENTRY_TABLE_SYMBOL "quillon_entry_table"

extern "C" QUILLON_EXPORT const quillon::EntryTable* quillon_entry_table();
