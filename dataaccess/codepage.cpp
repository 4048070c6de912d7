#include "codepage.h"

#include <QHash>
#include <QStringDecoder>
#include <QStringEncoder>

#include <array>
#include <map>
#include <mutex>

namespace dataaccess {

struct CodePage::Table {
  QString name;
  bool singleByte = false;
  std::array<char16_t, 256> toUnicode{};
  QHash<char16_t, uchar> fromUnicode;  // characters U+0080 and up
};

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
    case 0x68: return 895;  // Kamenický (Czech, Slovak)
    case 0x69: return 620;  // Mazovia (Polish)
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

constexpr char kMazovia[] = "Mazovia";
constexpr char kKamenicky[] = "Kamenicky";

// The DOS pages of Polish and Czech/Slovak users: code page 437 with some
// letters replaced (bytes 0x80..0xAF; the rest is as in 437).
struct Override {
  uchar byte;
  char16_t ch;
};
constexpr Override kMazoviaLetters[] = {
    {0x86, u'ą'}, {0x8D, u'ć'}, {0x8F, u'Ą'}, {0x90, u'Ę'}, {0x91, u'ę'}, {0x92, u'ł'},
    {0x95, u'Ć'}, {0x98, u'Ś'}, {0x9C, u'Ł'}, {0x9E, u'ś'}, {0xA0, u'Ź'}, {0xA1, u'Ż'},
    {0xA3, u'Ó'}, {0xA4, u'ń'}, {0xA5, u'Ń'}, {0xA6, u'ź'}, {0xA7, u'ż'},
};
constexpr char16_t kKamenickyLetters[] = {
    u'Č', u'ü', u'é', u'ď', u'ä', u'Ď', u'Ť', u'č', u'ě', u'Ě', u'Ĺ', u'Í', u'ľ', u'ĺ', u'Ä', u'Á',  // 0x80
    u'É', u'ž', u'Ž', u'ô', u'ö', u'Ó', u'ů', u'Ú', u'ý', u'Ö', u'Ü', u'Š', u'Ľ', u'Ý', u'Ř', u'ť',  // 0x90
    u'á', u'í', u'ó', u'ú', u'ň', u'Ň', u'Ů', u'Ô', u'š', u'ř', u'ŕ', u'Ŕ', u'¼', u'§', u'«', u'»',  // 0xA0
};

QString converterName(int number) {
  switch (number) {
    case 620: case 667: case 790: return QString::fromLatin1(kMazovia);
    case 895: case 867: return QString::fromLatin1(kKamenicky);
    case 10000: return QStringLiteral("macintosh");
    case 10006: return QStringLiteral("x-mac-greek");
    case 10007: return QStringLiteral("x-mac-cyrillic");
    case 10029: return QStringLiteral("x-mac-centraleurroman");
    case 932: return QStringLiteral("Shift_JIS");
    case 936: return QStringLiteral("GBK");
    case 949: return QStringLiteral("windows-949");
    case 950: return QStringLiteral("Big5");
    case 874: return QStringLiteral("windows-874");
    case 65001: return QStringLiteral("UTF-8");
    default:
      if (number >= 1250 && number <= 1258) return QStringLiteral("windows-%1").arg(number);
      if (number >= 28591 && number <= 28605) return QStringLiteral("ISO-8859-%1").arg(number - 28590);
      if (number > 0 && number < 1000) return QStringLiteral("IBM%1").arg(number, 3, 10, QLatin1Char('0'));
      return {};
  }
}

bool isMultiByte(int number) { return number == 932 || number == 936 || number == 949 || number == 950 || number == 65001; }

// Fills the table of a single-byte page from Qt's converter; false when Qt
// does not know the page.
bool fillFromConverter(CodePage::Table& t, const QByteArray& converter) {
  if (!QStringDecoder(converter.constData()).isValid()) return false;
  for (int b = 0x80; b < 256; ++b) {
    QStringDecoder decoder(converter.constData(), QStringConverter::Flag::Stateless);
    const char c = char(b);
    const QString s = decoder.decode(QByteArrayView(&c, 1));
    t.toUnicode[size_t(b)] = !decoder.hasError() && s.size() == 1 && s.at(0) != QChar(0xFFFD) ? s.at(0).unicode() : 0;
  }
  return true;
}

// Finishes a single-byte table: ASCII as itself (every page here is an
// ASCII superset; some converters swap control codes), undefined bytes as
// the code point of the same number (or a private-use one when the page
// already uses that character elsewhere), and the reverse map.
void completeSingleByte(CodePage::Table& t) {
  t.singleByte = true;
  for (int b = 0; b < 0x80; ++b) t.toUnicode[size_t(b)] = char16_t(b);
  for (int b = 0x80; b < 256; ++b) {
    const char16_t ch = t.toUnicode[size_t(b)];
    if (ch != 0 && ch >= 0x80 && !t.fromUnicode.contains(ch)) t.fromUnicode.insert(ch, uchar(b));
  }
  for (int b = 0x80; b < 256; ++b) {
    char16_t& ch = t.toUnicode[size_t(b)];
    if (ch != 0 && t.fromUnicode.value(ch, 0) == b) continue;
    ch = t.fromUnicode.contains(char16_t(b)) ? char16_t(0xF700 + b) : char16_t(b);
    t.fromUnicode.insert(ch, uchar(b));
  }
}

std::shared_ptr<const CodePage::Table> buildTable(const QString& name, bool multiByte) {
  auto t = std::make_shared<CodePage::Table>();
  t->name = name;
  if (name == QLatin1String(kMazovia) || name == QLatin1String(kKamenicky)) {
    if (!fillFromConverter(*t, "IBM437")) return nullptr;
    if (name == QLatin1String(kMazovia)) {
      for (const Override& o : kMazoviaLetters) t->toUnicode[o.byte] = o.ch;
    } else {
      for (size_t i = 0; i < std::size(kKamenickyLetters); ++i) t->toUnicode[0x80 + i] = kKamenickyLetters[i];
    }
  } else if (multiByte) {
    if (!QStringDecoder(name.toLatin1().constData()).isValid()) return nullptr;
    return t;
  } else if (!fillFromConverter(*t, name.toLatin1())) {
    return nullptr;
  }
  completeSingleByte(*t);
  return t;
}

std::mutex& tablesMutex() {
  static std::mutex m;
  return m;
}

// Tables are built once per process; a page Qt does not know is remembered
// as missing.
std::shared_ptr<const CodePage::Table> tableFor(const QString& name, bool multiByte) {
  static std::map<QString, std::shared_ptr<const CodePage::Table>> tables;
  const std::lock_guard<std::mutex> lock(tablesMutex());
  const QString key = name.toLower();
  auto it = tables.find(key);
  if (it == tables.end()) it = tables.emplace(key, buildTable(name, multiByte)).first;
  return it->second;
}

std::optional<CodePage> legacySetting;

}  // namespace

