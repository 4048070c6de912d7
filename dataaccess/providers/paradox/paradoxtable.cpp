#include "paradoxtable.h"

#include "../../error.h"
#include "../../recordedit.h"
#include "../../tablefolder.h"
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

namespace dataaccess {

namespace {

const QString kSource = QStringLiteral("Paradox");
constexpr long kDayOffset = 1721425;  // Paradox day 1 is 1 January of year 1

void ignorePxMessage(pxdoc_t*, int, const char*, void*) {}

uint32_t le32(const char* p) {
  return uint32_t(uchar(p[0])) | uint32_t(uchar(p[1])) << 8 | uint32_t(uchar(p[2])) << 16 | uint32_t(uchar(p[3])) << 24;
}
void putLe32(char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = char((v >> (8 * i)) & 0xFF);
}

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

const QString kUpdate = QStringLiteral("Paradox.UpdateBatch");

[[noreturn]] void refuse(const PxColumn& c, const QString& why) { recordedit::refuseValue(kUpdate, c.name, why); }

}  // namespace

ParadoxTable::ParadoxTable(const QString& path) : path_(path) {
  validate();
  readFields();
  // pxlib converts BCD values and writes values in their stored form; it
  // never opens the file (its own reader loops on some valid tables).
  static const bool booted = (PX_boot(), true);
  (void)booted;
  doc_ = PX_new3(ignorePxMessage, nullptr, nullptr, nullptr, nullptr);
  if (!doc_) throw Error(err::kProviderFailure, kSource, QStringLiteral("pxlib could not be started."));
}

void ParadoxTable::readFields() {
  recordCount_ = int(header_.numRecords);  // the chain holds this many (checked in validate())
  recordSize_ = int(header_.recordSize);
  keyFields_ = std::min(header_.keyFields, header_.numFields);
  codePage_ = CodePage::byNumber(header_.codePage).value_or(CodePage::legacyDefault(437));  // 0: DOS 437
  int offset = 0;
  bool blobs = false;
  for (int i = 0; i < header_.numFields; ++i) {
    const QByteArray& name = header_.fieldNames[size_t(i)];
    PxColumn c;
    c.name = codePage_.decode(std::string_view(name.constData(), size_t(name.size())));
    c.type = header_.fieldTypes[size_t(i)];
    c.width = paradoxStoredWidth(c.type, header_.fieldWidths[size_t(i)]);
    c.decimals = c.type == pxfBCD ? header_.fieldWidths[size_t(i)] : 0;
    c.offset = offset;
    offset += c.width;
    c.info = fieldInfoFor(c);
    blobs = blobs || c.isBlob();
    columns_.push_back(std::move(c));
  }
  if (blobs) mbPath_ = tablefolder::findBeside(path_, {QStringLiteral("mb")});
}

ParadoxTable::~ParadoxTable() {
  if (doc_) PX_delete(doc_);
}

void ParadoxTable::damaged(const QString& what) const {
  throw Error(err::kProviderFailure, kSource, QStringLiteral("The table file '%1' is damaged: %2.").arg(path_, what));
}

namespace {

bool readAt(void* context, qint64 offset, char* into, qint64 size) {
  auto* f = static_cast<QFile*>(context);
  return f->seek(offset) && f->read(into, size) == size;
}

}  // namespace

void ParadoxTable::validate() {
  QFile f(path_);
  if (!f.open(QIODevice::ReadOnly))
    throw Error(err::kProviderFailure, kSource,
                QStringLiteral("The table file '%1' could not be opened: %2").arg(path_, f.errorString()));
  const qint64 size = f.size();
  const QByteArray h = f.read(0xFFFF);  // the longest header there can be
  QString problem = parseParadoxHeader(h, size, &header_);
  if (!problem.isEmpty()) damaged(problem);
  // Lumbrook does not decipher tables: their blocks would read as noise.
  if (header_.protectedByPassword)
    throw Error(err::kProviderFailure, kSource,
                QStringLiteral("The table '%1' is protected by a password (or its header is damaged); Lumbrook "
                               "cannot open it.")
                    .arg(path_));
  problem = walkParadoxBlocks(header_, size, readAt, &f, &blocks_);
  if (!problem.isEmpty()) damaged(problem);
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
  const auto block = std::upper_bound(blocks_.begin(), blocks_.end(), uint32_t(rec),
                                      [](uint32_t r, const ParadoxBlock& b) { return r < b.firstRecord; }) - 1;
  const qint64 at = block->offset + qint64(uint32_t(rec) - block->firstRecord) * recordSize_;
  QByteArray raw(recordSize_, '\0');
  QFile f(path_);
  if (!f.open(QIODevice::ReadOnly) || !readAt(&f, at, raw.data(), recordSize_))
    damaged(QStringLiteral("record %1 could not be read").arg(rec + 1));
  if (position) *position = at;
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
      const QVariant v = decodeParadoxFixed(c.type, p);
      if (!v.isValid() || v.toLongLong() <= 0) return {};
      const QDate d = QDate::fromJulianDay(v.toLongLong() + kDayOffset);
      return d.isValid() ? QVariant(d) : QVariant();
    }
    case pxfTime: {
      const QVariant v = decodeParadoxFixed(c.type, p);
      if (!v.isValid() || v.toLongLong() < 0 || v.toLongLong() >= kMsPerDay) return {};
      return QTime::fromMSecsSinceStartOfDay(int(v.toLongLong()));
    }
    case pxfTimestamp: {
      const QVariant stored = decodeParadoxFixed(c.type, p);
      const double v = stored.toDouble();
      if (!stored.isValid() || !std::isfinite(v) || v <= 0 || v > 1e15) return {};
      const double days = std::floor(v / double(kMsPerDay));
      const QDate d = QDate::fromJulianDay(qint64(days) + kDayOffset);
      const int ms = int(v - days * double(kMsPerDay));
      if (!d.isValid()) return {};
      return makeDateTime(d, QTime::fromMSecsSinceStartOfDay(std::clamp(ms, 0, 86399999)));
    }
    case pxfShort: case pxfLong: case pxfAutoInc: case pxfNumber: case pxfCurrency: case pxfLogical:
      return decodeParadoxFixed(c.type, p);
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
  QFile f(path_);
  if (!f.open(QIODevice::ReadOnly))
    throw Error(err::kProviderFailure, kSource,
                QStringLiteral("The table file '%1' could not be opened: %2").arg(path_, f.errorString()));
  // One read per block, in chain order.
  QByteArray data;
  int rec = 0;
  for (const ParadoxBlock& b : blocks_) {
    const int n = std::min(int(b.records), recordCount_ - rec);
    if (n <= 0) break;
    data.resize(qsizetype(n) * recordSize_);
    if (!readAt(&f, b.offset, data.data(), data.size())) damaged(QStringLiteral("block %1 cannot be read").arg(b.number));
    for (int i = 0; i < n; ++i, ++rec) {
      const QByteArray raw = QByteArray::fromRawData(data.constData() + qsizetype(i) * recordSize_, recordSize_);
      for (int c = 0; c < int(columns_.size()); ++c) rows->column(c).appendValue(value(raw, c));
      rows->commitRow();
      rows->rowKeys().push_back(rec);
    }
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
  auto textBytes = [&](const QString& s) { return recordedit::encodeText(codePage_, s, kUpdate, c.name); };
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
                         double(dt.date().toJulianDay() - kDayOffset) * double(kMsPerDay) + dt.time().msecsSinceStartOfDay());
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
