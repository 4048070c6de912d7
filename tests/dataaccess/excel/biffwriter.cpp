#include "biffwriter.h"

#include <cstring>

extern "C" {
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>
}

namespace biffwriter {

namespace {

void record(QByteArray& out, uint16_t id, const QByteArray& data) {
  out += le16(id) + le16(uint16_t(data.size())) + data;
}

bool latin1(const QString& s, qsizetype from = 0) {
  for (qsizetype i = from; i < s.size(); ++i)
    if (s[i].unicode() > 0xFF) return false;
  return true;
}

QByteArray encodeChars(const QString& s, qsizetype from, qsizetype n, bool wide) {
  QByteArray out;
  for (qsizetype i = from; i < from + n; ++i) {
    if (wide) out += le16(s[i].unicode());
    else out += char(uint8_t(s[i].unicode()));
  }
  return out;
}

}  // namespace

QByteArray le16(uint16_t v) { return QByteArray(reinterpret_cast<const char*>(&v), 2); }
QByteArray le32(uint32_t v) { return QByteArray(reinterpret_cast<const char*>(&v), 4); }
QByteArray f64(double v) { return QByteArray(reinterpret_cast<const char*>(&v), 8); }

void ContinuedRecord::atom(const QByteArray& b) {
  if (pieces_.back().size() + b.size() > limit_) pieces_.emplace_back();
  pieces_.back() += b;
}

void ContinuedRecord::bytes(const QByteArray& b) {
  for (char c : b) {
    if (pieces_.back().size() >= limit_) pieces_.emplace_back();
    pieces_.back() += c;
  }
}

void ContinuedRecord::string(const QString& text, int runs, int phonetic, bool mixed) {
  // How the characters from `from` on are stored in the `segment`-th piece.
  const auto wideFrom = [&](qsizetype from, int segment) { return !latin1(text, from) || (mixed && segment % 2); };
  int segment = 0;
  bool wide = wideFrom(0, segment);
  const uint8_t flags = uint8_t((wide ? 0x01 : 0) | (runs ? 0x08 : 0) | (phonetic ? 0x04 : 0));
  QByteArray head = le16(uint16_t(text.size())) + QByteArray(1, char(flags));
  if (runs) head += le16(uint16_t(runs));
  if (phonetic) head += le32(uint32_t(phonetic));
  const qsizetype first = std::min<qsizetype>(1, text.size());
  atom(head + encodeChars(text, 0, first, wide));
  qsizetype done = first;
  while (done < text.size()) {
    const int charSize = wide ? 2 : 1;
    const qsizetype room = (limit_ - pieces_.back().size()) / charSize;
    if (room <= 0) {
      pieces_.emplace_back();
      wide = wideFrom(done, ++segment);
      pieces_.back() += char(wide ? 1 : 0);
      continue;
    }
    const qsizetype n = std::min(room, text.size() - done);
    pieces_.back() += encodeChars(text, done, n, wide);
    done += n;
  }
  for (int i = 0; i < runs; ++i) atom(le16(uint16_t(i % std::max<qsizetype>(1, text.size()))) + le16(uint16_t(i % 4)));
  bytes(QByteArray(phonetic, '\x5A'));
}

QByteArray ContinuedRecord::finish() const {
  QByteArray out;
  record(out, id_, pieces_.front());
  for (size_t i = 1; i < pieces_.size(); ++i) record(out, 0x003C, pieces_[i]);
  return out;
}

int Biff8Book::share(const QString& text, int runs, int phonetic) {
  strings_.push_back({text, runs, phonetic});
  return int(strings_.size() - 1);
}

void Biff8Book::labelSst(int row, int col, int index) {
  record(sheet_, 0x00FD, le16(uint16_t(row)) + le16(uint16_t(col)) + le16(0) + le32(uint32_t(index)));
}

void Biff8Book::label(int row, int col, const QString& text) {
  ContinuedRecord r(0x0204, limit_);
  r.atom(le16(uint16_t(row)) + le16(uint16_t(col)) + le16(0));
  r.string(text, 0, 0, mixedEncodings);
  sheet_ += r.finish();
}

void Biff8Book::number(int row, int col, int xf, double v) {
  record(sheet_, 0x0203, le16(uint16_t(row)) + le16(uint16_t(col)) + le16(uint16_t(xf)) + f64(v));
}

void Biff8Book::boolean(int row, int col, bool v) {
  record(sheet_, 0x0205, le16(uint16_t(row)) + le16(uint16_t(col)) + le16(0) + QByteArray(1, v ? 1 : 0) +
                             QByteArray(1, 0));
}

void Biff8Book::formulaText(int row, int col, const QString& text) {
  const QByteArray result = QByteArray(6, '\0') + le16(0xFFFF);
  const QByteArray tokens = QByteArray("\x17\x01\x00\x78", 4);  // a one-character string constant
  record(sheet_, 0x0006, le16(uint16_t(row)) + le16(uint16_t(col)) + le16(0) + result + le16(0) + le32(0) +
                             le16(uint16_t(tokens.size())) + tokens);
  ContinuedRecord s(0x0207, limit_);
  s.string(text, 0, 0, mixedEncodings);
  sheet_ += s.finish();
}

void Biff8Book::blank(int row, int col) {
  record(sheet_, 0x0201, le16(uint16_t(row)) + le16(uint16_t(col)) + le16(0));
}

void Biff8Book::mulBlank(int row, int firstCol, int lastCol) {
  QByteArray d = le16(uint16_t(row)) + le16(uint16_t(firstCol));
  for (int c = firstCol; c <= lastCol; ++c) d += le16(0);
  record(sheet_, 0x00BE, d + le16(uint16_t(lastCol)));
}

void Biff8Book::dimensions(int firstRow, int lastRowPlus1, int firstCol, int lastColPlus1) {
  dims_.clear();
  record(dims_, 0x0200, le32(uint32_t(firstRow)) + le32(uint32_t(lastRowPlus1)) + le16(uint16_t(firstCol)) +
                            le16(uint16_t(lastColPlus1)) + le16(0));
}

QByteArray Biff8Book::stream(const QString& sheetName) const {
  const auto bof = [](uint16_t type) { return le16(0x0600) + le16(type) + QByteArray(12, '\0'); };
  QByteArray head;
  record(head, 0x0809, bof(0x0005));
  for (uint16_t fmt : {uint16_t(0), uint16_t(14)}) record(head, 0x00E0, le16(0) + le16(fmt) + QByteArray(16, '\0'));
  if (!strings_.empty()) {
    ContinuedRecord sst(0x00FC, limit_);
    sst.atom(le32(uint32_t(strings_.size())) + le32(uint32_t(strings_.size())));
    for (const Shared& s : strings_) sst.string(s.text, s.runs, s.phonetic, mixedEncodings);
    head += sst.finish();
  }
  QByteArray name = QByteArray(1, char(sheetName.size())) + QByteArray(1, 1);
  for (QChar c : sheetName) name += le16(c.unicode());
  const int boundSheetSize = 4 + 6 + int(name.size());
  const uint32_t sheetPos = uint32_t(head.size() + boundSheetSize + 4);
  record(head, 0x0085, le32(sheetPos) + QByteArray(2, '\0') + name);
  record(head, 0x000A, {});
  QByteArray body;
  record(body, 0x0809, bof(0x0010));
  body += dims_ + sheet_;
  record(body, 0x000A, {});
  return head + body;
}

void writeXls(const QString& path, const QByteArray& stream) {
  gsf_init();
  GsfOutput* out = gsf_output_stdio_new(path.toUtf8().constData(), nullptr);
  if (!out) return;
  GsfOutfile* ole = gsf_outfile_msole_new(out);
  GsfOutput* child = gsf_outfile_new_child(ole, "Workbook", FALSE);
  gsf_output_write(child, size_t(stream.size()), reinterpret_cast<const guint8*>(stream.constData()));
  gsf_output_close(child);
  g_object_unref(child);
  gsf_output_close(GSF_OUTPUT(ole));  // also closes `out`
  g_object_unref(ole);
  g_object_unref(out);
}

void OldSheet::codePage(uint16_t cp) { record(body_, 0x0042, le16(cp)); }

void OldSheet::dateMode1904() { record(body_, 0x0022, le16(1)); }

void OldSheet::format(const QByteArray& text) {
  const QByteArray s = QByteArray(1, char(text.size())) + text;
  if (v_ <= 3) record(body_, 0x001E, s);
  else record(body_, 0x041E, le16(0) + s);
}

void OldSheet::xf(int format) {
  xfFormats_.push_back(format);
  if (v_ == 2) record(body_, 0x0043, QByteArray(2, '\0') + QByteArray(1, char(format)) + QByteArray(1, '\0'));
  else
    record(body_, v_ == 3 ? 0x0243 : 0x0443, QByteArray(1, '\0') + QByteArray(1, char(format)) + QByteArray(10, '\0'));
}

void OldSheet::dimensions(int firstRow, int lastRowPlus1, int firstCol, int lastColPlus1) {
  const QByteArray d = le16(uint16_t(firstRow)) + le16(uint16_t(lastRowPlus1)) + le16(uint16_t(firstCol)) +
                       le16(uint16_t(lastColPlus1));
  if (v_ == 2) record(body_, 0x0000, d);
  else record(body_, 0x0200, d + le16(0));
}

QByteArray OldSheet::cell(int row, int col, int xf) const {
  QByteArray d = le16(uint16_t(row)) + le16(uint16_t(col));
  if (v_ >= 3) return d + le16(uint16_t(xf));
  // BIFF2 attributes: XF index, then the number format in the low six bits.
  const int format = xf < int(xfFormats_.size()) ? xfFormats_[size_t(xf)] : 0;
  return d + QByteArray(1, char(xf & 0x3F)) + QByteArray(1, char(format & 0x3F)) + QByteArray(1, '\0');
}

void OldSheet::blank(int row, int col, int xf) {
  record(body_, v_ == 2 ? 0x0001 : 0x0201, cell(row, col, xf));
}

void OldSheet::number(int row, int col, int xf, double v) {
  record(body_, v_ == 2 ? 0x0003 : 0x0203, cell(row, col, xf) + f64(v));
}

void OldSheet::integer(int row, int col, int xf, uint16_t v) { record(body_, 0x0002, cell(row, col, xf) + le16(v)); }

void OldSheet::rk(int row, int col, int xf, uint32_t rk) { record(body_, 0x027E, cell(row, col, xf) + le32(rk)); }

void OldSheet::label(int row, int col, const QByteArray& text) {
  if (v_ == 2) record(body_, 0x0004, cell(row, col, 0) + QByteArray(1, char(text.size())) + text);
  else record(body_, 0x0204, cell(row, col, 0) + le16(uint16_t(text.size())) + text);
}

void OldSheet::boolErr(int row, int col, int value, bool isError) {
  record(body_, v_ == 2 ? 0x0005 : 0x0205,
         cell(row, col, 0) + QByteArray(1, char(value)) + QByteArray(1, isError ? 1 : 0));
}

void OldSheet::formula(int row, int col, int xf, const QByteArray& result) {
  const QByteArray tokens("\x1E\x01\x00", 3);  // an integer constant
  QByteArray d = cell(row, col, xf) + result;
  if (v_ == 2) d += QByteArray(1, '\0') + QByteArray(1, char(tokens.size()));
  else d += le16(0) + le16(uint16_t(tokens.size()));
  record(body_, v_ == 2 ? 0x0006 : v_ == 3 ? 0x0206 : 0x0406, d + tokens);
}

void OldSheet::formulaNumber(int row, int col, int xf, double v) { formula(row, col, xf, f64(v)); }

void OldSheet::formulaText(int row, int col, const QByteArray& text) {
  formula(row, col, 0, QByteArray(6, '\0') + le16(0xFFFF));
  if (v_ == 2) record(body_, 0x0007, QByteArray(1, char(text.size())) + text);
  else record(body_, 0x0207, le16(uint16_t(text.size())) + text);
}

void OldSheet::formulaBoolean(int row, int col, bool v) {
  const QByteArray result = QByteArray(1, 1) + QByteArray(1, 0) + QByteArray(1, v ? 1 : 0) + QByteArray(3, '\0');
  formula(row, col, 0, result + le16(0xFFFF));
}

QByteArray OldSheet::stream(uint16_t type) const {
  QByteArray out;
  const uint16_t bofId = v_ == 2 ? 0x0009 : v_ == 3 ? 0x0209 : 0x0409;
  record(out, bofId, v_ == 2 ? le16(2) + le16(type) : le16(0) + le16(type) + le16(0));
  out += body_;
  record(out, 0x000A, {});
  return out;
}

}  // namespace biffwriter
