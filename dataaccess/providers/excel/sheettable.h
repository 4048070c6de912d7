// Turns a rectangle of workbook cells into a table: the first row names the
// columns (F1, F2, ... for empty or repeated names), every other row is a
// record (blank ones all Null), and each column's type is guessed from all
// of its values.
#pragma once

#include "../../rowstore.h"
#include "workbook.h"

#include <memory>

namespace dataaccess {

// The sheet's used range (empty when none): its recorded dimensions and
// every cell with a value or a format, but never more than twice as many
// rows or columns as the cells span.
CellRange usedRange(const WorkbookSheet& sheet);

// The rows of `range` of `sheet`. Ranges past the last used row or column
// are cut to the used part.
std::shared_ptr<RowStore> sheetTable(const Workbook& wb, const WorkbookSheet& sheet, CellRange range);

}  // namespace dataaccess
