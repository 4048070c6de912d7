// One Paradox table file (.db) of any version from 3.0 to 7. The header and
// the chain of data blocks are read by ParadoxFormat before pxlib sees the
// file, so a damaged file gives an error instead of undefined behaviour;
// pxlib supplies only the BCD conversion and the stored form of written
// values.
// Records are read from the blocks in chain order; fixed-size values are
// decoded by decodeParadoxFixed (a blank is Null). Text is decoded here in
// the header's code page; memo and binary values come from the .MB file
// through MbFile.
#pragma once

#include "mbfile.h"
#include "paradoxformat.h"

#include "../../fieldinfo.h"
#include "../../rowstore.h"
#include "../../codepage.h"

#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

struct px_doc;

namespace dataaccess {

struct PxColumn {
  QString name;
  int type = 0;     // pxlib field type (pxfAlpha, ...)
  int offset = 0;   // within the record
  int width = 0;
  int decimals = 0;
  FieldInfo info;
  bool isBlob() const { return type >= 0x0C && type <= 0x10; }
};

class ParadoxTable {
 public:
  // Throws Error for a missing, damaged or password-protected file.
  explicit ParadoxTable(const QString& path);
  ~ParadoxTable();
  ParadoxTable(const ParadoxTable&) = delete;
  ParadoxTable& operator=(const ParadoxTable&) = delete;

  const QString& path() const { return path_; }
  const std::vector<PxColumn>& columns() const { return columns_; }
  int recordCount() const { return recordCount_; }
  int recordSize() const { return recordSize_; }
  // Leading fields that form the primary key (kept in the .PX index).
  int keyFields() const { return keyFields_; }
  const QString& mbPath() const { return mbPath_; }

  // The bytes of record `rec` (in the order of the block chain) and where
  // they lie in the file. Throws Error.
  QByteArray record(int rec, qint64* position = nullptr);
  std::shared_ptr<RowStore> load();
  QVariant value(const QByteArray& raw, int column);

  // Writes a canonical value into `raw`. For memo columns whose text does
  // not fit the record, the data goes to `blob` and setBlobPointer()
  // completes the field. Throws Error (kDataConversion) naming the field.
  void encode(QByteArray& raw, int column, const QVariant& value, QByteArray* blob) const;
  void setBlobPointer(QByteArray& raw, int column, uint32_t offset, uint32_t length) const;

 private:
  [[noreturn]] void damaged(const QString& what) const;
  void validate();
  void readFields();
  QVariant blobValue(const char* p, const PxColumn& c);
  const MbFile& mb();

  QString path_;
  ParadoxHeader header_;
  std::vector<ParadoxBlock> blocks_;
  px_doc* doc_ = nullptr;
  int recordCount_ = 0;
  int recordSize_ = 0;
  int keyFields_ = 0;
  CodePage codePage_;
  std::vector<PxColumn> columns_;
  QString mbPath_;
  std::unique_ptr<MbFile> mb_;
};

}  // namespace dataaccess
