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
  return encode(QString::fromUtf8(utf8));
}

QByteArray encodeXmlText(const QString& text) { return XmlTextEncoder(declaredEncoding(text)).encode(text); }

void writeXmlTextFile(const QString& path, const QString& text) {
  dataaccess::writeFileAtomically(path, encodeXmlText(text), QStringLiteral("Quillon.writeXmlTextFile"));
}

}  // namespace quillon
