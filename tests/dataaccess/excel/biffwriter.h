// Builds Excel files record by record for the excel provider's tests: Excel
// 97-2003 workbooks whose long records (shared strings, labels, formula
// text) go on in CONTINUE records split at a chosen size, and bare Excel
// 2.x-4.0 worksheets and Excel 4.0 workbooks.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace biffwriter {

QByteArray le16(uint16_t v);
QByteArray le32(uint32_t v);
QByteArray f64(double v);

// A record, and its CONTINUE records when its data is longer than `limit`
// bytes (8,224 in BIFF8). Strings are split as the format defines: the
// header and first character of a string stay together, characters that go
// on restart with an option byte, formatting runs stay whole.
class ContinuedRecord {
 public:
  ContinuedRecord(uint16_t id, int limit) : id_(id), limit_(limit) { pieces_.emplace_back(); }
  void atom(const QByteArray& bytes);   // never split
  void bytes(const QByteArray& bytes);  // split anywhere, nothing repeated
  // A BIFF8 Unicode string with a 16-bit length, with `runs` formatting runs
  // and `phonetic` bytes of phonetic data. `mixed`: characters that go on in
  // a CONTINUE record switch between 8-bit and 16-bit storage where they can.
  void string(const QString& text, int runs = 0, int phonetic = 0, bool mixed = false);
  QByteArray finish() const;

 private:
  uint16_t id_;
  int limit_;
  std::vector<QByteArray> pieces_;
};

// An Excel 97-2003 workbook with one sheet. XF 0 is General, XF 1 a date.
class Biff8Book {
 public:
  explicit Biff8Book(int limit = 8224) : limit_(limit) {}

  // Adds a string to the shared-string table; returns its index.
  int share(const QString& text, int runs = 0, int phonetic = 0);
  bool mixedEncodings = false;

  void labelSst(int row, int col, int index);
  void label(int row, int col, const QString& text);
  void number(int row, int col, int xf, double v);
  void boolean(int row, int col, bool v);
  void formulaText(int row, int col, const QString& text);  // FORMULA + STRING
  void blank(int row, int col);
  void mulBlank(int row, int firstCol, int lastCol);
  void dimensions(int firstRow, int lastRowPlus1, int firstCol, int lastColPlus1);

  QByteArray stream(const QString& sheetName) const;

 private:
  struct Shared {
    QString text;
    int runs, phonetic;
  };
  int limit_;
  std::vector<Shared> strings_;
  QByteArray dims_, sheet_;
};

// Writes `stream` as the workbook stream of a compound document.
void writeXls(const QString& path, const QByteArray& stream);

// A bare Excel 2.x (version 2), 3.0 (3) or 4.0 (4) worksheet.
class OldSheet {
 public:
  explicit OldSheet(int version) : v_(version) {}
  void codePage(uint16_t cp);
  void dateMode1904();
  void format(const QByteArray& text);  // the next implicit format index
  void xf(int format);                  // the next XF index, showing `format`
  void dimensions(int firstRow, int lastRowPlus1, int firstCol, int lastColPlus1);
  // Cells; `xf` picks the XF record (BIFF2 also writes its format into the
  // cell's attributes).
  void blank(int row, int col, int xf = 0);
  void number(int row, int col, int xf, double v);
  void integer(int row, int col, int xf, uint16_t v);  // BIFF2 INTEGER
  void rk(int row, int col, int xf, uint32_t rk);      // BIFF3 and BIFF4 RK
  void label(int row, int col, const QByteArray& text);
  void boolErr(int row, int col, int value, bool isError);
  void formulaNumber(int row, int col, int xf, double v);
  void formulaText(int row, int col, const QByteArray& text);
  void formulaBoolean(int row, int col, bool v);

  // BOF (substream type `type`), the records, EOF.
  QByteArray stream(uint16_t type = 0x0010) const;

 private:
  QByteArray cell(int row, int col, int xf) const;
  void formula(int row, int col, int xf, const QByteArray& result);
  int v_;
  QByteArray body_;
  std::vector<int> xfFormats_;
};

}  // namespace biffwriter
