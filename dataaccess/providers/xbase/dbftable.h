// One dBase/FoxPro table file (.dbf, also a container's .dbc), read and
// written through shapelib's DBF API. shapelib parses the header and field
// descriptors and moves whole records (DBFReadTuple/DBFWriteTuple); this
// class turns record bytes into values and back: the text fields in the
// file's code page, the Visual FoxPro binary fields (I, Y, B, T), the
// _NullFlags bits, varchar lengths and the memo pointers, whose data comes
// from the memo file (memofile.h).
#pragma once

#include "../../codepage.h"
#include "memofile.h"

#include "../../fieldinfo.h"
#include "../../rowstore.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <string>
#include <vector>

#include <shapefil.h>

namespace dataaccess {

struct DbfColumn {
  QString name;
  QString fileName;  // the name in the file itself (10 characters at most)
  char type = 'C';
  int offset = 0;  // from the start of the record (the deletion flag is byte 0)
  int width = 0;
  int decimals = 0;
  bool binary = false;     // Visual FoxPro "binary" flag (no code-page translation)
  int nullBit = -1;        // bit in _NullFlags marking Null, or -1
  int varLengthBit = -1;   // bit in _NullFlags marking a short varchar, or -1
  FieldInfo info;

  bool isMemo() const { return type == 'M' || type == 'G' || type == 'P' || type == 'W'; }
};

class DbfTable {
 public:
  // Opens `path`; `update` opens it for writing (only ever a working copy).
  // Throws Error for a file that is missing, damaged or not a table.
  explicit DbfTable(const QString& path, bool update = false);
  ~DbfTable();
  DbfTable(const DbfTable&) = delete;
  DbfTable& operator=(const DbfTable&) = delete;

  const QString& path() const { return path_; }
  int recordCount() const { return recordCount_; }
  int recordLength() const { return recordLength_; }
  const std::vector<DbfColumn>& columns() const { return columns_; }
  const CodePage& codePage() const { return codePage_; }
  bool hasMemoColumns() const;
  // The memo file beside the table ("" when there is none).
  const QString& memoPath() const { return memoPath_; }
  MemoFile::Kind memoKind() const { return memoKind_; }
  // Names the columns with the long names a container keeps for them.
  // Ignored unless there is one name per column.
  void setColumnNames(const QStringList& names);

  // The bytes of record `rec` (0-based), deletion flag first. Throws Error.
  // The pointer is valid until the next call.
  const char* record(int rec);
  static bool isDeleted(const char* raw) { return raw[0] == '*'; }

  // Every record (only those not deleted unless `withDeleted`); row keys
  // are the record numbers.
  std::shared_ptr<RowStore> load(bool withDeleted = false);
  // The value of one column of a record (canonical form of values.h).
  QVariant value(const char* raw, int column, int rec);

  // Writes a canonical value into `raw` (a copy of a record). For memo
  // columns the data to store goes to `memo` instead (empty for none) and
  // setMemoPointer() completes the record once it has a block. Throws
  // Error (kDataConversion) naming the field when the value does not fit.
  void encode(std::string& raw, int column, const QVariant& value, QByteArray* memo) const;
  void setMemoPointer(std::string& raw, int column, uint32_t block) const;
  // Replaces record `rec` with `raw`. Throws Error.
  void writeRecord(int rec, const std::string& raw);
  // Writes the pending record and the header and closes the file. Throws
  // Error when shapelib reports a failure.
  void close();

 private:
  void appendCell(ColumnStore& out, const char* raw, int column, int rec);
  bool bit(const char* raw, int bitIndex) const;
  void setBit(std::string& raw, int bitIndex, bool on) const;
  const MemoFile& memo();
  [[noreturn]] void damaged(const QString& what) const;

  QString path_;
  DBFHandle handle_ = nullptr;
  int version_ = 0;
  int recordCount_ = 0;
  int recordLength_ = 0;
  int nullFlagsOffset_ = -1;
  int nullFlagsWidth_ = 0;
  bool visualFoxPro_ = false;
  CodePage codePage_;
  std::vector<DbfColumn> columns_;
  QString memoPath_;
  MemoFile::Kind memoKind_ = MemoFile::Kind::Fpt;
  std::unique_ptr<MemoFile> memo_;
};

}  // namespace dataaccess
