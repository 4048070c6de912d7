#include "rowsettext.h"

namespace quillon {

namespace {

void appendUtf8(QByteArray& out, char32_t c) {
  if (c < 0x80) {
    out.append(char(c));
  } else if (c < 0x800) {
    out.append(char(0xC0 | (c >> 6)));
    out.append(char(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.append(char(0xE0 | (c >> 12)));
    out.append(char(0x80 | ((c >> 6) & 0x3F)));
    out.append(char(0x80 | (c & 0x3F)));
  } else {
    out.append(char(0xF0 | (c >> 18)));
    out.append(char(0x80 | ((c >> 12) & 0x3F)));
    out.append(char(0x80 | ((c >> 6) & 0x3F)));
    out.append(char(0x80 | (c & 0x3F)));
  }
}

bool isHexDigit(char16_t c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

int hexValue(char16_t c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; }

// When text[i..] is a character reference "&#N;" or "&#xH;" whose character
// must go, returns its length; otherwise 0.
qsizetype droppedReferenceLength(const char16_t* text, qsizetype i, qsizetype n) {
  if (i + 3 >= n || text[i + 1] != '#') return 0;
  qsizetype j = i + 2;
  const bool hex = text[j] == 'x';
  if (hex) ++j;
  const qsizetype digitsStart = j;
  char32_t value = 0;
  while (j < n && (hex ? isHexDigit(text[j]) : (text[j] >= '0' && text[j] <= '9'))) {
    value = value * (hex ? 16 : 10) + char32_t(hex ? hexValue(text[j]) : text[j] - '0');
    if (value > 0x10FFFF) value = 0x110000;  // stays out of range, never wraps
    ++j;
  }
  if (j == digitsStart || j >= n || text[j] != ';') return 0;
  const bool drop = value <= 9 || !isXmlChar(value);
  return drop ? j - i + 1 : 0;
}

}  // namespace

QByteArray cleanPersistedText(const QString& text) {
  const char16_t* s = reinterpret_cast<const char16_t*>(text.utf16());
  const qsizetype n = text.size();
  QByteArray out;
  out.reserve(n + n / 8);
  for (qsizetype i = 0; i < n; ++i) {
    char32_t c = s[i];
    if (c < 0x80) {
      if (c <= 9) continue;
      if (c == '&') {
        if (const qsizetype skip = droppedReferenceLength(s, i, n)) {
          i += skip - 1;
          continue;
        }
      }
      if (!isXmlChar(c)) continue;
      out.append(char(c));
      continue;
    }
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
        ++i;
      } else {
        continue;  // unpaired high surrogate
      }
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      continue;  // unpaired low surrogate
    }
    if (!isXmlChar(c)) continue;
    appendUtf8(out, c);
  }
  return out;
}

QString withoutNonXmlCharacters(const QString& text) {
  QString out;
  out.reserve(text.size());
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    const QChar c = text[i];
    if (c.isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate()) {
      out.append(c).append(text[i + 1]);
      ++i;
    } else if (!c.isSurrogate() && isXmlChar(c.unicode())) {
      out.append(c);
    }
  }
  return out;
}

bool isXmlEncodingName(const QString& name) {
  if (name.isEmpty()) return false;
  for (qsizetype i = 0; i < name.size(); ++i) {
    const char16_t c = name[i].unicode();
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    const bool other = (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
    if (!(letter || (i > 0 && other))) return false;
  }
  return true;
}

QString xmlDeclarationLine(const QString& encoding) {
  QString line = QStringLiteral("<?xml version=\"1.0\" ");
  if (!encoding.isEmpty()) line += QStringLiteral("encoding=\"") + encoding + QStringLiteral("\" ?>");
  else line += QStringLiteral("?>");
  return line + QStringLiteral("\r\n");
}

}  // namespace quillon
