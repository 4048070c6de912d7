// An in-memory stream of bytes that can be read and written as binary data
// or as text in a named character set. Recordsets save themselves into one;
// the converter reads the text back.
#pragma once

#include "adtypes.h"

#include <QByteArray>
#include <QString>

namespace dataaccess {

class Stream {
 public:
  Stream() = default;

  StreamTypeEnum Type() const { return type_; }
  // REQUIRES: Position() == 0 when switching between binary and text (as
  // the classic stream insists).
  void setType(StreamTypeEnum t);
  // "Unicode" (the default, UTF-16LE with a byte-order mark), "UTF-16",
  // "UTF-8", "windows-1251", or any name QStringDecoder or ICU knows.
  const QString& Charset() const { return charset_; }
  void setCharset(const QString& charset);

  void Open();
  void Close();
  ObjectStateEnum State() const { return open_ ? adStateOpen : adStateClosed; }

  int64_t Size() const { return buffer_.size(); }
  int64_t Position() const { return position_; }
  void setPosition(int64_t p);
  void SetEOS();  // cuts the stream at the current position
  void Flush() {}

  // Binary access. REQUIRES: open, Type() == adTypeBinary.
  void Write(const QByteArray& bytes);
  QByteArray Read(int64_t count = -1);

  // Text access. REQUIRES: open, Type() == adTypeText. Reading starts at
  // the position; a byte-order mark at the start is skipped.
  void WriteText(const QString& text);
  QString ReadText(int64_t chars = -1);

  void SaveToFile(const QString& path) const;
  void LoadFromFile(const QString& path);

  // The bytes held, whatever the type.
  const QByteArray& bytes() const { return buffer_; }

 private:
  void requireOpen(const char* what) const;

  StreamTypeEnum type_ = adTypeText;
  QString charset_ = QStringLiteral("Unicode");
  QByteArray buffer_;
  int64_t position_ = 0;
  bool open_ = false;
};

}  // namespace dataaccess
