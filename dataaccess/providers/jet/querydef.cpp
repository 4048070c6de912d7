#include "querydef.h"

#include "../../error.h"
#include "../../sqltranslate.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>

namespace dataaccess::jet {

namespace {

using sql::Token;
using sql::TokenKind;

const QString kErrorSource = QStringLiteral("Recordset.Open");

[[noreturn]] void refuse(const QString& query, const QString& why) {
  throw Error(err::kCommandError, kErrorSource, QStringLiteral("The saved query '%1' cannot be run: %2.").arg(query, why));
}

// Jet functions the engine has under another name, arguments unchanged.
const QHash<QString, QString>& renamedFunctions() {
  static const QHash<QString, QString> map = {
      {"sum", "sum"},       {"avg", "avg"},       {"count", "count"}, {"min", "min"},     {"max", "max"},
      {"abs", "abs"},       {"len", "length"},    {"ucase", "upper"}, {"lcase", "lower"}, {"trim", "trim"},
      {"ltrim", "ltrim"},   {"rtrim", "rtrim"},   {"mid", "substr"},  {"nz", "ifnull"},   {"iif", "iif"},
      {"sgn", "sign"},      {"round", "round"},
  };
  return map;
}

// Jet functions written as an engine expression of their arguments ({1},
// {2}: each argument in parentheses). Dates are stored as seconds since
// 1899-12-30, which is 2209161600 seconds before 1970-01-01.
struct Template {
  int arguments;
  const char* text;
};
const QHash<QString, Template>& templateFunctions() {
  static const QHash<QString, Template> map = {
      // Currency keeps four decimals, a tie going to the even one.
      {"ccur", {1, "(CASE WHEN abs({1} * 10000 - CAST({1} * 10000 AS INTEGER)) = 0.5 THEN 2 * round({1} * 5000) "
                   "ELSE round({1} * 10000) END / 10000.0)"}},
      {"cdbl", {1, "CAST({1} AS REAL)"}},
      {"clng", {1, "CAST(CASE WHEN abs({1} - CAST({1} AS INTEGER)) = 0.5 THEN 2 * round({1} / 2) ELSE round({1}) END AS INTEGER)"}},
      {"cint", {1, "CAST(CASE WHEN abs({1} - CAST({1} AS INTEGER)) = 0.5 THEN 2 * round({1} / 2) ELSE round({1}) END AS INTEGER)"}},
      {"int", {1, "(CAST({1} AS INTEGER) - ({1} < CAST({1} AS INTEGER)))"}},
      {"fix", {1, "CAST({1} AS INTEGER)"}},
      {"date", {0, "CAST((julianday('now', 'localtime', 'start of day') - 2415018.5) * 86400 AS INTEGER)"}},
      {"now", {0, "CAST(round((julianday('now', 'localtime') - 2415018.5) * 86400) AS INTEGER)"}},
      {"year", {1, "CAST(strftime('%Y', {1} - 2209161600, 'unixepoch') AS INTEGER)"}},
      {"month", {1, "CAST(strftime('%m', {1} - 2209161600, 'unixepoch') AS INTEGER)"}},
      {"day", {1, "CAST(strftime('%d', {1} - 2209161600, 'unixepoch') AS INTEGER)"}},
      {"left", {2, "substr({1}, 1, {2})"}},
      {"right", {2, "substr({1}, max(length({1}) - {2} + 1, 1))"}},
  };
  return map;
}

// Words that may stand before a parenthesis without calling a function.
bool isKeyword(const QString& lower) {
  static const QSet<QString> words = {
      "select", "from",  "where", "and",  "or",   "not",     "in",       "exists", "on",    "join",  "as",
      "between", "having", "by",  "all",  "any",  "some",    "union",    "distinct", "is",  "like",  "when",
      "then",   "else",  "case",  "values", "top", "into",   "with",     "escape", "inner", "outer", "xor",
      "mod",    "eqv",   "imp",   "end",  "group", "order",  "percent",  "transform", "pivot", "asc", "desc"};
  return words.contains(lower);
}

class Rewriter {
 public:
  Rewriter(const QString& text, const QString& query, const QStringList& parameters)
      : s_(text), tokens_(sql::tokenize(text)), query_(query), parameters_(parameters) {}

