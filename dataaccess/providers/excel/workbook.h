// The cells of an Excel 97-2003 / 5.0-95 workbook (.xls, BIFF8 and BIFF5),
// read in one pass from the workbook stream of its compound document.
//
// The compound document (OLE2 container) is read with libgsf; the BIFF
// records inside it are read here: sheets, shared strings, labels, numbers,
// RK/MULRK, Booleans, cached formula results, number formats (to tell dates
// from numbers) and workbook-level names. Every length and offset in the
// file is checked against the data actually present, so a damaged file gives
// an Error, never a read out of bounds.
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

struct WorkbookSheet {
  QString name;
  std::vector<WorkbookCell> cells;  // in file order (row by row)
};

// A workbook-level name that refers to one rectangle of one sheet.
struct WorkbookName {
  QString name;
  int sheet = 0;  // index into Workbook::sheets
  int firstRow = 0, lastRow = 0, firstCol = 0, lastCol = 0;
};

struct Workbook {
  int biffVersion = 0;  // 5 or 8
  std::vector<WorkbookSheet> sheets;  // worksheets only, in workbook order
  std::vector<WorkbookName> names;
  std::vector<QString> strings;
};

// Reads the workbook in `path`. Throws Error (kProviderFailure) with a
// description for the user for a missing, empty, damaged, encrypted or
// foreign file (CSV text, an .xlsx package, an Excel 2-4 file).
Workbook readWorkbook(const QString& path);

// Parses a BIFF5/BIFF8 workbook stream (the "Workbook" or "Book" stream of
// the compound document). `path` only names the file in messages.
Workbook parseWorkbookStream(const QByteArray& stream, const QString& path);

}  // namespace dataaccess
