#include "values.h"

#include "error.h"

#include <QRegularExpression>
#include <QUuid>
#include <charconv>
#include <cmath>
#include <limits>

namespace dataaccess {

namespace {

constexpr QDate kOleOrigin = oleOrigin();

QString fourDigitYear(QString fmt) {
  if (fmt.contains(QLatin1String("yyyy"))) return fmt;
  return fmt.replace(QLatin1String("yy"), QLatin1String("yyyy"));
}

QString timeFormatFor(const QLocale& locale) {
  const QString shortTime = locale.timeFormat(QLocale::ShortFormat);
  if (shortTime.contains(QLatin1String("AP"), Qt::CaseInsensitive)) return QStringLiteral("h:mm:ss AP");
  return QStringLiteral("HH:mm:ss");
}

QString numberText(double d, const QLocale& locale) {
  if (std::isnan(d)) return QStringLiteral("NaN");
  if (std::isinf(d)) return d > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
  QLocale l = locale;
  l.setNumberOptions(QLocale::OmitGroupSeparator);
  const double a = std::fabs(d);
  if (d == 0 || (a >= 1e-5 && a < 1e15)) return l.toString(d, 'f', QLocale::FloatingPointShortest);
  return l.toString(d, 'g', QLocale::FloatingPointShortest);
}

[[noreturn]] void conversionError(const QString& fieldName, const QVariant& v, DataTypeEnum t) {
  throw Error(err::kDataConversion, QStringLiteral("Field.Value"),
              QStringLiteral("The value '%1' cannot be converted for field '%2' (type %3).")
                  .arg(v.toString(), fieldName)
                  .arg(int(t)));
}

std::optional<qlonglong> parseInteger(const QString& s, const QLocale& locale) {
  bool ok = false;
  qlonglong v = s.toLongLong(&ok);
  if (ok) return v;
  v = locale.toLongLong(s, &ok);
  if (ok) return v;
  // A whole number written with a fraction of zeros ("12.0", "12,00").
  double d = s.toDouble(&ok);
  if (!ok) d = locale.toDouble(s, &ok);
  if (ok && std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 9.2e18) return qlonglong(d);
  return std::nullopt;
}

std::optional<double> parseReal(const QString& s, const QLocale& locale) {
  bool ok = false;
  double d = locale.toDouble(s, &ok);
  if (ok) return d;
  d = s.toDouble(&ok);
  if (ok) return d;
  return std::nullopt;
}

bool inRange(qlonglong v, DataTypeEnum t) {
  switch (t) {
    case adTinyInt: return v >= -128 && v <= 127;
    case adUnsignedTinyInt: return v >= 0 && v <= 255;
    case adSmallInt: return v >= -32768 && v <= 32767;
    case adUnsignedSmallInt: return v >= 0 && v <= 65535;
    case adInteger: return v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max();
    case adUnsignedInt: return v >= 0 && v <= 4294967295LL;
    case adUnsignedBigInt: return v >= 0;
    default: return true;
  }
}

// Canonical decimal text: optional "-", digits, optional "." and digits.
std::optional<QString> parseDecimal(const QString& s, const QLocale& locale) {
  QString t = s.trimmed();
  if (t.isEmpty()) return std::nullopt;
  const QChar point = locale.decimalPoint().isEmpty() ? QChar('.') : locale.decimalPoint().at(0);
  QString out;
  int i = 0;
  if (t[0] == '-' || t[0] == '+') {
    if (t[0] == '-') out += '-';
    i = 1;
  }
  bool digits = false, sawPoint = false;
  for (; i < t.size(); ++i) {
    const QChar c = t[i];
    if (c.isDigit()) {
      out += c;
      digits = true;
    } else if (!sawPoint && (c == '.' || c == point)) {
      out += '.';
      sawPoint = true;
    } else {
      // Exponent forms go through double.
      bool ok = false;
      const double d = t.toDouble(&ok);
      if (!ok || !std::isfinite(d)) return std::nullopt;
      return QString::number(d, 'f', QLocale::FloatingPointShortest);
    }
  }
  if (!digits) return std::nullopt;
  if (out.endsWith('.')) out.chop(1);
  if (out.startsWith('.')) out.prepend('0');
  if (out.startsWith(QLatin1String("-."))) out.insert(1, '0');
  return out;
}

std::optional<bool> parseBool(const QString& s, const QLocale& locale) {
  const QString t = s.trimmed();
  if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
      t.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0 ||
      t.compare(QLatin1String("on"), Qt::CaseInsensitive) == 0)
    return true;
  if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 ||
      t.compare(QLatin1String("no"), Qt::CaseInsensitive) == 0 ||
      t.compare(QLatin1String("off"), Qt::CaseInsensitive) == 0)
    return false;
  if (auto d = parseReal(t, locale)) return *d != 0;
  return std::nullopt;
}

}  // namespace

