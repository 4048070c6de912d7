#include "sqltranslate.h"

#include "error.h"
#include "values.h"

#include <QLocale>
#include <QRegularExpression>
#include <QSet>

namespace dataaccess::sql {

namespace {

const QString kSource = QStringLiteral("Recordset.Open");

[[noreturn]] void fail(const QString& description) { throw Error(err::kCommandError, kSource, description); }

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

bool isWord(const Token& t, const char* w) {
  return t.kind == TokenKind::Word && t.value.compare(QLatin1String(w), Qt::CaseInsensitive) == 0;
}
bool isPunct(const Token& t, const char* p) { return t.kind == TokenKind::Punct && t.value == QLatin1String(p); }

bool isComparison(const Token& t) {
  static const QSet<QString> ops = {QStringLiteral("="), QStringLiteral("=="), QStringLiteral("<>"),
                                    QStringLiteral("!="), QStringLiteral("<"), QStringLiteral(">"),
                                    QStringLiteral("<="), QStringLiteral(">=")};
  return t.kind == TokenKind::Punct && ops.contains(t.value);
}

bool isNameToken(const Token& t) {
  return t.kind == TokenKind::QuotedName || (t.kind == TokenKind::Word && !t.value.front().isDigit());
}

// Words after a table reference that end it rather than name an alias.
bool endsTableReference(const Token& t) {
  static const QSet<QString> words = {
      QStringLiteral("where"), QStringLiteral("group"), QStringLiteral("order"), QStringLiteral("having"),
      QStringLiteral("limit"), QStringLiteral("union"), QStringLiteral("intersect"), QStringLiteral("except"),
      QStringLiteral("join"), QStringLiteral("inner"), QStringLiteral("left"), QStringLiteral("right"),
      QStringLiteral("full"), QStringLiteral("outer"), QStringLiteral("cross"), QStringLiteral("natural"),
      QStringLiteral("on"), QStringLiteral("using"), QStringLiteral("window"), QStringLiteral("indexed"),
      QStringLiteral("not"), QStringLiteral("offset")};
  return t.kind == TokenKind::Word && words.contains(t.value.toLower());
}

size_t nextSig(const std::vector<Token>& tokens, size_t i) {
  for (++i; i < tokens.size(); ++i)
    if (tokens[i].kind != TokenKind::Space) return i;
  return tokens.size();
}

size_t prevSig(const std::vector<Token>& tokens, size_t i) {
  while (i > 0) {
    --i;
    if (tokens[i].kind != TokenKind::Space) return i;
  }
  return tokens.size();
}

// Index of the ')' that closes the '(' at `open`, or tokens.size().
size_t matchingParen(const std::vector<Token>& tokens, size_t open) {
  for (size_t i = open + 1; i < tokens.size(); ++i)
    if (isPunct(tokens[i], ")") && tokens[i].depth == tokens[open].depth) return i;
  return tokens.size();
}

// Names defined by a leading WITH clause.
QSet<QString> commonTableNames(const std::vector<Token>& tokens) {
  QSet<QString> names;
  size_t i = nextSig(tokens, size_t(-1));
  if (i >= tokens.size() || !isWord(tokens[i], "with")) return names;
  i = nextSig(tokens, i);
  if (i < tokens.size() && isWord(tokens[i], "recursive")) i = nextSig(tokens, i);
  while (i < tokens.size() && isNameToken(tokens[i])) {
    names.insert(tokens[i].value.toLower());
    i = nextSig(tokens, i);
    if (i < tokens.size() && isPunct(tokens[i], "(")) i = nextSig(tokens, matchingParen(tokens, i));
    if (i >= tokens.size() || !isWord(tokens[i], "as")) break;
    i = nextSig(tokens, i);
    while (i < tokens.size() && (isWord(tokens[i], "not") || isWord(tokens[i], "materialized")))
      i = nextSig(tokens, i);
    if (i >= tokens.size() || !isPunct(tokens[i], "(")) break;
    i = nextSig(tokens, matchingParen(tokens, i));
    if (i >= tokens.size() || !isPunct(tokens[i], ",")) break;
    i = nextSig(tokens, i);
  }
  return names;
}

// The date field a select-list item [b, e) yields, when it is nothing but
// date fields inside functions that return one of their arguments.
const FieldInfo* dateOfItem(const std::vector<Token>& tokens, size_t b, size_t e,
                            const std::function<const FieldInfo*(const QString&, const QString&)>& fieldOf) {
  std::vector<size_t> sig;
  for (size_t i = b; i < e; ++i)
    if (tokens[i].kind != TokenKind::Space) sig.push_back(i);
  // A trailing alias: AS name, or a name after a column or a ')'.
  if (sig.size() >= 3 && isWord(tokens[sig[sig.size() - 2]], "as")) sig.resize(sig.size() - 2);
  else if (sig.size() >= 2 && isNameToken(tokens[sig.back()]) &&
           (isNameToken(tokens[sig[sig.size() - 2]]) || isPunct(tokens[sig[sig.size() - 2]], ")")))
    sig.pop_back();
  static const QSet<QString> passing = {QStringLiteral("min"), QStringLiteral("max"), QStringLiteral("coalesce"),
                                        QStringLiteral("ifnull"), QStringLiteral("nullif"), QStringLiteral("first"),
                                        QStringLiteral("last")};
  const FieldInfo* found = nullptr;
  for (size_t k = 0; k < sig.size(); ++k) {
    const Token& t = tokens[sig[k]];
    if (isPunct(t, "(") || isPunct(t, ")") || isPunct(t, ",")) continue;
    const bool call = k + 1 < sig.size() && isPunct(tokens[sig[k + 1]], "(");
    if (call && t.kind == TokenKind::Word && passing.contains(t.value.toLower())) continue;
    if (isWord(t, "distinct") && k > 0 && isPunct(tokens[sig[k - 1]], "(")) continue;
    if (!isNameToken(t) || call) return nullptr;
    QString qualifier;
    if (k + 2 < sig.size() && isPunct(tokens[sig[k + 1]], ".")) {
      qualifier = t.value;
      k += 2;
      if (!isNameToken(tokens[sig[k]])) return nullptr;
    }
    const FieldInfo* f = fieldOf(qualifier, tokens[sig[k]].value);
    if (!f || !isDateType(f->type)) return nullptr;
    if (!found) found = f;
  }
  return found;
}

std::vector<const FieldInfo*> resultDates(
    const std::vector<Token>& tokens, size_t select, size_t useCount,
    const std::function<const std::vector<FieldInfo>*(size_t)>& outerFields,
    const std::function<const std::vector<FieldInfo>*(const QString&)>& fieldsOf,
    const std::function<const FieldInfo*(const QString&, const QString&)>& fieldOf) {
  const int depth = tokens[select].depth;
  size_t b = nextSig(tokens, select);
  if (b < tokens.size() && (isWord(tokens[b], "distinct") || isWord(tokens[b], "all"))) b = nextSig(tokens, b);
  if (b < tokens.size() && isWord(tokens[b], "top")) {
    b = nextSig(tokens, nextSig(tokens, b));
    if (b < tokens.size() && isWord(tokens[b], "percent")) b = nextSig(tokens, b);
  }
  std::vector<const FieldInfo*> dates;
  size_t start = b;
  for (size_t i = b; i <= tokens.size(); ++i) {
    const bool end = i == tokens.size() || (tokens[i].depth == depth && isWord(tokens[i], "from"));
    if (!end && !(tokens[i].depth == depth && isPunct(tokens[i], ","))) continue;
    const size_t first = nextSig(tokens, start - 1);
    if (first >= i) return {};
    const size_t second = nextSig(tokens, first);
    if (isPunct(tokens[first], "*") && second >= i) {
      for (size_t v = 0; v < useCount; ++v)
        if (const auto* f = outerFields(v)) dates.insert(dates.end(), f->size(), nullptr);
    } else if (isNameToken(tokens[first]) && second < i && isPunct(tokens[second], ".") &&
               nextSig(tokens, second) < i && isPunct(tokens[nextSig(tokens, second)], "*")) {
      const auto* f = fieldsOf(tokens[first].value);
      if (!f) return {};
      dates.insert(dates.end(), f->size(), nullptr);
    } else {
      dates.push_back(dateOfItem(tokens, first, i, fieldOf));
    }
    if (end) break;
    start = i + 1;
  }
  return dates;
}

QString quoteString(const QString& s) {
  QString r = s;
  r.replace(QLatin1Char('\''), QLatin1String("''"));
  return QLatin1Char('\'') + r + QLatin1Char('\'');
}

}  // namespace

bool sameIdentifier(const QString& a, const QString& b) {
  if (a.size() != b.size()) return false;
  for (qsizetype i = 0; i < a.size(); ++i) {
    char16_t x = a[i].unicode(), y = b[i].unicode();
    if (x >= 'A' && x <= 'Z') x += 32;
    if (y >= 'A' && y <= 'Z') y += 32;
    if (x != y) return false;
  }
  return true;
}

std::vector<QString> stagedColumnNames(const std::vector<FieldInfo>& fields) {
  std::vector<QString> names;
  for (size_t i = 0; i < fields.size(); ++i) {
    const QString base = fields[i].name.isEmpty() ? QStringLiteral("Field%1").arg(i + 1) : fields[i].name;
    QString column = base;
    for (int n = 2; std::any_of(names.begin(), names.end(), [&](const QString& c) { return sameIdentifier(c, column); }); ++n)
      column = base + QStringLiteral("_%1").arg(n);
    names.push_back(column);
  }
  return names;
}

QString quoteName(const QString& name) {
  QString r = name;
  r.replace(QLatin1Char('"'), QLatin1String("\"\""));
  return QLatin1Char('"') + r + QLatin1Char('"');
}

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

std::vector<TableUse> findTables(const std::vector<Token>& tokens) {
  const QSet<QString> ctes = commonTableNames(tokens);
  std::vector<TableUse> uses;
  for (size_t i = 0; i < tokens.size(); ++i) {
    const bool from = isWord(tokens[i], "from");
    if (!from && !isWord(tokens[i], "join")) continue;
    const size_t before = prevSig(tokens, i);
    if (from && before < tokens.size() && isWord(tokens[before], "distinct")) continue;  // IS DISTINCT FROM
    size_t j = nextSig(tokens, i);
    while (j < tokens.size()) {
      TableUse use;
      use.first = j;
      use.depth = tokens[j].depth;
      if (tokens[j].kind == TokenKind::QuotedName) {
        use.name = tokens[j].value;
        use.last = j;
      } else if (tokens[j].kind == TokenKind::Word && !isWord(tokens[j], "select")) {
        // A bare name runs on over adjacent words and dots: shop.csv, a#csv.
        size_t k = j;
        QString name = tokens[j].value;
        while (k + 1 < tokens.size() && tokens[k + 1].begin == tokens[k].end &&
               (tokens[k + 1].kind == TokenKind::Word || isPunct(tokens[k + 1], "."))) {
          ++k;
          name += tokens[k].value;
        }
        use.name = name;
        use.last = k;
      } else {
        break;  // a subquery or something SQLite will judge
      }
      size_t k = nextSig(tokens, use.last);
      if (k < tokens.size() && isPunct(tokens[k], "(")) break;  // a table-valued function
      if (k < tokens.size() && isWord(tokens[k], "as")) {
        k = nextSig(tokens, k);
        if (k < tokens.size() && isNameToken(tokens[k])) {
          use.hasAlias = true;
          use.alias = tokens[k].value;
          k = nextSig(tokens, k);
        }
      } else if (k < tokens.size() && isNameToken(tokens[k]) && !endsTableReference(tokens[k])) {
        use.hasAlias = true;
        use.alias = tokens[k].value;
        k = nextSig(tokens, k);
      }
      if (!ctes.contains(use.name.toLower())) uses.push_back(use);
      if (!from || k >= tokens.size() || !isPunct(tokens[k], ",")) break;
      j = nextSig(tokens, k);
    }
  }
  return uses;
}

Translation translate(const QString& statement, const std::vector<Token>& tokens,
                      const std::vector<TableUse>& uses, SqlDialect dialect,
                      const std::function<StagedInfo(const QString&)>& staged) {
  const bool accessLike = dialect == SqlDialect::Access || dialect == SqlDialect::Excel;
  std::vector<QString> out;
  out.reserve(tokens.size());
  for (const Token& t : tokens) out.push_back(statement.mid(t.begin, t.end - t.begin));
  std::vector<bool> done(tokens.size(), false);

  // Fields visible under each table name or alias, for typing quoted dates.
  struct Visible {
    QString name;
    QString alias;
    const std::vector<FieldInfo>* fields;
  };
  std::vector<Visible> visible;
  for (const TableUse& use : uses) {
    const StagedInfo info = staged(use.name);
    visible.push_back({use.name, use.alias, info.fields});
    out[use.first] = info.stagedName;
    if (!use.hasAlias) out[use.first] += QStringLiteral(" AS ") + quoteName(use.name);
    for (size_t k = use.first; k <= use.last; ++k) done[k] = true;
    for (size_t k = use.first + 1; k <= use.last; ++k) out[k].clear();
  }

  auto fieldOf = [&](const QString& qualifier, const QString& column) -> const FieldInfo* {
    for (const Visible& v : visible) {
      if (!qualifier.isEmpty() && qualifier.compare(v.alias, Qt::CaseInsensitive) != 0 &&
          qualifier.compare(v.name, Qt::CaseInsensitive) != 0)
        continue;
      for (const FieldInfo& f : *v.fields)
        if (f.name.compare(column, Qt::CaseInsensitive) == 0) return &f;
    }
    return nullptr;
  };
  // A column reference [q.]name ending at token `e` / starting at token `b`.
  auto columnEndingAt = [&](size_t e) -> const FieldInfo* {
    if (e >= tokens.size() || !isNameToken(tokens[e])) return nullptr;
    QString qualifier;
    if (e >= 2 && isPunct(tokens[e - 1], ".") && isNameToken(tokens[e - 2])) qualifier = tokens[e - 2].value;
    return fieldOf(qualifier, tokens[e].value);
  };
  auto columnStartingAt = [&](size_t b) -> const FieldInfo* {
    if (b >= tokens.size() || !isNameToken(tokens[b])) return nullptr;
    if (b + 2 < tokens.size() && isPunct(tokens[b + 1], ".") && isNameToken(tokens[b + 2]))
      return fieldOf(tokens[b].value, tokens[b + 2].value);
    return fieldOf(QString(), tokens[b].value);
  };
  auto badDate = [&](size_t i) {
    fail(QStringLiteral("Syntax error in date in query expression '%1'.").arg(out[i]));
  };

  for (size_t i = 0; i < tokens.size(); ++i) {
    if (done[i]) continue;
    const Token& t = tokens[i];
    switch (t.kind) {
      case TokenKind::QuotedName:
        out[i] = quoteName(t.value);
        break;
      case TokenKind::HashDate: {
        const auto dt = parseLiteralDate(t.value, false);
        if (!dt) badDate(i);
        out[i] = QString::number(storedSeconds(*dt));
        break;
      }
      case TokenKind::Brace: {
        QString inner = t.value.trimmed();
        if (inner.isEmpty()) {
          // The empty date: comparisons with it test for a missing value.
          const size_t p = prevSig(tokens, i);
          const size_t nx = nextSig(tokens, i);
          out[i] = QStringLiteral("NULL");
          auto isEq = [&](size_t k) { return k < tokens.size() && (isPunct(tokens[k], "=") || isPunct(tokens[k], "==")); };
          auto isNe = [&](size_t k) { return k < tokens.size() && (isPunct(tokens[k], "<>") || isPunct(tokens[k], "!=")); };
          if (isEq(p)) out[p] = QStringLiteral(" IS ");
          else if (isNe(p)) out[p] = QStringLiteral(" IS NOT ");
          else if (isEq(nx)) out[nx] = QStringLiteral(" IS ");
          else if (isNe(nx)) out[nx] = QStringLiteral(" IS NOT ");
          break;
        }
        static const QRegularExpression odbc(QStringLiteral(R"(^(?:d|t|ts)\s*'([^']*)'$)"),
                                             QRegularExpression::CaseInsensitiveOption);
        bool localeFirst = true;
        if (auto m = odbc.match(inner); m.hasMatch()) {
          inner = m.captured(1);
          localeFirst = false;
        }
        const auto dt = parseLiteralDate(inner, localeFirst);
        if (!dt) badDate(i);
        out[i] = QString::number(storedSeconds(*dt));
        break;
      }
      case TokenKind::String: {
        const size_t p = prevSig(tokens, i);
        if (p < tokens.size() && isWord(tokens[p], "like")) {
          if (accessLike) {
            QString pattern = t.value;
            pattern.replace(QLatin1Char('*'), QLatin1Char('%')).replace(QLatin1Char('?'), QLatin1Char('_'));
            out[i] = quoteString(pattern);
          }
          break;
        }
        const FieldInfo* f = nullptr;
        if (p < tokens.size() && isComparison(tokens[p])) f = columnEndingAt(prevSig(tokens, p));
        const size_t nx = nextSig(tokens, i);
        if (!f && nx < tokens.size() && isComparison(tokens[nx])) f = columnStartingAt(nextSig(tokens, nx));
        if (f && isDateType(f->type)) {
          const auto dt = parseLiteralDate(t.value, !accessLike);
          if (!dt)
            fail(QStringLiteral("Data type mismatch in criteria expression: '%1' is not a date for the field %2.")
                     .arg(t.value, f->name));
          out[i] = QString::number(storedSeconds(*dt));
        }
        break;
      }
      case TokenKind::Word: {
        const bool dotted = (i > 0 && isPunct(tokens[i - 1], ".")) ||
                            (i + 1 < tokens.size() && isPunct(tokens[i + 1], "."));
        if (!dotted && isWord(t, "true")) out[i] = QStringLiteral("1");
        else if (!dotted && isWord(t, "false")) out[i] = QStringLiteral("0");
        break;
      }
      default:
        break;
    }
  }

  // The main SELECT: the first one outside parentheses.
  size_t select = tokens.size();
  for (size_t i = 0; i < tokens.size() && select == tokens.size(); ++i)
    if (tokens[i].depth == 0 && isWord(tokens[i], "select")) select = i;

  // Jet's SELECT [DISTINCT] TOP n becomes a LIMIT at the end.
  QString limit;
  if (select < tokens.size()) {
    size_t k = nextSig(tokens, select);
    if (k < tokens.size() && isWord(tokens[k], "distinct")) k = nextSig(tokens, k);
    const size_t count = nextSig(tokens, k);
    bool hasLimit = false;
    for (const Token& t : tokens)
      if (t.depth == 0 && isWord(t, "limit")) hasLimit = true;
    if (k < tokens.size() && isWord(tokens[k], "top") && count < tokens.size() &&
        tokens[count].kind == TokenKind::Word && tokens[count].value.toLongLong() > 0 && !hasLimit) {
      const size_t after = nextSig(tokens, count);
      if (after >= tokens.size() || !isWord(tokens[after], "percent")) {
        limit = QStringLiteral(" LIMIT ") + tokens[count].value;
        out[k].clear();
        out[count].clear();
      }
    }
  }

  auto join = [&](const std::vector<QString>& parts) {
    QString sql;
    for (const QString& p : parts) sql += p;
    if (!limit.isEmpty()) {
      int end = int(sql.size());
      while (end > 0 && (sql[end - 1].isSpace() || sql[end - 1] == QLatin1Char(';'))) --end;
      sql.insert(end, limit);
    }
    return sql;
  };

  Translation result;
  result.sql = join(out);
  if (select < tokens.size()) result.resultDates = resultDates(tokens, select, visible.size(), [&](size_t v) {
    return uses[v].depth == 0 ? visible[v].fields : nullptr;
  }, [&](const QString& q) -> const std::vector<FieldInfo>* {
    for (const Visible& v : visible)
      if (q.compare(v.alias, Qt::CaseInsensitive) == 0 || q.compare(v.name, Qt::CaseInsensitive) == 0) return v.fields;
    return nullptr;
  }, fieldOf);

  // Row identities survive only when each result row is one row of one table.
  // Tables read in subqueries only filter the rows of the outer one.
  bool keyed = select < tokens.size();
  const TableUse* outer = nullptr;
  int outerUses = 0;
  for (const TableUse& use : uses)
    if (use.depth == 0 && ++outerUses == 1) outer = &use;
  if (outerUses != 1) keyed = false;
  static const QSet<QString> grouping = {QStringLiteral("union"), QStringLiteral("intersect"),
                                         QStringLiteral("except"), QStringLiteral("group"),
                                         QStringLiteral("having"), QStringLiteral("distinct")};
  static const QSet<QString> aggregates = {QStringLiteral("count"), QStringLiteral("sum"), QStringLiteral("avg"),
                                           QStringLiteral("min"), QStringLiteral("max"), QStringLiteral("total"),
                                           QStringLiteral("group_concat"), QStringLiteral("string_agg")};
  for (size_t i = 0; keyed && i < tokens.size(); ++i) {
    const Token& t = tokens[i];
    if (t.depth != 0 || t.kind != TokenKind::Word) continue;
    const QString w = t.value.toLower();
    if (grouping.contains(w)) keyed = false;
    const size_t nx = nextSig(tokens, i);
    if (aggregates.contains(w) && nx < tokens.size() && isPunct(tokens[nx], "(")) keyed = false;
  }
  if (keyed) {
    const TableUse& use = *outer;
    const std::vector<FieldInfo>& fields = *visible[size_t(outer - uses.data())].fields;
    QString rowid;
    for (const char* candidate : {"rowid", "_rowid_", "oid"}) {
      bool taken = false;
      for (const FieldInfo& f : fields)
        if (f.name.compare(QLatin1String(candidate), Qt::CaseInsensitive) == 0) taken = true;
      if (!taken) {
        rowid = QLatin1String(candidate);
        break;
      }
    }
    if (!rowid.isEmpty()) {
      std::vector<QString> keyedOut = out;
      size_t at = select;
      const size_t nx = nextSig(tokens, select);
      if (nx < tokens.size() && isWord(tokens[nx], "all")) at = nx;
      keyedOut[at] += QLatin1Char(' ') + quoteName(use.hasAlias ? use.alias : use.name) + QLatin1Char('.') +
                      rowid + QLatin1Char(',');
      result.keyedSql = join(keyedOut);
    }
  }
  return result;
}

}  // namespace dataaccess::sql
