// The checks an Access database passes before libmdb reads it, and then
// the catalogue, columns and rows through them.
#include "dataaccess/error.h"
#include "dataaccess/providers/jet/mdbfile.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString path =
      fuzz::writeScratch(QStringLiteral("t.mdb"), QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
  try {
    dataaccess::MdbFile db(path);
    int tables = 0;
    for (const auto& o : db.objects()) {
      if (o.kind != dataaccess::MdbFile::Object::Kind::Table || ++tables > 4) continue;
      try {
        (void)db.columns(o.name);
        (void)db.readTable(o.name);
      } catch (const dataaccess::Error&) {
      }
    }
  } catch (const dataaccess::Error&) {
  }
  return 0;
}
