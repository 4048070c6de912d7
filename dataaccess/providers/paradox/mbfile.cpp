#include "mbfile.h"

#include "../../error.h"

#include <QFile>

namespace dataaccess {

namespace {

constexpr uint32_t kChunk = 4096;

uint32_t le32(const char* p) {
  return uint32_t(uchar(p[0])) | uint32_t(uchar(p[1])) << 8 | uint32_t(uchar(p[2])) << 16 | uint32_t(uchar(p[3])) << 24;
}
uint16_t le16(const char* p) { return uint16_t(uchar(p[0]) | uchar(p[1]) << 8); }

}  // namespace

MbFile::MbFile(const QString& path) : path_(path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly))
    throw Error(err::kProviderFailure, QStringLiteral("Paradox"),
                QStringLiteral("The memo file '%1' could not be opened: %2").arg(path, f.errorString()));
  bytes_ = f.readAll();
}

std::optional<QByteArray> MbFile::read(uint32_t offset, uint32_t length) const {
  const uint64_t size = uint64_t(bytes_.size());
  const uint64_t block = offset & 0xFFFFFF00u;
  const uint32_t index = offset & 0xFFu;
  if (block == 0 || block + 12 > size) return std::nullopt;
  const char* b = bytes_.constData() + block;
  if (index == 0xFF) {
    if (uchar(b[0]) != 2) return std::nullopt;
    const uint32_t stored = le32(b + 3);
    if (stored != length || block + 9 + uint64_t(length) > size) return std::nullopt;
    return QByteArray(b + 9, qsizetype(length));
  }
  if (uchar(b[0]) != 3 || index >= 64 || block + 12 + 64 * 5 > size) return std::nullopt;
  const char* e = b + 12 + index * 5;
  const uint32_t dataOffset = uint32_t(uchar(e[0])) * 16;
  const uint32_t paragraphs = uchar(e[1]);
  if (paragraphs == 0) return std::nullopt;
  const uint32_t stored = (paragraphs - 1) * 16 + uchar(e[4]);
  if (stored != length || dataOffset + uint64_t(length) > kChunk || block + dataOffset + length > size)
    return std::nullopt;
  return QByteArray(b + dataOffset, qsizetype(length));
}

uint32_t MbFile::append(QFile& file, const QByteArray& data, uint16_t modification, QString* error) {
  const qint64 size = file.size();
  const uint64_t start = (uint64_t(size) + kChunk - 1) / kChunk * kChunk;
  const uint64_t chunks = (9 + uint64_t(data.size()) + kChunk - 1) / kChunk;
  if (start == 0 || start + chunks * kChunk > 0xFFFFFF00ull || chunks > 0xFFFF) {
    *error = QStringLiteral("The memo file '%1' cannot hold another value.").arg(file.fileName());
    return 0;
  }
  QByteArray block(qsizetype(chunks * kChunk), '\0');
  block[0] = 2;
  block[1] = char(chunks & 0xFF);
  block[2] = char(chunks >> 8);
  for (int i = 0; i < 4; ++i) block[3 + i] = char((uint32_t(data.size()) >> (8 * i)) & 0xFF);
  block[7] = char(modification & 0xFF);
  block[8] = char(modification >> 8);
  block.replace(9, data.size(), data);
  if (!file.seek(qint64(start)) || file.write(block) != block.size()) {
    *error = QStringLiteral("The memo file '%1' could not be written: %2").arg(file.fileName(), file.errorString());
    return 0;
  }
  return uint32_t(start) | 0xFFu;
}

QByteArray formattedMemoText(const QByteArray& data) {
  if (data.size() < 8) return {};
  const uint32_t sections = le32(data.constData());
  const uint32_t length = le32(data.constData() + 4);
  if (sections == 0 || sections > 1000 || length == 0) return {};
  const uint64_t start = 8 + 6 * uint64_t(sections - 1);
  if (start + length > uint64_t(data.size()) || data[qsizetype(start + length - 1)] != '\0') return {};
  (void)le16;
  return data.mid(qsizetype(start), qsizetype(length - 1));
}

}  // namespace dataaccess
