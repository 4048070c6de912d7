#include "dataaccess/cellformat.h"
#include "dataaccess/values.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace dataaccess;

// The fast writer path must give exactly the text the grid shows.
TEST(CellFormatter, MatchesDisplayTextForEveryStorageAndLocale) {
  struct Column {
    DataTypeEnum type;
    std::vector<QVariant> values;
  };
  const std::vector<Column> columns = {
      {adInteger, {qlonglong(0), qlonglong(-7), qlonglong(2147483647)}},
      {adBigInt, {qlonglong(-9223372036854775807LL)}},
      {adDouble, {0.0, -0.5, 0.1, 1234567.25, 1e15, 1e-7, 123456789012345.0, -2.5e-300}},
      {adCurrency, {12.3456, -0.0001}},
      {adSingle, {double(0.15f), double(-1.1f), double(3.4e38f), double(1e-7f), 0.1}},
      {adBoolean, {true, false}},
      {adDate, {makeDateTime(QDate(2005, 1, 2)), makeDateTime(QDate(2005, 1, 2), QTime(10, 5, 7)),
                makeDateTime(QDate(1899, 12, 30), QTime(23, 59, 59)), makeDateTime(QDate(1753, 1, 1), QTime(0, 0, 1)),
                makeDateTime(QDate(2024, 12, 31), QTime(12, 0, 0)), makeDateTime(QDate(2024, 12, 31), QTime(0, 30))}},
      {adDBDate, {QDate(9999, 12, 31), QDate(1900, 2, 28)}},
      {adDBTime, {QTime(0, 0, 0), QTime(13, 4, 5)}},
      {adNumeric, {QStringLiteral("-12.50"), QStringLiteral("7")}},
      {adVarWChar, {QStringLiteral("plain"), QStringLiteral("Ünïcødé, \"quoted\"\tand tab")}},
      {adLongVarBinary, {QByteArray("\x00\xAB", 2)}},
  };
  for (const QLocale& locale : {QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::German, QLocale::Germany),
                                QLocale::c(), QLocale(QLocale::English, QLocale::UnitedKingdom),
                                QLocale(QLocale::Arabic, QLocale::Egypt), QLocale(QLocale::Japanese, QLocale::Japan),
                                QLocale(QLocale::French, QLocale::France), QLocale(QLocale::Russian, QLocale::Russia)}) {
    const CellFormatter fmt(locale);
    for (const Column& col : columns) {
      ColumnStore store(col.type);
      for (const QVariant& v : col.values) store.appendValue(v);
      store.appendNull();
      for (int64_t r = 0; r < store.size(); ++r) {
        QByteArray out;
        fmt.appendStored(out, store, r, col.type);
        EXPECT_EQ(QString::fromUtf8(out), displayText(store.value(r), col.type, locale))
            << locale.name().toStdString() << " type " << col.type << " row " << r;
      }
    }
  }
}

// Reals of every magnitude the short form covers, and at its edges, read
// back as the grid shows them.
TEST(CellFormatter, RealsOfEveryMagnitudeMatchDisplayText) {
  const QLocale locale = QLocale::c();
  const CellFormatter fmt(locale);
  ColumnStore store(adDouble);
  uint64_t state = 12345;
  for (int i = 0; i < 20000; ++i) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    const double mantissa = double(state >> 11) / double(uint64_t(1) << 53);
    const int exponent = int((state >> 3) % 26) - 7;  // 1e-7 .. 1e18
    double v = mantissa * std::pow(10.0, exponent);
    if (i % 3 == 0) v = std::round(v * 100) / 100;  // two decimals, like money
    store.appendReal(i % 2 ? -v : v);
  }
  for (double v : {1e-5, 9.99999e-6, 1e15, 999999999999999.9, 5e-324, -0.0, 0.30000000000000004})
    store.appendReal(v);
  for (int64_t r = 0; r < store.size(); ++r) {
    QByteArray out;
    fmt.appendStored(out, store, r, adDouble);
    ASSERT_EQ(QString::fromUtf8(out), displayText(store.value(r), adDouble, locale)) << "row " << r;
  }
}

TEST(CellFormatter, QuotingDoublesQuotesAndKeepsTheTextBefore) {
  struct Case {
    QByteArray cell, delimiter, expected;
  };
  const Case cases[] = {
      {"plain", ",", "plain"},
      {"a,b", ",", "\"a,b\""},
      {"\"", ",", "\"\"\"\""},
      {"say \"hi\" \"there\"", "\t", "\"say \"\"hi\"\" \"\"there\"\"\""},
      {"cr\ronly", ",", "\"cr\ronly\""},
      {"Grüße\n日本", ",", "\"Grüße\n日本\""},
      {"a::b", "::", "\"a::b\""},
      {"a:b", "::", "a:b"},
      {"", ",", ""},
  };
  for (const Case& c : cases) {
    QByteArray out = "before|";
    out += c.cell;
    quoteDelimitedCell(out, 7, c.delimiter);
    EXPECT_EQ(out, "before|" + c.expected) << c.cell.constData();
  }
}
