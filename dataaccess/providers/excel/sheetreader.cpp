#include "sheetreader.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace dataaccess {

using namespace biff;

namespace {

// Excel 97-2003 keeps rows below 65,536 and columns below 256; older
// versions fewer.
constexpr int kMaxRow = 65535;
constexpr int kMaxCol = 255;

double rkValue(uint32_t rk) {
  double v;
  if (rk & 2) {
    v = double(int32_t(rk) >> 2);
  } else {
    const uint64_t bits = uint64_t(rk & 0xFFFFFFFCu) << 32;
    std::memcpy(&v, &bits, 8);
  }
  return (rk & 1) ? v / 100.0 : v;
}

bool isBuiltinDateFormat(int index) {
  return (index >= 14 && index <= 22) || (index >= 27 && index <= 36) || (index >= 45 && index <= 47) ||
         (index >= 50 && index <= 58);
}

}  // namespace

void CellRange::include(int row, int col) {
  if (isEmpty()) {
    firstRow = lastRow = row;
    firstCol = lastCol = col;
    return;
  }
  firstRow = std::min(firstRow, row);
  lastRow = std::max(lastRow, row);
  firstCol = std::min(firstCol, col);
  lastCol = std::max(lastCol, col);
}

bool isDateFormatText(const QString& f) {
  bool quoted = false;
  for (int i = 0; i < f.size(); ++i) {
    const QChar c = f[i];
    if (quoted) {
      if (c == QLatin1Char('"')) quoted = false;
      continue;
    }
    if (c == QLatin1Char('"')) quoted = true;
    else if (c == QLatin1Char('\\') || c == QLatin1Char('_') || c == QLatin1Char('*')) ++i;
    else if (c == QLatin1Char('[')) {
      const int end = f.indexOf(QLatin1Char(']'), i);
      const QString inner = f.mid(i + 1, end - i - 1).toLower();
      // [h], [mm], [ss] are elapsed times; anything else is a colour or condition.
      if (!inner.isEmpty() && QStringLiteral("hms").contains(inner[0])) return true;
      if (end < 0) return false;
      i = end;
    } else {
      const QChar l = c.toLower();
      if (l == QLatin1Char('d') || l == QLatin1Char('m') || l == QLatin1Char('y') || l == QLatin1Char('h') ||
          l == QLatin1Char('s'))
        return true;
      if (l == QLatin1Char('g') && f.mid(i, 7).compare(QLatin1String("General"), Qt::CaseInsensitive) == 0) i += 6;
    }
  }
  return false;
}

NumberFormats::NumberFormats(bool builtins) : formatIsDate_(400) {
  if (builtins)
    for (int i = 0; i < int(formatIsDate_.size()); ++i) formatIsDate_[size_t(i)] = isBuiltinDateFormat(i);
}

void NumberFormats::addFormat(int index, const QString& text) {
  if (index < 0) index = implicitFormats_++;
  if (index < int(formatIsDate_.size())) formatIsDate_[size_t(index)] = isDateFormatText(text);
}

void NumberFormats::addXf(int format) { xfIsDate_.push_back(isDateFormat(format)); }

bool NumberFormats::isDateFormat(int format) const {
  return format >= 0 && format < int(formatIsDate_.size()) && formatIsDate_[size_t(format)];
}

double NumberFormats::dayCount(double serial) const {
  // Serial 60 is the 29 February 1900 that the 1900 system counts but that
  // never was; before it the classic origin is one day later.
  if (date1904_) return serial + 1462.0;
  return serial < 61.0 && serial >= 1.0 ? serial + 1.0 : serial;
}

SheetReader::CellHead SheetReader::head(RecordReader& in) {
  CellHead h;
  h.row = in.word();
  h.col = in.word();
  if (biff_ >= 3) {
    h.date = formats_.isDateXf(in.word());
    return h;
  }
  // BIFF2 cell attributes: the XF index (63: see the IXFE record before
  // the cell) and the number format index in the low six bits.
  const int xf = in.byte() & 0x3F;
  const int format = in.byte() & 0x3F;
  in.byte();
  h.date = formats_.isDateFormat(format) || formats_.isDateXf(xf == 63 ? ixfe_ : xf);
  return h;
}

void SheetReader::add(int row, int col, WorkbookCell::Kind kind, double number, int32_t text) {
  if (row > kMaxRow || col > kMaxCol) return;
  WorkbookCell c;
  c.row = uint16_t(row);
  c.col = uint16_t(col);
  c.kind = kind;
  c.number = number;
  c.text = text;
  sheet_.cells.push_back(c);
  sheet_.used.include(row, col);
}

void SheetReader::addNumber(const CellHead& at, double v) {
  if (at.date && std::isfinite(v) && v >= 0 && v < 2958466.0)
    add(at.row, at.col, WorkbookCell::Date, formats_.dayCount(v));
  else
    add(at.row, at.col, WorkbookCell::Number, v);
}

void SheetReader::addText(int row, int col, QString text) {
  wb_.strings.push_back(std::move(text));
  add(row, col, WorkbookCell::Text, 0, int32_t(wb_.strings.size() - 1));
}

