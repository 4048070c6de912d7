#include "dataaccess/cellformat.h"
#include "dataaccess/delimitedrows.h"
#include "dataaccess/values.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

using namespace dataaccess;

namespace {

// Rows of a store, some of them carrying edits.
class TestRows : public RowsView {
 public:
  explicit TestRows(std::shared_ptr<RowStore> store) : store_(std::move(store)) {}
  const std::vector<FieldInfo>& fields() const override { return store_->fields(); }
  int64_t rowCount() const override { return store_->rowCount(); }
  const RowStore& store() const override { return *store_; }
  const std::vector<QVariant>* editedRow(int64_t row) const override {
    const auto it = edits.find(row);
    return it == edits.end() ? nullptr : &it->second;
  }
  std::map<int64_t, std::vector<QVariant>> edits;

 private:
  std::shared_ptr<RowStore> store_;
};

// The rows as the general path writes them: each cell's text from
// CellFormatter, then quoteDelimitedCell.
QByteArray reference(const RowsView& rows, const QByteArray& col, const QByteArray& row, const QByteArray& null,
                     bool quote) {
  const CellFormatter fmt;
  QByteArray out;
  const RowStore& s = rows.store();
  for (int64_t r = 0; r < rows.rowCount(); ++r) {
    const std::vector<QVariant>* edited = rows.editedRow(r);
    for (int f = 0; f < s.fieldCount(); ++f) {
      if (f) out.append(col);
      const qsizetype start = out.size();
      const DataTypeEnum type = s.field(f).type;
      if (edited) {
        const QVariant& v = (*edited)[size_t(f)];
        if (v.isValid()) fmt.appendValue(out, v, type);
        else out.append(null);
      } else if (s.column(f).isNull(r)) {
        out.append(null);
      } else {
        fmt.appendStored(out, s.column(f), r, type);
      }
      if (quote) quoteDelimitedCell(out, start, col);
    }
    out.append(row);
  }
  return out;
}

FieldInfo field(const char* name, DataTypeEnum type) {
  FieldInfo f;
  f.name = QString::fromLatin1(name);
  f.type = type;
  return f;
}

// A table of every kind of column, with awkward values among ordinary ones.
std::shared_ptr<RowStore> mixedTable() {
  auto store = std::make_shared<RowStore>(std::vector<FieldInfo>{
      field("i", adInteger), field("d", adDouble), field("s", adSingle), field("c", adCurrency),
      field("when", adDate), field("day", adDBDate), field("time", adDBTime), field("b", adBoolean),
      field("n", adNumeric), field("t", adVarWChar), field("bin", adLongVarBinary)});
  const QVariant texts[] = {QStringLiteral("plain"), QStringLiteral("tab\there"), QStringLiteral("comma, here"),
                            QStringLiteral("say \"hi\""), QStringLiteral("two\r\nlines"), QStringLiteral("Grüße 日本"),
                            QStringLiteral(""), QStringLiteral("a||b"), QStringLiteral("12-1"), QVariant()};
  const QVariant reals[] = {0.0, -0.0, 0.1, -16925.49, 1e15, 1e-7, 123456789012345.0, 2.5e300, QVariant()};
  const QVariant dates[] = {makeDateTime(QDate(2001, 2, 3), QTime(1, 58, 34)), makeDateTime(QDate(1899, 12, 30)),
                            makeDateTime(QDate(1, 1, 1), QTime(0, 0, 1)), makeDateTime(QDate(9999, 12, 31)),
                            makeDateTime(QDate(1600, 2, 29), QTime(23, 59, 59)),
                            makeDateTime(QDate(1899, 12, 29), QTime(12, 0)), QVariant()};
  std::mt19937 rnd(11);
  for (int r = 0; r < 120; ++r) {
    auto pick = [&](const auto& list) { return list[rnd() % std::size(list)]; };
    std::vector<QVariant> row;
    row.push_back(r % 9 == 0 ? QVariant() : QVariant(qlonglong(int(rnd()) % 100000 - 50000)));
    row.push_back(pick(reals));
    row.push_back(r % 7 == 0 ? QVariant() : QVariant(double(float(rnd() % 1000) / 7.0f)));
    row.push_back(r % 5 == 0 ? QVariant() : QVariant(double(int(rnd() % 2000000) - 1000000) / 10000.0));
    row.push_back(pick(dates));
    row.push_back(r % 6 == 0 ? QVariant() : QVariant(QDate(1 + int(rnd() % 9999), 1 + int(rnd() % 12), 1 + int(rnd() % 28))));
    row.push_back(r % 4 == 0 ? QVariant() : QVariant(QTime::fromMSecsSinceStartOfDay(int(rnd() % 86400) * 1000)));
    row.push_back(r % 3 == 0 ? QVariant() : QVariant(r % 2 == 0));
    row.push_back(r % 8 == 0 ? QVariant() : QVariant(QStringLiteral("%1.25").arg(int(rnd() % 1000) - 500)));
    row.push_back(pick(texts));
    row.push_back(r % 2 ? QVariant() : QVariant(QByteArray("\x01\"\t", 3)));
    store->appendRow(row);
  }
  return store;
}

}  // namespace

