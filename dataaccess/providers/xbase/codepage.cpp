#include "codepage.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace dataaccess {

namespace {

// Language-driver bytes of dBase and FoxPro files and the code page each names.
int codePageOfLanguageDriver(int ldid) {
  switch (ldid) {
    case 0x01: case 0x09: case 0x0B: case 0x0D: case 0x0F: case 0x11: case 0x15: case 0x18: case 0x19: case 0x1B:
      return 437;
    case 0x02: case 0x0A: case 0x0E: case 0x10: case 0x12: case 0x14: case 0x16: case 0x1A: case 0x1D: case 0x25:
    case 0x37:
      return 850;
    case 0x03: case 0x57: case 0x58: case 0x59: return 1252;
    case 0x04: return 10000;
    case 0x08: case 0x17: case 0x66: return 865;
    case 0x13: case 0x7B: return 932;
    case 0x1C: case 0x6C: return 863;
    case 0x1F: case 0x22: case 0x23: case 0x40: case 0x64: case 0x87: return 852;
    case 0x24: return 860;
    case 0x26: case 0x65: return 866;
    case 0x4D: case 0x7A: return 936;
    case 0x4E: case 0x79: return 949;
    case 0x4F: case 0x78: return 950;
    case 0x50: case 0x7C: return 874;
    case 0x67: return 861;
    case 0x6A: case 0x86: return 737;
    case 0x6B: case 0x88: return 857;
    case 0x7D: return 1255;
    case 0x7E: return 1256;
    case 0x96: return 10007;
    case 0x97: return 10029;
    case 0x98: return 10006;
    case 0xC8: return 1250;
    case 0xC9: return 1251;
    case 0xCA: return 1254;
    case 0xCB: return 1253;
    case 0xCC: return 1257;
    default: return 0;
  }
}

QByteArray converterName(int number) {
  switch (number) {
    case 0: return {};
    case 10000: return "macintosh";
    case 10006: return "x-mac-greek";
    case 10007: return "x-mac-cyrillic";
    case 10029: return "x-mac-centraleurroman";
    case 932: return "Shift_JIS";
    case 936: return "GBK";
    case 949: return "windows-949";
    case 950: return "Big5";
    case 874: return "windows-874";
    default:
      if (number >= 1250 && number <= 1258) return "windows-" + QByteArray::number(number);
      return "IBM" + QByteArray::number(number);
  }
}

bool isMultiByte(const QByteArray& name) {
  return name == "Shift_JIS" || name == "GBK" || name == "windows-949" || name == "Big5";
}

}  // namespace

CodePage::CodePage() = default;

CodePage::CodePage(const QByteArray& name) : name_(name) {
  if (!name_.isEmpty() && !QStringDecoder(name_.constData()).isValid()) name_.clear();
  buildTable();
}

CodePage CodePage::forLanguageDriver(int ldid) { return forNumber(codePageOfLanguageDriver(ldid)); }

CodePage CodePage::forNumber(int number) {
  const QByteArray name = converterName(number);
  if (name.isEmpty()) return CodePage();
  return CodePage(name);
}

void CodePage::buildTable() {
  singleByte_ = !name_.isEmpty() && !isMultiByte(name_);
  if (!singleByte_) return;
  QStringDecoder decoder(name_.constData(), QStringConverter::Flag::Stateless);
  for (int b = 0; b < 256; ++b) {
    const char c = char(b);
    const QString s = decoder.decode(QByteArrayView(&c, 1));
    table_[size_t(b)] = s.size() == 1 ? s.at(0).unicode() : u'\uFFFD';
  }
}

QString CodePage::decode(std::string_view bytes) const {
  bool ascii = true;
  for (char c : bytes)
    if (uchar(c) >= 0x80) {
      ascii = false;
      break;
    }
  if (ascii) return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
  if (singleByte_) {
    QString out(qsizetype(bytes.size()), Qt::Uninitialized);
    QChar* d = out.data();
    for (size_t i = 0; i < bytes.size(); ++i) d[i] = QChar(table_[uchar(bytes[i])]);
    return out;
  }
  if (name_.isEmpty()) {
    QStringDecoder decoder(QStringConverter::System, QStringConverter::Flag::Stateless);
    return decoder.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
  }
  QStringDecoder decoder(name_.constData(), QStringConverter::Flag::Stateless);
  return decoder.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
}

std::optional<QByteArray> CodePage::encode(const QString& text) const {
  QStringEncoder encoder = name_.isEmpty() ? QStringEncoder(QStringConverter::System, QStringConverter::Flag::Stateless)
                                           : QStringEncoder(name_.constData(), QStringConverter::Flag::Stateless);
  QByteArray bytes = encoder.encode(text);
  if (encoder.hasError()) return std::nullopt;
  // Some converters substitute instead of failing: a round trip tells.
  if (decode(std::string_view(bytes.constData(), size_t(bytes.size()))) != text) return std::nullopt;
  return bytes;
}

}  // namespace dataaccess
