// The tokenizer of the SQL rewriter (sqltranslate.h): the quoting forms of
// the file sources' dialects, comments, and Jet's #...# date literals.
#include "sqltranslate.h"

#include "error.h"

#include <QRegularExpression>
#include <QStringList>

namespace dataaccess::sql {

namespace {

[[noreturn]] void fail(const QString& description) {
  throw Error(err::kCommandError, QStringLiteral("Recordset.Open"), description);
}

bool isWordChar(QChar c) {
  return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$') || c == QLatin1Char('#');
}

// A '#' starts a date literal when a date-like text and a closing '#' follow
// on the same line; otherwise it is part of a bare name (a#csv).
int hashDateEnd(const QString& s, int pos) {
  static const QRegularExpression dateLike(
      QStringLiteral(R"(^#(\d[\d/:.\- ]*(?:\s*[AaPp][Mm])?\s*)#)"));
  const auto m = dateLike.match(s.mid(pos, 48));
  return m.hasMatch() ? pos + int(m.capturedLength(0)) : -1;
}

}  // namespace

std::vector<Token> tokenize(const QString& s) {
  std::vector<Token> tokens;
  const int n = int(s.size());
  int depth = 0;
  int i = 0;
  auto push = [&](TokenKind kind, int begin, int end, QString value = {}) {
    tokens.push_back(Token{kind, begin, end, depth, std::move(value)});
  };
  auto quoted = [&](QChar close, bool doubledEscape, const char* what) {
    const int begin = i;
    QString value;
    for (int j = i + 1; j < n; ++j) {
      if (s[j] != close) {
        value += s[j];
        continue;
      }
      if (doubledEscape && j + 1 < n && s[j + 1] == close) {
        value += close;
        ++j;
        continue;
      }
      i = j + 1;
      return std::make_pair(begin, value);
    }
    fail(QStringLiteral("Syntax error: unterminated %1 starting at position %2 of the statement.")
             .arg(QLatin1String(what)).arg(begin + 1));
  };

  while (i < n) {
    const QChar c = s[i];
    const int begin = i;
    if (c.isSpace()) {
      while (i < n && s[i].isSpace()) ++i;
      push(TokenKind::Space, begin, i);
    } else if (c == QLatin1Char('-') && i + 1 < n && s[i + 1] == QLatin1Char('-')) {
      while (i < n && s[i] != QLatin1Char('\n')) ++i;
      push(TokenKind::Space, begin, i);
    } else if (c == QLatin1Char('/') && i + 1 < n && s[i + 1] == QLatin1Char('*')) {
      const int close = int(s.indexOf(QLatin1String("*/"), i + 2));
      if (close < 0) fail(QStringLiteral("Syntax error: unterminated comment starting at position %1 of the statement.").arg(i + 1));
      i = close + 2;
      push(TokenKind::Space, begin, i);
    } else if (c == QLatin1Char('\'')) {
      auto [b, v] = quoted(QLatin1Char('\''), true, "string");
      push(TokenKind::String, b, i, v);
    } else if (c == QLatin1Char('"')) {
      auto [b, v] = quoted(QLatin1Char('"'), true, "quoted name");
      push(TokenKind::QuotedName, b, i, v);
    } else if (c == QLatin1Char('`')) {
      auto [b, v] = quoted(QLatin1Char('`'), true, "quoted name");
      push(TokenKind::QuotedName, b, i, v);
    } else if (c == QLatin1Char('[')) {
      auto [b, v] = quoted(QLatin1Char(']'), false, "bracketed name");
      push(TokenKind::QuotedName, b, i, v);
    } else if (c == QLatin1Char('{')) {
      auto [b, v] = quoted(QLatin1Char('}'), false, "date literal");
      push(TokenKind::Brace, b, i, v);
    } else if (c == QLatin1Char('#') && hashDateEnd(s, i) > 0) {
      i = hashDateEnd(s, i);
      push(TokenKind::HashDate, begin, i, s.mid(begin + 1, i - begin - 2));
    } else if (isWordChar(c)) {
      while (i < n && isWordChar(s[i])) ++i;
      push(TokenKind::Word, begin, i, s.mid(begin, i - begin));
    } else {
      static const QStringList pairs = {QStringLiteral("<>"), QStringLiteral("<="), QStringLiteral(">="),
                                        QStringLiteral("!="), QStringLiteral("=="), QStringLiteral("||"),
                                        QStringLiteral("<<"), QStringLiteral(">>")};
      i += (i + 1 < n && pairs.contains(s.mid(i, 2))) ? 2 : 1;
      if (c == QLatin1Char(')')) depth = std::max(0, depth - 1);
      push(TokenKind::Punct, begin, i, s.mid(begin, i - begin));
      if (c == QLatin1Char('(')) ++depth;
    }
  }
  return tokens;
}

}  // namespace dataaccess::sql
