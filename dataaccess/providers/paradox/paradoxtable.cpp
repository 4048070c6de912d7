#include "paradoxtable.h"

#include "../../error.h"
#include "../../values.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
extern "C" {
#include <paradox.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

namespace dataaccess {

namespace {

const QString kSource = QStringLiteral("Paradox");
constexpr long kDayOffset = 1721425;  // Paradox day 1 is 1 January of year 1
constexpr double kMsPerDay = 86400000.0;

thread_local QString lastPxMessage;
void capturePxMessage(pxdoc_t*, int, const char* message, void*) { lastPxMessage = QString::fromLocal8Bit(message); }

uint16_t le16(const char* p) { return uint16_t(uchar(p[0]) | uchar(p[1]) << 8); }
uint32_t le32(const char* p) {
  return uint32_t(uchar(p[0])) | uint32_t(uchar(p[1])) << 8 | uint32_t(uchar(p[2])) << 16 | uint32_t(uchar(p[3])) << 24;
}
void putLe32(char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = char((v >> (8 * i)) & 0xFF);
}

bool knownType(int t) {
  return (t >= pxfAlpha && t <= pxfNumber) || t == pxfLogical || (t >= pxfMemoBLOb && t <= pxfGraphic) ||
         (t >= pxfTime && t <= pxfBytes);
}

int storedWidth(int type, int length) { return type == pxfBCD ? 17 : length; }

FieldInfo fieldInfoFor(const PxColumn& c) {
  FieldInfo f;
  f.name = c.name;
  f.baseColumn = c.name;
  f.numericScale = 255;
  f.precision = 255;
  switch (c.type) {
    case pxfAlpha: f.type = adVarWChar; f.definedSize = c.width; break;
    case pxfDate: f.type = adDBDate; f.definedSize = 6; break;
    case pxfShort: f.type = adSmallInt; f.definedSize = 2; f.precision = 5; break;
    case pxfLong: case pxfAutoInc: f.type = adInteger; f.definedSize = 4; f.precision = 10; break;
    case pxfCurrency: f.type = adCurrency; f.definedSize = 8; f.precision = 19; break;
    case pxfNumber: f.type = adDouble; f.definedSize = 8; f.precision = 15; break;
    case pxfLogical: f.type = adBoolean; f.definedSize = 2; break;
    case pxfMemoBLOb: case pxfFmtMemoBLOb: f.type = adLongVarWChar; break;
    case pxfBLOb: case pxfOLE: case pxfGraphic: f.type = adLongVarBinary; break;
    case pxfTime: f.type = adDBTime; f.definedSize = 6; break;
    case pxfTimestamp: f.type = adDBTimeStamp; f.definedSize = 16; break;
    case pxfBCD:
      f.type = adNumeric;
      f.definedSize = 17;
      f.precision = 32;
      f.numericScale = c.decimals;
      break;
    case pxfBytes: f.type = adVarBinary; f.definedSize = c.width; break;
    default: f.type = adVarBinary; f.definedSize = c.width; break;
  }
  return f;
}

[[noreturn]] void refuse(const PxColumn& c, const QString& why) {
  throw Error(err::kDataConversion, QStringLiteral("Paradox.UpdateBatch"),
              QStringLiteral("The value for field '%1' cannot be stored: %2").arg(c.name, why));
}

}  // namespace

ParadoxTable::ParadoxTable(const QString& path) : path_(path) {
  validate();
  static const bool booted = (PX_boot(), true);
  (void)booted;
  doc_ = PX_new3(capturePxMessage, nullptr, nullptr, nullptr, nullptr);
  if (!doc_) throw Error(err::kProviderFailure, kSource, QStringLiteral("pxlib could not be started."));
  // A constructor that throws runs no destructor: release pxlib here.
  try {
    openWithPxlib();
  } catch (...) {
    PX_close(doc_);
    PX_delete(doc_);
    doc_ = nullptr;
    throw;
  }
}

void ParadoxTable::openWithPxlib() {
  const QString& path = path_;
  lastPxMessage.clear();
  if (PX_open_file(doc_, QFile::encodeName(path).constData()) < 0)
    damaged(lastPxMessage.isEmpty() ? QStringLiteral("pxlib could not read it") : lastPxMessage);
  pxhead_t* h = doc_->px_head;
  if (h->px_encryption != 0)
    throw Error(err::kProviderFailure, kSource,
                QStringLiteral("The table '%1' is protected by a password; Lumbrook cannot open it.").arg(path));
  recordCount_ = h->px_numrecords;
  recordSize_ = h->px_recordsize;
  keyFields_ = h->px_primarykeyfields;
  codePage_ = CodePage::byNumber(h->px_doscodepage).value_or(CodePage::legacyDefault(437));  // 0: DOS 437
  int offset = 0;
  bool blobs = false;
  for (int i = 0; i < h->px_numfields; ++i) {
    const pxfield_t& f = h->px_fields[i];
    PxColumn c;
    c.name = codePage_.decode(f.px_fname ? std::string_view(f.px_fname) : std::string_view());
    c.type = uchar(f.px_ftype);
    c.width = f.px_flen;
    c.decimals = f.px_fdc;
    c.offset = offset;
    offset += c.width;
    if (offset > recordSize_) damaged(QStringLiteral("its fields are longer than its records"));
    c.info = fieldInfoFor(c);
    blobs = blobs || c.isBlob();
    columns_.push_back(std::move(c));
  }
  if (blobs) {
    const QFileInfo fi(path);
    for (const QString& n : fi.absoluteDir().entryList(QDir::Files))
      if (n.compare(fi.completeBaseName() + QStringLiteral(".mb"), Qt::CaseInsensitive) == 0)
        mbPath_ = fi.absoluteDir().absoluteFilePath(n);
  }
}

ParadoxTable::~ParadoxTable() {
  if (doc_) {
    PX_close(doc_);
    PX_delete(doc_);
  }
}

void ParadoxTable::damaged(const QString& what) const {
  throw Error(err::kProviderFailure, kSource, QStringLiteral("The table file '%1' is damaged: %2.").arg(path_, what));
}

void ParadoxTable::validate() {
  QFile f(path_);
  if (!f.open(QIODevice::ReadOnly))
    throw Error(err::kProviderFailure, kSource,
                QStringLiteral("The table file '%1' could not be opened: %2").arg(path_, f.errorString()));
  const qint64 size = f.size();
  const QByteArray h = f.read(0x78 + 2 * 256);
  if (h.size() < 0x78) damaged(QStringLiteral("it is shorter than a Paradox header"));
  const char* p = h.constData();
  const uint32_t recordSize = le16(p), headerSize = le16(p + 2);
  const int fileType = uchar(p[4]), maxTableSize = uchar(p[5]);
  const uint32_t numRecords = le32(p + 6), firstBlock = le16(p + 0x0E), numFields = le16(p + 0x21);
  // A password-protected table: pxlib would try to decipher it with a
  // guessed key (and loops on some files), so it must not see one.
  const uint32_t encryption1 = le32(p + 0x25), encryption2 = le32(p + 0x5C);
  if ((encryption1 != 0 && encryption1 != 0xFF00FF00u) || (uchar(p[0x39]) >= 5 && encryption2 != 0))
    throw Error(err::kProviderFailure, kSource,
                QStringLiteral("The table '%1' is protected by a password (or its header is damaged); Lumbrook "
                               "cannot open it.")
                    .arg(path_));
  if (fileType != pxfFileTypIndexDB && fileType != pxfFileTypNonIndexDB)
    damaged(QStringLiteral("it is not a Paradox data table (file type %1)").arg(fileType));
  if (maxTableSize != 1 && maxTableSize != 2 && maxTableSize != 3 && maxTableSize != 4 && maxTableSize != 8 &&
      maxTableSize != 16 && maxTableSize != 32)
    damaged(QStringLiteral("its block size (%1) is not a Paradox block size").arg(maxTableSize));
  if (numFields == 0 || numFields > 255 || recordSize == 0) damaged(QStringLiteral("its header is not valid"));
  if (headerSize < 0x78 + 2 * numFields || headerSize > size || qsizetype(0x78 + 2 * numFields) > h.size())
    damaged(QStringLiteral("its header length is not valid"));
  uint32_t sum = 0;
  for (uint32_t i = 0; i < numFields; ++i) {
    const int type = uchar(p[0x78 + 2 * i]);
    if (!knownType(type)) damaged(QStringLiteral("field %1 has an unknown type (%2)").arg(i + 1).arg(type));
    sum += uint32_t(storedWidth(type, uchar(p[0x79 + 2 * i])));
  }
  if (sum != recordSize) damaged(QStringLiteral("its field sizes do not add up to its record size"));
  const uint32_t blockSize = uint32_t(maxTableSize) * 1024;
  const uint64_t blocksInFile = uint64_t(size - headerSize) / blockSize;
  std::set<uint32_t> visited;
  uint64_t held = 0;
  for (uint32_t block = firstBlock; block != 0 && numRecords > 0;) {
    if (block > blocksInFile || !visited.insert(block).second)
      damaged(QStringLiteral("its chain of data blocks is broken at block %1").arg(block));
    const qint64 at = qint64(headerSize) + qint64(block - 1) * blockSize;
    char bh[6];
    if (!f.seek(at) || f.read(bh, 6) != 6) damaged(QStringLiteral("block %1 cannot be read").arg(block));
    const int16_t addDataSize = int16_t(le16(bh + 4));
    if (addDataSize >= 0) {
      const uint64_t n = uint64_t(addDataSize) / recordSize + 1;
      if (6 + n * recordSize > blockSize) damaged(QStringLiteral("block %1 claims more records than it holds").arg(block));
      held += n;
    }
    block = le16(bh);
  }
  if (numRecords > held)
    damaged(QStringLiteral("its header claims %1 records, but its blocks hold %2").arg(numRecords).arg(held));
}

const MbFile& ParadoxTable::mb() {
  if (!mb_) {
    if (mbPath_.isEmpty())
      throw Error(err::kProviderFailure, kSource, QStringLiteral("The memo file (.MB) of table '%1' is missing.").arg(path_));
    mb_ = std::make_unique<MbFile>(mbPath_);
  }
  return *mb_;
}

QByteArray ParadoxTable::record(int rec, qint64* position) {
  if (rec < 0 || rec >= recordCount_)
    throw Error(err::kRowConflict, kSource, QStringLiteral("Record %1 no longer exists in '%2'.").arg(rec + 1).arg(path_));
  QByteArray raw(recordSize_, '\0');
  int deleted = 0;
  pxdatablockinfo_t info{};
  lastPxMessage.clear();
  if (!PX_get_record2(doc_, rec, raw.data(), &deleted, &info))
    damaged(QStringLiteral("record %1 could not be read (%2)").arg(rec + 1).arg(lastPxMessage));
  if (position) *position = info.recordpos;
  return raw;
}

QVariant ParadoxTable::blobValue(const char* p, const PxColumn& c) {
  const int lead = c.width - 10;
  if (lead < 0) return {};
  const uint32_t offset = le32(p + lead), length = le32(p + lead + 4);
  if (length == 0) return c.info.type == adLongVarWChar ? QVariant(QString()) : QVariant();
  QByteArray data;
  if (offset == 0) {
    if (length > uint32_t(lead))
      damaged(QStringLiteral("the memo of field '%1' claims more bytes than its record holds").arg(c.name));
    data = QByteArray(p, qsizetype(length));
  } else {
    std::optional<QByteArray> d = mb().read(offset, length);
    if (!d)
      throw Error(err::kProviderFailure, kSource,
                  QStringLiteral("The memo of field '%1' in '%2' lies outside its memo file '%3'.")
                      .arg(c.name, path_, mbPath_));
    data = *d;
  }
  if (c.type == pxfFmtMemoBLOb) data = formattedMemoText(data);
  if (c.info.type == adLongVarWChar) {
    const qsizetype nul = data.indexOf('\0');
    if (nul >= 0) data.truncate(nul);
    return codePage_.decode(std::string_view(data.constData(), size_t(data.size())));
  }
  return data;
}

QVariant ParadoxTable::value(const QByteArray& raw, int column) {
  const PxColumn& c = columns_[size_t(column)];
  char* p = const_cast<char*>(raw.constData()) + c.offset;
  switch (c.type) {
    case pxfAlpha: {
      const size_t n = strnlen(p, size_t(c.width));
      if (n == 0) return {};
      return codePage_.decode(std::string_view(p, n));
    }
    case pxfDate: {
      long v = 0;
      if (PX_get_data_long(doc_, p, 4, &v) <= 0 || v <= 0) return {};
      const QDate d = QDate::fromJulianDay(v + kDayOffset);
      return d.isValid() ? QVariant(d) : QVariant();
    }
    case pxfTime: {
      long v = 0;
      if (PX_get_data_long(doc_, p, 4, &v) <= 0 || v < 0 || v >= 86400000L) return {};
      return QTime::fromMSecsSinceStartOfDay(int(v));
    }
    case pxfTimestamp: {
      double v = 0;
      if (PX_get_data_double(doc_, p, 8, &v) <= 0 || !std::isfinite(v) || v <= 0 || v > 1e15) return {};
      const double days = std::floor(v / kMsPerDay);
      const QDate d = QDate::fromJulianDay(qint64(days) + kDayOffset);
      const int ms = int(v - days * kMsPerDay);
      if (!d.isValid()) return {};
      return makeDateTime(d, QTime::fromMSecsSinceStartOfDay(std::clamp(ms, 0, 86399999)));
    }
    case pxfShort: {
      short v = 0;
      if (PX_get_data_short(doc_, p, 2, &v) <= 0) return {};
      return qlonglong(v);
    }
    case pxfLong: case pxfAutoInc: {
      long v = 0;
      if (PX_get_data_long(doc_, p, 4, &v) <= 0) return {};
      return qlonglong(v);
    }
    case pxfNumber: case pxfCurrency: {
      double v = 0;
      if (PX_get_data_double(doc_, p, 8, &v) <= 0) return {};
      return v;
    }
    case pxfLogical: {
      char v = 0;
      if (PX_get_data_byte(doc_, p, 1, &v) <= 0) return {};
      return v != 0;
    }
    case pxfBCD: {
      // A Null value is all zero bytes; pxlib would leak its buffer for it.
      if (std::all_of(p, p + 17, [](char b) { return b == 0; })) return {};
      // Digits are nibbles, complemented for negative numbers; pxlib leaks
      // its buffer on any other nibble, so such a value is read as Null.
      const bool positive = uchar(p[0]) & 0x80;
      for (int i = 1; i < 17; ++i)
        for (const int nibble : {uchar(p[i]) >> 4, uchar(p[i]) & 0xF})
          if (positive ? nibble > 9 : nibble < 6) return {};
      char* text = nullptr;
      const int got = PX_get_data_bcd(doc_, reinterpret_cast<unsigned char*>(p), c.decimals, &text);
      const QString s = got > 0 && text ? QString::fromLatin1(text).trimmed() : QString();
      if (text) doc_->free(doc_, text);
      if (s.isEmpty()) return {};
      bool ok = false;
      s.toDouble(&ok);
      return ok ? QVariant(s) : QVariant();
    }
    case pxfBytes: {
      return QByteArray(p, c.width);
    }
    default:
      if (c.isBlob()) return blobValue(p, c);
      return QByteArray(p, c.width);
  }
}

std::shared_ptr<RowStore> ParadoxTable::load() {
  std::vector<FieldInfo> fields;
  for (const PxColumn& c : columns_) fields.push_back(c.info);
  auto rows = std::make_shared<RowStore>(std::move(fields));
  rows->reserve(recordCount_);
  for (int rec = 0; rec < recordCount_; ++rec) {
    const QByteArray raw = record(rec);
    for (int i = 0; i < int(columns_.size()); ++i) rows->column(i).appendValue(value(raw, i));
    rows->commitRow();
    rows->rowKeys().push_back(rec);
  }
  return rows;
}

void ParadoxTable::encode(QByteArray& raw, int column, const QVariant& input, QByteArray* blob) const {
  const PxColumn& c = columns_[size_t(column)];
  const QVariant v = coerceValue(input, c.info.type, c.name);
  char* p = raw.data() + c.offset;
  const bool isNull = !v.isValid();
  std::memset(p, 0, size_t(c.width));
  if (blob) blob->clear();
  if (isNull) return;  // Paradox stores Null as zero bytes for every type
  auto textBytes = [&](const QString& s) {
    std::optional<QByteArray> b = codePage_.encode(s);
    if (!b)
      refuse(c, QStringLiteral("it holds characters that the table's code page (%1) cannot store")
                    .arg(codePage_.name()));
    return *b;
  };
  switch (c.type) {
    case pxfAlpha: {
      const QByteArray b = textBytes(v.toString());
      if (b.size() > c.width) refuse(c, QStringLiteral("it is longer than the field's %1 characters").arg(c.width));
      std::memcpy(p, b.constData(), size_t(b.size()));
      return;
    }
    case pxfDate: {
      const QDate d = v.toDate();
      if (!d.isValid() || d.year() < 1) refuse(c, QStringLiteral("it is not a date after the year 1"));
      PX_put_data_long(doc_, p, 4, int(d.toJulianDay() - kDayOffset));
      return;
    }
    case pxfTime:
      PX_put_data_long(doc_, p, 4, v.toTime().msecsSinceStartOfDay());
      return;
    case pxfTimestamp: {
      const QDateTime dt = v.toDateTime();
      if (!dt.isValid() || dt.date().year() < 1) refuse(c, QStringLiteral("it is not a date and time"));
      PX_put_data_double(doc_, p, 8,
                         double(dt.date().toJulianDay() - kDayOffset) * kMsPerDay + dt.time().msecsSinceStartOfDay());
      return;
    }
    case pxfShort: {
      const qlonglong n = v.toLongLong();
      if (n < -32767 || n > 32767) refuse(c, QStringLiteral("it is outside -32767 to 32767"));
      PX_put_data_short(doc_, p, 2, short(n));
      return;
    }
    case pxfLong: case pxfAutoInc: {
      const qlonglong n = v.toLongLong();
      if (n < -2147483647LL || n > 2147483647LL) refuse(c, QStringLiteral("it is outside the range of a long integer"));
      PX_put_data_long(doc_, p, 4, int(n));
      return;
    }
    case pxfNumber: case pxfCurrency: {
      const double d = v.toDouble();
      if (!std::isfinite(d)) refuse(c, QStringLiteral("it is not a finite number"));
      PX_put_data_double(doc_, p, 8, d);
      return;
    }
    case pxfLogical:
      PX_put_data_byte(doc_, p, 1, v.toBool() ? 1 : 0);
      return;
    case pxfBCD: {
      QByteArray text = v.toString().toLatin1();
      if (text.count('.') == 0 ? text.size() > 33 : text.indexOf('.') > 33)
        refuse(c, QStringLiteral("the number has too many digits"));
      PX_put_data_bcd(doc_, p, c.decimals, text.data());
      return;
    }
    case pxfMemoBLOb: {
      const QByteArray b = textBytes(v.toString());
      const int lead = c.width - 10;
      if (b.isEmpty()) return;
      std::memcpy(p, b.constData(), size_t(std::min<qsizetype>(b.size(), lead)));
      putLe32(p + lead + 4, uint32_t(b.size()));
      if (b.size() > lead) {
        if (!blob) refuse(c, QStringLiteral("memo values cannot be written here"));
        if (mbPath_.isEmpty()) refuse(c, QStringLiteral("the table's memo file (.MB) is missing"));
        *blob = b;
      }
      return;
    }
    default:
      refuse(c, QStringLiteral("fields of this type cannot be edited"));
  }
}

void ParadoxTable::setBlobPointer(QByteArray& raw, int column, uint32_t offset, uint32_t length) const {
  const PxColumn& c = columns_[size_t(column)];
  char* p = raw.data() + c.offset + c.width - 10;
  putLe32(p, offset);
  putLe32(p + 4, length);
  p[8] = offset ? 1 : 0;
  p[9] = 0;
}

}  // namespace dataaccess
