#include "options.h"

#include "../datasource/sourcestate.h"
#include "dataaccess/error.h"
#include "settings.h"
#include "splashinfo.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace viewer {

namespace {

constexpr int16_t kDefaultPageSize = 40;

bool isSkipped(QChar c) {
  return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n');
}

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

}  // namespace

QStringList TextFormatItems() {
  return {QStringLiteral("TabDelimited"), QStringLiteral("CSVDelimited"), QStringLiteral("Delimited( )"),
          QStringLiteral("Delimited(;)"), QStringLiteral("Delimited(|)")};
}

double ReadNumber(const QString& text) {
  QString s;
  s.reserve(text.size());
  for (QChar c : text)
    if (!isSkipped(c)) s += c;

  // The longest prefix of the form [sign] digits [. digits] [e [sign] digits].
  std::string number;
  qsizetype i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-'))) {
    negative = s[i] == QLatin1Char('-');
    ++i;
  }
  // The order of the number's first significant digit, so an out-of-range
  // result can tell overflow from underflow.
  int leadingOrder = 0;
  bool significant = false;
  bool anyDigit = false;
  for (; i < s.size() && isDigit(s[i]); ++i) {
    anyDigit = true;
    number += char(s[i].unicode());
    if (significant || s[i] != QLatin1Char('0')) {
      significant = true;
      ++leadingOrder;
    }
  }
  if (i < s.size() && s[i] == QLatin1Char('.')) {
    qsizetype j = i + 1;
    std::string fraction;
    for (; j < s.size() && isDigit(s[j]); ++j) {
      fraction += char(s[j].unicode());
      if (!significant) {
        if (s[j] == QLatin1Char('0')) --leadingOrder;
        else significant = true;
      }
    }
    if (!fraction.empty()) {
      anyDigit = true;
      number += '.';
      number += fraction;
    }
    if (anyDigit) i = j;
  }
  if (!anyDigit) return 0.0;
  long long exponent = 0;
  if (i < s.size() && (s[i] == QLatin1Char('e') || s[i] == QLatin1Char('E'))) {
    qsizetype j = i + 1;
    std::string exp = "e";
    if (j < s.size() && (s[j] == QLatin1Char('+') || s[j] == QLatin1Char('-'))) exp += char(s[j++].unicode());
    const qsizetype digitsFrom = j;
    for (; j < s.size() && isDigit(s[j]); ++j) {
      exp += char(s[j].unicode());
      if (exponent < 100000) exponent = exponent * 10 + (s[j].unicode() - '0');
    }
    if (j > digitsFrom) {
      if (exp.size() > 1 && exp[1] == '-') exponent = -exponent;
      number += exp;
    } else {
      exponent = 0;
    }
  }
  if (!significant) return negative ? -0.0 : 0.0;

  double value = 0.0;
  const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
  if (result.ec == std::errc::result_out_of_range)
    value = leadingOrder + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  return negative ? -value : value;
}

std::optional<int16_t> PageSizeFromText(const QString& text) {
  // nearbyint rounds halves to the even neighbour in the default mode.
  const double rounded = std::nearbyint(ReadNumber(text));
  if (rounded > kMaxPageSize) return std::nullopt;
  if (!(rounded > 0)) return kDefaultPageSize;
  return int16_t(rounded);
}

QString TextFormatFromText(const QString& text) {
  // Blanks only: a tab or line break typed into the field stays.
  qsizetype from = 0, to = text.size();
  while (from < to && text[from] == QLatin1Char(' ')) ++from;
  while (to > from && text[to - 1] == QLatin1Char(' ')) --to;
  const QString trimmed = text.mid(from, to - from);
  return trimmed.isEmpty() ? QStringLiteral("TabDelimited") : trimmed;
}

OptionsFields OptionsFieldsFromSettings() {
  const SourceState& s = state();
  return {s.PageEncoding, QString::number(s.PageSize), s.TextFormat};
}

void ApplyOptions(const OptionsFields& fields) {
  const std::optional<int16_t> pageSize = PageSizeFromText(fields.pageSize);
  if (!pageSize)
    throw dataaccess::Error(kOverflowError, QStringLiteral("frmOptions.Apply"),
                            QStringLiteral("Rows on page cannot be more than %1").arg(kMaxPageSize));
  SourceState& s = state();
  s.PageSize = *pageSize;
  s.PageEncoding = fields.encoding;
  s.TextFormat = TextFormatFromText(fields.textFormat);
  SaveSettings();
}

void ApplyOptionsChange(const OptionsChange& change) {
  OptionsFields fields = OptionsFieldsFromSettings();
  if (change.encoding) fields.encoding = *change.encoding;
  if (change.pageSize) fields.pageSize = *change.pageSize;
  if (change.textFormat) fields.textFormat = *change.textFormat;
  SourceState& s = state();
  const int16_t showSplash = s.ShowSplash;
  if (change.showSplash) s.ShowSplash = *change.showSplash;
  try {
    ApplyOptions(fields);
  } catch (const dataaccess::Error& e) {
    // A refused page size leaves every setting as it was; a failed write
    // keeps the new values in memory, as ApplyOptions does.
    if (e.number() == kOverflowError) s.ShowSplash = showSplash;
    throw;
  }
}

QList<std::pair<QString, QString>> OptionsListing() {
  const OptionsFields fields = OptionsFieldsFromSettings();
  return {{QString::fromLatin1(kEncodingCaption), fields.encoding},
          {QString::fromLatin1(kPageSizeCaption), fields.pageSize},
          {QString::fromLatin1(kTextFormatCaption), fields.textFormat},
          {QString::fromLatin1(kShowSplashCaption), QString::number(state().ShowSplash)}};
}

}  // namespace viewer