  QString run() { return range(0, tokens_.size()); }

 private:
  QString textOf(const Token& t) const { return s_.mid(t.begin, t.end - t.begin); }
  bool isPunct(size_t i, const char* p) const {
    return i < tokens_.size() && tokens_[i].kind == TokenKind::Punct && tokens_[i].value == QLatin1String(p);
  }
  size_t nextSolid(size_t i, size_t end) const {
    while (i < end && tokens_[i].kind == TokenKind::Space) ++i;
    return i;
  }

  // A form or report control ([Forms]![Orders]![OrderID]) exists only
  // while Access runs.
  [[noreturn]] void formReference(size_t i, size_t end) const {
    QString chain = textOf(tokens_[i]);
    for (size_t j = i + 1; j + 1 < end && (isPunct(j, "!") || isPunct(j, ".")); j += 2) chain += textOf(tokens_[j]) + textOf(tokens_[j + 1]);
    refuse(query_, QStringLiteral("it reads %1, a control of an Access form, which exists only while Access runs").arg(chain));
  }

  QString call(const QString& lower, const QString& name, size_t open, size_t end, size_t* last) {
    const int depth = tokens_[open].depth;
    size_t close = open + 1;
    while (close < end && !(isPunct(close, ")") && tokens_[close].depth == depth)) ++close;
    if (close >= end) refuse(query_, QStringLiteral("the call of %1 has no closing parenthesis").arg(name));
    QStringList args;
    size_t from = open + 1;
    for (size_t j = open + 1; j <= close; ++j) {
      if (j == close || (isPunct(j, ",") && tokens_[j].depth == depth + 1)) {
        args << range(from, j).trimmed();
        from = j + 1;
      }
    }
    if (args.size() == 1 && args[0].isEmpty()) args.clear();
    *last = close;
    if (const auto r = renamedFunctions().constFind(lower); r != renamedFunctions().cend())
      return *r + QLatin1Char('(') + args.join(QStringLiteral(", ")) + QLatin1Char(')');
    const auto t = templateFunctions().constFind(lower);
    if (t == templateFunctions().cend())
      refuse(query_, QStringLiteral("it uses the function %1, which this provider cannot run").arg(name));
    if (args.size() != t->arguments)
      refuse(query_, QStringLiteral("it calls %1 with %2 arguments instead of %3").arg(name).arg(args.size()).arg(t->arguments));
    QString out = QString::fromLatin1(t->text);
    for (int a = 0; a < args.size(); ++a)
      out.replace(QStringLiteral("{%1}").arg(a + 1), QLatin1Char('(') + args[a] + QLatin1Char(')'));
    return out;
  }

  QString range(size_t begin, size_t end) {
    QString out;
    for (size_t i = begin; i < end; ++i) {
      const Token& t = tokens_[i];
      switch (t.kind) {
        case TokenKind::QuotedName: {
          if (s_[t.begin] == QLatin1Char('"')) {
            // Jet writes text in double quotes; the engine reads those as names.
            out += QLatin1Char('\'') + QString(t.value).replace(QLatin1Char('\''), QLatin1String("''")) + QLatin1Char('\'');
            break;
          }
          if (isPunct(nextSolid(i + 1, end), "!")) formReference(i, end);
          for (const QString& p : parameters_)
            if (p.compare(t.value, Qt::CaseInsensitive) == 0)
              refuse(query_, QStringLiteral("it asks for the parameter [%1] when it runs").arg(p));
          out += textOf(t);
          break;
        }
        case TokenKind::Word: {
          const QString lower = t.value.toLower();
          if (lower == QLatin1String("yes") || lower == QLatin1String("true")) {
            out += QLatin1Char('1');  // Booleans are staged as 1 and 0
            break;
          }
          if (lower == QLatin1String("no") || lower == QLatin1String("false")) {
            out += QLatin1Char('0');
            break;
          }
          if (lower == QLatin1String("distinctrow")) break;  // the same rows for the queries run here
          if (lower == QLatin1String("mod")) {
            out += QLatin1Char('%');
            break;
          }
          const size_t next = nextSolid(i + 1, end);
          if (isPunct(next, "!")) formReference(i, end);
          if (isPunct(next, "(") && !isKeyword(lower) && !t.value[0].isDigit()) {
            out += call(lower, t.value, next, end, &i);
            break;
          }
          out += textOf(t);
          break;
        }
        case TokenKind::Punct:
          if (t.value == QLatin1String("&")) out += QLatin1String("||");
          // Jet divides in floating point; the engine divides integers whole.
          else if (t.value == QLatin1String("/")) out += QLatin1String("* 1.0 /");
          else if (t.value == QLatin1String("\\")) out += QLatin1Char('/');
          else if (t.value == QLatin1String("!")) refuse(query_, QStringLiteral("it reads a control of an Access form"));
          else out += textOf(t);
          break;
        default: out += textOf(t); break;
      }
    }
    return out;
  }

