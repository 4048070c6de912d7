#include "xmltextfile.h"

#include "dataaccess/error.h"
#include "dataaccess/filewrite.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>

namespace quillon {

// Whether single characters survive a round trip through one encoding.
class Encodability {
 public:
  explicit Encodability(const QByteArray& name) : name_(name) {}
  bool canEncode(char32_t c) {
    const auto known = cache_.constFind(c);
    if (known != cache_.constEnd()) return known.value();
    const QString s = QString::fromUcs4(&c, 1);
    QStringEncoder enc(name_.constData());
    const QByteArray bytes = enc.encode(s);
    QStringDecoder dec(name_.constData());
    const QString back = dec.decode(bytes);
    const bool ok = !enc.hasError() && !dec.hasError() && back == s;
    cache_.insert(c, ok);
    return ok;
  }

 private:
  QByteArray name_;
  QHash<char32_t, bool> cache_;
};

// For an encoding that writes every character as one byte and ASCII as
// itself (the windows-125x, ISO-8859 and KOI8 families, code pages such as
// 866): the byte of each character it holds, so that UTF-8 text can be
// encoded in one pass with no detour through UTF-16. A character is listed
// only when Encodability would accept it (it comes back from its byte).
class SingleByteMap {
 public:
  // Null when the encoding is not such a one.
  static std::unique_ptr<SingleByteMap> probe(const QByteArray& name) {
    auto map = std::unique_ptr<SingleByteMap>(new SingleByteMap);
    {
      QByteArray ascii(128, Qt::Uninitialized);
      for (int b = 0; b < 128; ++b) ascii[b] = char(b);
      QStringEncoder enc(name.constData());
      if (enc.encode(QString::fromLatin1(ascii)) != ascii || enc.hasError()) return nullptr;
      QStringDecoder dec(name.constData());
      if (dec.decode(ascii) != QString::fromLatin1(ascii) || dec.hasError()) return nullptr;
    }
    int held = 0;
    for (int b = 0x80; b < 0x100; ++b) {
      // A byte that starts a longer sequence marks a multi-byte encoding.
      for (const char next : {'A', '0', '\xA1'}) {
        QStringDecoder pair(name.constData());
        const char two[2] = {char(b), next};
        if (QString(pair.decode(QByteArrayView(two, 2))).size() < 2) return nullptr;
      }
      QStringDecoder dec(name.constData());
      const char one = char(b);
      const QString s = dec.decode(QByteArrayView(&one, 1));
      if (dec.hasError() || s.size() != 1 || s[0].isSurrogate() || s[0] == QChar::ReplacementCharacter) continue;
      QStringEncoder enc(name.constData());
      const QByteArray back = enc.encode(s);
      if (enc.hasError() || back.size() != 1 || uchar(back[0]) != b) continue;
      map->bytes_[s[0].unicode()] = uchar(b);
      ++held;
    }
    // Too few characters of its own for a real single-byte character set.
    if (held < 64) return nullptr;
    return map;
  }

  // The byte for `c` (not ASCII), or 0 when the encoding cannot hold it.
  uchar byteFor(char32_t c) const { return c < 0x10000 ? bytes_[c] : 0; }

