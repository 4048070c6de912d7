// The date literals of the file sources' dialects and their stored form.
#include "sqltranslate.h"

#include "values.h"

#include <QLocale>
#include <QRegularExpression>

namespace dataaccess::sql {

namespace {

std::optional<QDateTime> parseFixedDate(const QString& text) {
  static const QRegularExpression mdy(QStringLiteral(
      R"(^(\d{1,2})/(\d{1,2})/(\d{4}|\d{2})(?:\s+(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?\s*([AaPp][Mm])?)?$)"));
  static const QRegularExpression ymd(QStringLiteral(
      R"(^\^?(\d{4})[-/](\d{1,2})[-/](\d{1,2})(?:[T ]\s*(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?\s*([AaPp][Mm])?)?$)"));
  static const QRegularExpression hms(QStringLiteral(R"(^(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?\s*([AaPp][Mm])?$)"));

  auto timeOf = [](const QRegularExpressionMatch& m, int first) -> std::optional<QTime> {
    if (!m.capturedLength(first)) return QTime(0, 0);
    int h = m.captured(first).toInt();
    const QString ampm = m.captured(first + 3).toUpper();
    if (!ampm.isEmpty()) {
      if (h < 1 || h > 12) return std::nullopt;
      if (ampm == QLatin1String("PM") && h != 12) h += 12;
      if (ampm == QLatin1String("AM") && h == 12) h = 0;
    }
    const QTime t(h, m.captured(first + 1).toInt(), m.captured(first + 2).toInt());
    return t.isValid() ? std::optional<QTime>(t) : std::nullopt;
  };

  if (auto m = mdy.match(text); m.hasMatch()) {
    int year = m.captured(3).toInt();
    if (m.capturedLength(3) == 2) year += year < 30 ? 2000 : 1900;
    const QDate d(year, m.captured(1).toInt(), m.captured(2).toInt());
    const auto t = timeOf(m, 4);
    if (!d.isValid() || !t) return std::nullopt;
    return makeDateTime(d, *t);
  }
  if (auto m = ymd.match(text); m.hasMatch()) {
    const QDate d(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    const auto t = timeOf(m, 4);
    if (!d.isValid() || !t) return std::nullopt;
    return makeDateTime(d, *t);
  }
  if (auto m = hms.match(text); m.hasMatch()) {
    const auto t = timeOf(m, 1);
    if (!t) return std::nullopt;
    return makeDateTime(oleOrigin(), *t);
  }
  return std::nullopt;
}

}  // namespace

int64_t storedSeconds(const QDateTime& dt) {
  return floorSeconds(toOleMsecs(dt));
}

std::optional<QDateTime> parseLiteralDate(const QString& raw, bool localeFirst) {
  const QString text = raw.simplified();
  if (text.isEmpty()) return std::nullopt;
  if (localeFirst && !text.startsWith(QLatin1Char('^'))) {
    if (auto dt = parseDateTime(text, QLocale())) return dt;
  }
  if (auto dt = parseFixedDate(text)) return dt;
  if (!localeFirst) return parseDateTime(text, QLocale());
  return std::nullopt;
}

}  // namespace dataaccess::sql
