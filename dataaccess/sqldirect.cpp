#include "sqldirect.h"

#include "textcompare.h"
#include "values.h"

#include <QSet>

#include <algorithm>
#include <bit>
#include <cmath>
#include <functional>
#include <thread>

namespace dataaccess::sql {

namespace {

using Storage = ColumnStore::Storage;

bool isWord(const Token& t, const char* w) {
  return t.kind == TokenKind::Word && t.value.compare(QLatin1String(w), Qt::CaseInsensitive) == 0;
}
bool isPunct(const Token& t, const char* p) { return t.kind == TokenKind::Punct && t.value == QLatin1String(p); }

bool isDigits(const QString& s) {
  if (s.isEmpty()) return false;
  for (QChar c : s)
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
  return true;
}

// A column name as the shape allows it: quoted, or a bare word that is no
// keyword of the statement.
std::optional<QString> columnName(const Token& t) {
  static const QSet<QString> keywords = {
      QStringLiteral("and"), QStringLiteral("or"), QStringLiteral("not"), QStringLiteral("like"),
      QStringLiteral("is"), QStringLiteral("null"), QStringLiteral("order"), QStringLiteral("by"),
      QStringLiteral("where"), QStringLiteral("asc"), QStringLiteral("desc"), QStringLiteral("limit"),
      QStringLiteral("collate"), QStringLiteral("escape"), QStringLiteral("in"), QStringLiteral("between"),
      QStringLiteral("glob"), QStringLiteral("regexp"), QStringLiteral("match"), QStringLiteral("true"),
      QStringLiteral("false"), QStringLiteral("nulls"), QStringLiteral("group"), QStringLiteral("having")};
  if (t.kind == TokenKind::QuotedName) return t.value;
  if (t.kind == TokenKind::Word && !t.value.front().isDigit() && !keywords.contains(t.value.toLower())) return t.value;
  return std::nullopt;
}

bool isDecimalText(DataTypeEnum t) { return t == adNumeric || t == adDecimal; }

// The stored seconds a date literal stands for, as the SQLite path
// translates it; nothing when that path would decide otherwise.
std::optional<int64_t> literalSeconds(const Token& t, SqlDialect dialect) {
  const bool accessLike = dialect == SqlDialect::Access || dialect == SqlDialect::Excel;
  std::optional<QDateTime> dt;
  if (t.kind == TokenKind::HashDate) dt = parseLiteralDate(t.value, false);
  else if (t.kind == TokenKind::String) dt = parseLiteralDate(t.value, !accessLike);
  else if (t.kind == TokenKind::Brace) {
    const QString inner = t.value.trimmed();
    if (inner.isEmpty() || inner.front().isLetter()) return std::nullopt;
    dt = parseLiteralDate(inner, true);
  }
  if (!dt) return std::nullopt;
  return storedSeconds(*dt);
}

using RowList = std::vector<uint32_t>;
using Predicate = std::function<bool(int64_t)>;

// The predicate of one condition over its column, or an empty function
// when the comparison is left to SQLite.
Predicate bind(const DirectQuery::Condition& c, const ColumnStore& col, DataTypeEnum type, SqlDialect dialect) {
  using Op = DirectQuery::Op;
  if (c.op == Op::IsNull) {
    if (col.storage() == Storage::Real)
      return [&col](int64_t r) { return col.isNull(r) || std::isnan(col.realAt(r)); };
    return [&col](int64_t r) { return col.isNull(r); };
  }
  if (c.op == Op::IsNotNull) {
    if (col.storage() == Storage::Real)
      return [&col](int64_t r) { return !col.isNull(r) && !std::isnan(col.realAt(r)); };
    return [&col](int64_t r) { return !col.isNull(r); };
  }
  const bool accessLike = dialect == SqlDialect::Access || dialect == SqlDialect::Excel;
  switch (col.storage()) {
    case Storage::Text: {
      if (isDecimalText(type) || c.literal.kind != TokenKind::String) return {};
      const std::string text = c.literal.value.toStdString();
      if (c.op == Op::Like) {
        QString pattern = c.literal.value;
        if (accessLike) pattern.replace(QLatin1Char('*'), QLatin1Char('%')).replace(QLatin1Char('?'), QLatin1Char('_'));
        auto like = std::make_shared<textcmp::LikePattern>(pattern.toStdString());
        return [&col, like](int64_t r) { return !col.isNull(r) && like->matches(col.bytesAt(r)); };
      }
      return [&col, text](int64_t r) { return !col.isNull(r) && textcmp::equal(col.bytesAt(r), text); };
    }
    case Storage::Integer:
    case Storage::Boolean: {
      if (c.op != Op::Equal || !c.numeric) return {};
      const bool boolean = col.storage() == Storage::Boolean;
      if (c.isInteger) {
        const int64_t want = c.integer;
        if (boolean) return [&col, want](int64_t r) { return !col.isNull(r) && int64_t(col.booleanAt(r)) == want; };
        return [&col, want](int64_t r) { return !col.isNull(r) && col.integerAt(r) == want; };
      }
      const double want = c.number;
      if (boolean) return [&col, want](int64_t r) { return !col.isNull(r) && double(col.booleanAt(r)) == want; };
      return [&col, want](int64_t r) { return !col.isNull(r) && double(col.integerAt(r)) == want; };
    }
    case Storage::Real: {
      if (c.op != Op::Equal || !c.numeric) return {};
      const double want = c.isInteger ? double(c.integer) : c.number;
      return [&col, want](int64_t r) { return !col.isNull(r) && col.realAt(r) == want; };
    }
    case Storage::DateTime: {
      if (c.op != Op::Equal || c.numeric) return {};
      if (c.literal.kind == TokenKind::Brace && c.literal.value.trimmed().isEmpty())
        return [&col](int64_t r) { return col.isNull(r); };  // = {} tests for the empty date
      const auto want = literalSeconds(c.literal, dialect);
      if (!want) return {};
      const int64_t s = *want;
      return [&col, s](int64_t r) { return !col.isNull(r) && floorSeconds(col.oleMsecsAt(r)) == s; };
    }
    case Storage::Bytes:
      return {};
  }
  return {};
}

// Below this many rows one thread does the work.
constexpr int64_t kParallelRows = 100000;

// Runs f(part, begin, end) over [0, n) cut into `parts` slices at once.
void parallel(int64_t n, int parts, const std::function<void(int, int64_t, int64_t)>& f) {
  parts = int(std::clamp<int64_t>(parts, 1, std::max<int64_t>(n, 1)));
  if (parts == 1) return f(0, 0, n);
  std::vector<std::thread> workers;
  for (int p = 1; p < parts; ++p) workers.emplace_back(f, p, n * p / parts, n * (p + 1) / parts);
  f(0, 0, n / parts);
  for (auto& w : workers) w.join();
}

struct SortKey {
  const ColumnStore* col;
  bool descending;
};

bool isNullAt(const ColumnStore& c, int64_t r) {
  return c.isNull(r) || (c.storage() == Storage::Real && std::isnan(c.realAt(r)));
}

int compareAt(const ColumnStore& c, int64_t a, int64_t b) {
  const bool na = isNullAt(c, a), nb = isNullAt(c, b);
  if (na || nb) return int(nb) - int(na);  // Nulls first
  switch (c.storage()) {
    case Storage::Text: return textcmp::compare(c.bytesAt(a), c.bytesAt(b));
    case Storage::Integer: return c.integerAt(a) < c.integerAt(b) ? -1 : c.integerAt(a) > c.integerAt(b);
    case Storage::Boolean: return int(c.booleanAt(a)) - int(c.booleanAt(b));
    case Storage::Real: return c.realAt(a) < c.realAt(b) ? -1 : c.realAt(a) > c.realAt(b);
    case Storage::DateTime: {
      const int64_t x = floorSeconds(c.oleMsecsAt(a)), y = floorSeconds(c.oleMsecsAt(b));
      return x < y ? -1 : x > y;
    }
    case Storage::Bytes: return 0;
  }
  return 0;
}

// An order-preserving number for the first sort key (zero for Null): a
// smaller key always means an earlier row in ascending order.
textcmp::PrefixKey leadingKey(const ColumnStore& c, int64_t r) {
  constexpr uint64_t kSign = uint64_t(1) << 63;
  if (isNullAt(c, r)) return {};
  switch (c.storage()) {
    case Storage::Text: return textcmp::prefixKey(c.bytesAt(r));
    case Storage::Integer: return {uint64_t(c.integerAt(r)) ^ kSign, 0};
    case Storage::Boolean: return {uint64_t(c.booleanAt(r)) ^ kSign, 0};
    case Storage::DateTime: return {uint64_t(floorSeconds(c.oleMsecsAt(r))) ^ kSign, 0};
    case Storage::Real: {
      const double v = c.realAt(r) == 0 ? 0.0 : c.realAt(r);  // -0 sorts as 0
      const auto bits = std::bit_cast<uint64_t>(v);
      return {(bits & kSign) ? ~bits : bits | kSign, 0};
    }
    case Storage::Bytes: return {};
  }
  return {};
}

void sortRows(RowList& rows, const std::vector<SortKey>& keys, int threads) {
  struct Item {
    textcmp::PrefixKey key;
    uint32_t row;
  };
  std::vector<Item> items(rows.size());
  const SortKey first = keys.front();
  const int parts = rows.size() < size_t(kParallelRows) ? 1 : threads;
  parallel(int64_t(rows.size()), parts, [&](int, int64_t b, int64_t e) {
    for (int64_t i = b; i < e; ++i) items[size_t(i)] = {leadingKey(*first.col, rows[size_t(i)]), rows[size_t(i)]};
  });
  auto less = [&keys, first](const Item& x, const Item& y) {
    if (x.key != y.key) return first.descending ? x.key > y.key : x.key < y.key;
    for (const SortKey& k : keys) {
      const int c = compareAt(*k.col, x.row, y.row);
      if (c) return k.descending ? c > 0 : c < 0;
    }
    return x.row < y.row;  // ties keep the table's order
  };
  if (parts > 1) {
    const auto mid = items.begin() + std::ptrdiff_t(items.size() / 2);
    std::thread other([&] { std::sort(items.begin(), mid, less); });
    std::sort(mid, items.end(), less);
    other.join();
    std::inplace_merge(items.begin(), mid, items.end(), less);
  } else {
    std::sort(items.begin(), items.end(), less);
  }
  for (size_t i = 0; i < items.size(); ++i) rows[i] = items[i].row;
}

}  // namespace

std::optional<DirectQuery> parseDirect(const std::vector<Token>& tokens, SqlDialect) {
  std::vector<size_t> sig;
  for (size_t i = 0; i < tokens.size(); ++i)
    if (tokens[i].kind != TokenKind::Space) sig.push_back(i);
  auto at = [&](size_t k) -> const Token* { return k < sig.size() ? &tokens[sig[k]] : nullptr; };
  auto word = [&](size_t k, const char* w) { return at(k) && isWord(*at(k), w); };
  auto punct = [&](size_t k, const char* p) { return at(k) && isPunct(*at(k), p); };

  if (!word(0, "select") || !punct(1, "*") || !word(2, "from")) return std::nullopt;
  const auto uses = findTables(tokens);
  if (uses.size() != 1 || uses.front().hasAlias || uses.front().first != sig[3]) return std::nullopt;
  DirectQuery q;
  q.table = uses.front().name;
  size_t k = size_t(std::find(sig.begin(), sig.end(), uses.front().last) - sig.begin()) + 1;

  if (word(k, "where")) {
    do {
      ++k;
      const auto name = at(k) ? columnName(*at(k)) : std::nullopt;
      if (!name) return std::nullopt;
      DirectQuery::Condition c;
      c.column = *name;
      ++k;
      if (word(k, "is")) {
        ++k;
        c.op = DirectQuery::Op::IsNull;
        if (word(k, "not")) c.op = DirectQuery::Op::IsNotNull, ++k;
        if (!word(k, "null")) return std::nullopt;
        ++k;
      } else if (word(k, "like")) {
        c.op = DirectQuery::Op::Like;
        if (!at(k + 1) || at(k + 1)->kind != TokenKind::String || word(k + 2, "escape")) return std::nullopt;
        c.literal = *at(k + 1);
        k += 2;
      } else if (punct(k, "=") || punct(k, "==")) {
        ++k;
        const Token* t = at(k);
        if (!t) return std::nullopt;
        const bool negative = isPunct(*t, "-");
        if (negative) t = at(++k);
        if (!t) return std::nullopt;
        if (!negative && (t->kind == TokenKind::String || t->kind == TokenKind::HashDate || t->kind == TokenKind::Brace)) {
          c.literal = *t;
          ++k;
        } else if (!negative && (isWord(*t, "true") || isWord(*t, "false"))) {
          c.numeric = c.isInteger = true;
          c.integer = isWord(*t, "true") ? 1 : 0;
          ++k;
        } else if (t->kind == TokenKind::Word && isDigits(t->value)) {
          QString text = t->value;
          ++k;
          // 12.5 arrives as three adjacent tokens.
          if (punct(k, ".") && at(k)->begin == t->end && at(k + 1) && at(k + 1)->begin == at(k)->end &&
              isDigits(at(k + 1)->value)) {
            text += QLatin1Char('.') + at(k + 1)->value;
            k += 2;
          } else if (punct(k, ".")) {
            return std::nullopt;
          }
          bool ok = false;
          c.numeric = true;
          c.integer = text.toLongLong(&c.isInteger);
          c.number = text.toDouble(&ok);
          if (!ok) return std::nullopt;
          if (negative) c.integer = -c.integer, c.number = -c.number;
          if (c.isInteger && text.size() > 18) c.isInteger = false;
        } else {
          return std::nullopt;
        }
      } else {
        return std::nullopt;
      }
      q.conditions.push_back(std::move(c));
    } while (word(k, "and"));
  }

  if (word(k, "order") && word(k + 1, "by")) {
    k += 2;
    while (true) {
      const auto name = at(k) ? columnName(*at(k)) : std::nullopt;
      if (!name) return std::nullopt;
      DirectQuery::Key key{*name, false};
      ++k;
      if (word(k, "desc")) key.descending = true, ++k;
      else if (word(k, "asc")) ++k;
      q.order.push_back(key);
      if (!punct(k, ",")) break;
      ++k;
    }
  }
  if (punct(k, ";")) ++k;
  if (k != sig.size()) return std::nullopt;
  return q;
}

std::shared_ptr<RowStore> runDirect(const DirectQuery& q, const RowStorePtr& stored, SqlDialect dialect, int threads) {
  const RowStore& rows = *stored;
  const std::vector<QString> names = stagedColumnNames(rows.fields());
  auto find = [&](const QString& column) -> int {
    for (size_t i = 0; i < names.size(); ++i)
      if (sameIdentifier(names[i], column)) return int(i);
    return -1;
  };
  for (int f = 0; f < rows.fieldCount(); ++f)
    if (rows.column(f).hasReplacements()) return nullptr;

  std::vector<Predicate> predicates;
  for (const auto& c : q.conditions) {
    const int f = find(c.column);
    if (f < 0) return nullptr;
    Predicate p = bind(c, rows.column(f), rows.field(f).type, dialect);
    if (!p) return nullptr;
    predicates.push_back(std::move(p));
  }
  std::vector<SortKey> keys;
  for (const auto& k : q.order) {
    const int f = find(k.column);
    if (f < 0) return nullptr;
    const ColumnStore& col = rows.column(f);
    if (col.storage() == Storage::Bytes || (col.storage() == Storage::Text && isDecimalText(col.type())))
      return nullptr;
    keys.push_back({&col, k.descending});
  }
  if (rows.rowCount() > int64_t(UINT32_MAX)) return nullptr;

  // Rows passing every condition, each slice of the table on its own thread.
  const int parts = rows.rowCount() < kParallelRows ? 1 : std::max(1, threads);
  std::vector<RowList> found(static_cast<size_t>(parts));
  parallel(rows.rowCount(), parts, [&](int part, int64_t b, int64_t e) {
    RowList& out = found[size_t(part)];
    for (int64_t r = b; r < e; ++r) {
      bool pass = true;
      for (const Predicate& p : predicates)
        if (!p(r)) {
          pass = false;
          break;
        }
      if (pass) out.push_back(uint32_t(r));
    }
  });
  RowList selected = std::move(found.front());
  for (size_t p = 1; p < found.size(); ++p) selected.insert(selected.end(), found[p].begin(), found[p].end());
  if (!keys.empty()) sortRows(selected, keys, threads);

  auto result = RowStore::selectRows(stored, std::move(selected));
  if (result->baseTable.isEmpty()) result->baseTable = q.table;
  return result;
}

}  // namespace dataaccess::sql
