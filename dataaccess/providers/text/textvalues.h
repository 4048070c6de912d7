// Fast recognisers and parsers for the values of delimited text: whole
// numbers, real numbers (with "." or the locale's decimal point, an
// exponent), dates and times (ISO 8601, m/d/yyyy and the locale's numeric
// short date, with an optional time), Booleans. They work on UTF-8 bytes
// without allocating, because they run once or twice on every cell of
// files with millions of rows. Blanks around a value are allowed.
#pragma once

#include <QLocale>
#include <cstdint>
#include <string_view>

namespace dataaccess::text {

class ValueParser {
 public:
  // What a cell holds, for guessing a column's type.
  enum Kind : uint8_t {
    kInteger = 1,  // a whole number within 32 bits
    kReal = 2,     // another number a double holds exactly enough
    kDate = 4,     // a date, optionally with a time
    kText = 0,     // anything else
    kBlank = 8,    // only blanks: says nothing about the type
  };

  explicit ValueParser(const QLocale& locale = QLocale());

  // The kind of a non-empty cell. `wanted` is the set of kinds still
  // possible for the column (kInteger|kReal for numbers, kDate); kinds not
  // wanted are not tested, and a cell of such a kind is kText.
  Kind classify(std::string_view cell, unsigned wanted) const;

  // Whole numbers of 64 bits (a real with no fraction is accepted too).
  bool parseInteger(std::string_view cell, int64_t& out) const;
  bool parseReal(std::string_view cell, double& out) const;
  // Milliseconds since 1899-12-30 00:00 (values.h toOleMsecs).
  bool parseDate(std::string_view cell, int64_t& oleMsecs) const;
  // True/False, Yes/No, On/Off, and numbers (0 is false).
  bool parseBoolean(std::string_view cell, bool& out) const;

 private:
  enum class NumberShape { None, Integer, Real };
  NumberShape numberShape(std::string_view s) const;
  bool toDouble(std::string_view s, double& out) const;
  bool parseTime(const char*& p, const char* end, int64_t& ms) const;

  char point_ = 0;  // the locale's decimal point when it is not "."
  // The locale's numeric short date: field order (0 day, 1 month, 2 year),
  // separator, and whether its year has two digits.
  bool localeDate_ = false;
  int order_[3] = {1, 0, 2};
  char dateSeparator_ = '/';
  bool twoDigitYear_ = false;
};

// Days from 1899-12-30 to the given date (proleptic Gregorian calendar).
int64_t oleDayNumber(int year, int month, int day);

}  // namespace dataaccess::text
