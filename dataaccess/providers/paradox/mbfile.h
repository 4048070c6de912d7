// The .MB file of a Paradox table, which holds memo and binary values too
// long for their record. Read and appended by the project's own code: the
// library's own blob-file reader overruns a stack buffer on every file.
//
// Layout: 4096-byte blocks. A block of type 2 holds one value (9-byte
// header: type, 4K-block count, length, modification number, then data);
// a block of type 3 holds up to 64 small values, described by 5-byte
// entries from offset 12 (data offset and length in 16-byte units,
// modification number, length modulo 16). A record's 10-byte pointer gives
// the block offset with the entry index in its low byte (0xFF: type 2),
// the value's length and its modification number.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

class QFile;

namespace dataaccess {

class MbFile {
 public:
  // Reads the whole file. Throws Error when it cannot be read.
  explicit MbFile(const QString& path);

  // The value a record's pointer names, or nothing when the pointer does
  // not lead to a block of the file that holds `length` bytes.
  std::optional<QByteArray> read(uint32_t offset, uint32_t length) const;

  // Appends `data` as a new single-value block to the .MB file opened in
  // `file` (a working copy) and returns the pointer offset to store (block
  // offset | 0xFF). Returns 0 and sets `error` when it cannot be written.
  static uint32_t append(QFile& file, const QByteArray& data, uint16_t modification, QString* error);

 private:
  QString path_;
  QByteArray bytes_;
};

// The text of a Paradox formatted memo: its data starts with a count, the
// text length and a list of 6-byte sections, then the text. Empty when the
// value does not have that shape.
QByteArray formattedMemoText(const QByteArray& data);

}  // namespace dataaccess
