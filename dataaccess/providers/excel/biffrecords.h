// The record layer of a BIFF stream (Excel 2.x to 2003 workbooks): records
// read one by one with the CONTINUE records that follow them joined on, and
// a cursor that reads fields and strings from one joined record.
//
// A record longer than the format allows (2,080 bytes up to BIFF7, 8,224 in
// BIFF8) goes on in CONTINUE records. A BIFF8 Unicode string that crosses
// into a CONTINUE record restarts there with a new option byte that may
// switch between 8-bit and 16-bit characters; formatting runs and phonetic
// data that cross do not. The cursor keeps the places where each CONTINUE
// began so that it can read such strings whole. Every read is checked
// against the bytes present: a damaged file gives an Error, never a read
// out of bounds.
#pragma once

#include <QByteArray>
#include <QString>
#include "../../codepage.h"
#include <cstdint>
#include <vector>

namespace dataaccess::biff {

// Record identifiers. Excel 2.x to 4.0 numbered some records differently
// (the high byte of BOF is the version: 0x00 BIFF2, 0x02 BIFF3, 0x04 BIFF4).
enum : uint16_t {
  kDimensions2 = 0x0000, kBlank2 = 0x0001, kInteger2 = 0x0002, kNumber2 = 0x0003, kLabel2 = 0x0004,
  kBoolErr2 = 0x0005, kFormula = 0x0006, kString2 = 0x0007, kBof2 = 0x0009, kEof = 0x000A,
  kExternSheet = 0x0017, kName = 0x0018, kFormat2 = 0x001E, kDateMode = 0x0022, kFilePass = 0x002F,
  kContinue = 0x003C, kCodePage = 0x0042, kXf2 = 0x0043, kIxfe2 = 0x0044, kBoundSheet = 0x0085,
  kSheetHeader4 = 0x008F, kMulRk = 0x00BD, kMulBlank = 0x00BE, kRString = 0x00D6, kXf = 0x00E0,
  kSst = 0x00FC, kLabelSst = 0x00FD, kDimensions = 0x0200, kBlank = 0x0201, kNumber = 0x0203,
  kLabel = 0x0204, kBoolErr = 0x0205, kFormula3 = 0x0206, kString = 0x0207, kBof3 = 0x0209,
  kXf3 = 0x0243, kRk = 0x027E, kFormula4 = 0x0406, kBof4 = 0x0409, kFormat = 0x041E, kXf4 = 0x0443,
  kBof = 0x0809,
};

// BOF substream types.
enum : uint16_t { kGlobals = 0x0005, kWorksheet = 0x0010, kChart = 0x0020, kMacroSheet = 0x0040, kWorkbook4 = 0x0100 };

uint16_t u16(const char* p);
uint32_t u32(const char* p);

// One record with the CONTINUE records that followed it, as one run of bytes.
struct Record {
  uint16_t id = 0;
  QByteArray data;
  std::vector<int> breaks;  // offsets in data where a CONTINUE record began
};

// The records of a stream in order. `path` only names the file in messages.
class RecordStream {
 public:
  RecordStream(const QByteArray& bytes, const QString& path) : b_(bytes), path_(path) {}
  RecordStream(const RecordStream&) = delete;
  RecordStream& operator=(const RecordStream&) = delete;

  bool atEnd() const { return pos_ + 4 > b_.size(); }
  qsizetype pos() const { return pos_; }
  qsizetype size() const { return b_.size(); }
  void seek(qsizetype pos) { pos_ = pos; }

  // The next record with its CONTINUE records. REQUIRES: !atEnd().
  Record next();
  // The identifier of the next record. REQUIRES: !atEnd().
  uint16_t peekId() const { return u16(b_.constData() + pos_); }

  [[noreturn]] void damaged(const QString& what) const;
  const QString& path() const { return path_; }

 private:
  const QByteArray& b_;
  const QString path_;
  qsizetype pos_ = 0;
};

// Reads the fields of one record from its start, failing cleanly at its end.
// Byte strings (BIFF2-BIFF7) are decoded with `codepage`; BIFF8 strings are
// Unicode.
class RecordReader {
 public:
  RecordReader(const Record& r, const RecordStream& s, int biff, const CodePage* codepage)
      : r_(r), s_(s), biff_(biff), codepage_(codepage) {}

  int pos() const { return pos_; }
  int size() const { return int(r_.data.size()); }
  void skip(qint64 n);
  uint8_t byte();
  uint16_t word();
  uint32_t dword();
  double number();

  // A string of `cch` characters whose length was just read: a BIFF8
  // Unicode string (option byte, then characters that may cross CONTINUE
  // records, then formatting runs and phonetic data), or a byte string.
  QString string(int cch);
  // A string with an 8-bit (`string8`) or 16-bit (`string16`) length.
  QString string8() { return string(byte()); }
  QString string16() { return string(word()); }

  [[noreturn]] void damaged(const QString& what) const { s_.damaged(what); }

 private:
  void need(qint64 n) const;
  void moveTo(int pos);  // also keeps the index of the next CONTINUE break
  int nextBreak() const;  // where the next CONTINUE record begins (the end when none)
  bool atBreak() const;   // whether a CONTINUE record begins at pos_

  const Record& r_;
  const RecordStream& s_;
  int biff_;
  const CodePage* codepage_;
  int pos_ = 0;
  size_t break_ = 0;  // index in r_.breaks of the first break after pos_
};

// The code page of a CODEPAGE record's value; Windows-1252 for values that
// name no single-byte or multi-byte code page (UTF-16 workbooks, unknown).
CodePage codePageFor(int codepage);

}  // namespace dataaccess::biff
