#include "textinput.h"

#include "../../error.h"

#include <QFileInfo>
#include <algorithm>

namespace dataaccess::text {

namespace {


// Checks UTF-8 text; `stop` receives the offset of the first bad, zero or
// incomplete sequence.
Utf8Status checkUtf8(const uint8_t* s, size_t n, size_t& stop) {
  size_t i = 0;
  while (i < n) {
    // Eight ASCII bytes at a time, none of them zero.
    while (i + 8 <= n) {
      uint64_t v;
      std::memcpy(&v, s + i, 8);
      if ((v & 0x8080808080808080ULL) || ((v - 0x0101010101010101ULL) & ~v & 0x8080808080808080ULL)) break;
      i += 8;
    }
    if (i >= n) break;
    const uint8_t c = s[i];
    if (c < 0x80) {
      if (c == 0) {
        stop = i;
        return Utf8Status::Zero;
      }
      ++i;
      continue;
    }
    size_t len;
    uint8_t lo = 0x80, hi = 0xBF;  // range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      if (c == 0xE0) lo = 0xA0;
      if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      if (c == 0xF0) lo = 0x90;
      if (c == 0xF4) hi = 0x8F;
    } else {
      stop = i;
      return Utf8Status::Invalid;
    }
    for (size_t k = 1; k < len; ++k) {
      if (i + k >= n) {
        stop = i;
        return Utf8Status::Incomplete;
      }
      const uint8_t b = s[i + k];
      if (k == 1 ? (b < lo || b > hi) : (b < 0x80 || b > 0xBF)) {
        stop = i;
        return Utf8Status::Invalid;
      }
    }
    i += len;
  }
  stop = n;
  return Utf8Status::Ok;
}

// Line breaks (LF, CRLF, lone CR) in a stretch of text; `pendingCR` carries
// a CR at the end of one stretch over to the next.
int64_t countLineBreaks(const char* p, size_t n, bool& pendingCR) {
  int64_t lines = 0;
  for (size_t i = 0; i < n; ++i) {
    const char c = p[i];
    if (c == '\n') {
      if (!pendingCR) ++lines;
      pendingCR = false;
    } else {
      if (pendingCR) pendingCR = false;
      if (c == '\r') {
        ++lines;
        pendingCR = true;
      }
    }
  }
  return lines;
}

bool namesAnsi(const QString& characterSet) {
  const QString cs = characterSet.trimmed();
  return cs.isEmpty() || cs.compare(QLatin1String("ANSI"), Qt::CaseInsensitive) == 0;
}

}  // namespace

void textReadError(const QString& description) {
  throw Error(err::kProviderFailure, QStringLiteral("TextProvider.Read"), description);
}

TextInput::TextInput(const QString& path, const TextSchema& schema, bool windows1252) : file_(path), path_(path) {
  // Reads go straight into the parse buffer, in chunks of megabytes.
  if (!file_.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
    textReadError(QStringLiteral("The file '%1' could not be read: %2").arg(path, file_.errorString()));
  const QByteArray head = file_.peek(3);
  QString name;
  int bom = 0;
  if (head.startsWith("\xEF\xBB\xBF")) {
    name = QStringLiteral("UTF-8");
    bom = 3;
  } else if (head.startsWith("\xFF\xFE")) {
    name = QStringLiteral("UTF-16LE");
    bom = 2;
  } else if (head.startsWith("\xFE\xFF")) {
    name = QStringLiteral("UTF-16BE");
    bom = 2;
  } else if (windows1252) {
    name = QStringLiteral("windows-1252");
  } else {
    name = decoderNameFor(schema.characterSet);
    if (name.isEmpty())
      textReadError(
          QStringLiteral("The character set '%1' of the file '%2' is not known.").arg(schema.characterSet, path));
  }
  label_ = name.compare(schema.characterSet, Qt::CaseInsensitive) == 0 || bom
               ? name
               : QStringLiteral("%1 (%2)").arg(schema.characterSet, name);
  if (bom) file_.skip(bom);
  rawOffset_ = bom;
  utf8_ = name.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) == 0 ||
          name.compare(QLatin1String("UTF8"), Qt::CaseInsensitive) == 0;
  // ANSI names the locale's character set; a file that is not valid UTF-8
  // under a UTF-8 locale is Windows-1252 text, as Windows would read it.
  ansiMayBeWindows1252_ = utf8_ && !bom && namesAnsi(schema.characterSet);
  if (!utf8_) {
    if (std::optional<CodePage> page = CodePage::byName(name); page && page->isSingleByte())
      page_ = std::move(page);
    else
      decoder_.emplace(name.toLatin1().constData());
  }
}

