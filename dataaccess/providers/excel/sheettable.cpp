#include "sheettable.h"

#include "../../values.h"

#include <QLocale>
#include <QSet>

#include <algorithm>
#include <cmath>

namespace dataaccess {

namespace {

// Text columns longer than this become memo (long text) columns.
constexpr int kShortTextLimit = 255;

// The text of a cell, for column names and for columns of mixed kinds.
QString cellText(const Workbook& wb, const WorkbookCell& c) {
  switch (c.kind) {
    case WorkbookCell::Text: return wb.strings[size_t(c.text)];
    case WorkbookCell::Number: return QString::number(c.number, 'g', QLocale::FloatingPointShortest);
    case WorkbookCell::Date: {
      // Month/day/year as Excel shows dates in a column of mixed values.
      const QDateTime dt = fromOleMsecs(oleMsecsFromDays(c.number));
      if (c.number >= 0 && c.number < 1) return dt.time().toString(QStringLiteral("H:mm:ss"));
      if (dt.time() == QTime(0, 0)) return dt.date().toString(QStringLiteral("M/d/yyyy"));
      return dt.toString(QStringLiteral("M/d/yyyy H:mm:ss"));
    }
    case WorkbookCell::Boolean: return c.number != 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case WorkbookCell::Error: return {};
  }
  return {};
}

}  // namespace

CellRange usedRange(const WorkbookSheet& sheet) {
  // The recorded cells and the DIMENSIONS record together, except that the
  // record may not stretch the area past the cells by more than the cells
  // span: a damaged record claiming a million rows must not turn a small
  // file into a table of a million empty rows.
  CellRange range = sheet.used;
  const CellRange& d = sheet.declared;
  if (range.isEmpty() || d.isEmpty()) return range;
  range.firstRow = std::min(range.firstRow, d.firstRow);
  range.firstCol = std::min(range.firstCol, d.firstCol);
  if (d.lastRow > range.lastRow && d.lastRow - range.lastRow <= range.lastRow - range.firstRow + 1)
    range.lastRow = d.lastRow;
  if (d.lastCol > range.lastCol && d.lastCol - range.lastCol <= range.lastCol - range.firstCol + 1)
    range.lastCol = d.lastCol;
  return range;
}

std::shared_ptr<RowStore> sheetTable(const Workbook& wb, const WorkbookSheet& sheet, CellRange range) {
  const CellRange used = usedRange(sheet);
  range.lastRow = std::min(range.lastRow, used.lastRow);
  range.lastCol = std::min(range.lastCol, used.lastCol);
  const int nrows = range.lastRow >= range.firstRow ? range.lastRow - range.firstRow + 1 : 0;
  const int ncols = range.lastCol >= range.firstCol ? range.lastCol - range.firstCol + 1 : 0;
  if (nrows == 0 || ncols == 0) {
    auto rows = std::make_shared<RowStore>(std::vector<FieldInfo>{FieldInfo(QStringLiteral("F1"), adVarWChar, 255)});
    return rows;
  }

  // Index of the cell at each position of the range (-1 when empty).
  std::vector<int32_t> grid(size_t(nrows) * size_t(ncols), -1);
  for (size_t i = 0; i < sheet.cells.size(); ++i) {
    const WorkbookCell& c = sheet.cells[i];
    if (c.row < range.firstRow || c.row > range.lastRow || c.col < range.firstCol || c.col > range.lastCol) continue;
    if (c.kind == WorkbookCell::Error) continue;
    grid[size_t(c.row - range.firstRow) * size_t(ncols) + size_t(c.col - range.firstCol)] = int32_t(i);
  }
  const auto at = [&](int r, int col) -> const WorkbookCell* {
    const int32_t i = grid[size_t(r) * size_t(ncols) + size_t(col)];
    return i < 0 ? nullptr : &sheet.cells[size_t(i)];
  };

  std::vector<FieldInfo> fields;
  QSet<QString> seen;
  for (int col = 0; col < ncols; ++col) {
    QString name;
    if (const WorkbookCell* c = at(0, col)) name = cellText(wb, *c).trimmed();
    if (name.isEmpty() || seen.contains(name.toLower())) name = QStringLiteral("F%1").arg(col + 1);
    seen.insert(name.toLower());

    // The kinds of value below the header decide the column's type.
    unsigned kinds = 0;
    qsizetype longest = 0;
    for (int r = 1; r < nrows; ++r) {
      if (const WorkbookCell* c = at(r, col)) {
        kinds |= 1u << c->kind;
        if (c->kind == WorkbookCell::Text) longest = std::max(longest, wb.strings[size_t(c->text)].size());
      }
    }
    FieldInfo f(name, adVarWChar, kShortTextLimit);
    if (kinds == 1u << WorkbookCell::Number) f = FieldInfo(name, adDouble, 8);
    else if (kinds == 1u << WorkbookCell::Date) f = FieldInfo(name, adDate, 8);
    else if (kinds == 1u << WorkbookCell::Boolean) f = FieldInfo(name, adBoolean, 2);
    else if (kinds != 0) {
      if (longest <= kShortTextLimit)
        for (int r = 1; r < nrows && longest <= kShortTextLimit; ++r)
          if (const WorkbookCell* c = at(r, col)) longest = std::max(longest, cellText(wb, *c).size());
      if (longest > kShortTextLimit) f = FieldInfo(name, adLongVarWChar, 0);
    }
    fields.push_back(f);
  }

  auto rows = std::make_shared<RowStore>(std::move(fields));
  rows->reserve(nrows - 1);
  for (int r = 1; r < nrows; ++r) {
    for (int col = 0; col < ncols; ++col) {
      ColumnStore& out = rows->column(col);
      const WorkbookCell* c = at(r, col);
      if (!c) {
        out.appendNull();
        continue;
      }
      switch (out.type()) {
        case adDouble: out.appendReal(c->number); break;
        case adDate: out.appendOleMsecs(oleMsecsFromDays(c->number)); break;
        case adBoolean: out.appendBoolean(c->number != 0); break;
        default: out.appendText(cellText(wb, *c)); break;
      }
    }
    rows->commitRow();
  }
  return rows;
}

}  // namespace dataaccess
