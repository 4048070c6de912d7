// A whole .xls file: the compound document (libgsf) and the BIFF stream in it.
#include "dataaccess/error.h"
#include "dataaccess/providers/excel/workbook.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString path =
      fuzz::writeScratch(QStringLiteral("t.xls"), QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
  try {
    (void)dataaccess::readWorkbook(path);
  } catch (const dataaccess::Error&) {
  }
  return 0;
}
