#include "cellformat.h"

#include <string_view>

#include "values.h"

#include <charconv>
#include <cstring>
#include <cmath>

namespace dataaccess {

namespace {

// Writes straight into memory the caller has made room in.
struct RawOut {
  char* p;
  void append(char c) { *p++ = c; }
  void append(const QByteArray& b) {
    std::memcpy(p, b.constData(), size_t(b.size()));
    p += b.size();
  }
};

template <class Out>
void appendNumber(Out& out, int v, int width) {
  char buf[16];
  int n = 0;
  unsigned u = v < 0 ? 0u - unsigned(v) : unsigned(v);
  do {
    buf[n++] = char('0' + u % 10);
    u /= 10;
  } while (u);
  if (v < 0) out.append('-');
  for (int i = n; i < width; ++i) out.append('0');
  while (n) out.append(buf[--n]);
}

// The proleptic Gregorian date `days` days after 1899-12-30 (years from 1
// on, as QDate gives them), with its weekday from 1 (Monday) to 7.
bool civilDate(int64_t days, int& y, int& m, int& d, int& weekday) {
  if (days < -693593 || days > 2958465) return false;  // years 1 to 9999
  const int64_t z = days - 25569 + 719468;  // days since 0000-03-01
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = int(doy - (153 * mp + 2) / 5 + 1);
  m = int(mp < 10 ? mp + 3 : mp - 9);
  y = int(yoe + era * 400 + (m <= 2));
  // 1899-12-30 was a Saturday (6).
  weekday = int(((days + 5) % 7 + 7) % 7) + 1;
  return y >= 1;
}

// The same choices as displayText: four-digit years, seconds in the time.
QString fourDigitYear(QString fmt) {
  if (fmt.contains(QLatin1String("yyyy"))) return fmt;
  return fmt.replace(QLatin1String("yy"), QLatin1String("yyyy"));
}

}  // namespace

CellFormatter::CellFormatter(const QLocale& locale) : locale_(locale) {
  simpleNumbers_ = locale.zeroDigit() == QLatin1String("0") && locale.negativeSign() == QLatin1String("-") &&
                   locale.decimalPoint().size() == 1;
  point_ = locale.decimalPoint().toUtf8();
  const QString exp = locale.exponential();
  exponent_ = exp.size() == 1 && exp[0].unicode() < 128 ? char(exp[0].unicode()) : 'e';
  simpleNumbers_ = simpleNumbers_ && exp.size() == 1 && exp[0].unicode() < 128;
  dateFormat_ = fourDigitYear(locale.dateFormat(QLocale::ShortFormat));
  timeFormat_ = locale.timeFormat(QLocale::ShortFormat).contains(QLatin1String("AP"), Qt::CaseInsensitive)
                    ? QStringLiteral("h:mm:ss AP")
                    : QStringLiteral("HH:mm:ss");
  fastDate_ = simpleNumbers_ && compile(dateFormat_, date_);
  fastTime_ = simpleNumbers_ && compile(timeFormat_, time_);
  am_ = locale.amText().toUpper().toUtf8();
  for (int i = 1; i <= 12; ++i) {
    months_[i] = locale.monthName(i, QLocale::ShortFormat).toUtf8();
    monthsLong_[i] = locale.monthName(i, QLocale::LongFormat).toUtf8();
  }
  for (int i = 1; i <= 7; ++i) {
    days_[i] = locale.dayName(i, QLocale::ShortFormat).toUtf8();
    daysLong_[i] = locale.dayName(i, QLocale::LongFormat).toUtf8();
  }
  pm_ = locale.pmText().toUpper().toUtf8();
  amLower_ = am_.toLower();
  pmLower_ = pm_.toLower();
  dateBytes_ = patternBytes(date_);
  timeBytes_ = patternBytes(time_);
}

size_t CellFormatter::patternBytes(const Pattern& p) const {
  auto longest = [](const QByteArray* names, int from, int to) {
    qsizetype n = 0;
    for (int i = from; i <= to; ++i) n = std::max(n, names[i].size());
    return size_t(n);
  };
  size_t n = 0;
  for (const Token& t : p) {
    switch (t.kind) {
      case Token::Literal: n += size_t(t.text.size()); break;
      case Token::AmPm: case Token::AmPmLower: n += size_t(std::max(am_.size(), pm_.size())); break;
      case Token::DayName: n += longest(days_, 1, 7); break;
      case Token::DayNameLong: n += longest(daysLong_, 1, 7); break;
      case Token::MonthName: n += longest(months_, 1, 12); break;
      case Token::MonthNameLong: n += longest(monthsLong_, 1, 12); break;
      default: n += 12; break;  // an int with its sign
    }
  }
  return n;
}

bool CellFormatter::dateTextMayHold(char c) const {
  if ((c >= '0' && c <= '9') || c == '-') return true;
  auto in = [c](const QByteArray& b) { return b.contains(c); };
  for (const Pattern* p : {&date_, &time_})
    for (const Token& t : *p)
      if (t.kind == Token::Literal && in(t.text)) return true;
  if (in(am_) || in(pm_) || in(amLower_) || in(pmLower_) || c == ' ') return true;
  for (int i = 1; i <= 12; ++i)
    if (in(months_[i]) || in(monthsLong_[i])) return true;
  for (int i = 1; i <= 7; ++i)
    if (in(days_[i]) || in(daysLong_[i])) return true;
  return false;
}

char* CellFormatter::writeDateTime(char* p, int64_t oleMs, DataTypeEnum type) const {
  int64_t days = 0;
  int rest = 0;
  splitOleMsecs(oleMs, &days, &rest);
  RawOut out{p};
  if (type == adDBTime) {
    if (!fastTime_) return nullptr;
    appendPatternTo(out, time_, 1, 1, 1, rest);
    return out.p;
  }
  int y, m, d, weekday;
  if (!fastDate_ || !civilDate(days, y, m, d, weekday)) return nullptr;
  const bool withTime = type != adDBDate && rest != 0;
  if (withTime && !fastTime_) return nullptr;
  appendPatternTo(out, date_, y, m, d, 0, weekday);
  if (withTime) {
    out.append(' ');
    appendPatternTo(out, time_, 1, 1, 1, rest);
  }
  return out.p;
}

char* CellFormatter::writeReal(char* p, double v) const {
  if (!simpleNumbers_ || !std::isfinite(v) || exponent_ != 'e' || point_ != ".") return nullptr;
  const double a = std::fabs(v);
  if (!(a >= 1e-5 && a < 1e15)) return nullptr;
  return std::to_chars(p, p + kMaxRealBytes, v, std::chars_format::fixed).ptr;
}

bool CellFormatter::compile(const QString& f, Pattern& out) {
  out.clear();
  for (qsizetype i = 0; i < f.size();) {
    const QChar c = f[i];
    qsizetype run = 1;
    while (i + run < f.size() && f[i + run] == c) ++run;
    auto add = [&](Token::Kind k) { out.push_back(Token{k, {}}); };
    if (c == 'd') {
      if (run > 4) return false;
      add(run == 1 ? Token::Day : run == 2 ? Token::Day2 : run == 3 ? Token::DayName : Token::DayNameLong);
    } else if (c == 'M') {
      if (run > 4) return false;
      add(run == 1 ? Token::Month : run == 2 ? Token::Month2 : run == 3 ? Token::MonthName : Token::MonthNameLong);
    } else if (c == 'y') {
      if (run == 2) add(Token::Year2);
      else if (run == 4) add(Token::Year4);
      else return false;
    } else if (c == 'h' || c == 'H') {
      if (run > 2) return false;
      const bool twelve = c == 'h' && (f.contains(QLatin1String("AP"), Qt::CaseInsensitive) ||
                                       f.contains(QLatin1Char('A')) || f.contains(QLatin1Char('a')));
      add(twelve ? (run == 1 ? Token::Hour12 : Token::Hour12_2) : (run == 1 ? Token::Hour24 : Token::Hour24_2));
    } else if (c == 'm') {
      if (run > 2) return false;
      add(run == 1 ? Token::Minute : Token::Minute2);
    } else if (c == 's') {
      if (run > 2) return false;
      add(run == 1 ? Token::Second : Token::Second2);
    } else if (c == 'z') {
      add(Token::Milli);
    } else if (c == 'A' || c == 'a') {
      run = 1;
      if (i + 1 < f.size() && (f[i + 1] == 'P' || f[i + 1] == 'p')) run = 2;
      add(c == 'A' ? Token::AmPm : Token::AmPmLower);
    } else if (c == '\'' || c == 't') {
      return false;  // quoted text and time zones: leave to QLocale
    } else {
      out.push_back(Token{Token::Literal, QString(f.mid(i, run)).toUtf8()});
    }
    i += run;
  }
  return true;
}

template <class Out>
void CellFormatter::appendPatternTo(Out& out, const Pattern& p, int y, int mo, int d, int ms, int wd) const {
  const int h = ms / 3600000, mi = ms / 60000 % 60, s = ms / 1000 % 60, z = ms % 1000;
  for (const Token& t : p) {
    switch (t.kind) {
      case Token::Literal: out.append(t.text); break;
      case Token::Day: appendNumber(out, d, 1); break;
      case Token::Day2: appendNumber(out, d, 2); break;
      case Token::Month: appendNumber(out, mo, 1); break;
      case Token::Month2: appendNumber(out, mo, 2); break;
      case Token::Year2: appendNumber(out, ((y % 100) + 100) % 100, 2); break;
      case Token::Year4: appendNumber(out, y, 4); break;
      case Token::Hour12: appendNumber(out, h % 12 == 0 ? 12 : h % 12, 1); break;
      case Token::Hour12_2: appendNumber(out, h % 12 == 0 ? 12 : h % 12, 2); break;
      case Token::Hour24: appendNumber(out, h, 1); break;
      case Token::Hour24_2: appendNumber(out, h, 2); break;
      case Token::Minute: appendNumber(out, mi, 1); break;
      case Token::Minute2: appendNumber(out, mi, 2); break;
      case Token::Second: appendNumber(out, s, 1); break;
      case Token::Second2: appendNumber(out, s, 2); break;
      case Token::Milli: appendNumber(out, z, 3); break;
      case Token::AmPm: out.append(h < 12 ? am_ : pm_); break;
      case Token::AmPmLower: out.append(h < 12 ? amLower_ : pmLower_); break;
      case Token::DayName: out.append(days_[wd]); break;
      case Token::DayNameLong: out.append(daysLong_[wd]); break;
      case Token::MonthName: out.append(months_[mo]); break;
      case Token::MonthNameLong: out.append(monthsLong_[mo]); break;
    }
  }
}

void CellFormatter::appendDate(QByteArray& out, int y, int m, int d, int weekday) const {
  if (fastDate_ && y > 0)
    appendPatternTo(out, date_, y, m, d, 0, weekday);
  else
    out.append(locale_.toString(QDate(y, m, d), dateFormat_).toUtf8());
}

void CellFormatter::appendTime(QByteArray& out, int ms) const {
  if (fastTime_)
    appendPatternTo(out, time_, 1, 1, 1, ms);
  else
    out.append(locale_.toString(QTime::fromMSecsSinceStartOfDay(ms), timeFormat_).toUtf8());
}

void CellFormatter::appendReal(QByteArray& out, double v) const {
  if (!simpleNumbers_ || !std::isfinite(v)) {
    out.append(displayText(QVariant(v), adDouble, locale_).toUtf8());
    return;
  }
  const double a = std::fabs(v);
  if (a >= 1e-5 && a < 1e15 && exponent_ == 'e' && point_ == ".") {
    // The shortest text that reads back as the same double, as Qt writes it.
    char digits[40];
    const auto r = std::to_chars(digits, digits + sizeof digits, v, std::chars_format::fixed);
    out.append(digits, qsizetype(r.ptr - digits));
    return;
  }
  QByteArray s = (v == 0 || (a >= 1e-5 && a < 1e15)) ? QByteArray::number(v, 'f', QLocale::FloatingPointShortest)
                                                      : QByteArray::number(v, 'g', QLocale::FloatingPointShortest);
  if (exponent_ != 'e') s.replace('e', exponent_);
  if (point_ != ".") s.replace('.', point_);
  out.append(s);
}

void CellFormatter::appendStored(QByteArray& out, const ColumnStore& c, int64_t row, DataTypeEnum type) const {
  if (c.hasReplacements()) {
    appendValue(out, c.value(row), type);
    return;
  }
  if (c.isNull(row)) return;
  switch (c.storage()) {
    case ColumnStore::Storage::Integer: {
      char digits[24];
      const auto r = std::to_chars(digits, digits + sizeof digits, c.integerAt(row));
      out.append(digits, qsizetype(r.ptr - digits));
      return;
    }
    case ColumnStore::Storage::Real:
      appendReal(out, type == adSingle ? singleAsDecimal(c.realAt(row)) : c.realAt(row));
      return;
    case ColumnStore::Storage::Boolean:
      out.append(c.booleanAt(row) ? "True" : "False");
      return;
    case ColumnStore::Storage::Text: {
      const std::string_view b = c.bytesAt(row);
      if ((type == adNumeric || type == adDecimal) && point_ != ".") {
        QByteArray s(b.data(), qsizetype(b.size()));
        out.append(s.replace('.', point_));
      } else {
        out.append(b.data(), qsizetype(b.size()));
      }
      return;
    }
    case ColumnStore::Storage::Bytes: {
      const std::string_view b = c.bytesAt(row);
      out.append(QByteArray::fromRawData(b.data(), qsizetype(b.size())).toHex().toUpper());
      return;
    }
    case ColumnStore::Storage::DateTime: {
      int64_t days = 0;
      int rest = 0;
      splitOleMsecs(c.oleMsecsAt(row), &days, &rest);
      if (type == adDBTime) {
        appendTime(out, rest);
        return;
      }
      int y, m, d, weekday;
      if (!civilDate(days, y, m, d, weekday)) {
        const QDate date = oleDate(days);
        date.getDate(&y, &m, &d);
        weekday = date.dayOfWeek();
      }
      appendDate(out, y, m, d, weekday);
      if (type != adDBDate && rest != 0) {
        out.append(' ');
        appendTime(out, rest);
      }
      return;
    }
  }
}

void CellFormatter::appendValue(QByteArray& out, const QVariant& v, DataTypeEnum type) const {
  if (!v.isValid()) return;
  out.append(displayText(v, type, locale_).toUtf8());
}

bool delimitedCellNeedsQuotes(std::string_view cell, const QByteArray& colDelimiter, qsizetype& quotes) {
  // One pass over the cell: quotes to double and whether anything calls
  // for quoting; a delimiter of more than one byte is searched for apart.
  const char d = colDelimiter.size() == 1 ? colDelimiter[0] : '"';
  quotes = 0;
  bool special = false;
  for (const char c : cell) {
    if (c == '"') ++quotes;
    else if (c == d || c == '\r' || c == '\n') special = true;
  }
  if (!special && !quotes && colDelimiter.size() > 1)
    special = cell.find(std::string_view(colDelimiter.constData(), size_t(colDelimiter.size()))) != std::string_view::npos;
  return special || quotes;
}

void quoteDelimitedCell(QByteArray& out, qsizetype from, const QByteArray& colDelimiter) {
  qsizetype quotes = 0;
  if (!delimitedCellNeedsQuotes(std::string_view(out.constData() + from, size_t(out.size() - from)), colDelimiter,
                                quotes))
    return;
  // Widened in place: the text moves right from its end, each quote doubled.
  const qsizetype oldSize = out.size();
  out.resize(oldSize + quotes + 2);
  char* const base = out.data() + from;
  char* dst = out.data() + out.size() - 1;
  *dst-- = '"';
  for (char* src = out.data() + oldSize - 1; src >= base; --src) {
    *dst-- = *src;
    if (*src == '"') *dst-- = '"';
  }
  *dst = '"';
}

}  // namespace dataaccess
