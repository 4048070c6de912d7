#include "workbook.h"

#include "../../error.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <cmath>
#include <cstring>
#include <mutex>

extern "C" {
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-utils.h>
}

namespace dataaccess {

namespace {

const QString kSource = QStringLiteral("Connection.Open");

[[noreturn]] void fail(const QString& description) { throw Error(err::kProviderFailure, kSource, description); }

// BIFF record identifiers used here.
enum : uint16_t {
  kFormula = 0x0006, kEof = 0x000A, kExternSheet = 0x0017, kName = 0x0018, kDateMode = 0x0022, kFilePass = 0x002F,
  kContinue = 0x003C, kCodePage = 0x0042, kBoundSheet = 0x0085, kMulRk = 0x00BD, kRString = 0x00D6, kXf = 0x00E0,
  kSst = 0x00FC, kLabelSst = 0x00FD, kNumber = 0x0203, kLabel = 0x0204, kBoolErr = 0x0205, kString = 0x0207,
  kRk = 0x027E, kFormat = 0x041E, kBof = 0x0809,
};

uint16_t u16(const char* p) { return uint16_t(uint8_t(p[0]) | uint8_t(p[1]) << 8); }
uint32_t u32(const char* p) { return uint32_t(u16(p)) | uint32_t(u16(p + 2)) << 16; }
double f64(const char* p) {
  double d;
  std::memcpy(&d, p, 8);
  return d;
}

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

// One record with the CONTINUE records that follow it, read as one run of
// bytes. Strings that cross into a CONTINUE record restart with a new
// option byte there, so the boundaries are kept.
struct Record {
  uint16_t id = 0;
  QByteArray data;
  std::vector<int> breaks;  // offsets in data where a CONTINUE began
};

class Stream {
 public:
  Stream(const QByteArray& bytes, const QString& path) : b_(bytes), path_(path) {}
  bool atEnd() const { return pos_ + 4 > b_.size(); }
  void seek(qsizetype pos) { pos_ = pos; }
  qsizetype size() const { return b_.size(); }

  // Reads the next record (with its CONTINUE records when `gather`).
  Record next(bool gather) {
    Record r;
    r.id = u16(b_.constData() + pos_);
    const int len = u16(b_.constData() + pos_ + 2);
    if (pos_ + 4 + len > b_.size()) damaged(QStringLiteral("a record runs past the end of the workbook"));
    r.data = b_.mid(pos_ + 4, len);
    pos_ += 4 + len;
    while (gather && !atEnd() && u16(b_.constData() + pos_) == kContinue) {
      const int clen = u16(b_.constData() + pos_ + 2);
      if (pos_ + 4 + clen > b_.size()) damaged(QStringLiteral("a record runs past the end of the workbook"));
      r.breaks.push_back(int(r.data.size()));
      r.data.append(b_.constData() + pos_ + 4, clen);
      pos_ += 4 + clen;
    }
    return r;
  }

  [[noreturn]] void damaged(const QString& what) const {
    fail(QStringLiteral("The workbook '%1' is damaged: %2.").arg(path_, what));
  }

 private:
  const QByteArray& b_;
  const QString& path_;
  qsizetype pos_ = 0;
};

// Reads strings and numbers from a record, failing cleanly at its end.
class Reader {
 public:
  Reader(const Record& r, const Stream& s, int biff, QStringDecoder* codepage)
      : r_(r), s_(s), biff_(biff), codepage_(codepage) {}
  int pos() const { return pos_; }
  void skip(qint64 n) {
    if (n < 0 || pos_ + n > r_.data.size()) s_.damaged(QStringLiteral("a record is shorter than its contents"));
    pos_ += int(n);
  }
  uint8_t byte() {
    need(1);
    return uint8_t(r_.data[pos_++]);
  }
  uint16_t word() {
    need(2);
    const uint16_t v = u16(r_.data.constData() + pos_);
    pos_ += 2;
    return v;
  }
  uint32_t dword() {
    need(4);
    const uint32_t v = u32(r_.data.constData() + pos_);
    pos_ += 4;
    return v;
  }

