#include "textvalues.h"

#include "../../values.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace dataaccess::text {

namespace {

inline bool isDigit(char c) { return c >= '0' && c <= '9'; }
inline bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && isBlank(s[b])) ++b;
  while (e > b && isBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = unsigned(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + int64_t(doe) - 719468;
}

bool validDate(int y, int m, int d) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return d <= kDays[m - 1] + (m == 2 && leap ? 1 : 0);
}

// Reads 1..maxDigits digits.
bool readNumber(const char*& p, const char* end, int maxDigits, int& value, int& digits) {
  value = 0;
  digits = 0;
  while (p < end && isDigit(*p) && digits < maxDigits) {
    value = value * 10 + (*p - '0');
    ++p;
    ++digits;
  }
  return digits > 0 && !(p < end && isDigit(*p));
}

}  // namespace

int64_t oleDayNumber(int year, int month, int day) {
  // daysFromCivil counts from 1970-01-01, Julian day 2440588.
  static const int64_t origin = kOleOriginJulianDay - 2440588;
  return daysFromCivil(year, unsigned(month), unsigned(day)) - origin;
}

ValueParser::ValueParser(const QLocale& locale) {
  const QString point = locale.decimalPoint();
  if (point.size() == 1 && point[0].unicode() < 0x80 && point[0] != QLatin1Char('.')) point_ = char(point[0].unicode());

  // Understand the locale's short date when it is all digits: d, M and y
  // runs joined by one separator character ("M/d/yy", "dd.MM.yyyy", ...).
  const QString fmt = locale.dateFormat(QLocale::ShortFormat);
  int found = 0;
  char sep = 0;
  bool ok = true;
  for (qsizetype i = 0; i < fmt.size() && ok;) {
    const QChar c = fmt[i];
    if (c == QLatin1Char('d') || c == QLatin1Char('M') || c == QLatin1Char('y')) {
      qsizetype j = i;
      while (j < fmt.size() && fmt[j] == c) ++j;
      const qsizetype run = j - i;
      if (found >= 3 || (c != QLatin1Char('y') && run > 2) || (c == QLatin1Char('y') && run != 2 && run != 4)) {
        ok = false;
        break;
      }
      order_[found++] = c == QLatin1Char('d') ? 0 : c == QLatin1Char('M') ? 1 : 2;
      if (c == QLatin1Char('y')) twoDigitYear_ = run == 2;
      i = j;
    } else {
      if (c.unicode() >= 0x80 || c.isLetter() || (sep && sep != char(c.unicode()))) ok = false;
      sep = char(c.unicode());
      ++i;
      if (i < fmt.size() && !(fmt[i] == QLatin1Char('d') || fmt[i] == QLatin1Char('M') || fmt[i] == QLatin1Char('y')))
        ok = false;
    }
  }
  localeDate_ = ok && found == 3 && sep && order_[0] != order_[1] && order_[1] != order_[2] && order_[0] != order_[2];
  if (localeDate_) dateSeparator_ = sep;
}

ValueParser::NumberShape ValueParser::numberShape(std::string_view s) const {
  size_t i = 0;
  const size_t n = s.size();
  if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
  const size_t intStart = i;
  while (i < n && isDigit(s[i])) ++i;
  const size_t intDigits = i - intStart;
  if (i == n) return intDigits ? NumberShape::Integer : NumberShape::None;
  size_t fracDigits = 0;
  if (s[i] == '.' || (point_ && s[i] == point_)) {
    ++i;
    const size_t f = i;
    while (i < n && isDigit(s[i])) ++i;
    fracDigits = i - f;
  }
  if (intDigits + fracDigits == 0) return NumberShape::None;
  if (i < n && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
    const size_t e = i;
    while (i < n && isDigit(s[i])) ++i;
    if (i == e) return NumberShape::None;
  }
  return i == n ? NumberShape::Real : NumberShape::None;
}

