#include "dataaccess/providers/text/delimitedparser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using dataaccess::text::DelimitedParser;

namespace {

using Records = std::vector<std::vector<std::string>>;

// Parses `text` handing the parser `step` more bytes at a time, as the
// reader does with its chunks, so that every split point is exercised.
Records parseAll(const std::string& text, char delimiter, size_t step = 0) {
  DelimitedParser parser(delimiter);
  Records out;
  std::string buf;
  size_t fed = 0, pos = 0;
  if (step == 0) step = text.size() + 1;
  bool atEnd = false;
  auto feed = [&] {
    const size_t n = std::min(step, text.size() - fed);
    buf.erase(0, pos);
    pos = 0;
    buf.append(text, fed, n);
    fed += n;
    atEnd = fed == text.size();
  };
  feed();
  for (;;) {
    const auto r = parser.next(buf.data(), buf.size(), pos, atEnd);
    if (r == DelimitedParser::Result::Record) {
      std::vector<std::string> rec;
      for (auto f : parser.fields()) rec.emplace_back(f);
      out.push_back(rec);
    } else if (r == DelimitedParser::Result::NeedMore) {
      EXPECT_FALSE(atEnd);
      feed();
    } else if (r == DelimitedParser::Result::Unterminated) {
      out.push_back({"<unterminated>", std::to_string(parser.line())});
      break;
    } else {
      break;
    }
  }
  return out;
}

void expectEverySplit(const std::string& text, char delimiter, const Records& expected) {
  EXPECT_EQ(parseAll(text, delimiter), expected) << "whole";
  for (size_t step = 1; step <= 7; ++step) EXPECT_EQ(parseAll(text, delimiter, step), expected) << "step " << step;
}

}  // namespace

TEST(DelimitedParser, QuotesDoubledQuotesAndLineBreaksInsideQuotes) {
  expectEverySplit("a,\"b,c\",\"say \"\"hi\"\"\"\n\"two\nlines\",\"\"\"\",x\r\n", ',',
                   {{"a", "b,c", "say \"hi\""}, {"two\nlines", "\"", "x"}});
  // A quote in the middle of an unquoted field is an ordinary character,
  // and text after a closing quote is kept.
  expectEverySplit("ab\"c,\"q\"rest,\"\"\n", ',', {{"ab\"c", "qrest", ""}});
}

TEST(DelimitedParser, LineEndsLfCrlfAndCr) {
  expectEverySplit("a,b\nc,d\r\ne,f\rg,h", ',', {{"a", "b"}, {"c", "d"}, {"e", "f"}, {"g", "h"}});
  // A final line end adds no record; an empty line is a record of one empty field.
  expectEverySplit("a\n\nb\r\n", ',', {{"a"}, {""}, {"b"}});
  expectEverySplit("a,\n", ',', {{"a", ""}});
  EXPECT_TRUE(parseAll("", ',').empty());
}

TEST(DelimitedParser, Delimiters) {
  expectEverySplit("a\tb,c\t\"d\te\"\n", '\t', {{"a", "b,c", "d\te"}});
  expectEverySplit("a;b|c;;\n", ';', {{"a", "b|c", "", ""}});
  expectEverySplit("a|b;c|\"x|y\"\n", '|', {{"a", "b;c", "x|y"}});
  expectEverySplit("John Smith  42\n", ' ', {{"John", "Smith", "", "42"}});
}

TEST(DelimitedParser, LineNumbersCountBreaksInsideQuotes) {
  DelimitedParser parser(',');
  const std::string text = "h\n\"a\nb\"\nc\n";
  size_t pos = 0;
  std::vector<int64_t> lines;
  while (parser.next(text.data(), text.size(), pos, true) == DelimitedParser::Result::Record)
    lines.push_back(parser.line());
  EXPECT_EQ(lines, (std::vector<int64_t>{1, 2, 4}));
}

TEST(DelimitedParser, UnterminatedQuoteNamesItsLine) {
  EXPECT_EQ(parseAll("a,b\nc,\"d\ne\nf", ','), (Records{{"a", "b"}, {"<unterminated>", "2"}}));
  EXPECT_EQ(parseAll("a,b\nc,\"d\ne\nf", ',', 3), (Records{{"a", "b"}, {"<unterminated>", "2"}}));
}
