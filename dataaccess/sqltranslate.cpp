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

OuterTable outerTable(const std::vector<TableUse>& uses) {
  OuterTable outer;
  int outerUses = 0;
  for (const TableUse& use : uses)
    if (use.depth == 0 && ++outerUses == 1) outer.use = &use;
  if (outerUses != 1) outer.use = nullptr;
  if (outer.use) {
    outer.name = outer.use->name;
    return outer;
  }
  // Several references (or none) outside subqueries: the rows still belong
  // to one table when the statement reads no other.
  for (const TableUse& use : uses)
    if (use.name.compare(uses.front().name, Qt::CaseInsensitive) != 0) return outer;
  if (!uses.empty()) outer.name = uses.front().name;
  return outer;
}

namespace {

// Fields visible under each table name or alias, for typing quoted dates.
struct Visible {
  QString name;
  QString alias;
  const std::vector<FieldInfo>* fields;
};

// The statement being rewritten: the new text of each token, and which
// tokens a pass has settled.
struct Rewrite {
  const std::vector<Token>& tokens;
  std::vector<QString> out;
  std::vector<bool> done;

  Rewrite(const QString& statement, const std::vector<Token>& t) : tokens(t), done(t.size(), false) {
    out.reserve(t.size());
    for (const Token& k : t) out.push_back(statement.mid(k.begin, k.end - k.begin));
  }
};

const FieldInfo* visibleField(const std::vector<Visible>& visible, const QString& qualifier, const QString& column) {
  for (const Visible& v : visible) {
    if (!qualifier.isEmpty() && qualifier.compare(v.alias, Qt::CaseInsensitive) != 0 &&
        qualifier.compare(v.name, Qt::CaseInsensitive) != 0)
      continue;
    for (const FieldInfo& f : *v.fields)
      if (f.name.compare(column, Qt::CaseInsensitive) == 0) return &f;
  }
  return nullptr;
}

// Table names become the staged tables, under the name as written when the
// reference has no alias. Returns the fields each reference makes visible.
std::vector<Visible> renameTables(Rewrite& rw, const std::vector<TableUse>& uses,
                                  const std::function<StagedInfo(const QString&)>& staged) {
  std::vector<Visible> visible;
  for (const TableUse& use : uses) {
    const StagedInfo info = staged(use.name);
    visible.push_back({use.name, use.alias, info.fields});
    rw.out[use.first] = info.stagedName;
    if (!use.hasAlias) rw.out[use.first] += QStringLiteral(" AS ") + quoteName(use.name);
    for (size_t k = use.first; k <= use.last; ++k) rw.done[k] = true;
    for (size_t k = use.first + 1; k <= use.last; ++k) rw.out[k].clear();
  }
  return visible;
}

// The empty date {}: comparisons with it test for a missing value.
void emptyDate(Rewrite& rw, size_t i) {
  const std::vector<Token>& tokens = rw.tokens;
  const size_t p = prevSig(tokens, i);
  const size_t nx = nextSig(tokens, i);
  rw.out[i] = QStringLiteral("NULL");
  auto isEq = [&](size_t k) { return k < tokens.size() && (isPunct(tokens[k], "=") || isPunct(tokens[k], "==")); };
  auto isNe = [&](size_t k) { return k < tokens.size() && (isPunct(tokens[k], "<>") || isPunct(tokens[k], "!=")); };
  if (isEq(p)) rw.out[p] = QStringLiteral(" IS ");
  else if (isNe(p)) rw.out[p] = QStringLiteral(" IS NOT ");
  else if (isEq(nx)) rw.out[nx] = QStringLiteral(" IS ");
  else if (isNe(nx)) rw.out[nx] = QStringLiteral(" IS NOT ");
}

// Literals in the dialect's forms become what the staged tables hold: dates
// as stored seconds (#...#, {...}, and quoted dates compared with a date
// column), True/False as 1/0, Jet's LIKE wildcards as SQLite's, and every
// quoted name in double quotes.
void translateLiterals(Rewrite& rw, const std::vector<Visible>& visible, SqlDialect dialect) {
  const std::vector<Token>& tokens = rw.tokens;
  std::vector<QString>& out = rw.out;
  const bool accessLike = dialect == SqlDialect::Access || dialect == SqlDialect::Excel;
  // A column reference [q.]name ending at token `e` / starting at token `b`.
  auto columnEndingAt = [&](size_t e) -> const FieldInfo* {
    if (e >= tokens.size() || !isNameToken(tokens[e])) return nullptr;
    QString qualifier;
    if (e >= 2 && isPunct(tokens[e - 1], ".") && isNameToken(tokens[e - 2])) qualifier = tokens[e - 2].value;
    return visibleField(visible, qualifier, tokens[e].value);
  };
  auto columnStartingAt = [&](size_t b) -> const FieldInfo* {
    if (b >= tokens.size() || !isNameToken(tokens[b])) return nullptr;
    if (b + 2 < tokens.size() && isPunct(tokens[b + 1], ".") && isNameToken(tokens[b + 2]))
      return visibleField(visible, tokens[b].value, tokens[b + 2].value);
    return visibleField(visible, QString(), tokens[b].value);
  };
  auto storedDate = [&](size_t i, const QString& text, bool localeFirst) {
    const auto dt = parseLiteralDate(text, localeFirst);
    if (!dt) fail(QStringLiteral("Syntax error in date in query expression '%1'.").arg(out[i]));
    out[i] = QString::number(storedSeconds(*dt));
  };

  for (size_t i = 0; i < tokens.size(); ++i) {
    if (rw.done[i]) continue;
    const Token& t = tokens[i];
    switch (t.kind) {
      case TokenKind::QuotedName:
        out[i] = quoteName(t.value);
        break;
      case TokenKind::HashDate:
        storedDate(i, t.value, false);
        break;
      case TokenKind::Brace: {
        QString inner = t.value.trimmed();
        if (inner.isEmpty()) {
          emptyDate(rw, i);
          break;
        }
        static const QRegularExpression odbc(QStringLiteral(R"(^(?:d|t|ts)\s*'([^']*)'$)"),
                                             QRegularExpression::CaseInsensitiveOption);
        bool localeFirst = true;
        if (auto m = odbc.match(inner); m.hasMatch()) {
          inner = m.captured(1);
          localeFirst = false;
        }
        storedDate(i, inner, localeFirst);
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
}

// The main SELECT: the first one outside parentheses (tokens.size() if none).
size_t mainSelect(const std::vector<Token>& tokens) {
  for (size_t i = 0; i < tokens.size(); ++i)
    if (tokens[i].depth == 0 && isWord(tokens[i], "select")) return i;
  return tokens.size();
}

// Jet's SELECT [DISTINCT] TOP n becomes a LIMIT at the end: the TOP words
// are dropped and the LIMIT clause returned (empty when there is none, or
// for TOP n PERCENT, or when the statement has its own LIMIT).
QString topToLimit(Rewrite& rw, size_t select) {
  const std::vector<Token>& tokens = rw.tokens;
  if (select >= tokens.size()) return {};
  size_t k = nextSig(tokens, select);
  if (k < tokens.size() && isWord(tokens[k], "distinct")) k = nextSig(tokens, k);
  const size_t count = nextSig(tokens, k);
  for (const Token& t : tokens)
    if (t.depth == 0 && isWord(t, "limit")) return {};
  if (k >= tokens.size() || !isWord(tokens[k], "top") || count >= tokens.size() ||
      tokens[count].kind != TokenKind::Word || tokens[count].value.toLongLong() <= 0)
    return {};
  const size_t after = nextSig(tokens, count);
  if (after < tokens.size() && isWord(tokens[after], "percent")) return {};
  rw.out[k].clear();
  rw.out[count].clear();
  return QStringLiteral(" LIMIT ") + tokens[count].value;
}

QString joined(const std::vector<QString>& parts, const QString& limit) {
  QString sql;
  for (const QString& p : parts) sql += p;
  if (!limit.isEmpty()) {
    int end = int(sql.size());
    while (end > 0 && (sql[end - 1].isSpace() || sql[end - 1] == QLatin1Char(';'))) --end;
    sql.insert(end, limit);
  }
  return sql;
}

// Whether each result row is one row of the outer table: no grouping,
// DISTINCT, compound select or aggregate outside subqueries (tables read in
// subqueries only filter the rows of the outer one).
bool rowsAreOuterRows(const std::vector<Token>& tokens) {
  static const QSet<QString> grouping = {QStringLiteral("union"), QStringLiteral("intersect"),
                                         QStringLiteral("except"), QStringLiteral("group"),
                                         QStringLiteral("having"), QStringLiteral("distinct")};
  static const QSet<QString> aggregates = {QStringLiteral("count"), QStringLiteral("sum"), QStringLiteral("avg"),
                                           QStringLiteral("min"), QStringLiteral("max"), QStringLiteral("total"),
                                           QStringLiteral("group_concat"), QStringLiteral("string_agg")};
  for (size_t i = 0; i < tokens.size(); ++i) {
    const Token& t = tokens[i];
    if (t.depth != 0 || t.kind != TokenKind::Word) continue;
    const QString w = t.value.toLower();
    if (grouping.contains(w)) return false;
    const size_t nx = nextSig(tokens, i);
    if (aggregates.contains(w) && nx < tokens.size() && isPunct(tokens[nx], "(")) return false;
  }
  return true;
}

// The statement selecting the staged row number of the outer table first,
// or empty when its rows cannot be traced (or the table's fields take every
// name SQLite has for the row number).
QString keyedVariant(const Rewrite& rw, const std::vector<TableUse>& uses, const std::vector<Visible>& visible,
                     size_t select, const QString& limit) {
  const std::vector<Token>& tokens = rw.tokens;
  const TableUse* use = outerTable(uses).use;
  if (select >= tokens.size() || !use || !rowsAreOuterRows(tokens)) return {};
  const std::vector<FieldInfo>& fields = *visible[size_t(use - uses.data())].fields;
  for (const char* candidate : {"rowid", "_rowid_", "oid"}) {
    const bool taken = std::any_of(fields.begin(), fields.end(), [&](const FieldInfo& f) {
      return f.name.compare(QLatin1String(candidate), Qt::CaseInsensitive) == 0;
    });
    if (taken) continue;
    std::vector<QString> keyedOut = rw.out;
    size_t at = select;
    const size_t nx = nextSig(tokens, select);
    if (nx < tokens.size() && isWord(tokens[nx], "all")) at = nx;
    keyedOut[at] += QLatin1Char(' ') + quoteName(use->hasAlias ? use->alias : use->name) + QLatin1Char('.') +
                    QLatin1String(candidate) + QLatin1Char(',');
    return joined(keyedOut, limit);
  }
  return {};
}

}  // namespace

Translation translate(const QString& statement, const std::vector<Token>& tokens,
                      const std::vector<TableUse>& uses, SqlDialect dialect,
                      const std::function<StagedInfo(const QString&)>& staged) {
  Rewrite rw(statement, tokens);
  const std::vector<Visible> visible = renameTables(rw, uses, staged);
  translateLiterals(rw, visible, dialect);
  const size_t select = mainSelect(tokens);
  const QString limit = topToLimit(rw, select);

  Translation result;
  result.sql = joined(rw.out, limit);
  if (select < tokens.size())
    result.resultDates = resultDates(
        tokens, select, visible.size(),
        [&](size_t v) { return uses[v].depth == 0 ? visible[v].fields : nullptr; },
        [&](const QString& q) -> const std::vector<FieldInfo>* {
          for (const Visible& v : visible)
            if (q.compare(v.alias, Qt::CaseInsensitive) == 0 || q.compare(v.name, Qt::CaseInsensitive) == 0)
              return v.fields;
          return nullptr;
        },
        [&](const QString& q, const QString& c) { return visibleField(visible, q, c); });
  result.keyedSql = keyedVariant(rw, uses, visible, select, limit);
  return result;
}

}  // namespace dataaccess::sql
