#include "dbftable.h"

#include "../../error.h"
#include "../../recordedit.h"
#include "../../tablefolder.h"
#include "../../values.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <shapefil.h>

#include <cmath>
#include <cstring>

namespace dataaccess {

namespace {

const QString kSource = QStringLiteral("XBase");

// shapelib reports through a hook; the last message explains a failed call.
thread_local QString lastShapelibMessage;
void captureShapelibMessage(const char* message) { lastShapelibMessage = QString::fromLocal8Bit(message); }

// shapelib opens "<name without extension>.dbf" (or .DBF) and looks for a
// .cpg file beside it. A container (.dbc) and the hidden working copies have
// other names, so the open hook hands it the file this class was given and
// no .cpg file: the code page comes from the language-driver byte.
thread_local QByteArray fileToOpen;
SAFile openGivenFile(const char* name, const char* access) {
  const QByteArray n(name);
  if (!n.endsWith(".dbf") && !n.endsWith(".DBF")) return nullptr;
  SAHooks defaults;
  SASetupDefaultHooks(&defaults);
  return defaults.FOpen(fileToOpen.constData(), access);
}

uint32_t le32(const char* p) {
  return uint32_t(uchar(p[0])) | uint32_t(uchar(p[1])) << 8 | uint32_t(uchar(p[2])) << 16 | uint32_t(uchar(p[3])) << 24;
}
uint16_t le16(const char* p) { return uint16_t(uchar(p[0]) | uchar(p[1]) << 8); }
void putLe32(char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = char((v >> (8 * i)) & 0xFF);
}
void putLe64(char* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = char((v >> (8 * i)) & 0xFF);
}
int64_t le64(const char* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | uchar(p[i]);
  return int64_t(v);
}

bool isFoxVersion(int v) { return v == 0x30 || v == 0x31 || v == 0x32 || v == 0xF5 || v == 0xFB; }

// The trimmed text of a numeric field as canonical decimal text, or nothing
// when it is blank or not a number (overflow stars, garbage).
std::optional<QString> canonicalDecimal(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\0')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.remove_suffix(1);
  if (s.empty()) return std::nullopt;
  bool negative = false;
  if (s.front() == '-' || s.front() == '+') {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  std::string intPart, fracPart;
  bool point = false;
  for (char c : s) {
    if (c >= '0' && c <= '9')
      (point ? fracPart : intPart) += c;
    else if ((c == '.' || c == ',') && !point)
      point = true;
    else
      return std::nullopt;
  }
  if (intPart.empty() && fracPart.empty()) return std::nullopt;
  size_t z = 0;
  while (z + 1 < intPart.size() && intPart[z] == '0') ++z;
  intPart.erase(0, z);
  if (intPart.empty()) intPart.push_back('0');
  std::string out = negative ? "-" : "";
  out += intPart;
  if (!fracPart.empty()) {
    out += '.';
    out += fracPart;
  }
  if (negative && out.find_first_not_of("-0.") == std::string::npos) out.erase(0, 1);
  return QString::fromLatin1(out.data(), qsizetype(out.size()));
}

// Canonical decimal text rounded (half away from zero) to `decimals` digits.
QString roundDecimal(const QString& canon, int decimals) {
  QString t = canon;
  const bool negative = t.startsWith(QLatin1Char('-'));
  if (negative) t.remove(0, 1);
  const qsizetype dot = t.indexOf(QLatin1Char('.'));
  QString ip = dot < 0 ? t : t.left(dot);
  QString fp = dot < 0 ? QString() : t.mid(dot + 1);
  QString digits = ip + fp.left(decimals).leftJustified(decimals, QLatin1Char('0'));
  if (fp.size() > decimals && fp.at(decimals) >= QLatin1Char('5')) {
    int i = int(digits.size()) - 1;
    for (; i >= 0; --i) {
      if (digits[i] == QLatin1Char('9')) {
        digits[i] = QLatin1Char('0');
      } else {
        digits[i] = QChar(digits[i].unicode() + 1);
        break;
      }
    }
    if (i < 0) digits.prepend(QLatin1Char('1'));
  }
  ip = digits.left(digits.size() - decimals);
  fp = digits.right(decimals);
  while (ip.size() > 1 && ip.startsWith(QLatin1Char('0'))) ip.remove(0, 1);
  if (ip.isEmpty()) ip = QStringLiteral("0");
  QString out = ip;
  if (decimals > 0) out += QLatin1Char('.') + fp;
  const bool zero = !out.contains(QRegularExpression(QStringLiteral("[1-9]")));
  return negative && !zero ? QLatin1Char('-') + out : out;
}

FieldInfo fieldInfoFor(const DbfColumn& c, bool visualFoxPro, bool nullable) {
  FieldInfo f;
  f.name = c.name;
  f.baseColumn = c.name;
  f.nullable = nullable;
  switch (c.type) {
    case 'C': f.type = adChar; f.definedSize = c.width; break;
    case 'V': f.type = adVarChar; f.definedSize = c.width; break;
    case 'M': f.type = c.binary ? adLongVarBinary : adLongVarChar; break;
    case 'N':
      f.type = adNumeric;
      f.definedSize = c.width;
      f.precision = c.width;
      f.numericScale = c.decimals;
      break;
    case 'F': f.type = adDouble; f.definedSize = 8; break;
    // A binary field narrower than its value (a damaged descriptor) is
    // shown as its bytes, as the reader then reads it.
    case 'B': f.type = c.width < 8 ? adVarBinary : adDouble; f.definedSize = c.width < 8 ? c.width : 8; break;
    case 'I': f.type = c.width < 4 ? adVarBinary : adInteger; f.definedSize = c.width < 4 ? c.width : 4; break;
    case 'Y': f.type = c.width < 8 ? adVarBinary : adCurrency; f.definedSize = c.width < 8 ? c.width : 8; break;
    case 'D': f.type = adDBDate; f.definedSize = 6; break;
    case 'T': f.type = c.width < 8 ? adVarBinary : adDBTimeStamp; f.definedSize = c.width < 8 ? c.width : 16; break;
    case 'L': f.type = adBoolean; f.definedSize = 2; break;
    case 'G': case 'P': case 'W': f.type = adLongVarBinary; break;
    case 'Q': f.type = adVarBinary; f.definedSize = c.width; break;
    default: f.type = adVarBinary; f.definedSize = c.width; break;
  }
  if (f.precision == 0) f.precision = 255;
  if (f.type != adNumeric) f.numericScale = 255;
  (void)visualFoxPro;
  return f;
}

const QString kUpdate = QStringLiteral("XBase.UpdateBatch");

[[noreturn]] void refuse(const DbfColumn& c, const QString& why) { recordedit::refuseValue(kUpdate, c.name, why); }

// The code page a .cpg file beside the table names, as GIS tools write them
// for tables whose header carries no mark: "UTF-8", "LDID/87", "1252",
// "88591", "ISO-8859-1", "CP1251" and the like.
std::optional<CodePage> codePageOfCpgFile(const QString& tablePath) {
  const QString cpg = tablefolder::findBeside(tablePath, {QStringLiteral("cpg")});
  if (cpg.isEmpty()) return std::nullopt;
  QFile f(cpg);
  if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
  const QString text = QString::fromLatin1(f.read(64)).trimmed();
  if (text.startsWith(QLatin1String("LDID/"), Qt::CaseInsensitive)) {
    bool ok = false;
    const int ldid = text.mid(5).toInt(&ok);
    return ok ? CodePage::forLanguageDriver(ldid) : std::nullopt;
  }
  if (text.compare(QLatin1String("UTF8"), Qt::CaseInsensitive) == 0) return CodePage::byName(QStringLiteral("UTF-8"));
  static const QRegularExpression iso(QStringLiteral("^8859[_-]?(\\d{1,2})$"));
  if (const QRegularExpressionMatch m = iso.match(text); m.hasMatch())
    return CodePage::byName(QStringLiteral("ISO-8859-") + m.captured(1));
  return CodePage::byName(text);
}

}  // namespace

DbfTable::DbfTable(const QString& path, bool update) : path_(path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly))
    throw Error(err::kProviderFailure, kSource,
                QStringLiteral("The table file '%1' could not be opened: %2").arg(path, f.errorString()));
  const QByteArray head = f.read(32);
  const qint64 size = f.size();
  f.close();
  if (head.size() < 32) damaged(QStringLiteral("it is shorter than a table header"));
  version_ = uchar(head[0]);
  const uint32_t records = le32(head.constData() + 4);
  const uint32_t headerLength = le16(head.constData() + 8);
  const uint32_t recordLength = le16(head.constData() + 10);
  if (headerLength < 33 || recordLength < 1 || headerLength > size)
    damaged(QStringLiteral("its header is not that of a dBase or FoxPro table"));
  const uint64_t needed = uint64_t(headerLength) + uint64_t(records) * recordLength;
  if (needed > uint64_t(size))
    damaged(QStringLiteral("its header claims %1 records of %2 bytes, but the file holds only %3 bytes")
                .arg(records)
                .arg(recordLength)
                .arg(size));
  // A table without a known mark is never read as UTF-8 unless a .cpg file
  // says so: dBase and FoxPro wrote Windows-1252 unless told otherwise.
  std::optional<CodePage> page = CodePage::forLanguageDriver(uchar(head[29]));
  if (!page && head[29] == 0) page = codePageOfCpgFile(path);
  codePage_ = page.value_or(CodePage::legacyDefault(1252));
  visualFoxPro_ = version_ == 0x30 || version_ == 0x31 || version_ == 0x32;

