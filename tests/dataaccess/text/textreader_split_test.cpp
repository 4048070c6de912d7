// The reader splits large stretches of text between two threads. Whatever
// the split points, the table must come out exactly as one thread reading
// every record in order makes it: same columns, same guessed types, same
// cells, same line numbers in errors. Small read and split sizes put the
// split points everywhere, also inside quoted fields that hold line breaks.
#include "dataaccess/error.h"
#include "dataaccess/providers/text/rawcolumns.h"
#include "dataaccess/providers/text/textreader.h"
#include "testsupport/tempdir.h"

#include <QLocale>
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>

using namespace dataaccess;
using dataaccess::text::TextReadTuning;
using dataaccess::text::TextSchema;

namespace {

// Every column's name, type and size, and every cell, as text.
QStringList dump(const RowStore& store) {
  QStringList out;
  for (int f = 0; f < store.fieldCount(); ++f) {
    const FieldInfo& info = store.field(f);
    out << QStringLiteral("%1 %2 %3").arg(info.name).arg(int(info.type)).arg(info.definedSize);
  }
  for (int64_t r = 0; r < store.rowCount(); ++r) {
    QStringList cells;
    for (int f = 0; f < store.fieldCount(); ++f) {
      const QVariant v = store.column(f).value(r);
      cells << (v.isValid() ? v.toString() : QStringLiteral("<null>"));
    }
    out << cells.join(QLatin1Char('|'));
  }
  return out;
}

QStringList readWith(const QString& path, const TextSchema& schema, const TextReadTuning& tuning) {
  return dump(*text::readTextTable(path, schema, QLocale::c(), tuning));
}

const TextReadTuning kOneThread{size_t(1) << 20, 0};
const TextReadTuning kSplits[] = {{64, 1}, {97, 16}, {256, 40}, {1000, 300}, {4096, 64}};

// Rows with the hard cases: quoted fields holding the delimiter, doubled
// quotes and line breaks; non-ASCII text; empty and blank cells; ragged
// rows; columns whose type is settled late (an integer column that turns
// real, a date column that turns text near the end).
QByteArray trickyCsv(int rows, const char* eol, char delimiter, unsigned seed) {
  std::mt19937 rng(seed);
  QByteArray out;
  const QByteArray d(1, delimiter);
  out += "id" + d + "amount" + d + "day" + d + "remark" + d + "late" + eol;
  for (int i = 1; i <= rows; ++i) {
    const unsigned k = rng() % 12;
    QByteArray remark;
    switch (k) {
      case 0: remark = "\"two\nlines\""; break;
      case 1: remark = "\"crlf\r\ninside, and \"\"quotes\"\"\""; break;
      case 2: remark = "Grüße 日本 " + QByteArray::number(i); break;
      case 3: remark = ""; break;
      case 4: remark = "   "; break;
      case 5: remark = "\"" + QByteArray(1, delimiter) + "\n\n\""; break;
      case 6: remark = "\"ends with a break\n\""; break;
      default: remark = "plain " + QByteArray::number(rng() % 1000); break;
    }
    const QByteArray amount = i == rows * 3 / 4 ? QByteArray("2.5") : QByteArray::number(int(rng() % 100000) - 50000);
    const QByteArray day = i == rows - 2 ? QByteArray("not a date") : "2001-02-" + QByteArray::number(1 + i % 28);
    out += QByteArray::number(i) + d + amount + d + day + d + remark;
    if (i % 17 == 0) {
      out += d + QByteArray("x") + d + "extra";  // longer than the header
    } else if (i % 13 != 0) {
      out += d + QByteArray::number(i % 7);  // a row of 13 ends early
    }
    out += eol;
  }
  return out;
}

}  // namespace

