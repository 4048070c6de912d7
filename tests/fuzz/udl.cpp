// Data link files (.udl) and the connection strings inside them.
#include "dataaccess/connectionstring.h"
#include "dataaccess/error.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString path =
      fuzz::writeScratch(QStringLiteral("t.udl"), QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
  QString text;
  try {
    text = dataaccess::readDataLink(path);
  } catch (const dataaccess::Error&) {
    text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
  }
  const auto cs = dataaccess::ConnectionString::parse(text);
  for (const auto& [key, value] : cs.pairs()) (void)cs.value(key);
  // Data links naming further links are followed only from a real file;
  // a link that names itself must not recurse without end.
  if (!cs.value(QStringLiteral("File Name")).isEmpty()) {
    try {
      (void)dataaccess::providerNameFor(dataaccess::ConnectionString::parse(QStringLiteral("File Name=") + path));
    } catch (const dataaccess::Error&) {
    }
  }
  return 0;
}
