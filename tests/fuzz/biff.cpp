// The BIFF record layer and the workbook/sheet readers over one stream
// (the workbook stream of a compound document, or a whole Excel 2.x-4.0 file).
#include "dataaccess/error.h"
#include "dataaccess/providers/excel/workbook.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    const dataaccess::Workbook wb = dataaccess::parseWorkbookStream(
        QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), QStringLiteral("fuzz.xls"));
    for (const auto& sheet : wb.sheets)
      for (const auto& cell : sheet.cells)
        if (cell.kind == dataaccess::WorkbookCell::Text && (cell.text < 0 || size_t(cell.text) >= wb.strings.size()))
          abort();  // a text cell must name a string the workbook holds
  } catch (const dataaccess::Error&) {
  }
  return 0;
}