  SAHooks hooks;
  SASetupDefaultHooks(&hooks);
  hooks.Error = captureShapelibMessage;
  hooks.FOpen = openGivenFile;
  lastShapelibMessage.clear();
  fileToOpen = QFile::encodeName(path);
  handle_ = DBFOpenLL("table.dbf", update ? "rb+" : "rb", &hooks);
  if (!handle_)
    damaged(lastShapelibMessage.isEmpty() ? QStringLiteral("its field descriptions are not valid")
                                          : lastShapelibMessage);
  // A constructor that throws runs no destructor: close the file here.
  try {
    recordCount_ = handle_->nRecords;
    recordLength_ = handle_->nRecordLength;
    if (recordCount_ < 0 || uint32_t(recordCount_) != records) damaged(QStringLiteral("its record count is not valid"));

    int nextBit = 0;
    for (int i = 0; i < handle_->nFields; ++i) {
      const char* d = handle_->pszHeader + i * XBASE_FLDHDR_SZ;
      DbfColumn c;
      c.type = handle_->pachFieldType[i];
      c.offset = handle_->panFieldOffset[i];
      c.width = handle_->panFieldSize[i];
      c.decimals = handle_->panFieldDecimals[i];
      const uchar flags = uchar(d[18]);
      if (c.offset < 1 || c.width < 1 || c.offset + c.width > recordLength_)
        damaged(QStringLiteral("field %1 lies outside the record").arg(i + 1));
      c.name = codePage_.decode(std::string_view(d, strnlen(d, 11))).trimmed();
      c.fileName = c.name;
      if (c.type == '0') {  // Visual FoxPro's hidden _NullFlags field
        nullFlagsOffset_ = c.offset;
        nullFlagsWidth_ = c.width;
        continue;
      }
      c.binary = visualFoxPro_ && (flags & 0x04);
      if (visualFoxPro_) {
        if (c.type == 'V' || c.type == 'Q') c.varLengthBit = nextBit++;
        if (flags & 0x02) c.nullBit = nextBit++;
      }
      const bool nullable = visualFoxPro_ ? c.nullBit >= 0 || c.type == 'D' || c.type == 'T' || c.type == 'N' ||
                                                c.type == 'F' || c.type == 'L'
                                          : true;
      c.info = fieldInfoFor(c, visualFoxPro_, nullable);
      columns_.push_back(std::move(c));
    }
    if (nextBit > nullFlagsWidth_ * 8) {
      // Bits without a _NullFlags field to hold them: treat the fields as plain.
      for (DbfColumn& c : columns_) c.nullBit = c.varLengthBit = -1;
    }

    if (hasMemoColumns()) {
      QStringList exts;
      if (QFileInfo(path).suffix().compare(QLatin1String("dbc"), Qt::CaseInsensitive) == 0)
        exts << QStringLiteral("dct");
      else if (isFoxVersion(version_))
        exts << QStringLiteral("fpt") << QStringLiteral("dbt");
      else
        exts << QStringLiteral("dbt") << QStringLiteral("fpt");
      memoPath_ = tablefolder::findBeside(path, exts);
      memoKind_ = QFileInfo(memoPath_).suffix().compare(QLatin1String("dbt"), Qt::CaseInsensitive) == 0
                      ? MemoFile::Kind::Dbt
                      : MemoFile::Kind::Fpt;
    }
  } catch (...) {
    DBFClose(handle_);
    handle_ = nullptr;
    throw;
  }
}