void SheetReader::read(const Record& r, RecordReader& in) {
  switch (r.id) {
    case kDimensions2: if (biff_ == 2) onDimensions(in); break;
    case kDimensions: if (biff_ >= 3) onDimensions(in); break;
    case kBlank2: case kBlank: onBlank(in); break;
    case kMulBlank: onMulBlank(r, in); break;
    case kIxfe2: ixfe_ = in.word(); break;
    case kInteger2: {
      const CellHead at = head(in);
      addNumber(at, in.word());
      break;
    }
    case kNumber2: case kNumber: {
      const CellHead at = head(in);
      addNumber(at, in.number());
      break;
    }
    case kRk: {
      const CellHead at = head(in);
      addNumber(at, rkValue(in.dword()));
      break;
    }
    case kMulRk: onMulRk(r, in); break;
    case kLabelSst: onLabelSst(in); break;
    case kLabel2: case kLabel: case kRString: {
      const CellHead at = head(in);
      // BIFF2 counts the characters in one byte, later versions in two.
      addText(at.row, at.col, r.id == kLabel2 ? in.string8() : in.string16());
      break;
    }
    case kBoolErr2: case kBoolErr: onBoolErr(in); break;
    case kFormula: case kFormula3: case kFormula4: onFormula(in); break;
    case kString2: case kString:
      if (pendingRow_ >= 0) {
        addText(pendingRow_, pendingCol_, r.id == kString2 ? in.string8() : in.string16());
        pendingRow_ = -1;
      }
      break;
    default: break;
  }
}

void SheetReader::onDimensions(RecordReader& in) {
  // First used row, last used row + 1, first used column, last used
  // column + 1; BIFF8 counts rows in 32 bits.
  const int64_t firstRow = biff_ >= 8 ? int64_t(in.dword()) : in.word();
  const int64_t endRow = biff_ >= 8 ? int64_t(in.dword()) : in.word();
  const int firstCol = in.word();
  const int endCol = in.word();
  if (endRow <= firstRow || endCol <= firstCol || firstRow > kMaxRow || firstCol > kMaxCol) return;
  sheet_.declared = CellRange{};
  sheet_.declared.include(int(firstRow), firstCol);
  sheet_.declared.include(int(std::min<int64_t>(endRow - 1, kMaxRow)), std::min(endCol - 1, kMaxCol));
}

void SheetReader::onBlank(RecordReader& in) {
  const CellHead at = head(in);
  if (at.row <= kMaxRow && at.col <= kMaxCol) sheet_.used.include(at.row, at.col);
}

void SheetReader::onMulBlank(const Record& r, RecordReader& in) {
  // Row, first column, one XF per cell, last column.
  const int row = in.word(), first = in.word();
  if (r.data.size() < 6) return;
  const int last = u16(r.data.constData() + r.data.size() - 2);
  if (last < first || row > kMaxRow) return;
  sheet_.used.include(row, std::min(first, kMaxCol));
  sheet_.used.include(row, std::min(last, kMaxCol));
}

void SheetReader::onMulRk(const Record& r, RecordReader& in) {
  // Row, first column, (XF, RK) per cell, last column.
  const int row = in.word(), first = in.word();
  const int count = (int(r.data.size()) - 6) / 6;
  for (int i = 0; i < count; ++i) {
    const CellHead at{row, first + i, formats_.isDateXf(in.word())};
    addNumber(at, rkValue(in.dword()));
  }
}

void SheetReader::onLabelSst(RecordReader& in) {
  const CellHead at = head(in);
  const uint32_t index = in.dword();
  if (index >= wb_.strings.size()) in.damaged(QStringLiteral("a cell names a shared string that does not exist"));
  add(at.row, at.col, WorkbookCell::Text, 0, int32_t(index));
}

void SheetReader::onBoolErr(RecordReader& in) {
  const CellHead at = head(in);
  const int value = in.byte();
  if (in.byte() == 0) add(at.row, at.col, WorkbookCell::Boolean, value ? 1 : 0);
  else add(at.row, at.col, WorkbookCell::Error, value);
}

void SheetReader::onFormula(RecordReader& in) {
  const CellHead at = head(in);
  // The cached result: a number, or FFFF in its last two bytes and its
  // kind in the first byte (0 text in the next STRING record, 1 Boolean,
  // 2 error, 3 empty text).
  char res[8];
  for (char& b : res) b = char(in.byte());
  if (u16(res + 6) != 0xFFFF) {
    double v;
    std::memcpy(&v, res, 8);
    addNumber(at, v);
    return;
  }
  switch (uint8_t(res[0])) {
    case 0: pendingRow_ = at.row; pendingCol_ = at.col; break;
    case 1: add(at.row, at.col, WorkbookCell::Boolean, res[2] ? 1 : 0); break;
    case 2: add(at.row, at.col, WorkbookCell::Error, uint8_t(res[2])); break;
    default: sheet_.used.include(at.row, at.col); break;  // an empty text: an empty cell
  }
}

}  // namespace dataaccess
