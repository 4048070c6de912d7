// Direct answers to the statements the viewer's filter and sort commands
// write, straight from a table's stored columns, without staging the table
// into SQLite:
//   SELECT * FROM t [WHERE c [AND c]...] [ORDER BY a [ASC|DESC] [, b ...]]
// where each condition c is  name = literal,  name LIKE 'pattern'  or
// name IS [NOT] NULL. The results are those the SQLite path gives: the same
// text rules (textcompare.h), the same stored forms of literals
// (sqltranslate.h), Nulls first in ascending order, ties in table order.
// Anything else (other shapes, a literal whose comparison SQLite would
// decide by its affinity rules, edited rows) is left to the SQLite path.
#pragma once

#include "rowstore.h"
#include "sqlengine.h"
#include "sqltranslate.h"

#include <optional>

namespace dataaccess::sql {

struct DirectQuery {
  enum class Op { Equal, Like, IsNull, IsNotNull };
  struct Condition {
    QString column;
    Op op = Op::Equal;
    Token literal;  // for Equal and Like
    double number = 0;      // a numeric literal
    bool isInteger = false;
    int64_t integer = 0;
    bool numeric = false;   // the literal is a number (or True/False)
  };
  struct Key {
    QString column;
    bool descending = false;
  };
  QString table;  // as written, without quotes
  std::vector<Condition> conditions;
  std::vector<Key> order;
};

// The statement's query when it has the direct shape, else nothing.
std::optional<DirectQuery> parseDirect(const std::vector<Token>& tokens, SqlDialect dialect);

// The rows of `rows` the query selects, in its order, or nullptr when the
// comparison is one the direct path does not decide (the caller then runs
// the statement on SQLite). The result is a selection of `rows`
// (RowStore::selectRows): it shares their columns and keeps them alive.
// `threads` bounds the threads used.
std::shared_ptr<RowStore> runDirect(const DirectQuery& query, const RowStorePtr& rows, SqlDialect dialect,
                                    int threads = 2);

}  // namespace dataaccess::sql
