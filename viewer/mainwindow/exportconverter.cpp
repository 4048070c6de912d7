#include "exportconverter.h"

#include "dataaccess/error.h"

namespace viewer {

// The converter library is not part of this build yet; the two converter
// shapes report that clearly instead of writing anything.
QString ConvertRecordsetToXml(dataaccess::Recordset& rs, int style, const QString& encoding) {
  (void)rs;
  (void)encoding;
  throw dataaccess::Error(dataaccess::err::kAppBase + 2, QStringLiteral("ExportRecordset"),
                          QStringLiteral("The XML converter (style %1) is not available in this build yet.").arg(style));
}

}  // namespace viewer
