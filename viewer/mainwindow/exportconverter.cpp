#include "exportconverter.h"

#include "converter/convertor.h"

namespace viewer {

QString ConvertRecordsetToXml(dataaccess::Recordset& rs, int style, const QString& encoding) {
  return quillon::exportXml(rs, style, encoding);
}

void WriteRecordsetXml(dataaccess::Recordset& rs, int style, const QString& encoding, QIODevice& out) {
  quillon::exportXmlTo(rs, style, encoding, out);
}

}  // namespace viewer
