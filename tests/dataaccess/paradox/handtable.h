// A small writer of Paradox tables byte by byte, for what pxlib does not
// write: 3.0 and 3.5 headers (pxlib writes only 7), data blocks out of file
// order, free blocks holding stale records, blocks emptied by deletions and
// blank values. Values are given in their stored form (big-endian, sign bit
// flipped) by the helpers below.
#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

namespace handtable {

struct Field {
  QByteArray name;
  int type;   // pxlib numbering (0x01 alpha, 0x03 short, ...)
  int width;  // header width (decimals for BCD)
};

struct Table {
  int version = 12;   // file version byte: 3 (3.0), 4 (3.5), 5-9 (4.x), 10-11 (5.x), 12 (7)
  int blockKb = 1;
  int codePage = 1252;  // written from 4.0 on
  std::vector<Field> fields;
  std::vector<QByteArray> records;
  // Records per block of the chain, in chain order; 0 is a block emptied by
  // deletions. Empty: as many as fit, block after block.
  std::vector<int> perBlock;
  // File block number (from 1) of each chain block. Empty: 1, 2, 3, ...
  std::vector<int> placement;
  // Blocks in the file beyond the chain: free, full of stale records that
  // a reader must not show.
  int freeBlocks = 0;
};

int recordSize(const Table& t);
QByteArray build(const Table& t);
bool write(const Table& t, const QString& path);

// Stored forms; a blank is all zero bytes (QByteArray(width, 0)).
QByteArray shortValue(int v);
QByteArray longValue(qint32 v);
QByteArray doubleValue(double v);
QByteArray logicalValue(bool v);
QByteArray alphaValue(const QByteArray& text, int width);

}  // namespace handtable
