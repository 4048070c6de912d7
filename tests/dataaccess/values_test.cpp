#include "dataaccess/columnstore.h"
#include "dataaccess/error.h"
#include "dataaccess/values.h"

#include <gtest/gtest.h>

using namespace dataaccess;

namespace {

QDateTime dt(int y, int m, int d, int h = 0, int n = 0, int s = 0) { return makeDateTime(QDate(y, m, d), QTime(h, n, s)); }

}  // namespace

TEST(Values, OleMillisecondsRoundTripAcrossTheOrigin) {
  for (const QDateTime& v : {dt(1899, 12, 30), dt(1899, 12, 29, 23, 59, 59), dt(1753, 1, 1), dt(2005, 1, 2, 10, 5, 7),
                             dt(9999, 12, 31, 23, 59, 59)})
    EXPECT_EQ(fromOleMsecs(toOleMsecs(v)), v) << v.toString().toStdString();
  EXPECT_EQ(toOleMsecs(dt(1899, 12, 31)), 86400000);
  EXPECT_EQ(toOleMsecs(QTime(6, 0)), 6 * 3600 * 1000);
}

TEST(Values, DayNumbersWithFractionsRoundToTheSecondOnBothSidesOfTheOrigin) {
  EXPECT_EQ(oleDate(0), QDate(1899, 12, 30));
  EXPECT_EQ(oleDays(QDate(1900, 1, 1)), 2);
  EXPECT_EQ(fromOleMsecs(oleMsecsFromDays(-1.25)), dt(1899, 12, 29, 6));
  EXPECT_EQ(fromOleMsecs(oleMsecsFromDays(38354.5)), dt(2005, 1, 2, 12));
  // Half a second past 10:05:06 is rounded up; a time a hair before
  // midnight becomes midnight of the next day.
  EXPECT_EQ(fromOleMsecs(oleMsecsFromDays(38354 + (36306.5 / 86400.0))), dt(2005, 1, 2, 10, 5, 7));
  EXPECT_EQ(fromOleMsecs(oleMsecsFromDays(38354.9999999)), dt(2005, 1, 3));
  EXPECT_EQ(floorSeconds(1999), 1);
  EXPECT_EQ(floorSeconds(-1), -1);
  EXPECT_EQ(floorSeconds(-1000), -1);
  EXPECT_EQ(floorSeconds(-1001), -2);
  int64_t days = 0;
  int ms = 0;
  splitOleMsecs(-1, &days, &ms);
  EXPECT_EQ(days, -1);
  EXPECT_EQ(ms, 86399999);
}

TEST(Values, ParsesIsoUsAndTimeOnlyDates) {
  EXPECT_EQ(parseDateTime(u"2005-01-02"), dt(2005, 1, 2));
  EXPECT_EQ(parseDateTime(u"2005-01-02T10:05:07"), dt(2005, 1, 2, 10, 5, 7));
  EXPECT_EQ(parseDateTime(u"2005-01-02 10:05"), dt(2005, 1, 2, 10, 5));
  EXPECT_EQ(parseDateTime(u"1/2/2005"), dt(2005, 1, 2));
  EXPECT_EQ(parseDateTime(u"1/2/2005 10:05:07 PM"), dt(2005, 1, 2, 22, 5, 7));
  EXPECT_EQ(parseDateTime(u"10:05:07"), dt(1899, 12, 30, 10, 5, 7));
  EXPECT_FALSE(parseDateTime(u"2005-02-30").has_value());
  EXPECT_FALSE(parseDateTime(u"hello").has_value());
  EXPECT_FALSE(parseDateTime(u"").has_value());
}

