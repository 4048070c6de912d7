// Reading rowset documents written by hand: the values in the forms the
// writer uses are read on a quick path, everything else through the general
// conversion; both must give the same stored values and the same errors.
#include "dataaccess/error.h"
#include "dataaccess/providers/persist/rowsetxml.h"
#include "dataaccess/values.h"

#include <gtest/gtest.h>

using namespace dataaccess;

namespace {

struct Column {
  const char* name;
  const char* dtType;
  DataTypeEnum type;
  const char* more = "";  // further s:datatype attributes
};

QByteArray document(const std::vector<Column>& columns, const QByteArray& rows) {
  QByteArray x =
      "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882' xmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882'\n"
      "  xmlns:rs='urn:schemas-microsoft-com:rowset' xmlns:z='#RowsetSchema'>\n"
      "<s:Schema id='RowsetSchema'><s:ElementType name='row' content='eltOnly'>\n";
  for (const Column& c : columns)
    x += QByteArray("<s:AttributeType name='") + c.name + "'><s:datatype dt:type='" + c.dtType + "' " + c.more +
         "/></s:AttributeType>\n";
  return x + "</s:ElementType></s:Schema>\n<rs:data>\n" + rows + "</rs:data>\n</xml>\n";
}

// What the general conversion makes of `text` in a column of type `t`.
QVariant generalValue(const QString& text, DataTypeEnum t) {
  if (isTextType(t)) return text;
  if (text.isEmpty()) return {};
  if (t == adBoolean) {
    if (text == "true" || text == "1" || text == "-1") return true;
    if (text == "false" || text == "0") return false;
  }
  return coerceValue(text, t, QStringLiteral("c"), QLocale::c());
}

QString describe(const QVariant& v) { return v.isValid() ? v.toString() : QStringLiteral("Null"); }

}  // namespace

// Every typed column, with texts in the writer's forms and in other forms
// the general path accepts: each stored value must be what the general
// conversion gives.
TEST(RowsetRead, TypedValuesMatchTheGeneralConversion) {
  const std::vector<Column> columns = {
      {"i1", "i1", adTinyInt},      {"ui1", "ui1", adUnsignedTinyInt}, {"i2", "i2", adSmallInt},
      {"i4", "int", adInteger},     {"ui4", "ui4", adUnsignedInt},     {"i8", "i8", adBigInt},
      {"r4", "r4", adSingle},       {"r8", "float", adDouble},         {"cy", "i8", adCurrency, "rs:dbtype='currency'"},
      {"b", "boolean", adBoolean},  {"dt", "dateTime", adDate},        {"ts", "dateTime", adDBTimeStamp, "rs:dbtype='timestamp'"},
  };
  std::vector<std::vector<QString>> texts = {
      {"0", "-0", "007", "-128", "127", "+5", " 12 ", "1.0", "1e2"},               // i1
      {"0", "255", "00255", " 3", "3 ", "4.00"},                                   // ui1
      {"-32768", "32767", "-1", "0012", "+12", "12.0"},                            // i2
      {"-2147483648", "2147483647", "0", "1,5", "1e3", "  -7"},                    // i4
      {"4294967295", "0", "17", "4294967295.0"},                                   // ui4
      {"-999999999999999999", "999999999999999999", "-9223372036854775808", "9223372036854775807", "123456789012345678"},
      {"0.15", "1.5", "-0", "3.4028235e38", "16777217", "0.1", "1e-45", " 2.5"},  // r4
      {"0.1", "-16925.49", "123.", ".5", "1e308", "-0.0", "2.2250738585072014e-308", "0.30000000000000004",
       "179769313486231570000000000000000000000000000000000000000000000000000000000000000", "00012.500"},
      {"12.3456", "-922337203685477.5808", "0.00005", "0.00004", "1.23456789", " 3"},        // cy
      {"true", "false", "1", "0", "-1", "True", "FALSE", "yes"},                              // b
      {"2001-02-03T01:58:34", "1899-12-30T00:00:00", "1899-12-29T23:59:59", "0100-01-01", "9999-12-31T23:59:59",
       "2024-02-29", "2024-2-9T1:02:03", "2024-02-29 10:11:12", "2024-02-29T10:11", "2024-02-29T10:11:12.345",
       " 2024-02-29"},
      {"2024-02-29T00:00:01", "1753-01-01T12:00:00", "1753-01-01"},                           // ts
  };
  ASSERT_EQ(texts.size(), columns.size());
  // Texts the general conversion refuses must be refused by the reader too,
  // with the message naming the value and the column; the rest are read
  // together below.
  std::vector<std::vector<QString>> accepted(texts.size());
  for (size_t c = 0; c < columns.size(); ++c) {
    for (const QString& text : texts[c]) {
      try {
        generalValue(text, columns[c].type);
        accepted[c].push_back(text);
        continue;
      } catch (const Error&) {
      }
      const Column one = {"n", columns[c].dtType, columns[c].type, columns[c].more};
      try {
        readRowsetXml(document({one}, "<z:row n='" + text.toUtf8() + "'/>\n"), "bad.xml");
        ADD_FAILURE() << columns[c].name << " '" << text.toStdString() << "' was accepted";
      } catch (const Error& e) {
        EXPECT_TRUE(e.description().contains(QStringLiteral("the value '%1' does not fit column 'n'").arg(text)))
            << e.description().toStdString();
      }
    }
  }
  texts = accepted;
  size_t longest = 0;
  for (const auto& t : texts) longest = std::max(longest, t.size());
  QByteArray rows;
  for (size_t r = 0; r < longest; ++r) {
    rows += "<z:row";
    for (size_t c = 0; c < columns.size(); ++c)
      if (r < texts[c].size()) rows += QByteArray(" ") + columns[c].name + "='" + texts[c][r].toUtf8() + "'";
    rows += "/>\n";
  }
  const auto store = readRowsetXml(document(columns, rows), "typed.xml");
  ASSERT_EQ(store->rowCount(), int64_t(longest));
  for (size_t c = 0; c < columns.size(); ++c) {
    ASSERT_EQ(store->field(int(c)).type, columns[c].type) << columns[c].name;
    RowStore expected({store->field(int(c))});
    for (size_t r = 0; r < longest; ++r)
      expected.appendRow({r < texts[c].size() ? generalValue(texts[c][r], columns[c].type) : QVariant()});
    for (size_t r = 0; r < longest; ++r) {
      const QVariant got = store->value(int64_t(r), int(c)), want = expected.value(int64_t(r), 0);
      EXPECT_TRUE(sameValue(got, want)) << columns[c].name << " '" << (r < texts[c].size() ? texts[c][r] : "").toStdString()
                                        << "': " << describe(got).toStdString() << " vs " << describe(want).toStdString();
    }
  }
  // A few values spelled out, so that the two paths cannot agree on a wrong answer.
  EXPECT_EQ(store->value(1, 0), QVariant(qlonglong(0)));
  EXPECT_EQ(store->value(5, 5), QVariant());  // no sixth text for i8: Null
  EXPECT_EQ(store->value(2, 5), QVariant(qlonglong(-9223372036854775807LL - 1)));
  EXPECT_EQ(store->value(0, 6).toDouble(), double(0.15f));
  EXPECT_EQ(store->value(1, 7).toDouble(), -16925.49);
  EXPECT_EQ(store->value(2, 8).toDouble(), 0.0001);  // the currency's four places, rounded
  EXPECT_EQ(store->value(4, 9), QVariant(true));
  EXPECT_EQ(store->value(0, 10), QVariant(makeDateTime(QDate(2001, 2, 3), QTime(1, 58, 34))));
  EXPECT_EQ(store->value(2, 10), QVariant(makeDateTime(QDate(1899, 12, 29), QTime(23, 59, 59))));
  EXPECT_EQ(store->value(3, 10), QVariant(makeDateTime(QDate(100, 1, 1))));
}

