// The one point where the export reaches the converter library for the two
// standard XML shapes.
#pragma once

#include "dataaccess/recordset.h"

#include <QIODevice>
#include <QString>

namespace viewer {

// The recordset as XML text in converter style `style` (103 entity form,
// 101 attribute form), naming `encoding`. Throws dataaccess::Error.
QString ConvertRecordsetToXml(dataaccess::Recordset& rs, int style, const QString& encoding);

// The same XML, already in `encoding`, written to `out` as it is made.
void WriteRecordsetXml(dataaccess::Recordset& rs, int style, const QString& encoding, QIODevice& out);

}  // namespace viewer
