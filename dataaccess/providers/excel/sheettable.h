// Turns a rectangle of workbook cells into a table: the first row names the
// columns (F1, F2, ... for empty or repeated names), the other rows are the
// records, and each column's type is guessed from all of its values.
#pragma once

#include "../../rowstore.h"
#include "workbook.h"

#include <memory>

namespace dataaccess {

struct CellRange {
  int firstRow = 0, lastRow = -1, firstCol = 0, lastCol = -1;
};

// The rectangle that holds every cell of the sheet (empty when none).
CellRange usedRange(const WorkbookSheet& sheet);

// The rows of `range` of `sheet`. Ranges past the last used row or column
// are cut to the used part.
std::shared_ptr<RowStore> sheetTable(const Workbook& wb, const WorkbookSheet& sheet, CellRange range);

}  // namespace dataaccess