 private:
  SingleByteMap() : bytes_(0x10000, 0) {}
  std::vector<uchar> bytes_;
};

namespace {

const QString kSource = QStringLiteral("Quillon.encodeXmlText");

[[noreturn]] void raise(const QString& description) { throw dataaccess::Error(kErrEncoding, kSource, description); }

// Replaces every character the encoding cannot hold by a character
// reference where XML allows one (content, attribute values). Returns the
// text unchanged (no copy) when nothing needs replacing. `scan` carries
// where the previous piece of the same document ended.
QString withReferences(QStringView text, const QString& encodingName, Encodability& encodability,
                       XmlTextEncoder::Scan& scan) {
  using Region = XmlTextEncoder::Region;
  QString out;
  bool copying = false;
  qsizetype copiedTo = 0;  // text before this index is in `out` (when copying)
  Region& region = scan.region;
  char16_t& quote = scan.quote;
  QString& opaqueEnd = scan.opaqueEnd;  // terminator of a comment, CDATA section or PI
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t c = text[i].unicode();
    switch (region) {
      case Region::Content:
        if (c == '<') {
          const QStringView rest = text.mid(i);
          if (rest.startsWith(u"<!--")) opaqueEnd = QStringLiteral("-->");
          else if (rest.startsWith(u"<![CDATA[")) opaqueEnd = QStringLiteral("]]>");
          else if (rest.startsWith(u"<?")) opaqueEnd = QStringLiteral("?>");
          else opaqueEnd.clear();
          region = opaqueEnd.isEmpty() ? Region::Tag : Region::Opaque;
        }
        break;
      case Region::Tag:
        if (c == '"' || c == '\'') {
          quote = c;
          region = Region::AttributeValue;
        } else if (c == '>') {
          region = Region::Content;
        }
        break;
      case Region::AttributeValue:
        if (c == quote) region = Region::Tag;
        break;
      case Region::Opaque:
        if (c == opaqueEnd.back().unicode() && text.left(i + 1).endsWith(opaqueEnd)) region = Region::Content;
        break;
    }
    char32_t code = c;
    qsizetype width = 1;
    if (QChar::isHighSurrogate(c) && i + 1 < n && text[i + 1].isLowSurrogate()) {
      code = QChar::surrogateToUcs4(c, text[i + 1].unicode());
      width = 2;
    }
    const bool encodable = code < 0x80 || encodability.canEncode(code);
    if (!encodable) {
      const QString hex = QString::number(uint(code), 16).toUpper();
      if (region != Region::Content && region != Region::AttributeValue)
        raise(QStringLiteral("The character U+%1 cannot be written in the encoding '%2' at this place of the "
                             "document.")
                  .arg(hex.rightJustified(4, QLatin1Char('0')), encodingName));
      if (!copying) {
        out.reserve(n + 64);
        copying = true;
      }
      out.append(text.mid(copiedTo, i - copiedTo));
      out += QStringLiteral("&#x") + hex + QLatin1Char(';');
      copiedTo = i + width;
    }
    i += width - 1;
  }
  if (!copying) return text.toString();
  out.append(text.mid(copiedTo));
  return out;
}

// One UTF-8 character starting at `p` (not ASCII), checked as strictly as
// QString::fromUtf8 checks it; 0 for a sequence it would replace.
char32_t decodeUtf8(const uchar* p, const uchar* end, int& width) {
  const uchar c = p[0];
  const auto cont = [&](int k) { return p + k < end && (p[k] & 0xC0) == 0x80; };
  if (c >= 0xC2 && c <= 0xDF && cont(1)) {
    width = 2;
    return char32_t(c & 0x1F) << 6 | (p[1] & 0x3F);
  }
  if (c >= 0xE0 && c <= 0xEF && cont(1) && cont(2)) {
    const char32_t code = char32_t(c & 0x0F) << 12 | char32_t(p[1] & 0x3F) << 6 | (p[2] & 0x3F);
    if (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    width = 3;
    return code;
  }
  if (c >= 0xF0 && c <= 0xF4 && cont(1) && cont(2) && cont(3)) {
    const char32_t code =
        char32_t(c & 0x07) << 18 | char32_t(p[1] & 0x3F) << 12 | char32_t(p[2] & 0x3F) << 6 | (p[3] & 0x3F);
    if (code < 0x10000 || code > 0x10FFFF) return 0;
    width = 4;
    return code;
  }
  return 0;
}

// What withReferences and the encoder give for `utf8`: the same bytes and
// the same scan state. A character the encoding cannot hold becomes a
// character reference in text and attribute values. Returns false (and
// leaves `scan` part-way) for what the general path must handle: such a
// character elsewhere (an error), text that is not clean UTF-8, or a
// character the table lacks that the encoding holds after all.
bool encodeSingleByte(const QByteArray& utf8, const SingleByteMap& map, Encodability& encodability,
                      XmlTextEncoder::Scan& scan, QByteArray& out) {
  using Region = XmlTextEncoder::Region;
  const uchar* const begin = reinterpret_cast<const uchar*>(utf8.constData());
  const uchar* const end = begin + utf8.size();
  if (utf8.startsWith("\xEF\xBB\xBF")) return false;  // a byte-order mark: leave it to the decoder
  out.resize(utf8.size());
  char* w = out.data();
  Region& region = scan.region;
  for (const uchar* p = begin; p < end;) {
    const uchar c = *p;
    if (c >= 0x80) {
      int width = 0;
      const char32_t code = decodeUtf8(p, end, width);
      if (!code) return false;
      const uchar b = map.byteFor(code);
      p += width;
      if (b) {
        *w++ = char(b);
        continue;
      }
      if ((region != Region::Content && region != Region::AttributeValue) || encodability.canEncode(code)) return false;
      // "&#x" and up to six hex digits and ";" in place of two to four bytes.
      const qsizetype at = w - out.constData();
      out.resize(out.size() + 8);
      w = out.data() + at;
      const QByteArray hex = QByteArray::number(uint(code), 16).toUpper();
      *w++ = '&', *w++ = '#', *w++ = 'x';
      for (const char h : hex) *w++ = h;
      *w++ = ';';
      continue;
    }
    switch (region) {
      case Region::Content:
        if (c == '<' && p + 1 < end && (p[1] == '!' || p[1] == '?')) {
          const QByteArrayView rest(p, end - p);
          QString& opaqueEnd = scan.opaqueEnd;
          if (rest.startsWith("<!--")) opaqueEnd = QStringLiteral("-->");
          else if (rest.startsWith("<![CDATA[")) opaqueEnd = QStringLiteral("]]>");
          else if (rest.startsWith("<?")) opaqueEnd = QStringLiteral("?>");
          else opaqueEnd.clear();
          region = opaqueEnd.isEmpty() ? Region::Tag : Region::Opaque;
        } else if (c == '<') {
          scan.opaqueEnd.clear();
          region = Region::Tag;
        }
        break;
      case Region::Tag:
        if (c == '"' || c == '\'') {
          scan.quote = c;
          region = Region::AttributeValue;
        } else if (c == '>') {
          region = Region::Content;
        }
        break;
      case Region::AttributeValue:
        if (c == scan.quote) region = Region::Tag;
        break;
      case Region::Opaque: {
        const QByteArray marker = scan.opaqueEnd.toLatin1();
        if (c == uchar(marker.back()) && QByteArrayView(begin, p + 1 - begin).endsWith(marker)) region = Region::Content;
        break;
      }
    }
    *w++ = char(c);
    ++p;
  }
  out.truncate(w - out.constData());
  return true;
}

}  // namespace

QString declaredEncoding(const QString& text) {
  if (!text.startsWith(QLatin1String("<?xml"))) return QString();
  const qsizetype end = text.indexOf(QLatin1String("?>"));
  if (end < 0) return QString();
  static const QRegularExpression re(QStringLiteral("\\sencoding\\s*=\\s*([\"'])([^\"']*)\\1"));
  const QRegularExpressionMatch m = re.match(QStringView(text).left(end));
  return m.hasMatch() ? m.captured(2) : QString();
}

XmlTextEncoder::XmlTextEncoder(const QString& encodingName) : name_(encodingName) {
  if (name_.isEmpty()) {
    utf8_ = true;
    return;
  }
  const QByteArray latin = name_.toLatin1();
  QStringEncoder probe(latin.constData());
  if (!probe.isValid()) raise(QStringLiteral("The encoding '%1' is not known.").arg(name_));
  const auto unicode = QStringConverter::encodingForName(latin.constData());
  const bool isUnicode = unicode && *unicode != QStringConverter::Latin1 && *unicode != QStringConverter::System;
  if (isUnicode) {
    // A byte-order mark only where the name leaves the byte order open.
    const bool bom = name_.compare(QLatin1String("UTF-16"), Qt::CaseInsensitive) == 0 ||
                     name_.compare(QLatin1String("UTF-32"), Qt::CaseInsensitive) == 0;
    utf8_ = *unicode == QStringConverter::Utf8 && !bom;
    encoder_ = QStringEncoder(*unicode, bom ? QStringConverter::Flag::WriteBom : QStringConverter::Flag::Default);
    return;
  }
  encodability_ = std::make_unique<Encodability>(latin);
  encoder_ = QStringEncoder(latin.constData());
}

XmlTextEncoder::~XmlTextEncoder() = default;

QByteArray XmlTextEncoder::encode(QStringView text) {
  if (utf8_) return text.toUtf8();
  if (!encodability_) return encoder_.encode(text);
  const QString safe = withReferences(text, name_, *encodability_, scan_);
  QByteArray bytes = encoder_.encode(safe);
  if (encoder_.hasError()) raise(QStringLiteral("The text could not be written in the encoding '%1'.").arg(name_));
  return bytes;
}

QByteArray XmlTextEncoder::encodeUtf8(const QByteArray& utf8) {
  if (utf8_) return utf8;
  // Large pieces in a single-byte encoding skip the detour through UTF-16
  // (the table is built once, on the first such piece).
  if (encodability_ && utf8.size() >= 4096) {
    if (!singleByteProbed_) {
      singleByte_ = SingleByteMap::probe(name_.toLatin1());
      singleByteProbed_ = true;
    }
    if (singleByte_) {
      const Scan before = scan_;
      QByteArray bytes;
      if (encodeSingleByte(utf8, *singleByte_, *encodability_, scan_, bytes)) return bytes;
      scan_ = before;
    }
  }
  return encode(QString::fromUtf8(utf8));
}

QByteArray encodeXmlText(const QString& text) { return XmlTextEncoder(declaredEncoding(text)).encode(text); }

void writeXmlTextFile(const QString& path, const QString& text) {
  dataaccess::writeFileAtomically(path, encodeXmlText(text), QStringLiteral("Quillon.writeXmlTextFile"));
}

}  // namespace quillon
