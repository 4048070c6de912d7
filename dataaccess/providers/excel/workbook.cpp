#include "workbook.h"

#include "../../error.h"
#include "biffrecords.h"
#include "sheetreader.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <mutex>

extern "C" {
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-utils.h>
}

namespace dataaccess {

using namespace biff;

namespace {

const QString kSource = QStringLiteral("Connection.Open");

[[noreturn]] void fail(const QString& description) { throw Error(err::kProviderFailure, kSource, description); }

[[noreturn]] void encrypted(const QString& path) {
  fail(QStringLiteral("The workbook '%1' is protected by a password; this program cannot open encrypted workbooks.")
           .arg(path));
}

// Reads a workbook stream in one pass: the workbook globals (formats, sheets,
// shared strings, names), then each worksheet. BIFF5 and BIFF8 place each
// worksheet where its BOUNDSHEET record says; an Excel 2.x-4.0 worksheet is
// one substream with its formats and cells; an Excel 4.0 workbook holds its
// worksheets one after the other, each with formats of its own.
class WorkbookParser {
 public:
  WorkbookParser(const QByteArray& bytes, const QString& path) : s_(bytes, path) {}

  Workbook parse() {
    if (s_.atEnd()) s_.damaged(QStringLiteral("the workbook stream is empty"));
    const Record bof = s_.next();
    const int version = bof.id == kBof2 ? 2 : bof.id == kBof3 ? 3 : bof.id == kBof4 ? 4 : bof.id == kBof ? 5 : 0;
    if (version == 0 || bof.data.size() < 4) s_.damaged(QStringLiteral("it does not start with a workbook record"));
    const uint16_t type = u16(bof.data.constData() + 2);
    if (version >= 5) {
      // BIFF5 files carry version 0x0500; some writers leave it 0 in BIFF8
      // files, whose BOF record is then at least 16 bytes long.
      const uint16_t v = u16(bof.data.constData());
      wb_.biffVersion = v == 0x0500 ? 5 : (v == 0x0600 || bof.data.size() >= 16) ? 8 : 5;
      readGlobals();
      readBoundSheets();
      resolveNames();
      return std::move(wb_);
    }
    wb_.biffVersion = version;
    if (type == kWorksheet) {
      readOldSheet(QFileInfo(s_.path()).completeBaseName());
    } else if (type == kWorkbook4 && version == 4) {
      readOldWorkbook();
    } else {
      const QString excel = version == 2 ? QStringLiteral("2.x") : QStringLiteral("%1.0").arg(version);
      fail(QStringLiteral("The file '%1' is an Excel %2 chart, macro sheet or workspace; it holds no worksheet to "
                          "read.").arg(s_.path(), excel));
    }
    return std::move(wb_);
  }

 private:
  struct SheetRef {
    QString name;
    uint32_t pos;
  };
  struct RawName {
    QString name;
    int itab;
    QByteArray formula;
  };

  RecordReader reader(const Record& r) { return RecordReader(r, s_, wb_.biffVersion, &codepage_); }
  bool isBof(uint16_t id) const {
    return wb_.biffVersion >= 5 ? id == kBof : id == kBof2 || id == kBof3 || id == kBof4;
  }

  // Records that may stand in the globals of any version and, before
  // BIFF5, in each worksheet: code page, date system, number formats, cell
  // formats, encryption. False for any other record.
  bool readStyleRecord(const Record& r, RecordReader& in, NumberFormats& formats) {
    const int biff = wb_.biffVersion;
    switch (r.id) {
      case kFilePass: encrypted(s_.path());
      case kCodePage: codepage_ = codePageFor(in.word()); return true;
      case kDateMode:
        date1904_ = in.word() == 1;
        formats.setDate1904(date1904_);
        return true;
      case kFormat2:
        if (biff <= 3) formats.addFormat(-1, in.string8());
        return true;
      case kFormat:
        if (biff == 4) {
          in.skip(2);
          formats.addFormat(-1, in.string8());
        } else if (biff >= 5) {
          const int index = in.word();
          formats.addFormat(index, biff >= 8 ? in.string16() : in.string8());
        }
        return true;
      case kXf2:
        if (biff != 2) return false;
        in.skip(2);
        formats.addXf(in.byte() & 0x3F);
        return true;
      case kXf3: case kXf4:
        if (biff != (r.id == kXf3 ? 3 : 4)) return false;
        in.byte();
        formats.addXf(in.byte());
        return true;
      case kXf:
        if (biff < 5) return false;
        in.skip(2);
        formats.addXf(in.word());
        return true;
      default: return false;
    }
  }

