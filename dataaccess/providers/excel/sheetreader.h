// The cell records of one worksheet, for every BIFF version from Excel 2.x
// to Excel 2003, and the number formats that tell dates from numbers.
//
// A worksheet substream runs from its BOF record to its EOF record; the
// workbook reader hands each of its records to `SheetReader::read`, which
// keeps the cells with a value (numbers, dates, texts, Booleans, errors,
// cached formula results) and the sheet's used area (its DIMENSIONS record
// and every cell that has only a format).
#pragma once

#include "biffrecords.h"
#include "workbook.h"

#include <vector>

namespace dataaccess {

// Which cell formats (XF records) show numbers as dates, and the workbook's
// date system.
class NumberFormats {
 public:
  // `builtins`: whether format indexes without a FORMAT record are Excel's
  // built-in formats (BIFF5 and later number them; BIFF2-4 files write every
  // format they use).
  explicit NumberFormats(bool builtins);

  // A FORMAT record: `index` is the record's own index (BIFF5 and later),
  // or -1 for the next implicit one (BIFF2-BIFF4 count them in file order).
  void addFormat(int index, const QString& text);
  // An XF record that uses the number format `format`.
  void addXf(int format);
  void setDate1904(bool on) { date1904_ = on; }

  bool isDateFormat(int format) const;
  bool isDateXf(int xf) const { return xf >= 0 && xf < int(xfIsDate_.size()) && xfIsDate_[size_t(xf)]; }
  // The day count (days since 1899-12-30) of an Excel serial date.
  double dayCount(double serial) const;

 private:
  std::vector<bool> formatIsDate_;
  std::vector<bool> xfIsDate_;
  int implicitFormats_ = 0;
  bool date1904_ = false;
};

// True when a number format shows dates or times: it has d, m, y, h or s
// outside quoted text, escapes and [colour] sections.
bool isDateFormatText(const QString& format);

class SheetReader {
 public:
  // Cells go to `sheet`; texts of LABEL and formula results to wb.strings.
  SheetReader(Workbook& wb, WorkbookSheet& sheet, const NumberFormats& formats, int biff)
      : wb_(wb), sheet_(sheet), formats_(formats), biff_(biff) {}

  // Reads one record of the sheet; records that hold no cell are ignored.
  void read(const biff::Record& r, biff::RecordReader& in);

 private:
  struct CellHead {
    int row, col;
    bool date;  // its format shows numbers as dates
  };
  CellHead head(biff::RecordReader& in);
  void add(int row, int col, WorkbookCell::Kind kind, double number, int32_t text = -1);
  void addNumber(const CellHead& at, double v);
  void addText(int row, int col, QString text);

  void onDimensions(biff::RecordReader& in);
  void onBlank(biff::RecordReader& in);
  void onMulBlank(const biff::Record& r, biff::RecordReader& in);
  void onMulRk(const biff::Record& r, biff::RecordReader& in);
  void onLabelSst(biff::RecordReader& in);
  void onBoolErr(biff::RecordReader& in);
  void onFormula(biff::RecordReader& in);

  Workbook& wb_;
  WorkbookSheet& sheet_;
  const NumberFormats& formats_;
  int biff_;
  int ixfe_ = 0;  // BIFF2: the XF of the next cell whose attributes give XF 63
  // A formula whose result is text leaves its cell for the STRING record.
  int pendingRow_ = -1, pendingCol_ = -1;
};

}  // namespace dataaccess