bool ValueParser::toDouble(std::string_view s, double& out) const {
  char local[64];
  if (s.size() < sizeof local && (s.front() == '+' || point_)) {
    // from_chars takes neither a leading "+" nor another decimal point.
    size_t n = 0;
    for (size_t i = s.front() == '+' ? 1 : 0; i < s.size(); ++i) local[n++] = s[i] == point_ && point_ ? '.' : s[i];
    s = std::string_view(local, n);
  } else if (s.front() == '+') {
    s.remove_prefix(1);
  }
  const auto r = std::from_chars(s.data(), s.data() + s.size(), out);
  return r.ec == std::errc() && r.ptr == s.data() + s.size() && std::isfinite(out);
}

ValueParser::Kind ValueParser::classify(std::string_view cell, unsigned wanted) const {
  const std::string_view s = trimmed(cell);
  if (s.empty()) return kBlank;
  if (wanted & (kInteger | kReal)) {
    switch (numberShape(s)) {
      case NumberShape::Integer: {
        size_t i = s[0] == '+' || s[0] == '-' ? 1 : 0;
        const bool negative = s[0] == '-';
        while (i + 1 < s.size() && s[i] == '0') ++i;  // leading zeros
        const std::string_view digits = s.substr(i);
        if (digits.size() <= 18) {
          int64_t v = 0;
          for (char c : digits) v = v * 10 + (c - '0');
          if (negative) v = -v;
          if (v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max())
            return (wanted & kInteger) ? kInteger : (wanted & kReal) ? kReal : kText;
          // Wider whole numbers are reals when a double holds them exactly.
          if ((wanted & kReal) && int64_t(double(v)) == v) return kReal;
          return kText;
        }
        uint64_t u = 0;
        const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), u);
        if ((wanted & kReal) && r.ec == std::errc() && r.ptr == digits.data() + digits.size()) {
          const double d = double(u);
          if (d < 1.8e19 && uint64_t(d) == u) return kReal;
        }
        return kText;
      }
      case NumberShape::Real: {
        double d;
        return (wanted & kReal) && toDouble(s, d) ? kReal : kText;
      }
      case NumberShape::None:
        break;
    }
  }
  if ((wanted & kDate) && isDigit(s[0])) {
    int64_t ms;
    if (parseDate(s, ms)) return kDate;
  }
  return kText;
}

bool ValueParser::parseInteger(std::string_view cell, int64_t& out) const {
  std::string_view s = trimmed(cell);
  if (s.empty()) return false;
  const NumberShape shape = numberShape(s);
  if (shape == NumberShape::Integer) {
    if (s[0] == '+') s.remove_prefix(1);
    const auto r = std::from_chars(s.data(), s.data() + s.size(), out);
    if (r.ec == std::errc() && r.ptr == s.data() + s.size()) return true;
  }
  if (shape == NumberShape::None) return false;
  double d;
  if (!toDouble(s, d) || d != std::trunc(d) || std::fabs(d) >= 9.2e18) return false;
  out = int64_t(d);
  return true;
}

bool ValueParser::parseReal(std::string_view cell, double& out) const {
  const std::string_view s = trimmed(cell);
  if (s.empty() || numberShape(s) == NumberShape::None) return false;
  return toDouble(s, out);
}

bool ValueParser::parseBoolean(std::string_view cell, bool& out) const {
  const std::string_view s = trimmed(cell);
  auto is = [&](const char* word) {
    const size_t n = std::strlen(word);
    if (s.size() != n) return false;
    for (size_t i = 0; i < n; ++i)
      if ((s[i] | 0x20) != word[i]) return false;
    return true;
  };
  if (is("true") || is("yes") || is("on")) {
    out = true;
    return true;
  }
  if (is("false") || is("no") || is("off")) {
    out = false;
    return true;
  }
  double d;
  if (parseReal(s, d)) {
    out = d != 0;
    return true;
  }
  return false;
}

