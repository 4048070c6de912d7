// Statement rewriting for the SQL engine: a small tokenizer that knows the
// quoting forms of the file sources' dialects, the search for the tables a
// statement reads, and the translation of their literal forms into what the
// staged SQLite tables hold (dates as whole seconds since 1899-12-30).
//
// Kept apart from the engine so that it is plain text in, text out: the
// engine supplies the staged name and fields of every table by a callback.
#pragma once

#include "fieldinfo.h"
#include "sqlengine.h"

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace dataaccess::sql {

enum class TokenKind {
  Space,       // blanks and comments
  Word,        // bare word: keyword, name, number
  QuotedName,  // [name], "name", `name`
  String,      // 'text'
  HashDate,    // #...# date literal
  Brace,       // {...} date literal
  Punct,       // operator or punctuation (<>, <=, >=, != and || as one token)
};

struct Token {
  TokenKind kind;
  int begin = 0;   // position in the statement
  int end = 0;
  int depth = 0;   // parenthesis depth (a parenthesis itself has the outer depth)
  QString value;   // name without quotes, text of a string, inside of a literal
};

// Splits a statement into tokens. Throws Error (kCommandError) for an
// unterminated string, quoted name, comment or literal.
std::vector<Token> tokenize(const QString& statement);

// One place where a statement reads a table.
struct TableUse {
  QString name;      // as written, without quotes
  size_t first = 0;  // token range of the reference
  size_t last = 0;
  int depth = 0;
  bool hasAlias = false;
  QString alias;     // the alias written after the reference, if any
};

// The table references of a statement (after FROM and JOIN, and comma lists
// after FROM), leaving out the names of common table expressions.
std::vector<TableUse> findTables(const std::vector<Token>& tokens);

struct StagedInfo {
  QString stagedName;                       // name of the SQLite table
  const std::vector<FieldInfo>* fields = nullptr;
};

struct Translation {
  QString sql;
  // The same statement selecting the staged row number as its first column,
  // or empty when the rows of the result cannot be traced to rows of one
  // table (joins, grouping, DISTINCT, aggregates, compound selects).
  QString keyedSql;
  // For each result column of the main SELECT, the date field its value is
  // (MIN(d), MAX(d), COALESCE(d, e) over date fields d, e), else nullptr.
  // Empty when the result columns cannot be counted from the text.
  std::vector<const FieldInfo*> resultDates;
};

// The table whose rows a statement's result lists. `use` is the one table
// reference outside subqueries, when there is exactly one (only then can
// result rows be traced to table rows); `name` is that table, or else the
// only table the statement reads (a self-join, a select of subqueries over
// one table), or empty.
struct OuterTable {
  const TableUse* use = nullptr;
  QString name;
};
OuterTable outerTable(const std::vector<TableUse>& uses);

// Rewrites a tokenized statement for SQLite in passes: table names become
// the staged tables, literals the stored forms, Jet's TOP n a LIMIT, and a
// keyed variant selects the outer table's row numbers. `staged` answers for every name
// of `uses`. Throws Error (kCommandError) for a literal that is not a date.
Translation translate(const QString& statement, const std::vector<Token>& tokens,
                      const std::vector<TableUse>& uses, SqlDialect dialect,
                      const std::function<StagedInfo(const QString&)>& staged);

// Whole seconds since 1899-12-30 00:00:00 (rounded down), the stored form of
// dates.
int64_t storedSeconds(const QDateTime& dt);

// Parses the inside of a date literal: m/d/yyyy, yyyy-mm-dd (also with "/"
// and a leading "^"), either with an optional time h:n[:s] [AM|PM], or a
// time alone (a time on 1899-12-30). When `localeFirst` is set the locale's
// short date is tried before the fixed month/day/year form.
std::optional<QDateTime> parseLiteralDate(const QString& text, bool localeFirst);

// The SQLite column name of each field of a staged table: the field's name,
// "FieldN" for an empty one, and "name_2", ... for a repeated one.
std::vector<QString> stagedColumnNames(const std::vector<FieldInfo>& fields);

// Whether two names are the same identifier for SQLite (ASCII letters in
// any case, every other character exactly).
bool sameIdentifier(const QString& a, const QString& b);

// "name" with embedded double quotes doubled.
QString quoteName(const QString& name);

}  // namespace dataaccess::sql
