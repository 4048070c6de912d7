#include "stream.h"

#include "error.h"
#include "filewrite.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace dataaccess {

namespace {

bool isUtf16Name(const QString& c) {
  return c.compare(QLatin1String("Unicode"), Qt::CaseInsensitive) == 0 ||
         c.compare(QLatin1String("UTF-16"), Qt::CaseInsensitive) == 0 ||
         c.compare(QLatin1String("UTF-16LE"), Qt::CaseInsensitive) == 0;
}

}  // namespace

void Stream::requireOpen(const char* what) const {
  if (!open_)
    throw Error(err::kObjectClosed, QStringLiteral("Stream.%1").arg(QLatin1String(what)),
                QStringLiteral("Operation is not allowed when the object is closed."));
}

void Stream::setType(StreamTypeEnum t) {
  if (open_ && position_ != 0 && t != type_)
    throw Error(err::kInvalidArgument, QStringLiteral("Stream.Type"),
                QStringLiteral("Operation is not allowed in this context: the position must be 0."));
  type_ = t;
}

void Stream::setCharset(const QString& charset) { charset_ = charset; }

void Stream::Open() {
  buffer_.clear();
  position_ = 0;
  open_ = true;
}

void Stream::Close() {
  open_ = false;
  buffer_.clear();
  position_ = 0;
}

void Stream::setPosition(int64_t p) {
  if (p < 0 || p > buffer_.size())
    throw Error(err::kInvalidArgument, QStringLiteral("Stream.Position"),
                QStringLiteral("Arguments are of the wrong type, are out of acceptable range, or are in conflict with one another."));
  position_ = p;
}

void Stream::SetEOS() { buffer_.truncate(qsizetype(position_)); }

void Stream::Write(const QByteArray& bytes) {
  requireOpen("Write");
  if (position_ == buffer_.size()) {
    buffer_.append(bytes);
  } else {
    buffer_.replace(qsizetype(position_), std::min<qsizetype>(bytes.size(), buffer_.size() - position_), bytes);
  }
  position_ += bytes.size();
}

QByteArray Stream::Read(int64_t count) {
  requireOpen("Read");
  const int64_t left = buffer_.size() - position_;
  const int64_t n = count < 0 ? left : std::min(count, left);
  QByteArray out = buffer_.mid(qsizetype(position_), qsizetype(n));
  position_ += n;
  return out;
}

void Stream::WriteText(const QString& text) {
  requireOpen("WriteText");
  QByteArray bytes;
  if (isUtf16Name(charset_)) {
    if (position_ == 0 && charset_.compare(QLatin1String("Unicode"), Qt::CaseInsensitive) == 0) bytes = "\xFF\xFE";
    bytes += QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
  } else {
    QStringEncoder enc(charset_.toLatin1().constData());
    if (!enc.isValid()) enc = QStringEncoder(QStringEncoder::Utf8);
    bytes = enc.encode(text);
  }
  const StreamTypeEnum keep = type_;
  type_ = adTypeBinary;
  Write(bytes);
  type_ = keep;
}

QString Stream::ReadText(int64_t chars) {
  requireOpen("ReadText");
  QByteArray bytes = buffer_.mid(qsizetype(position_));
  QString text;
  if (bytes.startsWith("\xFF\xFE")) {
    text = QStringDecoder(QStringDecoder::Utf16LE).decode(bytes.mid(2));
  } else if (bytes.startsWith("\xFE\xFF")) {
    text = QStringDecoder(QStringDecoder::Utf16BE).decode(bytes.mid(2));
  } else if (bytes.startsWith("\xEF\xBB\xBF")) {
    text = QStringDecoder(QStringDecoder::Utf8).decode(bytes.mid(3));
  } else if (isUtf16Name(charset_)) {
    text = QStringDecoder(QStringDecoder::Utf16LE).decode(bytes);
  } else {
    QStringDecoder dec(charset_.toLatin1().constData());
    if (!dec.isValid()) dec = QStringDecoder(QStringDecoder::Utf8);
    text = dec.decode(bytes);
  }
  if (chars >= 0 && chars < text.size()) {
    text.truncate(qsizetype(chars));
    // Only whole reads move to the end; partial text reads keep it simple.
  }
  position_ = buffer_.size();
  return text;
}

void Stream::SaveToFile(const QString& path) const { writeFileAtomically(path, buffer_, QStringLiteral("Stream.SaveToFile")); }

void Stream::LoadFromFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly))
    throw Error(err::kProviderFailure, QStringLiteral("Stream.LoadFromFile"),
                QStringLiteral("File could not be opened: '%1'.").arg(path));
  buffer_ = f.readAll();
  position_ = 0;
  open_ = true;
}

}  // namespace dataaccess
