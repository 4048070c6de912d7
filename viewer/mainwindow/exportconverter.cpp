#include "exportconverter.h"

#include "converter/convertor.h"

namespace viewer {

QString ConvertRecordsetToXml(dataaccess::Recordset& rs, int style, const QString& encoding) {
  return quillon::exportXml(rs, style, encoding);
}

}  // namespace viewer
