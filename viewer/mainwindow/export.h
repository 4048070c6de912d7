// The export writers without the dialog: the current recordset to a file in
// one of five formats. The window's Export2 command picks the format and the
// file; lumbrook-cli calls the writers directly.
#pragma once

#include "dataaccess/recordset.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>

namespace viewer {

enum ExportFormat : int {
  xml_row = 0,    // the recordset's own persisted rowset XML
  xml_ent = 1,    // entity XML made by the converter (style 103)
  xml_attr = 2,   // attribute XML made by the converter (style 101)
  txt_tab = 3,    // tab-delimited text with a header line
  txt_comma = 4,  // comma-delimited text with a header line
};

// The format of a menu key; any other key (the empty one included) is
// xml_row. `ok` tells whether the key was one of the five.
ExportFormat ExportFormatFromKey(const QString& key, bool* ok = nullptr);
QString ExportFormatKey(ExportFormat format);

// The 1-based filter index of the save dialog for a format (2 XML, 3 text).
int ExportFilterIndex(ExportFormat format);

inline constexpr char kExportDialogTitle[] = "Save recordset as file";
inline constexpr char kExportDialogFilter[] = "All Files (*.*)|*.*|XML file (*.xml)|*.xml|Text file (*.txt)|*.txt";

// Writes an export of `rs` in `format` to `out` as it is made: every row
// from the first, whatever the current record, which stays where it was.
// The text formats write a header line and the rows (an empty rowset gives
// the header alone) in the locale's character set, piece by piece as the
// rows are formatted; values holding the separator, a double quote or a
// line break are quoted in double quotes with inner quotes doubled. The XML
// shapes go through a streaming writer with `encoding`. A large table is
// never held whole as text. Throws dataaccess::Error when the export cannot
// be made or `out` fails; part of the text may have been written by then.
void WriteExportTo(dataaccess::Recordset& rs, ExportFormat format, QIODevice& out, const QString& encoding);

// The bytes WriteExportTo writes, held in memory (for small exports and
// tests). Throws dataaccess::Error.
QByteArray ExportBytes(dataaccess::Recordset& rs, ExportFormat format, const QString& encoding);

// Writes the export to `path` atomically: on any failure an earlier file of
// that name is left as it was, and dataaccess::Error is raised.
void WriteExport(dataaccess::Recordset& rs, ExportFormat format, const QString& path, const QString& encoding);

// The Export2 command: nothing without a recordset; otherwise asks for the
// file through the save dialog (proposing `name`) and writes it with the
// PageEncoding setting. A failure is shown as "number: description" with
// the exclamation icon.
void ExportRecordset(dataaccess::Recordset* rs, ExportFormat format, const QString& name);

}  // namespace viewer
