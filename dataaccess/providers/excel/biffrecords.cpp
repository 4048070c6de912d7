#include "biffrecords.h"

#include "../../error.h"

#include <cstring>

namespace dataaccess::biff {

uint16_t u16(const char* p) { return uint16_t(uint8_t(p[0]) | uint8_t(p[1]) << 8); }
uint32_t u32(const char* p) { return uint32_t(u16(p)) | uint32_t(u16(p + 2)) << 16; }

Record RecordStream::next() {
  Record r;
  r.id = u16(b_.constData() + pos_);
  const int len = u16(b_.constData() + pos_ + 2);
  if (pos_ + 4 + len > b_.size()) damaged(QStringLiteral("a record runs past the end of the workbook"));
  r.data = b_.mid(pos_ + 4, len);
  pos_ += 4 + len;
  while (!atEnd() && u16(b_.constData() + pos_) == kContinue) {
    const int clen = u16(b_.constData() + pos_ + 2);
    if (pos_ + 4 + clen > b_.size()) damaged(QStringLiteral("a record runs past the end of the workbook"));
    r.breaks.push_back(int(r.data.size()));
    r.data.append(b_.constData() + pos_ + 4, clen);
    pos_ += 4 + clen;
  }
  return r;
}

void RecordStream::damaged(const QString& what) const {
  throw Error(err::kProviderFailure, QStringLiteral("Connection.Open"),
              QStringLiteral("The workbook '%1' is damaged: %2.").arg(path_, what));
}

void RecordReader::need(qint64 n) const {
  if (n < 0 || pos_ + n > r_.data.size()) s_.damaged(QStringLiteral("a record is shorter than its contents"));
}

void RecordReader::moveTo(int pos) {
  pos_ = pos;
  while (break_ < r_.breaks.size() && r_.breaks[break_] <= pos_) ++break_;
}

bool RecordReader::atBreak() const { return break_ > 0 && r_.breaks[break_ - 1] == pos_; }

int RecordReader::nextBreak() const {
  return break_ < r_.breaks.size() ? r_.breaks[break_] : int(r_.data.size());
}

void RecordReader::skip(qint64 n) {
  need(n);
  moveTo(pos_ + int(n));
}

uint8_t RecordReader::byte() {
  need(1);
  const uint8_t v = uint8_t(r_.data[pos_]);
  moveTo(pos_ + 1);
  return v;
}

uint16_t RecordReader::word() {
  need(2);
  const uint16_t v = u16(r_.data.constData() + pos_);
  moveTo(pos_ + 2);
  return v;
}

uint32_t RecordReader::dword() {
  need(4);
  const uint32_t v = u32(r_.data.constData() + pos_);
  moveTo(pos_ + 4);
  return v;
}

double RecordReader::number() {
  need(8);
  double d;
  std::memcpy(&d, r_.data.constData() + pos_, 8);
  moveTo(pos_ + 8);
  return d;
}

QString RecordReader::string(int cch) {
  if (biff_ < 8) {
    need(cch);
    const QByteArray bytes = r_.data.mid(pos_, cch);
    moveTo(pos_ + cch);
    return codepage_ ? codepage_->decode(std::string_view(bytes.constData(), size_t(bytes.size())))
                     : QString::fromLatin1(bytes);
  }
  const uint8_t flags = byte();
  const int runs = (flags & 0x08) ? word() : 0;
  const uint32_t phonetic = (flags & 0x04) ? dword() : 0;
  QString out;
  out.resize(cch);
  QChar* dst = out.data();
  int done = 0;
  bool wide = flags & 0x01;
  while (done < cch) {
    // Characters that go on in a CONTINUE record restart there with an
    // option byte that says how the rest is stored.
    if (atBreak()) {
      wide = byte() & 0x01;
      continue;
    }
    const int limit = nextBreak();
    const int charSize = wide ? 2 : 1;
    const int take = std::min((limit - pos_) / charSize, cch - done);
    if (take <= 0) {
      if (limit >= r_.data.size()) s_.damaged(QStringLiteral("a text runs past its record"));
      moveTo(limit);  // half a character before a CONTINUE record
      continue;
    }
    const char* p = r_.data.constData() + pos_;
    if (wide)
      for (int i = 0; i < take; ++i) dst[done + i] = QChar(u16(p + 2 * i));
    else
      for (int i = 0; i < take; ++i) dst[done + i] = QChar(uint8_t(p[i]));
    done += take;
    moveTo(pos_ + take * charSize);
  }
  // Formatting runs (4 bytes each) and phonetic data follow the characters,
  // with no option byte where they cross into a CONTINUE record.
  skip(qint64(runs) * 4 + phonetic);
  return out;
}

CodePage codePageFor(int codepage) {
  // Every byte of a single-byte page maps to a character, as in the table
  // providers, so no text becomes U+FFFD.
  if (codepage == 0x8000) codepage = 10000;  // Macintosh Roman
  // 0x8001 (Windows ANSI), 367 (ASCII), 1200 (UTF-16) and unknown pages: Windows-1252.
  return CodePage::byNumber(codepage).value_or(CodePage());
}

}  // namespace dataaccess::biff