DbfTable::~DbfTable() {
  if (handle_) DBFClose(handle_);
}

void DbfTable::damaged(const QString& what) const {
  throw Error(err::kProviderFailure, kSource, QStringLiteral("The table file '%1' is damaged: %2.").arg(path_, what));
}

bool DbfTable::hasMemoColumns() const {
  for (const DbfColumn& c : columns_)
    if (c.isMemo()) return true;
  return false;
}

void DbfTable::setColumnNames(const QStringList& names) {
  if (names.size() != qsizetype(columns_.size())) return;
  for (size_t i = 0; i < columns_.size(); ++i) {
    columns_[i].name = names[qsizetype(i)];
    columns_[i].info.name = columns_[i].name;
    columns_[i].info.baseColumn = columns_[i].name;
  }
}

const MemoFile& DbfTable::memo() {
  if (!memo_) {
    if (memoPath_.isEmpty())
      throw Error(err::kProviderFailure, kSource,
                  QStringLiteral("The memo file of table '%1' is missing.").arg(path_));
    memo_ = std::make_unique<MemoFile>(memoPath_, memoKind_);
  }
  return *memo_;
}

const char* DbfTable::record(int rec) {
  if (rec < 0 || rec >= recordCount_)
    throw Error(err::kRowConflict, kSource,
                QStringLiteral("Record %1 no longer exists in '%2'.").arg(rec + 1).arg(path_));
  lastShapelibMessage.clear();
  const char* raw = DBFReadTuple(handle_, rec);
  if (!raw) damaged(QStringLiteral("record %1 could not be read (%2)").arg(rec + 1).arg(lastShapelibMessage));
  return raw;
}

