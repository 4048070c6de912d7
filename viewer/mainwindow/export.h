// The export writers without the dialog: the current recordset to a file in
// one of five formats. The window's Export2 command picks the format and the
// file; lumbrook-cli calls the writers directly.
#pragma once

#include "dataaccess/recordset.h"

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

// Writes `rs` to `path`. xml_row saves every row; the text formats write the
// header and the rows from the current one on, leaving `rs` after its last
// row (at EOF nothing is written and an Error is raised); the XML shapes go
// through the converter with `encoding`. Throws dataaccess::Error, also
// when the file cannot be written.
void WriteExport(dataaccess::Recordset& rs, ExportFormat format, const QString& path, const QString& encoding);

// The delimited text of the text formats: header, CR LF, the rows.
QString DelimitedText(dataaccess::Recordset& rs, const QString& separator);

// The Export2 command: nothing without a recordset; otherwise asks for the
// file through the save dialog (proposing `name`) and writes it with the
// PageEncoding setting. Errors are raised to the caller.
void ExportRecordset(dataaccess::Recordset* rs, ExportFormat format, const QString& name);

}  // namespace viewer
