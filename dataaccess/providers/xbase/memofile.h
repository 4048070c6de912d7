// The memo files of dBase and FoxPro tables: .dbt (dBase III: text ended by
// 0x1A in 512-byte blocks; dBase IV: blocks that start with FF FF 08 00 and
// a length), .fpt/.dct (FoxPro: big-endian block size in the header, each
// memo a big-endian type and length before its data). A table record holds
// the number of the memo's first block.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

class QFile;

namespace dataaccess {

class MemoFile {
 public:
  enum class Kind { Dbt, Fpt };

  // Reads the whole memo file. Throws Error when it cannot be read or its
  // header is not a memo header.
  MemoFile(const QString& path, Kind kind);

  const QString& path() const { return path_; }
  Kind kind() const { return kind_; }
  uint32_t blockSize() const { return blockSize_; }

  // The data of the memo starting at `block`, or nothing when the block or
  // its length lies outside the file.
  std::optional<QByteArray> read(uint32_t block) const;

  // Appends `data` as a new memo to the memo file opened in `file` (a
  // working copy of this file) and updates its header's next free block.
  // Returns the memo's first block. Returns 0 and leaves `error` set when
  // the file cannot be written.
  static uint32_t append(QFile& file, Kind kind, const QByteArray& data, bool text, QString* error);

 private:
  QString path_;
  Kind kind_;
  uint32_t blockSize_ = 512;
  QByteArray bytes_;
};

}  // namespace dataaccess
