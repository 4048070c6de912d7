// The one point where the export reaches the converter library for the two
// standard XML shapes.
#pragma once

#include "dataaccess/recordset.h"

#include <QString>

namespace viewer {

// The recordset as XML text in converter style `style` (103 entity form,
// 101 attribute form), naming `encoding`. Throws dataaccess::Error.
QString ConvertRecordsetToXml(dataaccess::Recordset& rs, int style, const QString& encoding);

}  // namespace viewer
