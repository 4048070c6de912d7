#include "schemaini.h"

#include "../../error.h"
#include "../../tablefolder.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringList>
#include <langinfo.h>

namespace dataaccess::text {

namespace {

// The highest column a definition may name.
constexpr qlonglong kMaxColumnNumber = 65536;

[[noreturn]] void schemaError(const QString& iniPath, const QString& section, const QString& what) {
  throw Error(err::kProviderFailure, QStringLiteral("TextProvider.SchemaIni"),
              QStringLiteral("%1 (section [%2] of '%3')").arg(what, section, iniPath));
}

bool parseBool(const QString& v, bool fallback) {
  const QString t = v.trimmed();
  if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || t.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0 ||
      t == QLatin1String("1") || t == QLatin1String("-1"))
    return true;
  if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 || t.compare(QLatin1String("no"), Qt::CaseInsensitive) == 0 ||
      t == QLatin1String("0"))
    return false;
  return fallback;
}

// "Col3=Unit Price Currency Width 10": the name is everything before the
// type word, or a quoted name; without a known type word the whole value is
// the name and the type is guessed. After a quoted name nothing but one
// known type word may follow: there the words cannot be part of the name.
// `entry` is the whole line, for the error.
ColumnDefinition parseColumn(const QString& value, const QString& entry, const QString& iniPath,
                             const QString& section) {
  ColumnDefinition def;
  QString rest = value.trimmed();
  QString quotedName;
  bool quoted = false;
  if (rest.startsWith(QLatin1Char('"'))) {
    const qsizetype close = rest.indexOf(QLatin1Char('"'), 1);
    if (close > 0) {
      quotedName = rest.mid(1, close - 1);
      rest = rest.mid(close + 1).trimmed();
      quoted = true;
    }
  }
  QStringList tokens = rest.split(QLatin1Char(' '), Qt::SkipEmptyParts);
  if (tokens.size() >= 2 && tokens[tokens.size() - 2].compare(QLatin1String("width"), Qt::CaseInsensitive) == 0) {
    bool ok = false;
    const qlonglong w = tokens.last().toLongLong(&ok);
    if (!ok || w < 0) schemaError(iniPath, section, QStringLiteral("The column definition '%1' has a bad Width.").arg(entry));
    def.width = w;
    tokens.removeLast();
    tokens.removeLast();
  }
  if (!tokens.isEmpty() && (quoted || tokens.size() >= 2)) {
    if (auto t = schemaType(tokens.last())) {
      def.type = t;
      tokens.removeLast();
    }
  }
  if (quoted && !tokens.isEmpty())
    schemaError(iniPath, section,
                QStringLiteral("The column definition '%1' has an unknown type '%2'.").arg(entry, tokens.join(QLatin1Char(' '))));
  def.name = quoted ? quotedName : tokens.join(QLatin1Char(' '));
  return def;
}

char parseFormat(const QString& value, const QString& iniPath, const QString& section) {
  const QString v = value.trimmed();
  if (v.compare(QLatin1String("TabDelimited"), Qt::CaseInsensitive) == 0) return '\t';
  if (v.compare(QLatin1String("CSVDelimited"), Qt::CaseInsensitive) == 0) return ',';
  if (v.startsWith(QLatin1String("Delimited("), Qt::CaseInsensitive) && v.endsWith(QLatin1Char(')'))) {
    const QString inner = v.mid(10, v.size() - 11);
    if (inner.size() == 1 && inner[0].unicode() < 0x80 && inner[0] != QLatin1Char('"') && inner[0] != QLatin1Char('\n') &&
        inner[0] != QLatin1Char('\r'))
      return char(inner[0].unicode());
    schemaError(iniPath, section,
                QStringLiteral("The format '%1' needs one delimiter character other than a quote or a line break.").arg(v));
  }
  if (v.compare(QLatin1String("FixedLength"), Qt::CaseInsensitive) == 0)
    schemaError(iniPath, section, QStringLiteral("Fixed-length text files are not supported; use a delimited format."));
  schemaError(iniPath, section,
              QStringLiteral("Unknown format '%1' (expected TabDelimited, CSVDelimited or Delimited(x)).").arg(v));
}

QString localeCharacterSet() {
  const char* codeset = nl_langinfo(CODESET);
  const QString name = codeset ? QString::fromLatin1(codeset) : QString();
  // The C locale names plain ASCII; UTF-8 reads that and more.
  if (name.isEmpty() || name == QLatin1String("ANSI_X3.4-1968") || name.compare(QLatin1String("ASCII"), Qt::CaseInsensitive) == 0)
    return QStringLiteral("UTF-8");
  return name;
}

}  // namespace

std::optional<DataTypeEnum> schemaType(const QString& word) {
  static const std::pair<const char*, DataTypeEnum> kTypes[] = {
      {"bit", adBoolean},      {"byte", adUnsignedTinyInt}, {"short", adSmallInt},  {"integer", adSmallInt},
      {"long", adInteger},     {"currency", adCurrency},    {"single", adSingle},   {"double", adDouble},
      {"float", adDouble},     {"datetime", adDate},        {"date", adDate},       {"text", adVarWChar},
      {"char", adVarWChar},    {"memo", adLongVarWChar},    {"longchar", adLongVarWChar},
  };
  for (const auto& [name, type] : kTypes)
    if (word.compare(QLatin1String(name), Qt::CaseInsensitive) == 0) return type;
  return std::nullopt;
}

