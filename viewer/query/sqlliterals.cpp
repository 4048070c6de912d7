#include "sqlliterals.h"

#include "dataaccess/error.h"
#include "dataaccess/values.h"

#include <QDateTime>
#include <QSet>
#include <optional>

namespace viewer {

namespace {

constexpr QDate kZeroDate = dataaccess::oleOrigin();

[[noreturn]] void typeMismatch(const char* where) {
  throw dataaccess::Error(kTypeMismatch, QStringLiteral("SqlLiterals.%1").arg(QLatin1String(where)),
                          QStringLiteral("Type mismatch"));
}

QString lowered(const QString& ext) { return ext.toLower(); }

bool isFileSource(const QString& ext) {
  static const QSet<QString> kinds = {QStringLiteral("mdb"), QStringLiteral("xls"), QStringLiteral("dbf"),
                                      QStringLiteral("dbc"), QStringLiteral("db"),  QStringLiteral("txt"),
                                      QStringLiteral("log"), QStringLiteral("csv")};
  return kinds.contains(ext);
}

// Words that cannot stand unquoted as a column name in the engines Lumbrook
// reaches (the in-memory engine of the file sources and the servers behind
// data links).
bool isReservedWord(const QString& name) {
  static const QSet<QString> words = {
      QStringLiteral("ADD"),      QStringLiteral("ALL"),        QStringLiteral("ALTER"),   QStringLiteral("AND"),
      QStringLiteral("ANY"),      QStringLiteral("AS"),         QStringLiteral("ASC"),     QStringLiteral("BETWEEN"),
      QStringLiteral("BY"),       QStringLiteral("CASE"),       QStringLiteral("CHECK"),   QStringLiteral("COLUMN"),
      QStringLiteral("CONSTRAINT"), QStringLiteral("CREATE"),   QStringLiteral("CROSS"),   QStringLiteral("DEFAULT"),
      QStringLiteral("DELETE"),   QStringLiteral("DESC"),       QStringLiteral("DISTINCT"), QStringLiteral("DROP"),
      QStringLiteral("ELSE"),     QStringLiteral("END"),        QStringLiteral("EXISTS"),  QStringLiteral("FROM"),
      QStringLiteral("FULL"),     QStringLiteral("GROUP"),      QStringLiteral("HAVING"),  QStringLiteral("IN"),
      QStringLiteral("INDEX"),    QStringLiteral("INNER"),      QStringLiteral("INSERT"),  QStringLiteral("INTO"),
      QStringLiteral("IS"),       QStringLiteral("JOIN"),       QStringLiteral("KEY"),     QStringLiteral("LEFT"),
      QStringLiteral("LIKE"),     QStringLiteral("LIMIT"),      QStringLiteral("NOT"),     QStringLiteral("NULL"),
      QStringLiteral("ON"),       QStringLiteral("OR"),         QStringLiteral("ORDER"),   QStringLiteral("OUTER"),
      QStringLiteral("PRIMARY"),  QStringLiteral("REFERENCES"), QStringLiteral("RIGHT"),   QStringLiteral("SELECT"),
      QStringLiteral("SET"),      QStringLiteral("TABLE"),      QStringLiteral("THEN"),    QStringLiteral("TO"),
      QStringLiteral("UNION"),    QStringLiteral("UNIQUE"),     QStringLiteral("UPDATE"),  QStringLiteral("USING"),
      QStringLiteral("VALUES"),   QStringLiteral("WHEN"),       QStringLiteral("WHERE"),
  };
  return words.contains(name.toUpper());
}

QString quotedName(const QString& name, const QString& ext) {
  if (isFileSource(ext)) return QLatin1Char('[') + name + QLatin1Char(']');
  QString inner = name;
  inner.replace(QLatin1Char('"'), QLatin1String("\"\""));
  return QLatin1Char('"') + inner + QLatin1Char('"');
}

// The locale's time separator: what follows the hours in its short time
// format.
QString timeSeparator(const QLocale& locale) {
  const QString fmt = locale.timeFormat(QLocale::ShortFormat);
  qsizetype i = 0;
  while (i < fmt.size() && (fmt[i] == QLatin1Char('h') || fmt[i] == QLatin1Char('H'))) ++i;
  if (i == 0 || i >= fmt.size() || fmt[i].isLetter()) return QStringLiteral(":");
  return QString(fmt[i]);
}

// Reads a date, a time of day or both. A time alone is a time on the zero
// date, as the classic date values hold it.
std::optional<QDateTime> readDateValue(const QString& value, const QLocale& locale) {
  const QString t = value.trimmed();
  if (t.isEmpty()) return std::nullopt;
  for (const QString& fmt : {locale.timeFormat(QLocale::ShortFormat), locale.timeFormat(QLocale::LongFormat),
                             QStringLiteral("H:mm:ss"), QStringLiteral("H:mm"), QStringLiteral("h:mm:ss AP"),
                             QStringLiteral("h:mm AP")}) {
    const QTime time = locale.toTime(t, fmt);
    if (time.isValid()) return dataaccess::makeDateTime(kZeroDate, time);
  }
  return dataaccess::parseDateTime(t, locale);
}

QString monthDayYear(const QDate& d) {
  return QString::number(d.month()) + QLatin1Char('/') + QString::number(d.day()) + QLatin1Char('/') +
         QStringLiteral("%1").arg(d.year(), 4, 10, QLatin1Char('0'));
}

QString paddedTime(const QTime& t, const QString& sep) {
  const auto two = [](int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
  return two(t.hour()) + sep + two(t.minute()) + sep + two(t.second());
}

QString bareTime(const QTime& t, const QString& sep) {
  return QString::number(t.hour()) + sep + QString::number(t.minute()) + sep + QString::number(t.second());
}

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

}  // namespace

bool IsPlainSqlName(const QString& name) {
  if (name.isEmpty()) return false;
  if (!(name[0].isLetter() || name[0] == QLatin1Char('_'))) return false;
  for (QChar c : name)
    if (!(c.isLetterOrNumber() || c == QLatin1Char('_'))) return false;
  return !isReservedWord(name);
}

QString SqlFieldName(const QString& name, const QString& ext) {
  const QString kind = lowered(ext);
  if (kind == QLatin1String("mdb") || kind == QLatin1String("xls")) return QLatin1Char('[') + name + QLatin1Char(']');
  return SqlSortName(name, kind);
}

QString SqlSortName(const QString& name, const QString& ext) {
  if (IsPlainSqlName(name)) return name;
  return quotedName(name, lowered(ext));
}

QString SqlDateLiteral(const QString& value, const QString& ext, const QLocale& locale) {
  const QString kind = lowered(ext);
  if (kind == QLatin1String("txt") || kind == QLatin1String("log") || kind == QLatin1String("db")) {
    const std::optional<QDateTime> dt = readDateValue(value, locale);
    if (!dt) typeMismatch("SqlDateLiteral");
    const QString sep = timeSeparator(locale);
    const bool hasTime = dt->time() != QTime(0, 0);
    const bool hasDate = dt->date() != kZeroDate;
    // A value with both parts keeps both: its time alone would match no row.
    if (hasTime && hasDate)
      return QLatin1Char('#') + monthDayYear(dt->date()) + QLatin1Char(' ') + paddedTime(dt->time(), sep) +
             QLatin1Char('#');
    if (hasTime) return QLatin1Char('#') + paddedTime(dt->time(), sep) + QLatin1Char('#');
    return QLatin1Char('#') + monthDayYear(dt->date()) + QLatin1Char('#');
  }
  if (kind == QLatin1String("mdb") || kind == QLatin1String("xls")) return SqlQuotedDate(value, locale);
  if (kind == QLatin1String("dbf")) {
    if (value.trimmed() == QLatin1String("0:00:00")) return QStringLiteral("{}");
    return QLatin1Char('{') + value + QLatin1Char('}');
  }
  return QLatin1Char('\'') + value + QLatin1Char('\'');
}

QString SqlQuotedDate(const QString& value, const QLocale& locale) {
  const std::optional<QDateTime> dt = readDateValue(value, locale);
  if (!dt) return QStringLiteral("Null");
  const QString sep = timeSeparator(locale);
  if (dt->time() == QTime(0, 0)) return QLatin1Char('\'') + monthDayYear(dt->date()) + QLatin1Char('\'');
  if (dt->date() == kZeroDate) return QLatin1Char('\'') + bareTime(dt->time(), sep) + QLatin1Char('\'');
  return QLatin1Char('\'') + monthDayYear(dt->date()) + QLatin1Char(' ') + bareTime(dt->time(), sep) +
         QLatin1Char('\'');
}

QString SqlBooleanLiteral(const QString& value) {
  const QString t = value.trimmed();
  if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) return QStringLiteral("1");
  if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) return QStringLiteral("0");
  bool ok = false;
  double d = QLocale::c().toDouble(t, &ok);
  if (!ok) d = QLocale::system().toDouble(t, &ok);
  if (!ok) typeMismatch("SqlBooleanLiteral");
  return d != 0 ? QStringLiteral("1") : QStringLiteral("0");
}

