// A Visual FoxPro database container: input = .dbc, separator, .dct, and
// optionally separator, a table "t.dbf" that the container may name.
#include "dataaccess/error.h"
#include "dataaccess/providers/xbase/dbccontainer.h"
#include "dataaccess/providers/xbase/dbftable.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<QByteArray> parts = fuzz::splitInput(data, size, 3);
  fuzz::clearScratch();
  const QString path = fuzz::writeScratch(QStringLiteral("c.dbc"), parts[0]);
  if (!parts[1].isEmpty()) fuzz::writeScratch(QStringLiteral("c.dct"), parts[1]);
  if (!parts[2].isEmpty()) fuzz::writeScratch(QStringLiteral("t.dbf"), parts[2]);
  try {
    dataaccess::DbcContainer dbc(path);
    for (const auto& t : dbc.tables()) {
      if (t.path.isEmpty()) continue;
      try {
        dataaccess::DbfTable table(t.path);
        table.setColumnNames(t.fieldNames);
        (void)table.load();
      } catch (const dataaccess::Error&) {
      }
    }
  } catch (const dataaccess::Error&) {
  }
  return 0;
}
