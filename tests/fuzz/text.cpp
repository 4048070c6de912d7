// Delimited text with its SCHEMA.INI: input = SCHEMA.INI text, separator,
// the text file (without a separator the whole input is the file).
#include "dataaccess/error.h"
#include "dataaccess/providers/text/schemaini.h"
#include "dataaccess/providers/text/textreader.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<QByteArray> parts = fuzz::splitInput(data, size, 2);
  if (parts[1].isEmpty() && !parts[0].isEmpty()) std::swap(parts[0], parts[1]);
  const QString path = fuzz::writeScratch(QStringLiteral("t.csv"), parts[1]);
  try {
    dataaccess::text::TextSchema schema;
    if (!parts[0].isEmpty())
      schema = dataaccess::text::parseSchemaIni(QString::fromUtf8(parts[0]), QStringLiteral("t.csv"),
                                                QStringLiteral("schema.ini"));
    auto rows = dataaccess::text::readTextTable(path, schema);
    (void)rows;
  } catch (const dataaccess::Error&) {
  }
  return 0;
}