  // A string of `cch` characters: BIFF8 with an option byte (unless
  // `haveFlags` gave it already), BIFF5 as code page bytes.
  QString string(int cch) {
    if (biff_ < 8) {
      need(cch);
      const QByteArray bytes = r_.data.mid(pos_, cch);
      pos_ += cch;
      return codepage_ && codepage_->isValid() ? QString(codepage_->decode(bytes)) : QString::fromLatin1(bytes);
    }
    const uint8_t flags = byte();
    int runs = 0;
    uint32_t ext = 0;
    if (flags & 0x08) runs = word();
    if (flags & 0x04) ext = dword();
    QString out;
    out.reserve(cch);
    bool wide = flags & 0x01;
    while (out.size() < cch) {
      // Characters up to the next CONTINUE boundary, then a new option byte.
      int limit = int(r_.data.size());
      for (int b : r_.breaks)
        if (b > pos_) {
          limit = b;
          break;
        }
      const int charSize = wide ? 2 : 1;
      const int avail = (limit - pos_) / charSize;
      const int take = std::min(avail, cch - int(out.size()));
      if (take <= 0) {
        if (limit >= r_.data.size()) s_.damaged(QStringLiteral("a text runs past its record"));
        pos_ = limit;
        wide = byte() & 0x01;
        continue;
      }
      const char* p = r_.data.constData() + pos_;
      if (wide)
        for (int i = 0; i < take; ++i) out.append(QChar(u16(p + 2 * i)));
      else
        for (int i = 0; i < take; ++i) out.append(QChar(uint8_t(p[i])));
      pos_ += take * charSize;
    }
    skip(qint64(runs) * 4 + ext);
    return out;
  }