QString decoderNameFor(const QString& characterSet) {
  const QString cs = characterSet.trimmed();
  QString name;
  if (cs.isEmpty() || cs.compare(QLatin1String("ANSI"), Qt::CaseInsensitive) == 0) {
    name = localeCharacterSet();
  } else if (cs.compare(QLatin1String("OEM"), Qt::CaseInsensitive) == 0) {
    name = QStringLiteral("IBM437");
  } else if (cs.compare(QLatin1String("UNICODE"), Qt::CaseInsensitive) == 0) {
    name = QStringLiteral("UTF-16LE");
  } else {
    bool isNumber = false;
    const int page = cs.toInt(&isNumber);
    if (!isNumber) {
      name = cs;
    } else if (page == 65001) {
      name = QStringLiteral("UTF-8");
    } else if (page == 1200) {
      name = QStringLiteral("UTF-16LE");
    } else if (page == 1201) {
      name = QStringLiteral("UTF-16BE");
    } else if (page == 20127) {
      name = QStringLiteral("US-ASCII");
    } else if (page >= 28591 && page <= 28605) {
      name = QStringLiteral("ISO-8859-%1").arg(page - 28590);
    } else if (page == 874 || (page >= 1250 && page <= 1258)) {
      name = QStringLiteral("windows-%1").arg(page);
    } else if (page > 0 && page < 1000) {
      name = QStringLiteral("IBM%1").arg(page, 3, 10, QLatin1Char('0'));
    } else if (page > 0) {
      name = QStringLiteral("windows-%1").arg(page);
      if (!QStringDecoder(name.toLatin1().constData()).isValid()) name = QStringLiteral("cp%1").arg(page);
    }
  }
  if (name.isEmpty() || !QStringDecoder(name.toLatin1().constData()).isValid()) return {};
  return name;
}

QString schemaIniPath(const QString& folder) {
  return tablefolder::findFile(folder, QStringLiteral("SCHEMA.INI"));
}

TextSchema parseSchemaIni(const QString& iniText, const QString& fileName, const QString& iniPath) {
  TextSchema schema;
  bool inSection = false;
  bool seenSection = false;
  QString sectionName;
  QStringList seenKeys;  // the first occurrence of a key counts
  // "Col" and a whole number, signed or not (the sign is checked below).
  static const QRegularExpression columnNumber(QStringLiteral("^col\\s*([+-]?\\d+)$"));
  const QStringList lines = iniText.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
  for (const QString& raw : lines) {
    const QString line = raw.trimmed();
    if (line.isEmpty() || line.startsWith(QLatin1Char(';'))) continue;
    if (line.startsWith(QLatin1Char('['))) {
      const qsizetype close = line.indexOf(QLatin1Char(']'));
      const QString name = line.mid(1, close < 0 ? -1 : close - 1).trimmed();
      // Only the first section of the file's name counts.
      inSection = !seenSection && name.compare(fileName, Qt::CaseInsensitive) == 0;
      if (inSection) {
        seenSection = true;
        sectionName = name;
      }
      continue;
    }
    if (!inSection) continue;
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq <= 0) continue;
    const QString key = line.left(eq).trimmed().toLower();
    const QString value = line.mid(eq + 1).trimmed();
    if (seenKeys.contains(key)) continue;
    seenKeys.append(key);
    if (key == QLatin1String("colnameheader")) {
      schema.colNameHeader = parseBool(value, true);
    } else if (key == QLatin1String("format")) {
      schema.delimiter = parseFormat(value, iniPath, sectionName);
    } else if (key == QLatin1String("characterset")) {
      if (decoderNameFor(value).isEmpty())
        schemaError(iniPath, sectionName, QStringLiteral("Unknown character set '%1'.").arg(value));
      schema.characterSet = value;
    } else if (key == QLatin1String("maxscanrows")) {
      bool ok = false;
      const qlonglong n = value.toLongLong(&ok);
      schema.maxScanRows = ok && n > 0 ? n : 0;
    } else if (const auto number = columnNumber.match(key); number.hasMatch()) {
      // A definition for a column that cannot exist would be dropped unseen.
      const QString entry = line.left(eq).trimmed() + QLatin1Char('=') + value;
      bool ok = false;
      const qlonglong n = number.captured(1).toLongLong(&ok);
      if (!ok || n < 1 || n > kMaxColumnNumber)
        schemaError(iniPath, sectionName,
                    QStringLiteral("The column definition '%1' needs a column number from 1 to %2.")
                        .arg(entry)
                        .arg(kMaxColumnNumber));
      schema.columns[int(n)] = parseColumn(value, entry, iniPath, sectionName);
    }
  }
  schema.hasSection = seenSection;
  return schema;
}

TextSchema readSchemaIni(const QString& folder, const QString& fileName) {
  const QString path = schemaIniPath(folder);
  if (path.isEmpty()) return {};
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly))
    throw Error(err::kProviderFailure, QStringLiteral("TextProvider.SchemaIni"),
                QStringLiteral("The file '%1' could not be read: %2").arg(path, f.errorString()));
  // A SCHEMA.INI is small; reading it whole keeps the parser simple.
  const QByteArray bytes = f.read(16 * 1024 * 1024);
  QStringDecoder utf8(QStringDecoder::Utf8);
  QString text = utf8(bytes);
  if (utf8.hasError()) text = QString::fromLocal8Bit(bytes);
  if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
  return parseSchemaIni(text, fileName, path);
}

}  // namespace dataaccess::text