bool TextInput::fillUtf8(ByteBuffer& buf, size_t want) {
  char* dst = buf.room(carry_.size() + want);
  std::memcpy(dst, carry_.data(), carry_.size());
  const size_t carried = carry_.size();
  carry_.clear();
  const qint64 got = file_.read(dst + carried, qint64(want));
  if (got < 0) textReadError(QStringLiteral("The file '%1' could not be read: %2").arg(path_, file_.errorString()));
  const size_t total = carried + size_t(got);
  size_t stop = 0;
  switch (checkUtf8(reinterpret_cast<const uint8_t*>(dst), total, stop)) {
    case Utf8Status::Ok:
      break;
    case Utf8Status::Incomplete:
      if (got == 0 && ansiMayBeWindows1252_) throw NotUtf8{};
      if (got == 0) badBytes(lineAtRawOffset(rawOffset_ + int64_t(stop)));
      carry_.assign(dst + stop, total - stop);
      break;
    case Utf8Status::Invalid:
      if (ansiMayBeWindows1252_) throw NotUtf8{};
      badBytes(lineAtRawOffset(rawOffset_ + int64_t(stop)));
    case Utf8Status::Zero:
      binary(lineAtRawOffset(rawOffset_ + int64_t(stop)));
  }
  buf.size += stop;
  rawOffset_ += int64_t(stop);
  return got > 0;
}

bool TextInput::fillDecoded(ByteBuffer& buf, size_t want) {
  raw_.resize(want);
  const qint64 got = file_.read(raw_.data(), qint64(want));
  if (got < 0) textReadError(QStringLiteral("The file '%1' could not be read: %2").arg(path_, file_.errorString()));
  if (got == 0) return false;
  const QString text = page_ ? page_->decode(std::string_view(raw_.data(), size_t(got)))
                             : (*decoder_)(QByteArrayView(raw_.data(), got));
  const bool bad = !page_ && decoder_->hasError();
  const qsizetype zero = text.indexOf(QChar(0));
  if (bad || zero >= 0) {
    const qsizetype at = bad ? text.indexOf(QChar(0xFFFD)) : zero;
    const QByteArray before = QStringView(text).left(at < 0 ? text.size() : at).toUtf8();
    bool cr = pendingCR_;
    const int64_t line = lines_ + countLineBreaks(before.constData(), size_t(before.size()), cr) + 1;
    if (bad) badBytes(line);
    binary(line);
  }
  const QByteArray utf8 = text.toUtf8();
  // A read that ends inside a character decodes to nothing yet.
  if (utf8.isEmpty()) return true;
  lines_ += countLineBreaks(utf8.constData(), size_t(utf8.size()), pendingCR_);
  std::memcpy(buf.room(size_t(utf8.size())), utf8.constData(), size_t(utf8.size()));
  buf.size += size_t(utf8.size());
  return true;
}

int64_t TextInput::lineAtRawOffset(int64_t offset) const {
  QFile f(path_);
  if (!f.open(QIODevice::ReadOnly)) return 0;
  std::vector<char> chunk(1 << 20);
  int64_t lines = 1, done = 0;
  bool cr = false;
  while (done < offset) {
    const qint64 got = f.read(chunk.data(), std::min<qint64>(qint64(chunk.size()), offset - done));
    if (got <= 0) break;
    lines += countLineBreaks(chunk.data(), size_t(got), cr);
    done += got;
  }
  return lines;
}

void TextInput::badBytes(int64_t line) const {
  textReadError(QStringLiteral("The file '%1' is not valid %2 text: line %3 holds bytes that this character set does "
                           "not define. If the file uses another character set, name it in the file's section of "
                           "SCHEMA.INI, for example CharacterSet=1251 or CharacterSet=UNICODE.")
                .arg(QFileInfo(path_).fileName(), label_)
                .arg(line));
}

void TextInput::binary(int64_t line) const {
  textReadError(QStringLiteral("The file '%1' holds binary data (a zero byte on line %2) and cannot be read as %3 "
                           "text. If it is UTF-16 text, set CharacterSet=UNICODE in the file's section of "
                           "SCHEMA.INI.")
                .arg(QFileInfo(path_).fileName())
                .arg(line)
                .arg(label_));
}

}  // namespace dataaccess::text