// Values that fit no column fail the same way on either path: a number out
// of its type's range, an impossible date, a date with year 0.
TEST(RowsetRead, ValuesThatDoNotFitNameTheColumnAndLine) {
  const struct {
    Column column;
    const char* text;
  } cases[] = {
      {{"n", "i1", adTinyInt}, "128"},           {{"n", "ui1", adUnsignedTinyInt}, "-1"},
      {{"n", "ui1", adUnsignedTinyInt}, "256"},  {{"n", "int", adInteger}, "2147483648"},
      {{"n", "int", adInteger}, "12a"},          {{"n", "int", adInteger}, "-"},
      {{"n", "i8", adBigInt}, "99999999999999999999"},
      {{"n", "float", adDouble}, "1.2.3"},       {{"n", "float", adDouble}, "-"},
      {{"n", "float", adDouble}, "1."},          {{"n", "dateTime", adDate}, "2023-02-29T00:00:00"},
      {{"n", "dateTime", adDate}, "2023-13-01"}, {{"n", "dateTime", adDate}, "2023-01-01T24:00:00"},
      {{"n", "dateTime", adDate}, "0000-01-01"}, {{"n", "dateTime", adDate}, "2023-01-01X00:00:00"},
      {{"n", "boolean", adBoolean}, "maybe"},
  };
  for (const auto& c : cases) {
    bool general = true;
    try {
      generalValue(QString::fromLatin1(c.text), c.column.type);
    } catch (const Error&) {
      general = false;
    }
    const QByteArray xml = document({c.column}, "<z:row/>\n<z:row n='" + QByteArray(c.text) + "'/>\n");
    if (general) {
      // The general path takes it ("1." is a number there): so must the reader.
      EXPECT_NO_THROW(readRowsetXml(xml, "bad.xml")) << c.text;
      continue;
    }
    try {
      readRowsetXml(xml, "bad.xml");
      ADD_FAILURE() << c.text << " was accepted";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), err::kProviderFailure);
      EXPECT_TRUE(e.description().contains(QStringLiteral("the value '%1' does not fit column 'n'").arg(c.text)))
          << e.description().toStdString();
      EXPECT_TRUE(e.description().contains("(line 8)")) << e.description().toStdString();
    }
  }
}