bool DbfTable::bit(const char* raw, int bitIndex) const {
  if (bitIndex < 0 || nullFlagsOffset_ < 0) return false;
  return (uchar(raw[nullFlagsOffset_ + bitIndex / 8]) >> (bitIndex % 8)) & 1;
}

void DbfTable::setBit(std::string& raw, int bitIndex, bool on) const {
  if (bitIndex < 0 || nullFlagsOffset_ < 0) return;
  char& b = raw[size_t(nullFlagsOffset_ + bitIndex / 8)];
  const char mask = char(1 << (bitIndex % 8));
  b = on ? char(b | mask) : char(b & ~mask);
}

void DbfTable::appendCell(ColumnStore& out, const char* raw, int column, int rec) {
  const DbfColumn& c = columns_[size_t(column)];
  if (bit(raw, c.nullBit)) {
    out.appendNull();
    return;
  }
  const char* p = raw + c.offset;
  std::string_view s(p, size_t(c.width));
  switch (c.type) {
    case 'C': case 'V': case 'Q': {
      if (c.varLengthBit >= 0 && bit(raw, c.varLengthBit)) s = s.substr(0, std::min<size_t>(uchar(p[c.width - 1]), s.size()));
      if (c.type == 'Q') {
        out.appendBytes(s);
        return;
      }
      while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.remove_suffix(1);
      bool ascii = true;
      for (char ch : s)
        if (uchar(ch) >= 0x80) {
          ascii = false;
          break;
        }
      if (ascii)
        out.appendBytes(s);
      else
        out.appendText(codePage_.decode(s));
      return;
    }
    case 'N': {
      if (auto d = canonicalDecimal(s))
        out.appendText(*d);
      else
        out.appendNull();
      return;
    }
    case 'F': {
      auto d = canonicalDecimal(s);
      if (d)
        out.appendReal(d->toDouble());
      else
        out.appendNull();
      return;
    }
    case 'L':
      if (s.empty()) {
        out.appendNull();
        return;
      }
      switch (s[0]) {
        case 'T': case 't': case 'Y': case 'y': out.appendBoolean(true); return;
        case 'F': case 'f': case 'N': case 'n': out.appendBoolean(false); return;
        default: out.appendNull(); return;
      }
    case 'D': {
      if (c.width >= 8) {
        int v[3] = {0, 0, 0};
        const int len[3] = {4, 2, 2};
        int pos = 0;
        bool ok = true;
        for (int k = 0; k < 3 && ok; ++k)
          for (int j = 0; j < len[k]; ++j, ++pos) {
            if (p[pos] < '0' || p[pos] > '9') {
              ok = false;
              break;
            }
            v[k] = v[k] * 10 + (p[pos] - '0');
          }
        const QDate d(v[0], v[1], v[2]);
        if (ok && d.isValid()) {
          out.appendOleMsecs(toOleMsecs(d));
          return;
        }
      }
      out.appendNull();
      return;
    }
    case 'T': {
      if (c.width < 8) break;
      const uint32_t day = le32(p), ms = le32(p + 4);
      if (day == 0 || ms >= 86400000u) {
        out.appendNull();
        return;
      }
      out.appendOleMsecs(toOleMsecs(makeDateTime(QDate::fromJulianDay(day), QTime::fromMSecsSinceStartOfDay(int(ms)))));
      return;
    }
    case 'I':
      if (c.width < 4) break;
      out.appendInteger(int32_t(le32(p)));
      return;
    case 'Y':
      if (c.width < 8) break;
      out.appendReal(double(le64(p)) / 10000.0);
      return;
    case 'B': {
      if (c.width < 8) break;
      const int64_t bits = le64(p);
      double d;
      std::memcpy(&d, &bits, 8);
      out.appendReal(d);
      return;
    }
    case 'M': case 'G': case 'P': case 'W': {
      uint32_t block = 0;
      if (c.width == 4) {
        block = le32(p);
      } else {
        for (char ch : s)
          if (ch >= '0' && ch <= '9') block = block * 10 + uint32_t(ch - '0');
      }
      const bool text = c.info.type == adLongVarChar;
      if (block == 0) {
        if (text)
          out.appendText(QString());
        else
          out.appendNull();
        return;
      }
      const std::optional<QByteArray> data = memo().read(block);
      if (!data)
        throw Error(err::kProviderFailure, kSource,
                    QStringLiteral("The memo of field '%1' in record %2 of '%3' lies outside the memo file '%4'.")
                        .arg(c.name)
                        .arg(rec + 1)
                        .arg(path_, memoPath_));
      if (text)
        out.appendText(codePage_.decode(std::string_view(data->constData(), size_t(data->size()))));
      else
        out.appendBytes(std::string_view(data->constData(), size_t(data->size())));
      return;
    }
    default:
      break;
  }
  out.appendBytes(s);
}

