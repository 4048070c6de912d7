// Quillon's XML loaders, from a string and from a file.
#include "converter/loaders.h"
#include "dataaccess/error.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
  try {
    (void)quillon::LoadXMLFromString(QString::fromUtf8(bytes));
  } catch (const dataaccess::Error&) {
  }
  const QString path = fuzz::writeScratch(QStringLiteral("t.xml"), bytes);
  try {
    (void)quillon::LoadXMLFromFile(path);
  } catch (const dataaccess::Error&) {
  }
  return 0;
}
