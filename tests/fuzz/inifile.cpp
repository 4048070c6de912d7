// The INI editor behind SCHEMA.INI: input = section, key and value (one
// line each), then separator, then the existing file.
#include "dataaccess/error.h"
#include "fuzzsupport.h"
#include "viewer/datasource/paths.h"

#include <QFile>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<QByteArray> parts = fuzz::splitInput(data, size, 2);
  const QList<QByteArray> head = parts[0].split('\n');
  const QString section = QString::fromUtf8(head.value(0));
  const QString key = QString::fromUtf8(head.value(1));
  const QString value = QString::fromUtf8(head.value(2));
  const QString path = fuzz::writeScratch(QStringLiteral("schema.ini"), parts[1]);
  try {
    viewer::ProfileSetString(section, key, value, path);
  } catch (const dataaccess::Error&) {
    // A refused change must leave the file as it was.
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.readAll() != parts[1]) abort();
  }
  return 0;
}