std::shared_ptr<RowStore> DbfTable::load(bool withDeleted) {
  std::vector<FieldInfo> fields;
  for (const DbfColumn& c : columns_) fields.push_back(c.info);
  auto rows = std::make_shared<RowStore>(std::move(fields));
  rows->reserve(recordCount_);
  rows->rowKeys().reserve(size_t(recordCount_));
  const int n = int(columns_.size());
  for (int rec = 0; rec < recordCount_; ++rec) {
    const char* raw = record(rec);
    if (isDeleted(raw) && !withDeleted) continue;
    for (int i = 0; i < n; ++i) appendCell(rows->column(i), raw, i, rec);
    rows->commitRow();
    rows->rowKeys().push_back(rec);
  }
  return rows;
}

QVariant DbfTable::value(const char* raw, int column, int rec) {
  ColumnStore one(columns_[size_t(column)].info.type);
  appendCell(one, raw, column, rec);
  return one.value(0);
}

void DbfTable::encode(std::string& raw, int column, const QVariant& input, QByteArray* memoData) const {
  const DbfColumn& c = columns_[size_t(column)];
  const QVariant v = coerceValue(input, c.info.type, c.name);
  char* p = raw.data() + c.offset;
  const bool isNull = !v.isValid();
  auto fill = [&](char ch) { std::memset(p, ch, size_t(c.width)); };
  auto textBytes = [&](const QString& s) { return recordedit::encodeText(codePage_, s, kUpdate, c.name); };
  auto needNullBit = [&]() {
    if (c.nullBit < 0) refuse(c, QStringLiteral("the field cannot hold Null"));
  };
  // A damaged descriptor may give a binary field fewer bytes than its value
  // takes; writing it would overrun into the next field or past the record.
  const int stored = c.type == 'T' || c.type == 'Y' || c.type == 'B' ? 8 : c.type == 'I' ? 4 : 1;
  if (c.width < stored) refuse(c, QStringLiteral("the field is narrower than its type (%1 bytes)").arg(c.width));
  setBit(raw, c.nullBit, isNull);
  switch (c.type) {
    case 'C': case 'V': {
      fill(c.type == 'C' ? ' ' : '\0');
      if (isNull) return;
      const QByteArray b = textBytes(v.toString());
      if (b.size() > c.width) refuse(c, QStringLiteral("it is longer than the field's %1 characters").arg(c.width));
      std::memcpy(p, b.constData(), size_t(b.size()));
      if (c.type == 'V') {
        const bool shorter = b.size() < c.width;
        setBit(raw, c.varLengthBit, shorter);
        if (shorter) p[c.width - 1] = char(b.size());
      }
      return;
    }
    case 'N': case 'F': {
      fill(' ');
      if (isNull) return;
      const QString canon = c.type == 'N' ? v.toString() : QString::number(v.toDouble(), 'f', std::min(c.decimals, 15) + 2);
      if (c.type == 'F' && !std::isfinite(v.toDouble())) refuse(c, QStringLiteral("it is not a finite number"));
      const QString text = roundDecimal(canon, c.decimals);
      if (text.size() > c.width)
        refuse(c, QStringLiteral("the number %1 does not fit its width of %2 with %3 decimals")
                      .arg(text)
                      .arg(c.width)
                      .arg(c.decimals));
      const QByteArray b = text.toLatin1();
      std::memcpy(p + (c.width - b.size()), b.constData(), size_t(b.size()));
      return;
    }
    case 'L':
      p[0] = isNull ? '?' : (v.toBool() ? 'T' : 'F');
      return;
    case 'D': {
      fill(' ');
      if (isNull) return;
      const QDate d = v.toDate();
      if (!d.isValid() || d.year() < 1 || d.year() > 9999 || c.width < 8)
        refuse(c, QStringLiteral("it is not a date between the years 1 and 9999"));
      std::memcpy(p, d.toString(QStringLiteral("yyyyMMdd")).toLatin1().constData(), 8);
      return;
    }
    case 'T': {
      fill('\0');
      if (isNull) return;
      const QDateTime dt = v.toDateTime();
      if (!dt.isValid() || dt.date().year() < 1) refuse(c, QStringLiteral("it is not a date and time"));
      putLe32(p, uint32_t(dt.date().toJulianDay()));
      putLe32(p + 4, uint32_t(dt.time().msecsSinceStartOfDay()));
      return;
    }
    case 'I':
      if (isNull) needNullBit();
      putLe32(p, isNull ? 0u : uint32_t(int32_t(v.toLongLong())));
      return;
    case 'Y': {
      if (isNull) needNullBit();
      const double d = isNull ? 0 : v.toDouble() * 10000.0;
      if (!std::isfinite(d) || std::fabs(d) >= 9.2e18) refuse(c, QStringLiteral("the amount is out of range"));
      putLe64(p, uint64_t(std::llround(d)));
      return;
    }
    case 'B': {
      if (isNull) needNullBit();
      const double d = isNull ? 0 : v.toDouble();
      uint64_t bits;
      std::memcpy(&bits, &d, 8);
      putLe64(p, bits);
      return;
    }
    case 'M': {
      if (!memoData) refuse(c, QStringLiteral("memo fields cannot be written here"));
      if (memoPath_.isEmpty()) refuse(c, QStringLiteral("the table's memo file is missing"));
      *memoData = isNull ? QByteArray() : c.binary ? v.toString().toUtf8() : textBytes(v.toString());
      if (c.info.type == adLongVarBinary) *memoData = v.toByteArray();
      return;
    }
    default:
      refuse(c, QStringLiteral("fields of type %1 cannot be edited").arg(QLatin1Char(c.type)));
  }
}