int64_t toOleMsecs(const QDateTime& dt) {
  return kOleOrigin.daysTo(dt.date()) * kMsPerDay + dt.time().msecsSinceStartOfDay();
}
int64_t toOleMsecs(const QDate& d) { return kOleOrigin.daysTo(d) * kMsPerDay; }
int64_t toOleMsecs(const QTime& t) { return t.msecsSinceStartOfDay(); }

int64_t oleMsecsFromDays(double days) {
  const double whole = std::trunc(days);
  const int64_t secs = std::llround(std::fabs(days - whole) * 86400.0);
  return int64_t(whole) * kMsPerDay + secs * 1000;
}

QDateTime fromOleMsecs(int64_t ms) {
  int64_t days = 0;
  int rest = 0;
  splitOleMsecs(ms, &days, &rest);
  return makeDateTime(kOleOrigin.addDays(days), QTime::fromMSecsSinceStartOfDay(rest));
}

QDateTime makeDateTime(const QDate& d, const QTime& t) { return QDateTime(d, t, Qt::UTC); }

std::optional<QDateTime> parseDateTime(QStringView text, const QLocale& locale) {
  const QString s = text.trimmed().toString();
  if (s.isEmpty()) return std::nullopt;

  static const QRegularExpression iso(QStringLiteral(
      R"(^(\d{4})-(\d{1,2})-(\d{1,2})(?:[T ](\d{1,2}):(\d{2})(?::(\d{2})(?:\.(\d{1,3})\d*)?)?)?$)"));
  static const QRegularExpression mdy(QStringLiteral(
      R"(^(\d{1,2})/(\d{1,2})/(\d{4}|\d{2})(?:\s+(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?\s*([AaPp][Mm])?)?$)"));
  static const QRegularExpression hms(QStringLiteral(
      R"(^(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?\s*([AaPp][Mm])?$)"));

  auto hourOf = [](int h, const QString& ampm) {
    if (ampm.isEmpty()) return h;
    const bool pm = ampm[0].toLower() == 'p';
    if (h == 12) return pm ? 12 : 0;
    return pm ? h + 12 : h;
  };

  if (auto m = iso.match(s); m.hasMatch()) {
    const QDate d(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    QTime t(0, 0);
    if (m.capturedLength(4))
      t = QTime(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt(),
                m.capturedLength(7) ? m.captured(7).leftJustified(3, '0').toInt() : 0);
    if (d.isValid() && t.isValid()) return makeDateTime(d, t);
    return std::nullopt;
  }

  // The locale's short date (four-digit year accepted too), optionally with a time.
  const QString dateFmt = locale.dateFormat(QLocale::ShortFormat);
  const QString dateFmt4 = fourDigitYear(dateFmt);
  for (const QString& df : {dateFmt4, dateFmt}) {
    QDate d = locale.toDate(s, df);
    if (d.isValid()) {
      if (df == dateFmt && !dateFmt.contains(QLatin1String("yyyy")) && d.year() < 1930) d = d.addYears(100);
      return makeDateTime(d);
    }
    for (const QString& tf : {locale.timeFormat(QLocale::ShortFormat), timeFormatFor(locale),
                              QStringLiteral("H:mm:ss"), QStringLiteral("H:mm")}) {
      const QDateTime dt = locale.toDateTime(s, df + QLatin1Char(' ') + tf);
      if (dt.isValid()) return makeDateTime(dt.date(), dt.time());
    }
  }

  if (auto m = mdy.match(s); m.hasMatch()) {
    int year = m.captured(3).toInt();
    if (m.capturedLength(3) == 2) year += year < 30 ? 2000 : 1900;
    const QDate d(year, m.captured(1).toInt(), m.captured(2).toInt());
    QTime t(0, 0);
    if (m.capturedLength(4)) t = QTime(hourOf(m.captured(4).toInt(), m.captured(7)), m.captured(5).toInt(), m.captured(6).toInt());
    if (d.isValid() && t.isValid()) return makeDateTime(d, t);
    return std::nullopt;
  }
  if (auto m = hms.match(s); m.hasMatch()) {
    const QTime t(hourOf(m.captured(1).toInt(), m.captured(4)), m.captured(2).toInt(), m.captured(3).toInt());
    if (t.isValid()) return makeDateTime(kOleOrigin, t);
  }
  return std::nullopt;
}

QVariant coerceValue(const QVariant& v, DataTypeEnum t, const QString& fieldName, const QLocale& locale) {
  if (!v.isValid() || v.isNull()) {
    // A null QString is still text: only an invalid variant or a null of
    // another kind is Null.
    if (v.typeId() == QMetaType::QString && isTextType(t)) return QString();
    if (!v.isValid() || v.typeId() != QMetaType::QString) return {};
  }
  const bool isText = v.typeId() == QMetaType::QString;
  const QString s = isText ? v.toString() : QString();
  if (isText && s.isEmpty() && !isTextType(t) && t != adGUID) return {};

  if (isTextType(t)) {
    if (v.typeId() == QMetaType::QByteArray) return QString::fromUtf8(v.toByteArray());
    if (isText) return s;
    return displayText(v, v.typeId() == QMetaType::Bool ? adBoolean : adVariant, QLocale::c());
  }
  if (isIntegerType(t)) {
    std::optional<qlonglong> r;
    if (isText) {
      r = parseInteger(s.trimmed(), locale);
    } else if (v.typeId() == QMetaType::Bool) {
      r = v.toBool() ? -1 : 0;
    } else {
      bool ok = false;
      const double d = v.toDouble(&ok);
      if (ok && d == std::trunc(d) && std::fabs(d) < 9.2e18) r = v.toLongLong();
    }
    if (!r || !inRange(*r, t)) conversionError(fieldName, v, t);
    return *r;
  }
  switch (t) {
    case adSingle: case adDouble: case adCurrency: {
      std::optional<double> r;
      if (isText) {
        QString c = s.trimmed();
        if (t == adCurrency) c.remove(locale.currencySymbol());
        r = parseReal(c.trimmed(), locale);
      } else if (v.typeId() == QMetaType::Bool) {
        r = v.toBool() ? -1.0 : 0.0;
      } else {
        bool ok = false;
        const double d = v.toDouble(&ok);
        if (ok) r = d;
      }
      if (!r) conversionError(fieldName, v, t);
      if (t == adSingle) return double(float(*r));
      if (t == adCurrency) return std::round(*r * 10000.0) / 10000.0;
      return *r;
    }
    case adNumeric: case adDecimal: {
      std::optional<QString> r;
      if (isText) {
        r = parseDecimal(s, locale);
      } else {
        bool ok = false;
        const double d = v.toDouble(&ok);
        if (ok && std::isfinite(d)) {
          if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int)
            r = QString::number(v.toLongLong());
          else
            r = QString::number(d, 'f', QLocale::FloatingPointShortest);
        }
      }
      if (!r) conversionError(fieldName, v, t);
      return *r;
    }
    case adBoolean: {
      std::optional<bool> r;
      if (isText) {
        r = parseBool(s, locale);
      } else if (v.canConvert<bool>()) {
        r = v.toBool();
      }
      if (!r) conversionError(fieldName, v, t);
      return *r;
    }
    case adDate: case adDBTimeStamp: case adFileTime: case adDBDate: case adDBTime: {
      std::optional<QDateTime> r;
      if (isText) {
        r = parseDateTime(s, locale);
      } else if (v.typeId() == QMetaType::QDateTime) {
        r = makeDateTime(v.toDateTime().date(), v.toDateTime().time());
      } else if (v.typeId() == QMetaType::QDate) {
        r = makeDateTime(v.toDate());
      } else if (v.typeId() == QMetaType::QTime) {
        r = makeDateTime(kOleOrigin, v.toTime());
      }
      if (!r || !r->isValid()) conversionError(fieldName, v, t);
      if (t == adDBDate) return r->date();
      if (t == adDBTime) return r->time();
      return *r;
    }
    case adGUID: {
      const QUuid u = isText ? QUuid::fromString(s.trimmed()) : v.toUuid();
      if (u.isNull() && !(isText && s.trimmed().startsWith(QLatin1String("{00000000")))) conversionError(fieldName, v, t);
      return u.toString(QUuid::WithBraces).toUpper();
    }
    case adBinary: case adVarBinary: case adLongVarBinary: {
      if (v.typeId() == QMetaType::QByteArray) return v.toByteArray();
      if (isText) {
        const QString h = s.trimmed();
        static const QRegularExpression hex(QStringLiteral("^([0-9A-Fa-f]{2})*$"));
        if (!hex.match(h).hasMatch()) conversionError(fieldName, v, t);
        return QByteArray::fromHex(h.toLatin1());
      }
      conversionError(fieldName, v, t);
    }
    default:
      return v;
  }
}

