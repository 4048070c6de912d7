// The excel provider: Excel 97-2003 and 5.0/95 workbooks and Excel 2.x-4.0
// worksheets and workbooks (.xls) opened by
//   Driver={Microsoft Excel Driver (*.xls)};DriverId=790;Dbq=<file>;...
// Every worksheet is a table named after the sheet with a trailing "$"
// (catalogue type "SYSTEM TABLE"; an Excel 2.x-4.0 worksheet is named after
// its file), every workbook-level name of one cell range a table of its own
// (type "TABLE"). The first row of the sheet's used range (as Excel records
// it) or of the named range names the columns; every row below is a row;
// column types are guessed from every row. Read-only.
#pragma once

#include "../../provider.h"

#include <memory>

namespace dataaccess {

std::unique_ptr<Provider> makeExcelProvider();

}  // namespace dataaccess
