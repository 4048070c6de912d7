// A dBase/FoxPro table with its memo file: input = .dbf, separator, memo
// (written as both .dbt and .fpt, so the table's version picks the kind).
#include "dataaccess/error.h"
#include "dataaccess/providers/xbase/dbftable.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<QByteArray> parts = fuzz::splitInput(data, size, 2);
  fuzz::clearScratch();
  const QString path = fuzz::writeScratch(QStringLiteral("t.dbf"), parts[0]);
  if (!parts[1].isEmpty()) {
    fuzz::writeScratch(QStringLiteral("t.dbt"), parts[1]);
    fuzz::writeScratch(QStringLiteral("t.fpt"), parts[1]);
  }
  try {
    dataaccess::DbfTable table(path);
    auto rows = table.load(true);
    (void)rows;
  } catch (const dataaccess::Error&) {
  }
  return 0;
}
