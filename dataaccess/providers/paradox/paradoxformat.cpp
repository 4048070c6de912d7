#include "paradoxformat.h"

#include <cstring>
#include <set>

namespace dataaccess {

namespace {

// Numbering as in pxlib's paradox.h.
enum : int {
  kAlpha = 0x01, kDate = 0x02, kShort = 0x03, kLong = 0x04, kCurrency = 0x05, kNumber = 0x06, kLogical = 0x09,
  kMemo = 0x0C, kGraphic = 0x10, kTime = 0x14, kTimestamp = 0x15, kAutoInc = 0x16, kBcd = 0x17, kBytes = 0x18,
};
constexpr int kIndexedTable = 0, kPlainTable = 2;
constexpr int kFirstVersion = 3, kLastVersion = 12;  // 3.0 to 7

uint16_t le16(const char* p) { return uint16_t(uchar(p[0]) | uchar(p[1]) << 8); }
uint32_t le32(const char* p) {
  return uint32_t(uchar(p[0])) | uint32_t(uchar(p[1])) << 8 | uint32_t(uchar(p[2])) << 16 | uint32_t(uchar(p[3])) << 24;
}
// Record data is big-endian.
uint64_t be(const char* p, int n) {
  uint64_t v = 0;
  for (int i = 0; i < n; ++i) v = v << 8 | uchar(p[i]);
  return v;
}

}  // namespace

bool isKnownParadoxType(int t) {
  return (t >= kAlpha && t <= kNumber) || t == kLogical || (t >= kMemo && t <= kGraphic) || (t >= kTime && t <= kBytes);
}

int paradoxStoredWidth(int type, int headerWidth) { return type == kBcd ? 17 : headerWidth; }

QString parseParadoxHeader(const QByteArray& bytes, qint64 fileSize, ParadoxHeader* out) {
  ParadoxHeader h;
  if (bytes.size() < 0x58) return QStringLiteral("it is shorter than a Paradox header");
  const char* p = bytes.constData();
  h.recordSize = le16(p);
  h.headerSize = le16(p + 2);
  h.fileType = uchar(p[4]);
  const int blockKb = uchar(p[5]);
  h.numRecords = le32(p + 6);
  h.firstBlock = le16(p + 0x0E);
  h.numFields = le16(p + 0x21);
  h.keyFields = le16(p + 0x23);
  h.fileVersion = uchar(p[0x39]);
  if (h.fileType != kIndexedTable && h.fileType != kPlainTable)
    return QStringLiteral("it is not a Paradox data table (file type %1)").arg(h.fileType);
  if (h.fileVersion < kFirstVersion || h.fileVersion > kLastVersion)
    return QStringLiteral("its file version (%1) is not one of Paradox 3.0 to 7").arg(h.fileVersion);
  h.fieldStart = h.hasExtendedHeader() ? 0x78 : 0x58;
  if (bytes.size() < h.fieldStart) return QStringLiteral("it is shorter than a Paradox header");
  // Password: a checksum at 0x25 in every version, and at 0x5C from 4.0 on.
  const uint32_t encryption1 = le32(p + 0x25);
  const uint32_t encryption2 = h.hasExtendedHeader() ? le32(p + 0x5C) : 0;
  h.protectedByPassword = (encryption1 != 0 && encryption1 != 0xFF00FF00u) || encryption2 != 0;
  h.codePage = h.hasExtendedHeader() ? le16(p + 0x6A) : 0;
  if (blockKb != 1 && blockKb != 2 && blockKb != 3 && blockKb != 4 && blockKb != 8 && blockKb != 16 && blockKb != 32)
    return QStringLiteral("its block size (%1) is not a Paradox block size").arg(blockKb);
  h.blockSize = uint32_t(blockKb) * 1024;
  if (h.numFields == 0 || h.numFields > 255 || h.recordSize == 0) return QStringLiteral("its header is not valid");
  const qsizetype fieldsEnd = h.fieldStart + 2 * qsizetype(h.numFields);
  if (h.headerSize < fieldsEnd || h.headerSize > fileSize || fieldsEnd > bytes.size())
    return QStringLiteral("its header length is not valid");
  uint32_t sum = 0;
  for (int i = 0; i < h.numFields; ++i) {
    const int type = uchar(p[h.fieldStart + 2 * i]), width = uchar(p[h.fieldStart + 2 * i + 1]);
    if (!isKnownParadoxType(type)) return QStringLiteral("field %1 has an unknown type (%2)").arg(i + 1).arg(type);
    h.fieldTypes.push_back(type);
    h.fieldWidths.push_back(width);
    sum += uint32_t(paradoxStoredWidth(type, width));
  }
  if (sum != h.recordSize) return QStringLiteral("its field sizes do not add up to its record size");
  qsizetype at = fieldsEnd + 4 + 4 * qsizetype(h.numFields) + (h.fileVersion >= 12 ? 261 : 79);
  for (int i = 0; i < h.numFields; ++i) {
    const qsizetype end = bytes.indexOf('\0', at);
    if (at >= h.headerSize || end < 0 || end >= qsizetype(h.headerSize))
      return QStringLiteral("the name of field %1 lies outside its header").arg(i + 1);
    h.fieldNames.push_back(bytes.mid(at, end - at));
    at = end + 1;
  }
  if (h.recordSize + 6 > h.blockSize) return QStringLiteral("its records do not fit its blocks");
  *out = std::move(h);
  return {};
}

QString walkParadoxBlocks(const ParadoxHeader& h, qint64 fileSize, ParadoxReader read, void* context,
                          std::vector<ParadoxBlock>* blocks) {
  blocks->clear();
  // Every block must start inside the file: no chain is longer than that.
  const qint64 lastBlock = fileSize > qint64(h.headerSize) ? (fileSize - h.headerSize - 1) / h.blockSize + 1 : 0;
  std::vector<bool> visited(size_t(lastBlock) + 1, false);
  uint64_t held = 0;
  for (uint32_t block = h.firstBlock; block != 0 && held < h.numRecords;) {
    if (qint64(block) > lastBlock) return QStringLiteral("its chain of data blocks names block %1, past the end of the file").arg(block);
    if (visited[block]) return QStringLiteral("its chain of data blocks loops back to block %1").arg(block);
    visited[block] = true;
    const qint64 at = qint64(h.headerSize) + qint64(block - 1) * h.blockSize;
    char head[6];
    if (at + 6 > fileSize || !read(context, at, head, 6)) return QStringLiteral("block %1 cannot be read").arg(block);
    // The offset of the block's last record; negative once deletions
    // emptied the block.
    const int16_t lastOffset = int16_t(le16(head + 4));
    if (lastOffset >= 0) {
      const uint32_t n = uint32_t(lastOffset) / h.recordSize + 1;
      if (6 + uint64_t(n) * h.recordSize > h.blockSize)
        return QStringLiteral("block %1 claims more records than it holds").arg(block);
      if (at + 6 + qint64(n) * h.recordSize > fileSize)
        return QStringLiteral("block %1 is cut short by the end of the file").arg(block);
      blocks->push_back(ParadoxBlock{block, at + 6, n, uint32_t(held)});
      held += n;
    }
    block = le16(head);
  }
  if (h.numRecords > held)
    return QStringLiteral("its header claims %1 records, but its blocks hold %2").arg(h.numRecords).arg(held);
  return {};
}

QVariant decodeParadoxFixed(int type, const char* p) {
  // Integers are stored with the sign bit flipped, so that the bytes sort
  // as the numbers do; all zero bytes are a blank.
  auto integer = [&](int n) -> QVariant {
    const uint64_t raw = be(p, n);
    if (raw == 0) return {};
    const uint64_t sign = uint64_t(1) << (8 * n - 1);
    const int64_t v = int64_t(raw ^ sign) - ((raw & sign) ? 0 : int64_t(sign) * 2);
    return qlonglong(v);
  };
  switch (type) {
    case kShort: return integer(2);
    case kLong: case kAutoInc: case kDate: case kTime: return integer(4);
    case kNumber: case kCurrency: case kTimestamp: {
      uint64_t raw = be(p, 8);
      if (raw == 0) return {};
      // Positive numbers have the sign bit set; negative ones are stored
      // with every bit complemented.
      raw = (raw & (uint64_t(1) << 63)) ? raw & ~(uint64_t(1) << 63) : ~raw;
      double d;
      std::memcpy(&d, &raw, sizeof d);
      return d;
    }
    case kLogical: {
      const uchar b = uchar(p[0]);
      if (b == 0) return {};
      return (b & 0x7F) != 0;
    }
    default: return {};
  }
}

}  // namespace dataaccess
