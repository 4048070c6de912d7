// The excel provider: Excel 97-2003 and 5.0/95 workbooks (.xls) opened by
//   Driver={Microsoft Excel Driver (*.xls)};DriverId=790;Dbq=<file>;...
// Every worksheet is a table named after the sheet with a trailing "$"
// (catalogue type "SYSTEM TABLE"), every workbook-level name of one cell
// range a table of its own (type "TABLE"). The first row of the range names
// the columns; column types are guessed from every row. Read-only.
#pragma once

#include "../../provider.h"

#include <memory>

namespace dataaccess {

std::unique_ptr<Provider> makeExcelProvider();

}  // namespace dataaccess