  const QString& s_;
  std::vector<Token> tokens_;
  QString query_;
  QStringList parameters_;
};

QString bracket(const QString& name) { return QLatin1Char('[') + name + QLatin1Char(']'); }

// The column name a plain reference (T.C, [T].[C], C) gives, with its table.
bool plainReference(const QString& expression, QString* table, QString* column) {
  static const QRegularExpression re(QStringLiteral(R"(^\s*(?:(\[[^\]]+\]|\w+)\.)?(\[[^\]]+\]|\w+)\s*$)"));
  const auto m = re.match(expression);
  if (!m.hasMatch()) return false;
  const auto strip = [](QString s) { return s.startsWith(QLatin1Char('[')) ? s.mid(1, s.size() - 2) : s; };
  *table = strip(m.captured(1));
  *column = strip(m.captured(2));
  return true;
}

struct Parts {
  int type = 1;
  int options = 0;
  QString top;
  QStringList parameters;
  std::vector<const QueryRow*> sources, columns, joins, where, groupBy, having, orderBy;
};

QString fromClause(const QString& query, const Parts& p, const QStringList& parameters, QStringList* extraWhere) {
  struct Clause {
    QString kind, table;
    QStringList on;
  };
  struct Component {
    QString first;
    std::vector<Clause> clauses;
  };
  QHash<QString, QString> textOf;  // reference (alias or name, lower case) -> FROM text
  QStringList order;
  for (const QueryRow* r : p.sources) {
    QString ref = r->name2.isEmpty() ? r->name1 : r->name2;
    QString text;
    if (!r->name1.isEmpty()) text = bracket(r->name1);
    else if (!r->expression.isEmpty()) text = QLatin1Char('(') + engineExpression(r->expression, query, parameters) + QLatin1Char(')');
    else continue;
    if (!r->name2.isEmpty()) text += QStringLiteral(" AS ") + bracket(r->name2);
    textOf.insert(ref.toLower(), text);
    order << ref.toLower();
  }
  const auto tableText = [&](const QString& ref) {
    const auto it = textOf.constFind(ref.toLower());
    if (it == textOf.cend()) refuse(query, QStringLiteral("it joins %1, which is not among its tables").arg(ref));
    return *it;
  };

  std::vector<Component> components;
  QHash<QString, std::pair<size_t, int>> placed;  // reference -> component, clause (-1: first table)
  std::vector<bool> used(p.joins.size(), false);
  for (size_t done = 0; done < p.joins.size(); ++done) {
    // A join that extends what is placed already; else the first left.
    size_t pick = p.joins.size();
    for (size_t j = 0; j < p.joins.size() && pick == p.joins.size(); ++j)
      if (!used[j] && (placed.contains(p.joins[j]->name1.toLower()) || placed.contains(p.joins[j]->name2.toLower()))) pick = j;
    if (pick == p.joins.size())
      for (size_t j = 0; j < p.joins.size() && pick == p.joins.size(); ++j)
        if (!used[j]) pick = j;
    used[pick] = true;
    const QueryRow& j = *p.joins[pick];
    const QString left = j.name1.toLower(), right = j.name2.toLower();
    const QString condition = QLatin1Char('(') + engineExpression(j.expression, query, parameters) + QLatin1Char(')');
    if (!placed.contains(left) && !placed.contains(right)) {
      components.push_back(Component{tableText(j.name1), {}});
      placed.insert(left, {components.size() - 1, -1});
    }
    const bool leftPlaced = placed.contains(left), rightPlaced = placed.contains(right);
    if (leftPlaced && rightPlaced) {
      // A second condition between tables already joined: it belongs to
      // the join that brought in the later of the two.
      const auto a = placed.value(left), b = placed.value(right);
      const auto later = a.first != b.first ? (a.first > b.first ? a : b) : (a.second > b.second ? a : b);
      if (a.first != b.first || later.second < 0) extraWhere->append(condition);
      else components[later.first].clauses[size_t(later.second)].on << condition;
      continue;
    }
    const QString added = leftPlaced ? right : left;
    const QString addedName = leftPlaced ? j.name2 : j.name1;
    const size_t c = placed.value(leftPlaced ? left : right).first;
    QString kind = QStringLiteral("INNER JOIN");
    if (j.flag == 2) kind = leftPlaced ? QStringLiteral("LEFT JOIN") : QStringLiteral("RIGHT JOIN");
    else if (j.flag == 3) kind = leftPlaced ? QStringLiteral("RIGHT JOIN") : QStringLiteral("LEFT JOIN");
    else if (j.flag != 1) refuse(query, QStringLiteral("it joins %1 and %2 in a way this provider does not know (%3)").arg(j.name1, j.name2).arg(j.flag));
    components[c].clauses.push_back(Clause{kind, tableText(addedName), {condition}});
    placed.insert(added, {c, int(components[c].clauses.size()) - 1});
  }
  QStringList parts;
  for (const Component& c : components) {
    QString text = c.first;
    for (const Clause& cl : c.clauses) text += QStringLiteral(" %1 %2 ON %3").arg(cl.kind, cl.table, cl.on.join(QStringLiteral(" AND ")));
    parts << text;
  }
  for (const QString& ref : order)
    if (!placed.contains(ref)) parts << textOf.value(ref);
  return parts.join(QStringLiteral(", "));
}

QString orderByClause(const QString& query, const Parts& p) {
  QStringList keys;
  for (const QueryRow* r : p.orderBy)
    keys << engineExpression(r->expression, query, p.parameters) +
                (r->name1.compare(QLatin1String("D"), Qt::CaseInsensitive) == 0 ? QStringLiteral(" DESC") : QString());
  return keys.isEmpty() ? QString() : QStringLiteral(" ORDER BY ") + keys.join(QStringLiteral(", "));
}

QString selectSql(const QString& query, const Parts& p) {
  QString sql = QStringLiteral("SELECT ");
  if (p.options & 2) sql += QStringLiteral("DISTINCT ");

  // Output names as Access gives them: the alias, the column's own name
  // (table.column when two columns share it), or Expr1000, Expr1001, ...
  QHash<QString, int> plainNames;
  for (const QueryRow* r : p.columns) {
    QString table, column;
    if (r->name1.isEmpty() && plainReference(r->expression, &table, &column)) ++plainNames[column.toLower()];
  }
  QStringList columns;
  int unnamed = 1000;
  for (const QueryRow* r : p.columns) {
    QString text = engineExpression(r->expression, query, p.parameters);
    QString table, column;
    if (!r->name1.isEmpty()) {
      text += QStringLiteral(" AS ") + bracket(r->name1);
    } else if (plainReference(r->expression, &table, &column)) {
      if (plainNames.value(column.toLower()) > 1 && !table.isEmpty())
        text += QStringLiteral(" AS ") + bracket(table + QLatin1Char('.') + column);
    } else if (!r->expression.trimmed().endsWith(QLatin1Char('*'))) {
      text += QStringLiteral(" AS [Expr%1]").arg(unnamed++);
    }
    columns << text;
  }
  sql += columns.isEmpty() ? QStringLiteral("*") : columns.join(QStringLiteral(", "));

  QStringList where;
  const QString from = fromClause(query, p, p.parameters, &where);
  if (!from.isEmpty()) sql += QStringLiteral(" FROM ") + from;
  for (const QueryRow* r : p.where) where << QLatin1Char('(') + engineExpression(r->expression, query, p.parameters) + QLatin1Char(')');
  if (!where.isEmpty()) sql += QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
  QStringList groups;
  for (const QueryRow* r : p.groupBy) groups << engineExpression(r->expression, query, p.parameters);
  if (!groups.isEmpty()) sql += QStringLiteral(" GROUP BY ") + groups.join(QStringLiteral(", "));
  QStringList having;
  for (const QueryRow* r : p.having) having << QLatin1Char('(') + engineExpression(r->expression, query, p.parameters) + QLatin1Char(')');
  if (!having.isEmpty()) sql += QStringLiteral(" HAVING ") + having.join(QStringLiteral(" AND "));
  sql += orderByClause(query, p);
  if (p.options & 16) {
    if (p.options & 32) refuse(query, QStringLiteral("it keeps the TOP %1 PERCENT of its rows, which this provider cannot do").arg(p.top));
    bool ok = false;
    const qlonglong n = p.top.trimmed().toLongLong(&ok);
    if (!ok || n <= 0) refuse(query, QStringLiteral("its TOP value '%1' is not a number of rows").arg(p.top));
    sql += QStringLiteral(" LIMIT %1").arg(n);
  }
  return sql;
}

QString unionSql(const QString& query, const Parts& p) {
  QStringList selects;
  for (const QueryRow* r : p.sources) {
    QString part = engineExpression(r->expression, query, p.parameters).trimmed();
    while (part.endsWith(QLatin1Char(';'))) part = part.chopped(1).trimmed();
    if (part.isEmpty()) continue;
    // Each part keeps its own ORDER BY or TOP inside its parentheses.
    selects << QStringLiteral("SELECT * FROM (%1)").arg(part);
  }
  if (selects.size() < 2) refuse(query, QStringLiteral("its union has fewer than two SELECT statements"));
  const bool all = (p.options & 3) == 1;
  return selects.join(all ? QStringLiteral(" UNION ALL ") : QStringLiteral(" UNION ")) + orderByClause(query, p);
}

}  // namespace

QString engineExpression(const QString& expression, const QString& name, const QStringList& parameters) {
  try {
    return Rewriter(expression, name, parameters).run();
  } catch (const Error& e) {
    if (e.description().startsWith(QStringLiteral("The saved query"))) throw;
    refuse(name, QStringLiteral("its text cannot be read (%1)").arg(e.description()));
  }
}

QString rebuildQuerySql(const QString& name, std::vector<QueryRow> rows) {
  // Rows of one attribute come in the order of their sort keys.
  std::stable_sort(rows.begin(), rows.end(), [](const QueryRow& a, const QueryRow& b) {
    if (a.attribute != b.attribute) return a.attribute < b.attribute;
    return a.order < b.order;
  });
  Parts p;
  for (const QueryRow& r : rows) {
    switch (r.attribute) {
      case kQueryType: p.type = r.flag; break;
      case kParameter: p.parameters << r.name1; break;
      case kOptions:
        p.options = r.flag;
        p.top = r.name1;
        break;
      case kExternalDb:
        if (!r.name1.isEmpty()) refuse(name, QStringLiteral("it reads its tables from another database (%1)").arg(r.name1));
        break;
      case kSource: p.sources.push_back(&r); break;
      case kColumn: p.columns.push_back(&r); break;
      case kJoin: p.joins.push_back(&r); break;
      case kWhere: p.where.push_back(&r); break;
      case kGroupBy: p.groupBy.push_back(&r); break;
      case kHaving: p.having.push_back(&r); break;
      case kOrderBy: p.orderBy.push_back(&r); break;
      default: break;
    }
  }
  if (rows.empty()) refuse(name, QStringLiteral("its definition is missing from the database"));
  if (!p.parameters.isEmpty()) {
    QStringList names;
    for (const QString& n : p.parameters) names << bracket(n);
    refuse(name, QStringLiteral("it asks for %1 %2 when it runs, and this provider cannot ask for values")
                     .arg(names.size() == 1 ? QStringLiteral("the parameter") : QStringLiteral("the parameters"),
                          names.join(QStringLiteral(", "))));
  }
  switch (p.type) {
    case 1: return selectSql(name, p);
    case 9: return unionSql(name, p);
    case 6: refuse(name, QStringLiteral("it is a crosstab query (TRANSFORM ... PIVOT), which this provider cannot run"));
    case 8: refuse(name, QStringLiteral("it is a pass-through query, run by another database server"));
    default: refuse(name, QStringLiteral("it is an action query (type %1), which changes data and returns no rows").arg(p.type));
  }
}

}  // namespace dataaccess::jet