void DbfTable::setMemoPointer(std::string& raw, int column, uint32_t block) const {
  const DbfColumn& c = columns_[size_t(column)];
  char* p = raw.data() + c.offset;
  if (c.width == 4) {
    putLe32(p, block);
    return;
  }
  std::memset(p, ' ', size_t(c.width));
  if (block == 0) return;
  const QByteArray digits = QByteArray::number(block);
  if (digits.size() <= c.width) std::memcpy(p + (c.width - digits.size()), digits.constData(), size_t(digits.size()));
}

void DbfTable::writeRecord(int rec, const std::string& raw) {
  lastShapelibMessage.clear();
  if (int(raw.size()) != recordLength_ || !DBFWriteTuple(handle_, rec, const_cast<char*>(raw.data())))
    throw Error(err::kProviderFailure, QStringLiteral("XBase.UpdateBatch"),
                QStringLiteral("Record %1 of '%2' could not be written. %3").arg(rec + 1).arg(path_, lastShapelibMessage));
}

void DbfTable::close() {
  if (!handle_) return;
  const QDate today = QDate::currentDate();
  DBFSetLastModifiedDate(handle_, today.year() - 1900, today.month(), today.day());
  lastShapelibMessage.clear();
  DBFClose(handle_);
  handle_ = nullptr;
  if (!lastShapelibMessage.isEmpty())
    throw Error(err::kProviderFailure, QStringLiteral("XBase.UpdateBatch"),
                QStringLiteral("The table file '%1' could not be written: %2").arg(path_, lastShapelibMessage));
}

}  // namespace dataaccess