TEST(Values, CoercesTextIntoEachFieldType) {
  EXPECT_EQ(coerceValue(QStringLiteral(" 42 "), adInteger, "n"), QVariant(qlonglong(42)));
  EXPECT_EQ(coerceValue(QStringLiteral("12.0"), adInteger, "n"), QVariant(qlonglong(12)));
  EXPECT_EQ(coerceValue(QStringLiteral("2.5"), adDouble, "n"), QVariant(2.5));
  EXPECT_EQ(coerceValue(QStringLiteral("-12.50"), adNumeric, "n"), QVariant(QStringLiteral("-12.50")));
  EXPECT_EQ(coerceValue(QStringLiteral("-1"), adBoolean, "b"), QVariant(true));
  EXPECT_EQ(coerceValue(QStringLiteral("False"), adBoolean, "b"), QVariant(false));
  EXPECT_EQ(coerceValue(QStringLiteral("1/2/2005"), adDBDate, "d"), QVariant(QDate(2005, 1, 2)));
  EXPECT_EQ(coerceValue(QStringLiteral("10:05:07"), adDBTime, "t"), QVariant(QTime(10, 5, 7)));
  EXPECT_EQ(coerceValue(QStringLiteral("0A0b"), adVarBinary, "x"), QVariant(QByteArray("\x0a\x0b", 2)));
  // An empty text is Null for every type but text, where it stays empty.
  EXPECT_FALSE(coerceValue(QStringLiteral(""), adInteger, "n").isValid());
  EXPECT_FALSE(coerceValue(QStringLiteral(""), adDate, "d").isValid());
  EXPECT_EQ(coerceValue(QStringLiteral(""), adVarWChar, "s"), QVariant(QString("")));
}

TEST(Values, RefusesTextThatDoesNotConvertAndNamesTheField) {
  for (auto [text, type] : {std::pair{"abc", adInteger}, {"70000", adSmallInt}, {"300", adUnsignedTinyInt},
                            {"yes please", adBoolean}, {"32/13/2005", adDate}, {"1.2.3", adNumeric}}) {
    try {
      coerceValue(QString::fromLatin1(text), type, QStringLiteral("Price"));
      FAIL() << text;
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), err::kDataConversion);
      EXPECT_TRUE(e.description().contains("Price")) << e.description().toStdString();
    }
  }
}

TEST(Values, DisplayTextIsTheOrdinaryLocaleForm) {
  const QLocale us(QLocale::English, QLocale::UnitedStates);
  EXPECT_EQ(displayText(QVariant(dt(2005, 1, 2)), adDate, us), "1/2/2005");
  EXPECT_EQ(displayText(QVariant(dt(2005, 1, 2, 10, 5, 7)), adDate, us), "1/2/2005 10:05:07 AM");
  EXPECT_EQ(displayText(QVariant(1234567.5), adDouble, us), "1234567.5");
  EXPECT_EQ(displayText(QVariant(1e20), adDouble, us), "1E+20");
  EXPECT_EQ(displayText(QVariant(true), adBoolean, us), "True");
  EXPECT_EQ(displayText(QVariant(), adInteger, us), "");
  const QLocale de(QLocale::German, QLocale::Germany);
  EXPECT_EQ(displayText(QVariant(QStringLiteral("12.5")), adNumeric, de), "12,5");
  EXPECT_EQ(displayText(QVariant(1234.25), adDouble, de), "1234,25");
}

TEST(Values, InvariantTextIsLocaleFree) {
  EXPECT_EQ(invariantText(QVariant(dt(2005, 1, 2, 10, 5, 7)), adDate), "2005-01-02T10:05:07");
  EXPECT_EQ(invariantText(QVariant(QDate(2005, 1, 2)), adDBDate), "2005-01-02");
  EXPECT_EQ(invariantText(QVariant(0.1), adDouble), "0.1");
}

// A Single holds a 4-byte float; its text is the shortest one that reads
// back as that float, not the digits of the float widened to a double.
TEST(Values, SingleValuesShowTheDigitsOfTheFloat) {
  const QLocale us(QLocale::English, QLocale::UnitedStates), de(QLocale::German, QLocale::Germany);
  EXPECT_EQ(displayText(QVariant(double(0.15f)), adSingle, us), "0.15");
  EXPECT_EQ(displayText(QVariant(double(0.15f)), adSingle, de), "0,15");
  EXPECT_EQ(displayText(QVariant(double(-1.1f)), adSingle, us), "-1.1");
  EXPECT_EQ(displayText(QVariant(double(3.4028235e38f)), adSingle, us), "3.4028235E+38");
  EXPECT_EQ(displayText(QVariant(double(1e-7f)), adSingle, us), "1E-07");
  EXPECT_EQ(displayText(QVariant(double(16777216.0f)), adSingle, us), "16777216");
  EXPECT_EQ(displayText(QVariant(0.15f), adVariant, us), "0.15");
  EXPECT_EQ(invariantText(QVariant(double(0.15f)), adSingle), "0.15");
  EXPECT_EQ(invariantText(QVariant(double(1.0f / 3.0f)), adSingle), "0.33333334");
  // A double column keeps every digit; a value that is no float stays as it is.
  EXPECT_EQ(displayText(QVariant(double(0.15f)), adDouble, us), "0.15000000596046448");
  EXPECT_EQ(displayText(QVariant(0.1), adSingle, us), "0.1");
  EXPECT_EQ(singleAsDecimal(0.123456789012), 0.123456789012);
  // Every float reads back from its text unchanged.
  for (float f : {0.15f, 1.0f / 3.0f, 1e-45f, -7.0e-39f, 123456.79f, 9.999999e37f}) {
    const QString text = invariantText(QVariant(double(f)), adSingle);
    EXPECT_EQ(text.toFloat(), f) << text.toStdString();
  }
}

