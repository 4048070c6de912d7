// The one point where the viewer and the CLI reach the converter library
// (libquillon): the two standard XML shapes and the encoding of converter
// output. The library, with libxslt and libxml2, is opened at the first of
// these calls, so opening and listing a source never loads it.
#pragma once

#include "dataaccess/recordset.h"

namespace dataaccess {
class LazyLibrary;
}
namespace quillon {
struct EntryTable;
}

#include <QByteArray>
#include <QIODevice>
#include <QString>

namespace viewer {

// The recordset as XML text in converter style `style` (103 entity form,
// 101 attribute form), naming `encoding`. Throws dataaccess::Error, also
// when the converter library cannot be opened.
QString ConvertRecordsetToXml(dataaccess::Recordset& rs, int style, const QString& encoding);

// The same XML, already in `encoding`, written to `out` as it is made.
void WriteRecordsetXml(dataaccess::Recordset& rs, int style, const QString& encoding, QIODevice& out);

// Converter output as bytes in the encoding its declaration names.
QByteArray EncodeConvertedXml(const QString& text);

// The entry table of the converter library `library` (the calls above use
// libquillon's). Throws dataaccess::Error (kProviderNotFound) naming the
// library when it cannot be opened, lacks the table or is older than this
// program.
const quillon::EntryTable& ConverterEntryTable(dataaccess::LazyLibrary& library);

}  // namespace viewer
