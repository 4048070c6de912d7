// Runs SQL statements over rows that file providers read, on an in-memory
// SQLite database (one per connection).
//
// The tables a statement names are staged into SQLite the first time they
// are needed (one bulk insert in one transaction) and kept until the
// provider hands over different rows for the same name (the file changed).
// Statements of the shapes the viewer's filter and sort write are answered
// from the stored rows directly (sqldirect.h), by the same rules.
// Before SQLite sees a statement, the literal forms of the source's dialect
// are translated into the stored forms:
//   #m/d/yyyy#, #m/d/yyyy h:n:s#, #hh:nn:ss#   (text, Paradox, Access, Excel)
//   {m/d/yyyy}, {yyyy-mm-dd}, {} (empty date)   (dBase/FoxPro)
//   'm/d/yyyy', 'm/d/yyyy h:n:s', 'h:n:s' compared with a date column
//                                               (Access, Excel)
// and the quoting forms [name], "name" and `name` are accepted for names.
// Dates are stored as whole seconds since 1899-12-30 00:00:00 so that
// equality and order follow the classic engines (a time-only value is a time
// on 1899-12-30). Result columns keep the field types of the source columns
// they come from; computed columns get a type from their values.
#pragma once

#include "rowstore.h"

#include <QString>
#include <chrono>
#include <functional>
#include <memory>

struct sqlite3;

namespace dataaccess {

enum class SqlDialect {
  Text,     // .txt/.log/.csv: #...# literals
  Access,   // .mdb: #...# and quoted dates against date columns, [names]
  Excel,    // .xls: as Access
  XBase,    // .dbf/.dbc: {...} literals, "names"
  Paradox,  // .db: #...# literals, "names"
};

class SqlEngine {
 public:
  // Returns the rows of the table called `name` (as written in the
  // statement, without its quotes). Throws Error (kTableNotFound) when the
  // source has no such table.
  using TableLoader = std::function<RowStorePtr(const QString& name)>;

  explicit SqlEngine(SqlDialect dialect);
  ~SqlEngine();
  SqlEngine(const SqlEngine&) = delete;
  SqlEngine& operator=(const SqlEngine&) = delete;

  // Runs one SELECT statement. Throws Error (kCommandError with SQLite's
  // message) when the statement is not valid.
  std::shared_ptr<RowStore> run(const QString& statement, const TableLoader& loader);

  // Whether the statements of the viewer's filter and sort (sqldirect.h) are
  // answered straight from the stored rows, without staging (the default).
  // Tests and benchmarks turn it off to compare with the SQLite path.
  void setDirectAnswers(bool on);

  // How long one query may run before it is stopped with an error, so that
  // a runaway join or recursive expression cannot hang the viewer (120 s
  // unless set; the time is counted in whole seconds in the message).
  void setTimeLimit(std::chrono::milliseconds limit);

  // Forgets the staged copy of a table (all tables when `name` is empty).
  void forget(const QString& name = {});

  // The statement as SQLite will see it, with literals translated and table
  // names replaced by their staged names. Exposed for tests.
  QString translate(const QString& statement, const TableLoader& loader);

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
};

}  // namespace dataaccess