TEST(ColumnStore, KeepsNullsApartFromEmptyAndZero) {
  ColumnStore text(adVarWChar), ints(adInteger);
  text.appendText(u"a");
  text.appendNull();
  text.appendText(u"");
  ints.appendNull();
  ints.appendInteger(0);
  for (int i = 0; i < 200; ++i) ints.appendInteger(i);  // crosses several null-bitmap words
  ints.appendNull();
  EXPECT_EQ(text.value(0), QVariant(QString("a")));
  EXPECT_FALSE(text.value(1).isValid());
  EXPECT_EQ(text.value(2), QVariant(QString("")));
  EXPECT_TRUE(ints.isNull(0));
  EXPECT_FALSE(ints.isNull(1));
  EXPECT_TRUE(ints.isNull(202));
  EXPECT_FALSE(ints.isNull(150));
  EXPECT_EQ(ints.value(151), QVariant(qlonglong(149)));
}

TEST(ColumnStore, TextIsStoredAsItsUtf8WhateverItsLengthAndCharacters) {
  // Lengths around the narrowing buffer's size, ASCII and not, control
  // characters, a character outside the BMP, a lone surrogate at the end.
  const QString texts[] = {QString(),
                           QString(255, 'a'),
                           QString(256, 'b'),
                           QString(257, 'c'),
                           QString(1000, 'd') + QChar(0x7F) + QChar(0),
                           QString(300, 'e') + QStringLiteral("é"),
                           QStringLiteral("Ж") + QString(300, 'f'),
                           QStringLiteral("tab\tline\n\u00a0\U0001D11E"),
                           QString(10, 'g') + QChar(0xD800)};
  ColumnStore u(adVarWChar);
  for (const QString& t : texts) u.appendText(t);
  for (int i = 0; i < int(std::size(texts)); ++i) {
    const std::string_view stored = u.bytesAt(i);
    EXPECT_EQ(QByteArray(stored.data(), qsizetype(stored.size())), texts[i].toUtf8()) << i;
  }
  EXPECT_EQ(u.value(2), QVariant(QString(256, 'b')));
  EXPECT_EQ(u.value(5), QVariant(QString(300, 'e') + QStringLiteral("é")));
}

TEST(ColumnStore, StoresEachKindInItsCanonicalForm) {
  ColumnStore d(adDBDate), t(adDBTime), ts(adDate), b(adLongVarBinary), u(adVarWChar);
  d.appendValue(QDate(2001, 2, 3));
  t.appendValue(QTime(4, 5, 6));
  ts.appendValue(dt(2001, 2, 3, 4, 5, 6));
  b.appendValue(QByteArray("\0\x01", 2));
  u.appendValue(QStringLiteral("Ünïcødé ✓"));
  EXPECT_EQ(d.value(0), QVariant(QDate(2001, 2, 3)));
  EXPECT_EQ(t.value(0), QVariant(QTime(4, 5, 6)));
  EXPECT_EQ(ts.value(0), QVariant(dt(2001, 2, 3, 4, 5, 6)));
  EXPECT_EQ(b.value(0), QVariant(QByteArray("\0\x01", 2)));
  EXPECT_EQ(u.value(0), QVariant(QStringLiteral("Ünïcødé ✓")));
  u.set(0, QVariant());
  EXPECT_TRUE(u.isNull(0));
}