TEST(TextReaderSplit, TablesMatchOneThreadOverTrickyText) {
  testsupport::TempDir dir;
  struct Case {
    const char* name;
    QByteArray bytes;
    TextSchema schema;
  };
  TextSchema semicolons;
  semicolons.delimiter = ';';
  TextSchema noHeader;
  noHeader.colNameHeader = false;
  TextSchema scanFew;
  scanFew.maxScanRows = 5;
  TextSchema defined;
  defined.columns[2] = {QStringLiteral("Amount"), adDouble, 0};
  defined.columns[4] = {QStringLiteral("Remark"), adVarWChar, 40};
  const QByteArray lf = trickyCsv(300, "\n", ',', 1);
  QByteArray noFinalBreak = trickyCsv(300, "\n", ',', 2);
  noFinalBreak.chop(1);
  const Case cases[] = {
      {"lf", lf, TextSchema()},
      {"crlf", trickyCsv(300, "\r\n", ',', 3), TextSchema()},
      {"cr", trickyCsv(200, "\r", ',', 4), TextSchema()},
      {"no final break", noFinalBreak, TextSchema()},
      {"empty last line", lf + "\n", TextSchema()},
      {"bom", "\xEF\xBB\xBF" + lf, TextSchema()},
      {"semicolons", trickyCsv(300, "\n", ';', 5), semicolons},
      {"no header", lf, noHeader},
      {"few rows scanned", trickyCsv(300, "\r\n", ',', 6), scanFew},
      {"column definitions", lf, defined},
      {"windows-1252", "caf\xE9,1\nna\xEFve,2\n" + lf.mid(lf.indexOf('\n') + 1), TextSchema()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QString path = dir.write(QStringLiteral("t.csv"), c.bytes);
    const QStringList expected = readWith(path, c.schema, kOneThread);
    ASSERT_GT(expected.size(), 100);
    for (const TextReadTuning& t : kSplits) {
      SCOPED_TRACE(QStringLiteral("chunk %1 split %2").arg(t.chunk).arg(t.minimumSplit).toStdString());
      EXPECT_EQ(readWith(path, c.schema, t), expected);
    }
  }
}

// A guess settled in the first half (a text cell late in it) must hold for
// a second half that was read assuming the column was still numeric.
TEST(TextReaderSplit, TypeSettledInTheFirstHalfAppliesToTheSecond) {
  testsupport::TempDir dir;
  QByteArray bytes = "n,d\n";
  for (int i = 0; i < 400; ++i) {
    bytes += (i == 150 ? QByteArray("text") : QByteArray::number(i)) + ",";
    bytes += (i == 120 ? QByteArray("7") : QByteArray("2020-01-01")) + "\n";
  }
  const QString path = dir.write(QStringLiteral("t.csv"), bytes);
  for (const TextReadTuning& t : kSplits) {
    const auto store = text::readTextTable(path, TextSchema(), QLocale::c(), t);
    EXPECT_EQ(store->field(0).type, adVarWChar);
    EXPECT_EQ(store->field(1).type, adVarWChar);
    EXPECT_EQ(store->column(0).value(399).toString(), QStringLiteral("399"));
  }
  EXPECT_EQ(readWith(path, TextSchema(), kSplits[0]), readWith(path, TextSchema(), kOneThread));
}

// A field quoted only part of the way (a,b"c"d,e) is read leniently: a
// quote inside an unquoted field is an ordinary character, and text after a
// closing quote is kept. Two threads must read such lines exactly as one
// does, also where a quoted part holds a line feed a split may land after.
TEST(TextReaderSplit, FieldsQuotedPartWayReadAlikeAtEverySplit) {
  testsupport::TempDir dir;
  const char* const remarks[] = {
      "b\"c\"d",            // quotes in the middle
      "\"c\"d",             // quoted, then more text
      "x\"y",               // one stray quote
      "x\"y,z\"w",          // stray quotes around a delimiter: two fields
      "\"two\nlines\"tail", // a line feed inside the quoted part
      "\"q\"\"q\"after\"\"", // doubled quote inside, quotes after
      "plain",
  };
  QByteArray bytes = "id,remark,more\n";
  std::mt19937 rng(11);
  for (int i = 1; i <= 400; ++i) bytes += QByteArray::number(i) + "," + remarks[rng() % 7] + ",e\n";
  const QString path = dir.write(QStringLiteral("t.csv"), bytes);
  const QStringList expected = readWith(path, TextSchema(), kOneThread);
  ASSERT_EQ(expected.size(), 4 + 400);  // four columns: one shape has a field more
  for (const TextReadTuning& t : kSplits) {
    SCOPED_TRACE(QStringLiteral("chunk %1 split %2").arg(t.chunk).arg(t.minimumSplit).toStdString());
    EXPECT_EQ(readWith(path, TextSchema(), t), expected);
  }

  // What one thread makes of each shape.
  const QString small = dir.write(QStringLiteral("s.csv"),
                                  "id,remark,more\n1,b\"c\"d,e\n2,\"c\"d,e\n3,x\"y,z\"w,e\n4,\"two\nlines\"tail,e\n"
                                  "5,\"q\"\"q\"after\"\",e\n");
  const QStringList cells = readWith(small, TextSchema(), kOneThread).mid(4);
  EXPECT_EQ(cells, (QStringList{"1|b\"c\"d|e|<null>", "2|cd|e|<null>", "3|x\"y|z\"w|e", "4|two\nlinestail|e|<null>",
                                "5|q\"qafter\"\"|e|<null>"}));
  // The quick first look at a file reads them alike.
  EXPECT_EQ(dump(*text::readTextTableHead(small, TextSchema(), 10, QLocale::c())).mid(4), cells);
}

TEST(TextReaderSplit, UnclosedQuoteNamesTheSameLine) {
  testsupport::TempDir dir;
  QByteArray bytes = trickyCsv(200, "\n", ',', 7);
  const int line = int(bytes.count('\n')) + 1;
  bytes += "201,1,2001-02-03,\"never closed\nand on\n";
  const QString path = dir.write(QStringLiteral("t.csv"), bytes);
  auto message = [&](const TextReadTuning& t) {
    try {
      text::readTextTable(path, TextSchema(), QLocale::c(), t);
    } catch (const Error& e) {
      return e.message();
    }
    return QStringLiteral("<no error>");
  };
  const QString expected = message(kOneThread);
  EXPECT_TRUE(expected.contains(QStringLiteral("line %1 ").arg(line))) << expected.toStdString();
  for (const TextReadTuning& t : kSplits) EXPECT_EQ(message(t), expected);
}

// The next chunk is read on another thread while one is split. What that
// read finds late in the file (a byte that is not UTF-8, which makes the
// whole file Windows-1252; a zero byte; a record far longer than a chunk)
// must come out as when the file is read in one piece.
TEST(TextReaderSplit, WhatIsReadAheadLateInTheFileCountsAsInOnePiece) {
  testsupport::TempDir dir;
  const QByteArray body = trickyCsv(300, "\n", ',', 8);
  QByteArray longRecord = body;
  longRecord += "301,1,2001-02-03,\"" + QByteArray(5000, 'x') + "\n" + QByteArray(3000, 'y') + "\",z\n";
  longRecord += trickyCsv(50, "\n", ',', 9).mid(40);
  for (const QByteArray& bytes : {body + "302,2,2001-02-03,caf\xE9,\n", longRecord}) {
    const QString path = dir.write(QStringLiteral("t.csv"), bytes);
    const QStringList expected = readWith(path, TextSchema(), kOneThread);
    ASSERT_GT(expected.size(), 300);
    for (const TextReadTuning& t : kSplits) EXPECT_EQ(readWith(path, TextSchema(), t), expected);
  }
  const QString path = dir.write(QStringLiteral("t.csv"), body + QByteArray("303,\0,x\n", 8));
  auto message = [&](const TextReadTuning& t) {
    try {
      text::readTextTable(path, TextSchema(), QLocale::c(), t);
    } catch (const Error& e) {
      return e.message();
    }
    return QStringLiteral("<no error>");
  };
  const QString expected = message(kOneThread);
  EXPECT_TRUE(expected.contains(QStringLiteral("zero byte on line %1").arg(body.count('\n') + 1))) << expected.toStdString();
  for (const TextReadTuning& t : kSplits) EXPECT_EQ(message(t), expected);
}

TEST(CellArena, EveryCellComesBackThroughGrowthJoinsReuseAndDrain) {
  using dataaccess::text::CellArena;
  std::vector<std::optional<std::string>> want;
  CellArena table, stretch, fresh;
  std::mt19937 rnd(5);
  auto fill = [&](CellArena& a, int cells, std::vector<std::optional<std::string>>& expect, bool huge = false) {
    for (int i = 0; i < cells; ++i) {
      const unsigned pick = rnd() % 50;
      if (pick == 0) {
        a.appendNull();
        expect.emplace_back();
      } else {
        // One cell of megabytes, crossing a step in which a drain gives
        // memory back and growing the mapping far past its size at once.
        const size_t size = huge && i == cells / 2 ? (size_t(5) << 20) + 3 : rnd() % 300;
        std::string s(size, char('a' + pick % 26));
        if (!s.empty()) s.back() = '|';
        a.append(s);
        expect.emplace_back(std::move(s));
      }
    }
  };
  for (int round = 0; round < 6; ++round) {
    fill(table, 2000, want, round == 2);
    std::vector<std::optional<std::string>> part;
    fill(stretch, 1500 + round * 100, part, round == 4);
    table.take(stretch);  // the stretch is filled again the next round
    EXPECT_EQ(stretch.bytesUsed(), 0u);
    want.insert(want.end(), part.begin(), part.end());
  }
  // A join onto an empty arena hands the mapping over.
  std::vector<std::optional<std::string>> alone;
  fill(stretch, 300, alone);
  fresh.take(stretch);

  auto collect = [](auto&& walk) {
    std::vector<std::optional<std::string>> got;
    walk([&](std::string_view v, bool null) {
      if (null) got.emplace_back();
      else got.emplace_back(std::string(v));
    });
    return got;
  };
  EXPECT_EQ(collect([&](auto f) { fresh.forEach(f); }), alone);
  ASSERT_EQ(collect([&](auto f) { table.forEach(f); }), want);
  ASSERT_EQ(collect([&](auto f) { table.drain(f); }), want);
  EXPECT_EQ(table.bytesUsed(), 0u);
  EXPECT_TRUE(collect([&](auto f) { table.forEach(f); }).empty());
}