  void readGlobals() {
    while (!s_.atEnd()) {
      const Record r = s_.next();
      RecordReader in = reader(r);
      if (readStyleRecord(r, in, formats_)) continue;
      switch (r.id) {
        case kBoundSheet: onBoundSheet(in); break;
        case kSst: onSst(r, in); break;
        case kExternSheet: onExternSheet(in); break;
        case kName: onName(r, in); break;
        case kEof: return;
        default: break;
      }
    }
  }

  void onBoundSheet(RecordReader& in) {
    const uint32_t pos = in.dword();
    in.byte();  // visibility
    const int type = in.byte();
    const QString name = in.string8();
    if (type == 0) {
      allSheetIndex_.push_back(int(sheetRefs_.size()));
      sheetRefs_.push_back({name, pos});
    } else {
      allSheetIndex_.push_back(-1);
    }
  }

  void onSst(const Record& r, RecordReader& in) {
    in.skip(4);  // strings used in the workbook
    const uint32_t unique = in.dword();
    // Each string takes at least three bytes.
    if (unique > uint32_t(r.data.size())) s_.damaged(QStringLiteral("the shared string table is too short"));
    wb_.strings.reserve(unique);
    for (uint32_t i = 0; i < unique; ++i) wb_.strings.push_back(in.string16());
  }

  void onExternSheet(RecordReader& in) {
    if (wb_.biffVersion < 8) return;
    const int n = in.word();
    for (int i = 0; i < n; ++i) {
      in.word();
      externSheets_.push_back(in.word());
      in.word();
    }
  }

  void onName(const Record& r, RecordReader& in) {
    if (wb_.biffVersion < 8) return;
    const uint16_t grbit = in.word();
    in.byte();
    const int cch = in.byte();
    const int cce = in.word();
    in.word();
    const int itab = in.word();
    in.skip(4);
    const QString name = in.string(cch);
    // Built-in names (print areas, filters) are not tables.
    if (grbit & 0x0020) return;
    rawNames_.push_back({name, itab, r.data.mid(in.pos(), cce)});
  }

  // Reads the records of a sheet substream up to its EOF; substreams inside
  // it (embedded charts) are skipped. Before BIFF5 a sheet carries its own
  // formats (`withStyles`).
  void readSheet(WorkbookSheet& sheet, NumberFormats& formats, bool withStyles) {
    SheetReader cells(wb_, sheet, formats, wb_.biffVersion);
    int nested = 0;
    while (!s_.atEnd()) {
      const Record r = s_.next();
      if (isBof(r.id)) {
        if (++nested > 16) s_.damaged(QStringLiteral("sheets are nested too deeply"));
        continue;
      }
      if (r.id == kEof) {
        if (nested == 0) return;
        --nested;
        continue;
      }
      if (nested > 0) continue;
      RecordReader in = reader(r);
      if (withStyles && readStyleRecord(r, in, formats)) continue;
      cells.read(r, in);
    }
  }

  void readBoundSheets() {
    for (const SheetRef& ref : sheetRefs_) {
      WorkbookSheet sheet;
      sheet.name = ref.name;
      if (ref.pos + 4 > uint32_t(s_.size())) s_.damaged(QStringLiteral("a sheet lies beyond the end of the workbook"));
      s_.seek(ref.pos);
      if (s_.next().id != kBof) s_.damaged(QStringLiteral("a sheet does not start where the workbook says"));
      readSheet(sheet, formats_, false);
      wb_.sheets.push_back(std::move(sheet));
    }
  }

