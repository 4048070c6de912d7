// Saved Access queries rebuilt as SQL for the SQL engine.
//
// Jet keeps no SQL text for a saved query: MSysQueries holds one row per
// part of it (its type, parameters, tables, output columns, joins, criteria,
// grouping, ordering), and Access writes the SQL from those rows when asked.
// rebuildQuerySql() does the same for select and union queries, and writes
// the Jet expressions of the rows in the form the SQL engine runs: strings
// in single quotes, "&" as "||", Yes/No as 1/0 (stored Booleans), "/" as a
// division in floating point, "\" and Mod as the integer forms, and the
// Jet functions that have an equivalent as that equivalent. Anything else
// (crosstabs, parameters, form references, functions without an
// equivalent, other databases) is refused with an error that names it.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace dataaccess::jet {

// One MSysQueries row.
struct QueryRow {
  int attribute = 0;
  int flag = 0;
  QString name1, name2, expression;
  QByteArray order;  // sort key of the row among rows of the same attribute
};

// What the attribute numbers of MSysQueries mean.
enum QueryAttribute {
  kQueryType = 1,     // flag: 1 select, 2 make-table, 3 append, 4 update, 5 delete, 6 crosstab, 7 DDL, 8 pass-through, 9 union
  kParameter = 2,     // name1: parameter name, flag: its type
  kOptions = 3,       // flag bits: 2 DISTINCT, 8 DISTINCTROW, 16 TOP (name1: n), 32 PERCENT; union: 1 ALL
  kExternalDb = 4,    // name1: the database the tables come from
  kSource = 5,        // name1: table or query, name2: alias; union: expression holds each SELECT
  kColumn = 6,        // expression, name1: alias
  kJoin = 7,          // name1, name2: the two sides, expression: condition, flag: 1 inner, 2 left, 3 right
  kWhere = 8,
  kGroupBy = 9,
  kHaving = 10,
  kOrderBy = 11,      // name1 "D": descending
};

// The SQL text of the saved query `name` (used in messages) from its rows.
// Throws Error (kCommandError) naming the construct when the query cannot
// be run.
QString rebuildQuerySql(const QString& name, std::vector<QueryRow> rows);

// A Jet expression (or a whole Jet SELECT) of the query `name` in the form
// the SQL engine runs. `parameters` are the declared parameter names.
// Throws Error (kCommandError) for a parameter, a form reference or a
// function without an equivalent.
QString engineExpression(const QString& expression, const QString& name, const QStringList& parameters = {});

}  // namespace dataaccess::jet
