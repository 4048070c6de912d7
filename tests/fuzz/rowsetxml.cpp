// The XML rowset reader (files written by Recordset::Save).
#include "dataaccess/error.h"
#include "dataaccess/providers/persist/rowsetxml.h"
#include "dataaccess/rowstore.h"

#include <QByteArray>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    auto rows = dataaccess::readRowsetXml(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)),
                                          QStringLiteral("fuzz.xml"));
    (void)rows;
  } catch (const dataaccess::Error&) {
  }
  return 0;
}
