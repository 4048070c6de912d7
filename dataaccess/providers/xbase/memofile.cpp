#include "memofile.h"

#include "../../error.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <cstring>

namespace dataaccess {

namespace {

uint32_t le32(const char* p) {
  return uint32_t(uchar(p[0])) | uint32_t(uchar(p[1])) << 8 | uint32_t(uchar(p[2])) << 16 | uint32_t(uchar(p[3])) << 24;
}
uint32_t be32(const char* p) {
  return uint32_t(uchar(p[3])) | uint32_t(uchar(p[2])) << 8 | uint32_t(uchar(p[1])) << 16 | uint32_t(uchar(p[0])) << 24;
}
void putLe32(char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = char((v >> (8 * i)) & 0xFF);
}
void putBe32(char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[3 - i] = char((v >> (8 * i)) & 0xFF);
}

uint32_t blockSizeOf(const QByteArray& header, MemoFile::Kind kind) {
  if (kind == MemoFile::Kind::Fpt) {
    const uint32_t bs = uint32_t(uchar(header[6])) << 8 | uchar(header[7]);
    return bs == 0 ? 1 : bs;
  }
  // dBase IV keeps its block size at offset 20; dBase III always uses 512.
  const uint32_t bs = uint32_t(uchar(header[20])) | uint32_t(uchar(header[21])) << 8;
  return bs >= 64 && bs % 64 == 0 ? bs : 512;
}

}  // namespace

MemoFile::MemoFile(const QString& path, Kind kind) : path_(path), kind_(kind) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly))
    throw Error(err::kProviderFailure, QStringLiteral("XBase.Memo"),
                QStringLiteral("The memo file '%1' could not be opened: %2").arg(path, f.errorString()));
  bytes_ = f.readAll();
  if (bytes_.size() < 512)
    throw Error(err::kProviderFailure, QStringLiteral("XBase.Memo"),
                QStringLiteral("The memo file '%1' is damaged: it is shorter than its header.").arg(path));
  blockSize_ = blockSizeOf(bytes_, kind);
}

std::optional<QByteArray> MemoFile::read(uint32_t block) const {
  const uint64_t size = uint64_t(bytes_.size());
  const uint64_t start = uint64_t(block) * blockSize_;
  if (block == 0 || start >= size) return std::nullopt;
  const char* p = bytes_.constData() + start;
  const uint64_t room = size - start;
  if (kind_ == Kind::Fpt) {
    if (room < 8) return std::nullopt;
    const uint64_t length = be32(p + 4);
    if (length > room - 8) return std::nullopt;
    return QByteArray(p + 8, qsizetype(length));
  }
  if (room >= 8 && uchar(p[0]) == 0xFF && uchar(p[1]) == 0xFF && p[2] == 0x08 && p[3] == 0x00) {
    const uint64_t length = le32(p + 4);  // includes the 8-byte block header
    if (length < 8 || length - 8 > room - 8) return std::nullopt;
    return QByteArray(p + 8, qsizetype(length - 8));
  }
  // dBase III: the text runs to the first end-of-file mark.
  const void* end = memchr(p, 0x1A, size_t(room));
  const uint64_t length = end ? uint64_t(static_cast<const char*>(end) - p) : room;
  return QByteArray(p, qsizetype(length));
}

uint32_t MemoFile::append(QFile& file, Kind kind, const QByteArray& data, bool text, QString* error) {
  auto failed = [&](const QString& what) {
    *error = QStringLiteral("The memo file '%1' could not be written (%2): %3").arg(file.fileName(), what, file.errorString());
    return 0u;
  };
  if (!file.seek(0)) return failed(QStringLiteral("seek"));
  QByteArray header = file.read(512);
  if (header.size() < 512) return failed(QStringLiteral("header"));
  const uint32_t bs = blockSizeOf(header, kind);
  const uint32_t nextFree = kind == Kind::Fpt ? be32(header.constData()) : le32(header.constData());
  // Never trust a stale header to point inside the file: append after both.
  const uint64_t fileBlocks = (uint64_t(file.size()) + bs - 1) / bs;
  const uint64_t headerBlocks = (512 + bs - 1) / bs;
  const uint64_t first = std::max<uint64_t>({uint64_t(nextFree), fileBlocks, headerBlocks});
  QByteArray block;
  if (kind == Kind::Fpt) {
    block.resize(8);
    putBe32(block.data(), text ? 1 : 0);
    putBe32(block.data() + 4, uint32_t(data.size()));
    block += data;
  } else if ((uchar(header[20]) | uchar(header[21]) << 8) != 0) {
    // dBase IV layout (its header names the block size).
    block.resize(8);
    block[0] = char(0xFF);
    block[1] = char(0xFF);
    block[2] = 0x08;
    block[3] = 0x00;
    putLe32(block.data() + 4, uint32_t(data.size() + 8));
    block += data;
  } else {
    block = data;
    block.append("\x1A\x1A", 2);
  }
  const uint64_t blocks = (uint64_t(block.size()) + bs - 1) / bs;
  block.append(QByteArray(qsizetype(blocks * bs - uint64_t(block.size())), '\0'));
  const uint64_t next = first + blocks;
  if (next > 0xFFFFFFFFull) return failed(QStringLiteral("the memo file is full"));
  if (!file.seek(qint64(first * bs)) || file.write(block) != block.size()) return failed(QStringLiteral("data"));
  char free[4];
  if (kind == Kind::Fpt)
    putBe32(free, uint32_t(next));
  else
    putLe32(free, uint32_t(next));
  if (!file.seek(0) || file.write(free, 4) != 4) return failed(QStringLiteral("header"));
  return uint32_t(first);
}

}  // namespace dataaccess