// The text of the markup: references, attributes in any order, quotes of
// either kind, whitespace and line breaks inside tags, missing attributes,
// comments and CDATA between rows, long values.
TEST(RowsetRead, MarkupVariationsGiveTheSameRows) {
  const std::vector<Column> columns = {
      {"id", "int", adInteger}, {"name", "string", adVarWChar, "dt:maxLength='255'"}, {"amount", "float", adDouble},
      {"day", "dateTime", adDate}, {"memo", "string", adLongVarWChar, "rs:long='true'"}};
  const QByteArray big = QByteArray("0123456789abcdef").repeated(64 * 1024);  // 1 MiB
  const QByteArray rows =
      "<z:row id='1' name='a &amp; b &lt;c&gt; &quot;d&quot; &apos;e&apos;' amount='1.5' day='2020-01-02T03:04:05'/>\n"
      "<z:row day=\"2020-01-02\" amount=\"&#x32;.&#53;\" name=\"&#x416;&#x436; \xE2\x9C\x93\" id=\"2\"/>\n"
      "<!-- a comment --><![CDATA[<z:row id='99'/>]]>\n"
      "<z:row\n\tname = 'tabs\tand\nbreaks'\n\tid\t=\t'3'\n/>\n"
      "<z:row id='4'/>\n"
      "<z:row id='&#53;' memo='" + big + "' name=''/>\n"
      "<z:row></z:row>\n";
  const auto store = readRowsetXml(document(columns, rows), "markup.xml");
  ASSERT_EQ(store->rowCount(), 6);
  EXPECT_EQ(store->value(0, 1), QVariant(QString("a & b <c> \"d\" 'e'")));
  EXPECT_EQ(store->value(0, 2).toDouble(), 1.5);
  EXPECT_EQ(store->value(1, 0), QVariant(qlonglong(2)));
  EXPECT_EQ(store->value(1, 1), QVariant(QString::fromUtf8("Жж ✓")));
  EXPECT_EQ(store->value(1, 2).toDouble(), 2.5);
  EXPECT_EQ(store->value(1, 3), QVariant(makeDateTime(QDate(2020, 1, 2))));
  // An attribute value's tabs and line breaks read as spaces.
  EXPECT_EQ(store->value(2, 0), QVariant(qlonglong(3)));
  EXPECT_EQ(store->value(2, 1), QVariant(QString("tabs and breaks")));
  for (int f = 1; f < 5; ++f) EXPECT_FALSE(store->value(3, f).isValid()) << "missing is Null, column " << f;
  EXPECT_EQ(store->value(4, 0), QVariant(qlonglong(5)));
  EXPECT_EQ(store->value(4, 4).toString().toLatin1(), big);
  EXPECT_EQ(store->value(4, 1), QVariant(QString("")));
  for (int f = 0; f < 5; ++f) EXPECT_FALSE(store->value(5, f).isValid());
}

// After the first rows the reader sizes its columns from how far into the
// file it is; rows that differ from the first ones (much longer or much
// shorter, or Null) must still all come back whole.
TEST(RowsetRead, RowsUnlikeTheFirstOnesAreAllKept) {
  const std::vector<Column> columns = {{"id", "int", adInteger}, {"name", "string", adVarWChar, "dt:maxLength='255'"}};
  const auto nameOf = [](int i, bool longFirst) {
    const bool isLong = (i < 1500) == longFirst;
    return isLong ? QString(200, QLatin1Char('y')) + QString::number(i) : QStringLiteral("n%1").arg(i);
  };
  for (const bool longFirst : {false, true}) {
    QByteArray rows;
    for (int i = 0; i < 6000; ++i) {
      if (i % 7 == 3)
        rows += "<z:row/>\n";
      else
        rows += "<z:row id='" + QByteArray::number(i) + "' name='" + nameOf(i, longFirst).toUtf8() + "'/>\n";
    }
    const auto store = readRowsetXml(document(columns, rows), "grow.xml");
    ASSERT_EQ(store->rowCount(), 6000);
    int wrong = 0;
    for (int i = 0; i < 6000; ++i) {
      const bool null = i % 7 == 3;
      const QVariant id = store->value(i, 0), name = store->value(i, 1);
      if (null ? id.isValid() || name.isValid() : id != QVariant(qlonglong(i)) || name != QVariant(nameOf(i, longFirst)))
        ++wrong;
    }
    EXPECT_EQ(wrong, 0) << (longFirst ? "long rows first" : "short rows first");
  }
}
