#include "xmltextfile.h"

#include "dataaccess/error.h"
#include "dataaccess/filewrite.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>

namespace quillon {

namespace {

const QString kSource = QStringLiteral("Quillon.encodeXmlText");

[[noreturn]] void raise(const QString& description) { throw dataaccess::Error(kErrEncoding, kSource, description); }

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

enum class Region { Content, Tag, AttributeValue, Opaque };

// Replaces every character the encoding cannot hold by a character
// reference where XML allows one (content, attribute values). Returns the
// text unchanged (no copy) when nothing needs replacing.
QString withReferences(const QString& text, const QString& encodingName, Encodability& encodability) {
  QString out;
  bool copying = false;
  Region region = Region::Content;
  char16_t quote = 0;
  QString opaqueEnd;  // terminator of a comment, CDATA section or PI
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t c = text[i].unicode();
    switch (region) {
      case Region::Content:
        if (c == '<') {
          const QStringView rest = QStringView(text).mid(i);
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
        if (c == opaqueEnd.back().unicode() && QStringView(text).left(i + 1).endsWith(opaqueEnd))
          region = Region::Content;
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
        out.append(QStringView(text).left(i));
        copying = true;
      }
      out += QStringLiteral("&#x") + hex + QLatin1Char(';');
    } else if (copying) {
      out.append(QStringView(text).mid(i, width));
    }
    i += width - 1;
  }
  return copying ? out : text;
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

QByteArray encodeXmlText(const QString& text) {
  QString name = declaredEncoding(text);
  if (name.isEmpty()) return text.toUtf8();
  const QByteArray latin = name.toLatin1();
  QStringEncoder probe(latin.constData());
  if (!probe.isValid()) raise(QStringLiteral("The encoding '%1' is not known.").arg(name));
  const auto unicode = QStringConverter::encodingForName(latin.constData());
  const bool isUnicode = unicode && *unicode != QStringConverter::Latin1 && *unicode != QStringConverter::System;
  if (isUnicode) {
    // A byte-order mark only where the name leaves the byte order open.
    const bool bom = name.compare(QLatin1String("UTF-16"), Qt::CaseInsensitive) == 0 ||
                     name.compare(QLatin1String("UTF-32"), Qt::CaseInsensitive) == 0;
    QStringEncoder enc(*unicode, bom ? QStringConverter::Flag::WriteBom : QStringConverter::Flag::Default);
    return enc.encode(text);
  }
  Encodability encodability(latin);
  const QString safe = withReferences(text, name, encodability);
  QStringEncoder enc(latin.constData());
  QByteArray bytes = enc.encode(safe);
  if (enc.hasError()) raise(QStringLiteral("The text could not be written in the encoding '%1'.").arg(name));
  return bytes;
}

void writeXmlTextFile(const QString& path, const QString& text) {
  dataaccess::writeFileAtomically(path, encodeXmlText(text), QStringLiteral("Quillon.writeXmlTextFile"));
}

}  // namespace quillon