  void readOldSheet(const QString& name) {
    NumberFormats formats(false);
    formats.setDate1904(date1904_);
    WorkbookSheet sheet;
    sheet.name = name;
    readSheet(sheet, formats, true);
    wb_.sheets.push_back(std::move(sheet));
  }

  // An Excel 4.0 workbook: globals with one BOUNDSHEET record per sheet
  // (only its name), then for each sheet a SHEETHDR record (the length of
  // the substream and the sheet's name) and the sheet's own substream.
  void readOldWorkbook() {
    std::vector<QString> names;
    QString header;
    int index = 0;
    while (!s_.atEnd()) {
      const Record r = s_.next();
      // The sheets may stand inside the globals substream or after its EOF.
      if (r.id == kEof) {
        if (s_.atEnd() || (s_.peekId() != kSheetHeader4 && !isBof(s_.peekId()))) break;
        continue;
      }
      if (isBof(r.id)) {
        const uint16_t type = r.data.size() >= 4 ? u16(r.data.constData() + 2) : 0;
        QString name = !header.isEmpty() ? header
                       : index < int(names.size()) ? names[size_t(index)]
                                                   : QStringLiteral("Sheet%1").arg(index + 1);
        if (type == kWorksheet) {
          readOldSheet(name);
        } else {
          WorkbookSheet ignored;
          NumberFormats none(false);
          readSheet(ignored, none, false);
        }
        ++index;
        header.clear();
        continue;
      }
      RecordReader in = reader(r);
      if (r.id == kBoundSheet) {
        names.push_back(in.string8());
      } else if (r.id == kSheetHeader4) {
        in.skip(4);
        header = in.string8();
      } else {
        readStyleRecord(r, in, formats_);
      }
    }
  }

  // Names that refer to one area (or one cell) of one sheet.
  void resolveNames() {
    for (const RawName& n : rawNames_) {
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
      if (ixti >= int(externSheets_.size())) continue;
      const int tab = externSheets_[size_t(ixti)];
      if (tab >= int(allSheetIndex_.size()) || allSheetIndex_[size_t(tab)] < 0) continue;
      name.sheet = allSheetIndex_[size_t(tab)];
      if (name.firstRow > name.lastRow || name.firstCol > name.lastCol) continue;
      wb_.names.push_back(name);
    }
  }

  RecordStream s_;
  Workbook wb_;
  CodePage codepage_ = codePageFor(1252);
  bool date1904_ = false;
  NumberFormats formats_{true};  // the workbook's (BIFF5 and later)
  std::vector<SheetRef> sheetRefs_;
  std::vector<int> allSheetIndex_;  // BOUNDSHEET order -> index in sheetRefs_ or -1
  std::vector<uint16_t> externSheets_;
  std::vector<RawName> rawNames_;
};

}  // namespace

Workbook parseWorkbookStream(const QByteArray& bytes, const QString& path) {
  return WorkbookParser(bytes, path).parse();
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
  static const char kOle[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
  if (head.startsWith("PK\x03\x04"))
    fail(QStringLiteral("The file '%1' is an Excel 2007 or later workbook (.xlsx), not an Excel 97-2003 workbook; "
                        "save it in the .xls format to open it here.").arg(path));
  if (head.size() < 8 || std::memcmp(head.constData(), kOle, 8) != 0) {
    // Excel 2.x-4.0 files (and some other programs' BIFF5/BIFF8 files) are
    // bare BIFF streams: a BOF record (09 00, 09 02, 09 04 or 09 08) at byte 0.
    const bool bareBiff = head.size() >= 4 && uint8_t(head[0]) == 0x09 &&
                          (head[1] == 0 || head[1] == 2 || head[1] == 4 || head[1] == 8) && head[3] == 0 &&
                          head[2] >= 4 && head[2] <= 20;
    if (!bareBiff)
      fail(QStringLiteral("External table is not in the expected format: '%1' is not an Excel workbook.").arg(path));
    f.seek(0);
    const QByteArray bytes = f.readAll();
    if (bytes.size() != size) fail(QStringLiteral("The file '%1' cannot be read: %2.").arg(path, f.errorString()));
    return parseWorkbookStream(bytes, path);
  }
  f.close();

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