double singleAsDecimal(double d) {
  if (!std::isfinite(d)) return d;
  const float f = float(d);
  if (double(f) != d) return d;
  // The shortest text that reads back as the same float has at most nine
  // significant digits, so the double read from it prints as that text.
  char buf[32];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, f);
  if (ec != std::errc()) return d;
  double shortest = d;
  std::from_chars(buf, end, shortest);
  return shortest;
}

QString displayText(const QVariant& v, DataTypeEnum t, const QLocale& locale) {
  if (!v.isValid() || v.isNull()) {
    if (v.typeId() == QMetaType::QString) return QString();
    if (!v.isValid()) return QString();
  }
  switch (v.typeId()) {
    case QMetaType::Bool:
      return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::LongLong: case QMetaType::Int: case QMetaType::UInt: case QMetaType::ULongLong:
      return QString::number(v.toLongLong());
    case QMetaType::Double: case QMetaType::Float:
      return numberText(t == adSingle || v.typeId() == QMetaType::Float ? singleAsDecimal(v.toDouble()) : v.toDouble(),
                        locale);
    case QMetaType::QDateTime: {
      const QDateTime dt = v.toDateTime();
      QString out = locale.toString(dt.date(), fourDigitYear(locale.dateFormat(QLocale::ShortFormat)));
      if (dt.time() != QTime(0, 0)) out += QLatin1Char(' ') + locale.toString(dt.time(), timeFormatFor(locale));
      return out;
    }
    case QMetaType::QDate:
      return locale.toString(v.toDate(), fourDigitYear(locale.dateFormat(QLocale::ShortFormat)));
    case QMetaType::QTime:
      return locale.toString(v.toTime(), timeFormatFor(locale));
    case QMetaType::QByteArray:
      return QString::fromLatin1(v.toByteArray().toHex().toUpper());
    case QMetaType::QString:
      if (t == adNumeric || t == adDecimal) {
        QString s = v.toString();
        const QString point = locale.decimalPoint();
        if (point != QLatin1String(".")) s.replace(QLatin1Char('.'), point);
        return s;
      }
      return v.toString();
    default:
      return v.toString();
  }
}

QString invariantText(const QVariant& v, DataTypeEnum t) {
  switch (v.typeId()) {
    case QMetaType::QDateTime:
      return v.toDateTime().toString(v.toDateTime().time().msec() ? QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")
                                                                  : QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    case QMetaType::QDate:
      return v.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    case QMetaType::QTime:
      return v.toTime().toString(QStringLiteral("HH:mm:ss"));
    case QMetaType::Double: case QMetaType::Float: {
      const double d = t == adSingle || v.typeId() == QMetaType::Float ? singleAsDecimal(v.toDouble()) : v.toDouble();
      if (std::isfinite(d)) return QString::number(d, 'g', QLocale::FloatingPointShortest);
      return displayText(v, t, QLocale::c());
    }
    default:
      return displayText(v, t, QLocale::c());
  }
}

bool sameValue(const QVariant& a, const QVariant& b) {
  const bool an = !a.isValid(), bn = !b.isValid();
  if (an || bn) return an == bn;
  if (a.typeId() == QMetaType::QDateTime && b.typeId() == QMetaType::QDateTime)
    return toOleMsecs(a.toDateTime()) == toOleMsecs(b.toDateTime());
  return a == b;
}

}  // namespace dataaccess