// Every cell the direct writer handles must come out as the general path
// writes it: whatever the delimiters (also ones that numbers and dates may
// contain), the null text, edited rows, replaced values and row views.
TEST(DelimitedRowWriter, WritesTheSameBytesAsTheGeneralPath) {
  struct Delimiters {
    QByteArray col, row, null;
  };
  const Delimiters cases[] = {{"\t", "\r\n", ""}, {",", "\r\n", ""}, {"||", "\n", "NULL"},
                              {"-", "\r", "n-a"}, {" ", "\n", ""},   {"1", "\n", "\"null\""},
                              {"\"", "\n", ""},   {":", ";", ""}};
  for (const QLocale& locale : {QLocale::c(), QLocale(QLocale::German, QLocale::Germany),
                                QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::Arabic, QLocale::Egypt)}) {
    QLocale::setDefault(locale);
    auto table = mixedTable();
    TestRows plain(table);
    // A view in another order, and a table with replaced values and edits.
    std::vector<uint32_t> order;
    for (uint32_t r = 0; r < uint32_t(table->rowCount()); ++r) order.push_back(uint32_t(table->rowCount()) - 1 - r);
    TestRows view(RowStore::selectRows(table, order));
    auto changed = mixedTable();
    changed->column(0).set(3, QVariant(qlonglong(77)));
    changed->column(9).set(5, QVariant(QStringLiteral("new, \"text\"")));
    changed->column(4).set(6, QVariant());
    TestRows edited(changed);
    std::vector<QVariant> edit(changed->fields().size());
    edit[0] = qlonglong(5);
    edit[4] = makeDateTime(QDate(1999, 12, 31), QTime(23, 0));
    edit[9] = QStringLiteral("edited\ttext");
    edited.edits[2] = edit;
    edited.edits[119] = std::vector<QVariant>(edit.size());

    for (const TestRows* rows : {&plain, &view, &edited}) {
      for (const Delimiters& d : cases) {
        for (bool quote : {true, false}) {
          const DelimitedRowWriter writer(*rows, d.col, d.row, d.null, quote);
          QByteArray got = "kept|";
          writer.appendRows(got, 0, 50);
          writer.appendRows(got, 50, rows->rowCount());
          ASSERT_EQ(got, "kept|" + reference(*rows, d.col, d.row, d.null, quote))
              << locale.name().toStdString() << " delimiter '" << d.col.constData() << "' quote " << quote;
        }
      }
    }
  }
  QLocale::setDefault(QLocale::c());
}

// Dates written from their day number must match QDate's calendar on every
// day of every year the stored dates can hold, in locales with names,
// 12-hour times and other orders.
TEST(CellFormatter, DatesFromDayNumbersMatchTheCalendarInEveryYear) {
  const QLocale locales[] = {QLocale::c(), QLocale(QLocale::English, QLocale::UnitedStates),
                             QLocale(QLocale::German, QLocale::Germany), QLocale(QLocale::Japanese, QLocale::Japan),
                             QLocale(QLocale::French, QLocale::France)};
  ColumnStore stamps(adDate);
  std::mt19937_64 rnd(3);
  const int64_t first = oleDays(QDate(1, 1, 1)), last = oleDays(QDate(9999, 12, 31));
  for (int64_t day : {first, first + 1, int64_t(-1), int64_t(0), int64_t(1), last - 1, last,
                      oleDays(QDate(1582, 10, 4)), oleDays(QDate(1582, 10, 15)), oleDays(QDate(2000, 2, 29)),
                      oleDays(QDate(1900, 3, 1))})
    stamps.appendOleMsecs(day * kMsPerDay + 1000);
  for (int i = 0; i < 4000; ++i) {
    const int64_t day = first + int64_t(rnd() % uint64_t(last - first + 1));
    stamps.appendOleMsecs(day * kMsPerDay + int64_t(rnd() % 4 == 0 ? 0 : rnd() % kMsPerDay));
  }
  for (const QLocale& locale : locales) {
    const CellFormatter fmt(locale);
    std::vector<char> buf(fmt.maxDateTimeBytes() + 1);
    for (DataTypeEnum type : {adDate, adDBDate, adDBTime}) {
      for (int64_t r = 0; r < stamps.size(); ++r) {
        const QDateTime when = fromOleMsecs(stamps.oleMsecsAt(r));
        const QVariant canonical = type == adDBDate ? QVariant(when.date())
                                   : type == adDBTime ? QVariant(when.time())
                                                      : QVariant(when);
        const QByteArray general = displayText(canonical, type, locale).toUtf8();
        QByteArray stored;
        fmt.appendStored(stored, stamps, r, type);
        ASSERT_EQ(stored, general) << locale.name().toStdString() << " type " << type << " row " << r;
        if (char* end = fmt.writeDateTime(buf.data(), stamps.oleMsecsAt(r), type)) {
          ASSERT_LE(size_t(end - buf.data()), fmt.maxDateTimeBytes());
          ASSERT_EQ(QByteArray(buf.data(), end - buf.data()), general) << locale.name().toStdString() << " row " << r;
        }
      }
    }
  }
}
