// The cells of an Excel workbook (.xls) of any BIFF version: Excel 97-2003
// and 5.0/95 workbooks (BIFF8, BIFF5), read from the workbook stream of their
// compound document, and Excel 2.x, 3.0 and 4.0 worksheets and Excel 4.0
// workbooks (BIFF2-BIFF4), whose records start at the first byte of the file.
//
// The compound document (OLE2 container) is read with libgsf; the BIFF
// records inside it are read here: sheets, shared strings, labels, numbers,
// RK/MULRK, Booleans, cached formula results, the sheets' recorded
// dimensions and formatted blank cells, number formats (to tell dates from
// numbers) and workbook-level names. Every length and offset in the file is
// checked against the data actually present, so a damaged file gives an
// Error, never a read out of bounds.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace dataaccess {

struct WorkbookCell {
  enum Kind : uint8_t { Number, Date, Text, Boolean, Error };
  uint16_t row = 0;
  uint16_t col = 0;
  Kind kind = Number;
  double number = 0;   // Number; Date as days since 1899-12-30; Boolean 0/1
  int32_t text = -1;   // Text: index into Workbook::strings
};

// A rectangle of cells, rows and columns counted from 0 (empty when a last
// index is below its first).
struct CellRange {
  int firstRow = 0, lastRow = -1, firstCol = 0, lastCol = -1;
  bool isEmpty() const { return lastRow < firstRow || lastCol < firstCol; }
  void include(int row, int col);
};

struct WorkbookSheet {
  QString name;
  std::vector<WorkbookCell> cells;  // cells with a value, in file order (row by row)
  // Every cell that has a value or only a format (BLANK, MULBLANK).
  CellRange used;
  // The area its DIMENSIONS record declares (empty without one).
  CellRange declared;
};

// A workbook-level name that refers to one rectangle of one sheet.
struct WorkbookName {
  QString name;
  int sheet = 0;  // index into Workbook::sheets
  int firstRow = 0, lastRow = 0, firstCol = 0, lastCol = 0;
};

struct Workbook {
  int biffVersion = 0;  // 2, 3, 4, 5 or 8
  std::vector<WorkbookSheet> sheets;  // worksheets only, in workbook order
  std::vector<WorkbookName> names;
  std::vector<QString> strings;
};

// Reads the workbook in `path`. Throws Error (kProviderFailure) with a
// description for the user for a missing, empty, damaged, encrypted or
// foreign file (CSV text, an .xlsx package).
Workbook readWorkbook(const QString& path);

// Parses a BIFF stream: the "Workbook" or "Book" stream of a compound
// document (BIFF5, BIFF8), or a whole Excel 2.x-4.0 file. `path` names the
// file in messages and, without its suffix, the one sheet of an Excel 2.x-4.0
// worksheet.
Workbook parseWorkbookStream(const QByteArray& stream, const QString& path);

}  // namespace dataaccess