QString SqlNumberLiteral(const QString& value, const QString& sign) {
  const QString n = NormalizeNumber(value, sign);
  return n.isEmpty() ? QStringLiteral("Null") : n;
}

QString SqlStringLiteral(const QString& value, bool backslashEscapes) {
  if (value.isEmpty()) return QStringLiteral("Null");
  QString inner = value;
  if (backslashEscapes) inner.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
  inner.replace(QLatin1Char('\''), QLatin1String("''"));
  return QLatin1Char('\'') + inner + QLatin1Char('\'');
}

QString NormalizeNumber(const QString& value, const QString& sign) {
  QString t = value.trimmed();
  QString result;
  if (!sign.isEmpty() && t.startsWith(sign)) {
    result = QStringLiteral("-");
    t = t.mid(sign.size()).trimmed();
  } else if (!sign.isEmpty() && t.endsWith(sign)) {
    result = QStringLiteral("-");
    t = t.left(t.size() - sign.size()).trimmed();
  }
  // Only a character between digits can separate them: a currency symbol or
  // a plus sign before or after the number is never the decimal point.
  qsizetype first = -1, last = -1;
  for (qsizetype i = 0; i < t.size(); ++i) {
    if (!isDigit(t[i])) continue;
    if (first < 0) first = i;
    last = i;
  }
  QChar candidate;
  bool grouping = false;
  for (qsizetype i = last - 1; i > first; --i) {
    if (isDigit(t[i])) continue;
    if (candidate.isNull()) {
      candidate = t[i];
    } else if (t[i] == candidate) {
      grouping = true;
      break;
    }
  }
  for (qsizetype i = 0; i < t.size(); ++i) {
    if (isDigit(t[i])) {
      result += t[i];
    } else if (!grouping && !candidate.isNull() && t[i] == candidate && i > first && i < last) {
      result += QLatin1Char('.');
    }
  }
  if (result == QLatin1String("-") || result == QLatin1String(".") || result == QLatin1String("-.") ||
      result.isEmpty())
    return QString();
  return result;
}

}  // namespace viewer
