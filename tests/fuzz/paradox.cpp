// A Paradox table with its .MB file: input = .db, separator, .MB.
#include "dataaccess/error.h"
#include "dataaccess/providers/paradox/paradoxtable.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<QByteArray> parts = fuzz::splitInput(data, size, 2);
  fuzz::clearScratch();
  const QString path = fuzz::writeScratch(QStringLiteral("t.db"), parts[0]);
  if (!parts[1].isEmpty()) fuzz::writeScratch(QStringLiteral("t.mb"), parts[1]);
  try {
    dataaccess::ParadoxTable table(path);
    auto rows = table.load();
    (void)rows;
  } catch (const dataaccess::Error&) {
  }
  // The memo reader on its own, with pointers taken from the input's end.
  if (parts[1].size() >= 8) {
    try {
      dataaccess::MbFile mb(fuzz::scratchFolder() + QStringLiteral("/t.mb"));
      const char* p = parts[0].constData() + parts[0].size();
      if (parts[0].size() >= 8) {
        uint32_t offset, length;
        memcpy(&offset, p - 8, 4);
        memcpy(&length, p - 4, 4);
        (void)mb.read(offset, length);
      }
      (void)dataaccess::formattedMemoText(parts[1]);
    } catch (const dataaccess::Error&) {
    }
  }
  return 0;
}