// [h]h:mm[:ss[.fff]] with an optional AM/PM, from p; moves p past it.
bool ValueParser::parseTime(const char*& p, const char* end, int64_t& ms) const {
  int h, m, sec = 0, frac = 0, digits;
  if (!readNumber(p, end, 2, h, digits)) return false;
  if (p >= end || *p != ':') return false;
  ++p;
  if (!readNumber(p, end, 2, m, digits) || digits != 2) return false;
  if (p < end && *p == ':') {
    ++p;
    if (!readNumber(p, end, 2, sec, digits) || digits != 2) return false;
    if (p < end && *p == '.') {
      ++p;
      int scale = 100;
      if (p >= end || !isDigit(*p)) return false;
      while (p < end && isDigit(*p)) {
        frac += (*p - '0') * scale;
        scale /= 10;
        ++p;
      }
    }
  }
  const char* q = p;
  while (q < end && *q == ' ') ++q;
  if (end - q >= 2 && (q[1] | 0x20) == 'm' && ((q[0] | 0x20) == 'a' || (q[0] | 0x20) == 'p')) {
    if (h < 1 || h > 12) return false;
    const bool pm = (q[0] | 0x20) == 'p';
    h = h == 12 ? (pm ? 12 : 0) : (pm ? h + 12 : h);
    p = q + 2;
  }
  if (h > 23 || m > 59 || sec > 59) return false;
  ms = ((int64_t(h) * 60 + m) * 60 + sec) * 1000 + frac;
  return true;
}

bool ValueParser::parseDate(std::string_view cell, int64_t& oleMsecs) const {
  const std::string_view s = trimmed(cell);
  if (s.size() < 6 || !isDigit(s[0])) return false;
  const char* p = s.data();
  const char* const end = p + s.size();
  int y = 0, m = 0, d = 0;

  int first, firstDigits;
  if (!readNumber(p, end, 4, first, firstDigits) || p >= end) return false;
  const char sep = *p;
  bool iso = false;
  if (firstDigits == 4 && sep == '-') {
    ++p;
    int digits;
    if (!readNumber(p, end, 2, m, digits) || p >= end || *p != '-') return false;
    ++p;
    if (!readNumber(p, end, 2, d, digits)) return false;
    y = first;
    iso = true;
  } else if (sep == '/' || (localeDate_ && sep == dateSeparator_)) {
    int parts[3] = {first, 0, 0};
    int digits[3] = {firstDigits, 0, 0};
    for (int i = 1; i < 3; ++i) {
      if (p >= end || *p != sep) return false;
      ++p;
      if (!readNumber(p, end, 4, parts[i], digits[i])) return false;
    }
    bool done = false;
    if (localeDate_ && sep == dateSeparator_) {
      const int dayAt = order_[0] == 0 ? 0 : order_[1] == 0 ? 1 : 2;
      const int monthAt = order_[0] == 1 ? 0 : order_[1] == 1 ? 1 : 2;
      const int yearAt = 3 - dayAt - monthAt;
      int year = parts[yearAt];
      bool yearOk = digits[yearAt] == 4;
      if (digits[yearAt] == 2 && twoDigitYear_) {
        year += year < 30 ? 2000 : 1900;
        yearOk = true;
      }
      if (yearOk && digits[dayAt] <= 2 && digits[monthAt] <= 2 && validDate(year, parts[monthAt], parts[dayAt])) {
        y = year;
        m = parts[monthAt];
        d = parts[dayAt];
        done = true;
      }
    }
    if (!done) {
      // m/d/yyyy
      if (sep != '/' || digits[0] > 2 || digits[1] > 2 || digits[2] != 4) return false;
      m = parts[0];
      d = parts[1];
      y = parts[2];
    }
  } else {
    return false;
  }
  if (!validDate(y, m, d)) return false;

  int64_t timeMs = 0;
  if (p < end) {
    if (iso && *p == 'T') {
      ++p;
    } else {
      if (*p != ' ') return false;
      while (p < end && *p == ' ') ++p;
    }
    if (!parseTime(p, end, timeMs) || p != end) return false;
  }
  oleMsecs = oleDayNumber(y, m, d) * kMsPerDay + timeMs;
  return true;
}

}  // namespace dataaccess::text
