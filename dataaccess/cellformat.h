// Fast text of stored cells for the writers that walk whole tables
// (GetString, delimited exports): the same text as displayText() in
// values.h, produced as UTF-8 straight from the column stores, with the
// locale's date and time patterns compiled once instead of per cell.
#pragma once

#include "columnstore.h"

#include <QByteArray>
#include <QLocale>
#include <QVariant>
#include <string_view>
#include <vector>

namespace dataaccess {

class CellFormatter {
 public:
  explicit CellFormatter(const QLocale& locale = QLocale());

  // Appends the text of row `row` of `column` (a field of type `type`).
  // Null appends nothing.
  void appendStored(QByteArray& out, const ColumnStore& column, int64_t row, DataTypeEnum type) const;
  // Appends the text of a canonical value.
  void appendValue(QByteArray& out, const QVariant& v, DataTypeEnum type) const;

  // The text appendStored gives a stored date (milliseconds since the
  // origin, a field of type `type`) or real, written at `p` for writers that
  // fill their own buffers: returns the end of the text, or nullptr for a
  // value only appendStored formats (a pattern left to QLocale, a year before
  // 1, a real written with an exponent). A date takes at most
  // maxDateTimeBytes(), a real at most kMaxRealBytes.
  char* writeDateTime(char* p, int64_t oleMs, DataTypeEnum type) const;
  size_t maxDateTimeBytes() const { return dateBytes_ + 1 + timeBytes_; }
  static constexpr size_t kMaxRealBytes = 40;
  char* writeReal(char* p, double v) const;
  // Whether the text writeDateTime gives may hold the byte `c`.
  bool dateTextMayHold(char c) const;

 private:
  struct Token {
    enum Kind : uint8_t { Literal, Day, Day2, Month, Month2, Year2, Year4, Hour12, Hour12_2, Hour24, Hour24_2,
                          Minute, Minute2, Second, Second2, Milli, AmPm, AmPmLower,
                          DayName, DayNameLong, MonthName, MonthNameLong };
    Kind kind;
    QByteArray text;  // Literal
  };
  using Pattern = std::vector<Token>;

  static bool compile(const QString& format, Pattern& out);
  void appendDate(QByteArray& out, int y, int m, int d, int weekday) const;
  void appendTime(QByteArray& out, int msecs) const;
  void appendReal(QByteArray& out, double v) const;
  template <class Out>
  void appendPatternTo(Out& out, const Pattern& p, int y, int mo, int d, int msecs, int weekday = 1) const;
  // The most bytes a pattern's text can take.
  size_t patternBytes(const Pattern& p) const;

  QLocale locale_;
  bool simpleNumbers_ = true;  // ASCII digits, "-" and "." or one other point
  QByteArray point_;
  char exponent_ = 'e';
  QString dateFormat_, timeFormat_;
  Pattern date_, time_;
  bool fastDate_ = false, fastTime_ = false;
  QByteArray am_, pm_, amLower_, pmLower_;
  size_t dateBytes_ = 0, timeBytes_ = 0;
  QByteArray months_[13], monthsLong_[13], days_[8], daysLong_[8];  // 1-based
};

// Puts the cell text that `out` holds from `from` on in double quotes, with
// inner quotes doubled, when it holds `colDelimiter`, a double quote, CR or
// LF (the RFC 4180 convention for delimited files); leaves it as it is
// otherwise.
void quoteDelimitedCell(QByteArray& out, qsizetype from, const QByteArray& colDelimiter);
// Whether quoteDelimitedCell quotes `cell`; `quotes` receives the number of
// double quotes in it when it does.
bool delimitedCellNeedsQuotes(std::string_view cell, const QByteArray& colDelimiter, qsizetype& quotes);

}  // namespace dataaccess
