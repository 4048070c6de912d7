// The text of a delimited file as validated UTF-8, read a chunk at a time
// (textreader.cpp): TextInput decodes the file's character set on the way
// (a byte-order mark, the SCHEMA.INI CharacterSet, or Windows-1252 when a
// file read as ANSI turns out not to be UTF-8) and stops at a bad or zero
// byte with a numbered error naming its line; ReadAhead reads the next chunk
// on its own thread while the reader splits the last one into records.
#pragma once

#include "../../codepage.h"
#include "schemaini.h"

#include <QFile>
#include <QString>
#include <QStringDecoder>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace dataaccess::text {

// The reader's failures: a numbered provider error with `description`.
[[noreturn]] void textReadError(const QString& description);

// A growable byte buffer that is never zero-filled.
struct ByteBuffer {
  std::unique_ptr<char[]> data;
  size_t size = 0;
  size_t capacity = 0;

  char* room(size_t extra) {
    if (size + extra > capacity) {
      const size_t cap = std::max(size + extra, capacity + capacity / 2);
      std::unique_ptr<char[]> grown(new char[cap]);
      if (size) std::memcpy(grown.get(), data.get(), size);
      data = std::move(grown);
      capacity = cap;
    }
    return data.get() + size;
  }
  void consume(size_t n) {
    if (n == 0) return;
    std::memmove(data.get(), data.get() + n, size - n);
    size -= n;
  }
};

enum class Utf8Status { Ok, Incomplete, Invalid, Zero };

// Raised when a file read as ANSI under a UTF-8 locale turns out not to be
// UTF-8: the read starts again in Windows-1252.
struct NotUtf8 {};

// Supplies the file's text as validated UTF-8, chunk by chunk.
class TextInput {
 public:
  // `windows1252`: read the file (unless it has a byte-order mark) as
  // Windows-1252, every byte a character.
  TextInput(const QString& path, const TextSchema& schema, bool windows1252);

  // Appends about `want` more bytes of UTF-8 text to `buf`. Returns false
  // when the file has no more text.
  bool fill(ByteBuffer& buf, size_t want) { return utf8_ ? fillUtf8(buf, want) : fillDecoded(buf, want); }

  // Bytes of the file read so far, and its size.
  int64_t bytesRead() const { return file_.pos(); }
  int64_t fileSize() const { return file_.size(); }

 private:
  // fill() for a UTF-8 file, checked as it is read (a sequence cut by the
  // chunk's end waits for the next), and for any other, decoded to UTF-8.
  bool fillUtf8(ByteBuffer& buf, size_t want);
  bool fillDecoded(ByteBuffer& buf, size_t want);

  // The 1-based line of a byte of the file, found by reading it again (only
  // when reporting an error).
  int64_t lineAtRawOffset(int64_t offset) const;

  // The numbered errors for bytes the character set does not define and for
  // a zero byte, naming the file and the line.
  [[noreturn]] void badBytes(int64_t line) const;
  [[noreturn]] void binary(int64_t line) const;

  QFile file_;
  QString path_;
  QString label_;
  bool utf8_ = true;
  bool ansiMayBeWindows1252_ = false;
  std::optional<CodePage> page_;  // single-byte pages: every byte a character
  std::optional<QStringDecoder> decoder_;
  std::string carry_;        // an incomplete UTF-8 sequence at a chunk's end
  int64_t rawOffset_ = 0;    // file offset of the first byte not yet handed out
  std::vector<char> raw_;
  int64_t lines_ = 0;        // line breaks handed out (decoded files)
  bool pendingCR_ = false;
};

// Reads the next chunk of text on its own thread while the records of the
// current one are split, so that reading and checking the file does not
// leave both cores waiting. One read is under way at a time, in file order;
// its failure is raised when its text is taken.
class ReadAhead {
 public:
  explicit ReadAhead(TextInput& input) : input_(input) {}
  ~ReadAhead() {
    if (thread_.joinable()) thread_.join();
  }
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  void start(size_t want) {
    thread_ = std::thread([this, want] {
      try {
        more_ = input_.fill(text_, want);
        bytesRead_ = input_.bytesRead();
      } catch (...) {
        failed_ = std::current_exception();
      }
    });
  }
  // Appends the text read ahead to `buf`; false when the file had no more.
  bool takeInto(ByteBuffer& buf) {
    thread_.join();
    if (failed_) std::rethrow_exception(failed_);
    if (text_.size) std::memcpy(buf.room(text_.size), text_.data.get(), text_.size);
    buf.size += text_.size;
    text_.size = 0;
    return more_;
  }
  // Bytes of the file read when the last read ahead ended.
  int64_t bytesRead() const { return bytesRead_; }

 private:
  TextInput& input_;
  ByteBuffer text_;
  std::thread thread_;
  bool more_ = false;
  int64_t bytesRead_ = 0;
  std::exception_ptr failed_;
};

}  // namespace dataaccess::text