 private:
  void need(int n) const {
    if (pos_ + n > r_.data.size()) s_.damaged(QStringLiteral("a record is shorter than its contents"));
  }
  const Record& r_;
  const Stream& s_;
  int biff_;
  QStringDecoder* codepage_;
  int pos_ = 0;
};

// True when a number format shows dates or times: it has d, m, y, h or s
// outside quoted text, escapes and [colour] sections.
bool isDateFormat(const QString& f) {
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

bool isBuiltinDateFormat(int index) {
  return (index >= 14 && index <= 22) || (index >= 27 && index <= 36) || (index >= 45 && index <= 47) ||
         (index >= 50 && index <= 58);
}

}  // namespace

Workbook parseWorkbookStream(const QByteArray& bytes, const QString& path) {
  Stream s(bytes, path);
  Workbook wb;
  if (s.atEnd()) s.damaged(QStringLiteral("the workbook stream is empty"));
  Record bof = s.next(false);
  if (bof.id != kBof || bof.data.size() < 4) {
    if ((bof.id & 0xFF) == 0x09)
      fail(QStringLiteral("The workbook '%1' was saved by Excel 2.x to 4.x, which this program cannot read; save it "
                          "as an Excel 97-2003 workbook.").arg(path));
    s.damaged(QStringLiteral("it does not start with a workbook record"));
  }
  const uint16_t version = u16(bof.data.constData());
  // BIFF5 files carry version 0x0500; some writers leave it 0 in BIFF8
  // files, whose BOF record is then at least 16 bytes long.
  wb.biffVersion = version == 0x0500 ? 5 : (version == 0x0600 || bof.data.size() >= 16) ? 8 : 5;
  const int biff = wb.biffVersion;

  struct SheetRef {
    QString name;
    uint32_t pos;
  };
  std::vector<SheetRef> sheetRefs;
  std::vector<int> allSheetIndex;  // BOUNDSHEET order -> index in sheetRefs or -1
  std::vector<QString> formats(400);
  std::vector<bool> formatIsDate(400);
  for (int i = 0; i < 400; ++i) formatIsDate[size_t(i)] = isBuiltinDateFormat(i);
  std::vector<bool> xfIsDate;
  std::vector<uint16_t> externSheets;
  struct RawName {
    QString name;
    int itab;
    QByteArray formula;
  };
  std::vector<RawName> rawNames;
  bool date1904 = false;
  QStringDecoder codepage("windows-1252");

  // Workbook globals.
  bool globalsEnded = false;
  while (!s.atEnd()) {
    const Record r = s.next(true);
    Reader in(r, s, biff, &codepage);
    switch (r.id) {
      case kFilePass:
        fail(QStringLiteral("The workbook '%1' is protected by a password; this program cannot open encrypted "
                            "workbooks.").arg(path));
      case kCodePage: {
        const int cp = in.word();
        if (cp == 10000) codepage = QStringDecoder("macintosh");
        else if (cp != 1200 && cp != 367 && cp != 0x8000 && cp != 0x8001)
          codepage = QStringDecoder(QStringLiteral("windows-%1").arg(cp).toLatin1().constData());
        if (!codepage.isValid()) codepage = QStringDecoder("windows-1252");
        break;
      }
      case kDateMode: date1904 = in.word() == 1; break;
      case kFormat: {
        const int idx = in.word();
        const QString text = in.string(biff >= 8 ? in.word() : in.byte());
        if (idx < int(formats.size())) {
          formats[size_t(idx)] = text;
          formatIsDate[size_t(idx)] = isDateFormat(text);
        }
        break;
      }
      case kXf: {
        in.skip(2);
        const int fmt = in.word();
        xfIsDate.push_back(fmt < int(formatIsDate.size()) && formatIsDate[size_t(fmt)]);
        break;
      }
      case kBoundSheet: {
        const uint32_t pos = in.dword();
        in.byte();  // visibility
        const int type = in.byte();
        const QString name = in.string(in.byte());
        if (type == 0) {
          allSheetIndex.push_back(int(sheetRefs.size()));
          sheetRefs.push_back({name, pos});
        } else {
          allSheetIndex.push_back(-1);
        }
        break;
      }
      case kSst: {
        in.skip(4);
        const uint32_t unique = in.dword();
        // Each string takes at least three bytes.
        if (unique > uint32_t(r.data.size())) s.damaged(QStringLiteral("the shared string table is too short"));
        wb.strings.reserve(unique);
        for (uint32_t i = 0; i < unique; ++i) wb.strings.push_back(in.string(in.word()));
        break;
      }
      case kExternSheet:
        if (biff >= 8) {
          const int n = in.word();
          for (int i = 0; i < n; ++i) {
            in.word();
            externSheets.push_back(in.word());
            in.word();
          }
        }
        break;
      case kName:
        if (biff >= 8) {
          const uint16_t grbit = in.word();
          in.byte();
          const int cch = in.byte();
          const int cce = in.word();
          in.word();
          const int itab = in.word();
          in.skip(4);
          const QString name = in.string(cch);
          // Built-in names (print areas, filters) are not tables.
          if (grbit & 0x0020) break;
          rawNames.push_back({name, itab, r.data.mid(in.pos(), cce)});
        }
        break;
      case kEof: globalsEnded = true; break;
      default: break;
    }
    if (globalsEnded) break;
  }

  // Worksheets.
  const auto dateOf = [&](double serial) {
    // Serial 60 is the 29 February 1900 that the 1900 system counts but that
    // never was; before it the classic origin is one day later.
    if (date1904) return serial + 1462.0;
    return serial < 61.0 && serial >= 1.0 ? serial + 1.0 : serial;
  };
  const auto isDateXf = [&](int xf) { return xf < int(xfIsDate.size()) && xfIsDate[size_t(xf)]; };
  for (const SheetRef& ref : sheetRefs) {
    WorkbookSheet sheet;
    sheet.name = ref.name;
    if (ref.pos + 4 > uint32_t(s.size())) s.damaged(QStringLiteral("a sheet lies beyond the end of the workbook"));
    s.seek(ref.pos);
    const Record sheetBof = s.next(false);
    if (sheetBof.id != kBof) s.damaged(QStringLiteral("a sheet does not start where the workbook says"));
    const auto add = [&](int row, int col, WorkbookCell::Kind kind, double number, int32_t text = -1) {
      WorkbookCell c;
      c.row = uint16_t(row);
      c.col = uint16_t(col);
      c.kind = kind;
      c.number = number;
      c.text = text;
      sheet.cells.push_back(c);
    };
    const auto addNumber = [&](int row, int col, int xf, double v) {
      if (isDateXf(xf) && std::isfinite(v) && v >= 0 && v < 2958466.0) add(row, col, WorkbookCell::Date, dateOf(v));
      else add(row, col, WorkbookCell::Number, v);
    };
    const auto addText = [&](int row, int col, QString text) {
      wb.strings.push_back(std::move(text));
      add(row, col, WorkbookCell::Text, 0, int32_t(wb.strings.size() - 1));
    };
    // A formula whose result is text leaves its cell for the STRING record.
    int pendingRow = -1, pendingCol = -1;
    // Embedded charts are sub-streams of their own (BOF ... EOF) inside the
    // sheet; their records are not cells of the sheet.
    int nested = 0;
    while (!s.atEnd()) {
      const Record r = s.next(true);
      if (r.id == kBof) {
        if (++nested > 16) s.damaged(QStringLiteral("sheets are nested too deeply"));
        continue;
      }
      if (r.id == kEof) {
        if (nested == 0) break;
        --nested;
        continue;
      }
      if (nested > 0) continue;
      Reader in(r, s, biff, &codepage);
      switch (r.id) {
        case kNumber: {
          const int row = in.word(), col = in.word(), xf = in.word();
          in.skip(8);
          addNumber(row, col, xf, f64(r.data.constData() + 6));
          break;
        }
        case kRk: {
          const int row = in.word(), col = in.word(), xf = in.word();
          addNumber(row, col, xf, rkValue(in.dword()));
          break;
        }
        case kMulRk: {
          const int row = in.word(), first = in.word();
          const int count = (int(r.data.size()) - 6) / 6;
          for (int i = 0; i < count; ++i) {
            const int xf = in.word();
            addNumber(row, first + i, xf, rkValue(in.dword()));
          }
          break;
        }
        case kLabelSst: {
          const int row = in.word(), col = in.word();
          in.word();
          const uint32_t index = in.dword();
          if (index >= wb.strings.size()) s.damaged(QStringLiteral("a cell names a shared string that does not exist"));
          add(row, col, WorkbookCell::Text, 0, int32_t(index));
          break;
        }
        case kLabel: case kRString: {
          const int row = in.word(), col = in.word();
          in.word();
          addText(row, col, in.string(in.word()));
          break;
        }
        case kBoolErr: {
          const int row = in.word(), col = in.word();
          in.word();
          const int value = in.byte();
          if (in.byte() == 0) add(row, col, WorkbookCell::Boolean, value ? 1 : 0);
          else add(row, col, WorkbookCell::Error, value);
          break;
        }
        case kFormula: {
          const int row = in.word(), col = in.word(), xf = in.word();
          in.skip(8);
          const char* res = r.data.constData() + 6;
          if (u16(res + 6) != 0xFFFF) {
            addNumber(row, col, xf, f64(res));
          } else {
            switch (uint8_t(res[0])) {
              case 0: pendingRow = row; pendingCol = col; break;
              case 1: add(row, col, WorkbookCell::Boolean, res[2] ? 1 : 0); break;
              case 2: add(row, col, WorkbookCell::Error, uint8_t(res[2])); break;
              default: break;  // an empty text result: an empty cell
            }
          }
          break;
        }
        case kString:
          if (pendingRow >= 0) {
            addText(pendingRow, pendingCol, in.string(in.word()));
            pendingRow = -1;
          }
          break;
        default: break;
      }
    }
    wb.sheets.push_back(std::move(sheet));
  }

  // Names that refer to one area (or one cell) of one sheet.
  for (const RawName& n : rawNames) {
    if (n.itab != 0 || n.formula.size() < 7) continue;
    const char* p = n.formula.constData();
    const uint8_t token = uint8_t(p[0]);
    WorkbookName name;
    name.name = n.name;
    int ixti;
    if ((token == 0x3B || token == 0x5B || token == 0x7B) && n.formula.size() >= 11) {
      ixti = u16(p + 1);
      name.firstRow = u16(p + 3);
      name.lastRow = u16(p + 5);
      name.firstCol = u16(p + 7) & 0xFF;
      name.lastCol = u16(p + 9) & 0xFF;
    } else if (token == 0x3A || token == 0x5A || token == 0x7A) {
      ixti = u16(p + 1);
      name.firstRow = name.lastRow = u16(p + 3);
      name.firstCol = name.lastCol = u16(p + 5) & 0xFF;
    } else {
      continue;
    }
    if (ixti >= int(externSheets.size())) continue;
    const int tab = externSheets[size_t(ixti)];
    if (tab >= int(allSheetIndex.size()) || allSheetIndex[size_t(tab)] < 0) continue;
    name.sheet = allSheetIndex[size_t(tab)];
    if (name.firstRow > name.lastRow || name.firstCol > name.lastCol) continue;
    wb.names.push_back(name);
  }
  return wb;
}

Workbook readWorkbook(const QString& path) {
  const QFileInfo fi(path);
  if (!fi.exists() || !fi.isFile()) fail(QStringLiteral("Could not find file '%1'.").arg(path));
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly))
    fail(QStringLiteral("The file '%1' cannot be opened: %2.").arg(path, f.errorString()));
  const qint64 size = f.size();
  if (size == 0) fail(QStringLiteral("The file '%1' is empty: it is not an Excel workbook.").arg(path));
  const QByteArray head = f.read(8);
  f.close();
  static const char kOle[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
  if (head.startsWith("PK\x03\x04"))
    fail(QStringLiteral("The file '%1' is an Excel 2007 or later workbook (.xlsx), not an Excel 97-2003 workbook; "
                        "save it in the .xls format to open it here.").arg(path));
  if (head.size() < 8 || std::memcmp(head.constData(), kOle, 8) != 0) {
    // Excel 2-4 files are bare BIFF streams that start with a BOF record.
    if (head.size() >= 4 && uint8_t(head[0]) == 0x09 && (head[1] == 0 || head[1] == 2 || head[1] == 4) &&
        head[3] == 0 && (head[2] == 4 || head[2] == 6 || head[2] == 8 || head[2] == 16))
      fail(QStringLiteral("The workbook '%1' was saved by Excel 2.x to 4.x, which this program cannot read; save it "
                          "as an Excel 97-2003 workbook.").arg(path));
    fail(QStringLiteral("External table is not in the expected format: '%1' is not an Excel workbook.").arg(path));
  }

  static std::once_flag init;
  std::call_once(init, [] { gsf_init(); });
  GError* error = nullptr;
  const QByteArray native = QFile::encodeName(path);
  GsfInput* input = gsf_input_stdio_new(native.constData(), &error);
  if (!input) {
    if (error) g_error_free(error);
    fail(QStringLiteral("The file '%1' cannot be opened.").arg(path));
  }
  GsfInfile* ole = gsf_infile_msole_new(input, &error);
  g_object_unref(input);
  if (!ole) {
    if (error) g_error_free(error);
    fail(QStringLiteral("The workbook '%1' is damaged: its compound document cannot be read.").arg(path));
  }
  GsfInput* stream = gsf_infile_child_by_name(ole, "Workbook");
  if (!stream) stream = gsf_infile_child_by_name(ole, "Book");
  if (!stream) {
    GsfInput* info = gsf_infile_child_by_name(ole, "EncryptionInfo");
    const bool encrypted = info != nullptr;
    if (info) g_object_unref(info);
    g_object_unref(ole);
    if (encrypted)
      fail(QStringLiteral("The workbook '%1' is protected by a password; this program cannot open encrypted "
                          "workbooks.").arg(path));
    fail(QStringLiteral("External table is not in the expected format: '%1' holds no workbook.").arg(path));
  }
  const gsf_off_t streamSize = gsf_input_size(stream);
  QByteArray bytes;
  // A stream cannot be larger than the file that holds it.
  if (streamSize > 0 && streamSize <= size) {
    bytes.resize(qsizetype(streamSize));
    if (!gsf_input_read(stream, size_t(streamSize), reinterpret_cast<guint8*>(bytes.data()))) bytes.clear();
  }
  g_object_unref(stream);
  g_object_unref(ole);
  if (bytes.isEmpty()) fail(QStringLiteral("The workbook '%1' is damaged: its workbook stream cannot be read.").arg(path));
  return parseWorkbookStream(bytes, path);
}

}  // namespace dataaccess
