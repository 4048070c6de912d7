#include "dataaccess/providers/text/textvalues.h"

#include "dataaccess/values.h"

#include <gtest/gtest.h>

using dataaccess::text::ValueParser;

namespace {

constexpr unsigned kAll = ValueParser::kInteger | ValueParser::kReal | ValueParser::kDate;

int64_t ole(int y, int m, int d, int h = 0, int n = 0, int s = 0) {
  return dataaccess::toOleMsecs(dataaccess::makeDateTime(QDate(y, m, d), QTime(h, n, s)));
}

}  // namespace

TEST(ValueParser, ClassifiesNumbers) {
  const ValueParser p(QLocale(QLocale::English, QLocale::UnitedStates));
  EXPECT_EQ(p.classify("42", kAll), ValueParser::kInteger);
  EXPECT_EQ(p.classify("  -7 ", kAll), ValueParser::kInteger);
  EXPECT_EQ(p.classify("+2147483647", kAll), ValueParser::kInteger);
  EXPECT_EQ(p.classify("-2147483648", kAll), ValueParser::kInteger);
  // Beyond 32 bits: a real while a double holds it exactly, else text.
  EXPECT_EQ(p.classify("2147483648", kAll), ValueParser::kReal);
  EXPECT_EQ(p.classify("9007199254740993", kAll), ValueParser::kText);
  EXPECT_EQ(p.classify("12345678901234567890123", kAll), ValueParser::kText);
  EXPECT_EQ(p.classify("1.5", kAll), ValueParser::kReal);
  EXPECT_EQ(p.classify(".5", kAll), ValueParser::kReal);
  EXPECT_EQ(p.classify("-1e-3", kAll), ValueParser::kReal);
  EXPECT_EQ(p.classify("1e999", kAll), ValueParser::kText);
  for (const char* text : {"1,5", "1.2.3", "e5", "-", "inf", "nan", "0x10", "12abc", "1 2"})
    EXPECT_EQ(p.classify(text, kAll), ValueParser::kText) << text;
  // Kinds no longer possible for the column are not tested.
  EXPECT_EQ(p.classify("42", ValueParser::kReal), ValueParser::kReal);
  EXPECT_EQ(p.classify("42", ValueParser::kDate), ValueParser::kText);
  EXPECT_EQ(p.classify(" \t ", kAll), ValueParser::kBlank);
}

TEST(ValueParser, LocaleDecimalComma) {
  const ValueParser p(QLocale(QLocale::German, QLocale::Germany));
  EXPECT_EQ(p.classify("1,5", kAll), ValueParser::kReal);
  double d = 0;
  ASSERT_TRUE(p.parseReal(" 1,25 ", d));
  EXPECT_DOUBLE_EQ(d, 1.25);
  ASSERT_TRUE(p.parseReal("2.5", d));
  EXPECT_DOUBLE_EQ(d, 2.5);
  int64_t ms = 0;
  ASSERT_TRUE(p.parseDate("24.12.2005", ms));
  EXPECT_EQ(ms, ole(2005, 12, 24));
}

TEST(ValueParser, DatesAndTimes) {
  const ValueParser p(QLocale(QLocale::English, QLocale::UnitedStates));
  int64_t ms = 0;
  ASSERT_TRUE(p.parseDate("2005-01-02", ms));
  EXPECT_EQ(ms, ole(2005, 1, 2));
  ASSERT_TRUE(p.parseDate("2005-01-02 10:05", ms));
  EXPECT_EQ(ms, ole(2005, 1, 2, 10, 5));
  ASSERT_TRUE(p.parseDate("2005-01-02T10:05:07", ms));
  EXPECT_EQ(ms, ole(2005, 1, 2, 10, 5, 7));
  ASSERT_TRUE(p.parseDate("12/31/1999 11:30:00 PM", ms));
  EXPECT_EQ(ms, ole(1999, 12, 31, 23, 30));
  ASSERT_TRUE(p.parseDate("1/2/05", ms));  // the locale's M/d/yy
  EXPECT_EQ(ms, ole(2005, 1, 2));
  ASSERT_TRUE(p.parseDate("1850-06-01", ms));
  EXPECT_EQ(ms, ole(1850, 6, 1));
  for (const char* text : {"2005-02-30", "2005-13-01", "13/13/2005", "2005-01-02 25:00", "2005-01-02x",
                           "2005-01-02T", "12/31/1999 11:30 XM", "31.12.2005"})
    EXPECT_FALSE(p.parseDate(text, ms)) << text;
  EXPECT_EQ(p.classify("2005-01-02", kAll), ValueParser::kDate);
}

TEST(ValueParser, IntegersAndBooleans) {
  const ValueParser p;
  int64_t i = 0;
  ASSERT_TRUE(p.parseInteger(" 9223372036854775807", i));
  EXPECT_EQ(i, INT64_MAX);
  ASSERT_TRUE(p.parseInteger("12.0", i));
  EXPECT_EQ(i, 12);
  EXPECT_FALSE(p.parseInteger("12.5", i));
  bool b = false;
  for (const char* t : {"True", "yes", "ON", "-1", "1"}) EXPECT_TRUE(p.parseBoolean(t, b) && b) << t;
  for (const char* t : {"false", "No", "0"}) EXPECT_TRUE(p.parseBoolean(t, b) && !b) << t;
  EXPECT_FALSE(p.parseBoolean("maybe", b));
}
