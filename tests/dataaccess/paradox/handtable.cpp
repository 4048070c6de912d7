#include "handtable.h"

#include <QFile>
#include <cstring>

namespace handtable {

namespace {

constexpr int kHeaderSize = 0x800;

void put16(QByteArray& b, int at, int v) {
  b[at] = char(v & 0xFF);
  b[at + 1] = char((v >> 8) & 0xFF);
}
void put32(QByteArray& b, int at, quint32 v) {
  for (int i = 0; i < 4; ++i) b[at + i] = char((v >> (8 * i)) & 0xFF);
}
QByteArray bigEndian(quint64 v, int n) {
  QByteArray out(n, '\0');
  for (int i = n - 1; i >= 0; --i, v >>= 8) out[i] = char(v & 0xFF);
  return out;
}

int storedWidth(const Field& f) { return f.type == 0x17 ? 17 : f.width; }

}  // namespace

int recordSize(const Table& t) {
  int n = 0;
  for (const Field& f : t.fields) n += storedWidth(f);
  return n;
}

QByteArray shortValue(int v) { return bigEndian(quint16(v) ^ 0x8000u, 2); }
QByteArray longValue(qint32 v) { return bigEndian(quint32(v) ^ 0x80000000u, 4); }
QByteArray doubleValue(double v) {
  quint64 raw;
  std::memcpy(&raw, &v, 8);
  raw = (raw >> 63) ? ~raw : raw | (quint64(1) << 63);
  return bigEndian(raw, 8);
}
QByteArray logicalValue(bool v) { return QByteArray(1, char(v ? 0x81 : 0x80)); }
QByteArray alphaValue(const QByteArray& text, int width) { return text.leftJustified(width, '\0', true); }

QByteArray build(const Table& t) {
  const int rs = recordSize(t);
  const int blockSize = t.blockKb * 1024;
  const int fit = (blockSize - 6) / rs;
  std::vector<int> perBlock = t.perBlock;
  if (perBlock.empty())
    for (int left = int(t.records.size()); left > 0; left -= fit) perBlock.push_back(std::min(left, fit));
  std::vector<int> placement = t.placement;
  for (int i = int(placement.size()); i < int(perBlock.size()); ++i) placement.push_back(i + 1);
  const int fileBlocks = int(perBlock.size()) + t.freeBlocks;

  QByteArray h(kHeaderSize, '\0');
  put16(h, 0x00, rs);
  put16(h, 0x02, kHeaderSize);
  h[0x04] = 2;  // a table without a primary key
  h[0x05] = char(t.blockKb);
  put32(h, 0x06, quint32(t.records.size()));
  put16(h, 0x0A, int(perBlock.size()));
  put16(h, 0x0C, fileBlocks);
  put16(h, 0x0E, perBlock.empty() ? 0 : placement.front());
  put16(h, 0x10, perBlock.empty() ? 0 : placement.back());
  put16(h, 0x21, int(t.fields.size()));
  put32(h, 0x25, 0xFF00FF00u);
  h[0x29] = char(0x62);
  h[0x39] = char(t.version);
  put16(h, 0x3A, 1);
  int at = 0x58;
  if (t.version >= 5) {
    put16(h, 0x58, 0x0100 | t.version);
    put16(h, 0x5A, 0x0100 | t.version);
    put16(h, 0x6A, t.codePage);
    at = 0x78;
  }
  for (const Field& f : t.fields) {
    h[at++] = char(f.type);
    h[at++] = char(f.width);
  }
  at += 4 + 4 * int(t.fields.size());  // pointers Paradox keeps in memory
  const QByteArray tableName = "hand.db";
  h.replace(at, tableName.size(), tableName);
  at += t.version >= 12 ? 261 : 79;
  for (const Field& f : t.fields) {
    h.replace(at, f.name.size(), f.name);
    at += int(f.name.size()) + 1;
  }
  if (t.version >= 5) {
    for (int i = 0; i < int(t.fields.size()); ++i, at += 2) put16(h, at, i + 1);
    h.replace(at, 8, "ascii\0\0\0", 8);
  }

  QByteArray body(qsizetype(fileBlocks) * blockSize, '\0');
  size_t next = 0;
  for (int i = 0; i < int(perBlock.size()); ++i) {
    QByteArray block(blockSize, '\0');
    put16(block, 0, i + 1 < int(perBlock.size()) ? placement[size_t(i) + 1] : 0);
    put16(block, 2, i > 0 ? placement[size_t(i) - 1] : 0);
    put16(block, 4, (perBlock[size_t(i)] - 1) * rs);  // -rs when emptied
    for (int r = 0; r < perBlock[size_t(i)]; ++r) block.replace(6 + r * rs, rs, t.records.at(next++));
    body.replace(qsizetype(placement[size_t(i)] - 1) * blockSize, blockSize, block);
  }
  // Free blocks keep what they held before: a block header that names
  // records, and records a reader must not show.
  for (int b = 1; b <= fileBlocks; ++b) {
    if (std::find(placement.begin(), placement.end(), b) != placement.end()) continue;
    QByteArray block(blockSize, '\0');
    put16(block, 4, (fit - 1) * rs);
    for (int r = 0; r < fit; ++r) block.replace(6 + r * rs, rs, QByteArray(rs, char(0xA5)));
    body.replace(qsizetype(b - 1) * blockSize, blockSize, block);
  }
  return h + body;
}

bool write(const Table& t, const QString& path) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(build(t)) >= 0;
}

}  // namespace handtable