CodePage::CodePage() : table_(tableFor(QStringLiteral("windows-1252"), false)) {}

std::optional<CodePage> CodePage::byNumber(int number) {
  const QString name = converterName(number);
  if (name.isEmpty()) return std::nullopt;
  auto table = tableFor(name, isMultiByte(number));
  if (!table) return std::nullopt;
  return CodePage(std::move(table));
}

std::optional<CodePage> CodePage::byName(const QString& given) {
  const QString name = given.trimmed();
  if (name.isEmpty()) return std::nullopt;
  // A number, or a number behind one of the usual prefixes.
  for (const char* prefix : {"", "cp", "ibm", "windows-", "dos-"}) {
    const QLatin1String p(prefix);
    if (!name.startsWith(p, Qt::CaseInsensitive)) continue;
    bool ok = false;
    const int number = name.mid(p.size()).toInt(&ok);
    if (ok) return byNumber(number);
  }
  if (name.compare(QLatin1String(kMazovia), Qt::CaseInsensitive) == 0) return byNumber(620);
  if (name.compare(QLatin1String(kKamenicky), Qt::CaseInsensitive) == 0 ||
      name.compare(QString::fromUtf8("Kamenický"), Qt::CaseInsensitive) == 0 ||
      name.compare(QLatin1String("KEYBCS2"), Qt::CaseInsensitive) == 0)
    return byNumber(895);
  // Other names go to Qt's converters: the ISO and KOI8 pages by table,
  // anything else (UTF-8, the East Asian pages) as a multi-byte page.
  const bool singleByte = name.startsWith(QLatin1String("ISO-8859-"), Qt::CaseInsensitive) ||
                          name.startsWith(QLatin1String("KOI8"), Qt::CaseInsensitive) ||
                          name.compare(QLatin1String("macintosh"), Qt::CaseInsensitive) == 0;
  auto table = tableFor(name, !singleByte);
  if (!table) return std::nullopt;
  return CodePage(std::move(table));
}

std::optional<CodePage> CodePage::forLanguageDriver(int ldid) { return byNumber(codePageOfLanguageDriver(ldid)); }

CodePage CodePage::legacyDefault(int formatDefault) {
  if (std::optional<CodePage> set = legacyCodePage()) return *set;
  if (std::optional<CodePage> page = byNumber(formatDefault)) return *page;
  return CodePage();
}

bool CodePage::setLegacyCodePage(const QString& setting) {
  std::optional<CodePage> page = byName(setting);
  const std::lock_guard<std::mutex> lock(tablesMutex());
  legacySetting = std::move(page);
  return legacySetting.has_value();
}

std::optional<CodePage> CodePage::legacyCodePage() {
  const std::lock_guard<std::mutex> lock(tablesMutex());
  return legacySetting;
}

QString CodePage::name() const { return table_->name; }

bool CodePage::isSingleByte() const { return table_->singleByte; }

QString CodePage::decode(std::string_view bytes) const {
  bool ascii = true;
  for (char c : bytes)
    if (uchar(c) >= 0x80) {
      ascii = false;
      break;
    }
  if (ascii) return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
  if (table_->singleByte) {
    QString out(qsizetype(bytes.size()), Qt::Uninitialized);
    QChar* d = out.data();
    for (size_t i = 0; i < bytes.size(); ++i) d[i] = QChar(table_->toUnicode[uchar(bytes[i])]);
    return out;
  }
  QStringDecoder decoder(table_->name.toLatin1().constData(), QStringConverter::Flag::Stateless);
  return decoder.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
}

std::optional<QByteArray> CodePage::encode(const QString& text) const {
  if (table_->singleByte) {
    QByteArray out(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
      const char16_t ch = text.at(i).unicode();
      if (ch < 0x80) {
        out[i] = char(ch);
        continue;
      }
      const auto it = table_->fromUnicode.constFind(ch);
      if (it == table_->fromUnicode.constEnd()) return std::nullopt;
      out[i] = char(*it);
    }
    return out;
  }
  QStringEncoder encoder(table_->name.toLatin1().constData(), QStringConverter::Flag::Stateless);
  QByteArray bytes = encoder.encode(text);
  if (encoder.hasError()) return std::nullopt;
  // Some converters substitute instead of failing: a round trip tells.
  if (decode(std::string_view(bytes.constData(), size_t(bytes.size()))) != text) return std::nullopt;
  return bytes;
}

}  // namespace dataaccess
