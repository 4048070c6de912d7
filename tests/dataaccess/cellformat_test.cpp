#include "dataaccess/cellformat.h"
#include "dataaccess/values.h"

#include <gtest/gtest.h>

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
