// The on-disk layout of a Paradox table (.db), read by the project's own
// code where the library falls short: the header of every file version from
// 3.0 to 7, the chain of data blocks that holds the records, and the stored
// form of fixed-size values, whose blank (all zero bytes) is Null.
//
// Header: a fixed part (0x00-0x57) common to all versions; tables of 4.0
// and later (file version byte 5 and up) add an extended part (0x58-0x77),
// so their field descriptions (type and width byte pairs) start at 0x78,
// those of 3.0 and 3.5 (bytes 3 and 4) at 0x58. Then come pointers Paradox
// keeps in memory (4 bytes, and 4 per field), the table name (79 bytes, 261
// from 7 on) and the field names, each ending in a zero byte.
//
// Data blocks follow the header, numbered from 1. Each starts with the
// number of the next and the previous block and the offset of its last
// record (negative when the block is empty). The header names the first
// block; the records are those of the blocks in chain order, which need
// not be file order. Blocks outside the chain are free and hold no records.
#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <vector>

namespace dataaccess {

struct ParadoxHeader {
  int fileVersion = 0;         // the version byte at 0x39 (3 = 3.0 ... 12 = 7)
  int fileType = 0;
  uint32_t recordSize = 0;
  uint32_t headerSize = 0;
  uint32_t blockSize = 0;      // bytes
  uint32_t numRecords = 0;
  uint32_t firstBlock = 0;
  int numFields = 0;
  int keyFields = 0;           // leading fields that form the primary key
  int fieldStart = 0;          // offset of the field descriptions
  int codePage = 0;            // 0 where the header names none (3.x)
  bool protectedByPassword = false;
  std::vector<int> fieldTypes;
  std::vector<int> fieldWidths;  // as stored in the header (decimals for BCD)
  std::vector<QByteArray> fieldNames;  // in the table's code page

  bool hasExtendedHeader() const { return fileVersion >= 5; }
};

// One data block of the chain that holds records.
struct ParadoxBlock {
  uint32_t number = 0;
  qint64 offset = 0;           // of its first record in the file
  uint32_t records = 0;
  uint32_t firstRecord = 0;    // index of its first record in the table
};

// Reads the header from the first bytes of a file of `fileSize` bytes
// (`bytes` holds the whole header, or the whole file when it is shorter).
// Returns an empty string, or what is wrong with it (in words that follow
// "is damaged: "). A password-protected table parses: the caller refuses it.
QString parseParadoxHeader(const QByteArray& bytes, qint64 fileSize, ParadoxHeader* header);

// Reads `size` bytes at `offset`; false when they cannot all be read.
using ParadoxReader = bool (*)(void* context, qint64 offset, char* into, qint64 size);

// Follows the chain of data blocks from the header's first block. Returns an
// empty string, or what is wrong: a block number past the end of the file,
// a block met twice (a loop), a block claiming more records than it or the
// file holds. Blocks emptied by deletions are passed over.
QString walkParadoxBlocks(const ParadoxHeader& header, qint64 fileSize, ParadoxReader read, void* context,
                          std::vector<ParadoxBlock>* blocks);

// A fixed-size stored value (short, long, autoincrement, date, time, number,
// currency, timestamp, logical) as a number: integers as qlonglong, dates as
// days since 1 January of year 1 (day 1), times as milliseconds since
// midnight, timestamps as milliseconds since day 1 (all qlonglong or
// double), logical as bool. Null for a blank (all zero bytes).
// REQUIRES: `p` holds the field's stored width.
QVariant decodeParadoxFixed(int type, const char* p);

// Paradox field types this reader knows (pxlib's numbering).
bool isKnownParadoxType(int type);
// Bytes a field of `type` takes in a record, given its header width.
int paradoxStoredWidth(int type, int headerWidth);

}  // namespace dataaccess
