// Filter by selection, remove filter and sort by column: the three commands
// that reshape the rows of the grid by rewriting the SQL text of the grid's
// recordset and opening it again, so the source's driver does the work.
//
// The rewriting keeps a small convention so the filter can be found and
// removed again. From the content query (SELECT * FROM t):
//   sorted            + " ORDER BY " a [" DESC"] ["," b [" DESC"]]
//   filtered once     + " WHERE   " (three blanks) + condition
//   filtered again    + "   AND " + condition, for every further filter
//   filtered, sorted  the filter part always before " ORDER BY "
// Every keyword search ignores letter case.
//
// The commands work on a GridSeam: what the window's grid (or lumbrook-cli,
// or a test) knows about the current record, column and selection, and how
// the new text is run (the window runs it on a worker thread). The new rows
// take the place of the old ones only once the query has succeeded: a
// failed or stopped query leaves the recordset as it was. QtCore only.
#pragma once

#include "dataaccess/recordset.h"

#include <QLocale>
#include <QString>
#include <memory>
#include <optional>

namespace viewer {

// What the commands need from a grid. The grid's current row is the
// recordset's current record, so the commands read values through the
// recordset.
class GridSeam {
 public:
  virtual ~GridSeam();
  // The recordset the grid shows, or none.
  virtual std::shared_ptr<dataaccess::Recordset> recordset() const = 0;
  // Index of the field in the grid's current column; -1 when there is none.
  virtual int currentColumn() const = 0;
  // The text selected in the current cell; empty when no cell editor is
  // open.
  virtual QString selectedText() const = 0;
  // Ends any editing in the grid's cells.
  virtual void endCellEdit() {}
  // A whole column selected by its header becomes the current column and
  // the column selection is cleared.
  virtual void takeSelectedColumn() {}
  // Whether the Ctrl key is held down at this moment.
  virtual bool ctrlHeld() const = 0;
  // The recordset was opened again with new rows: show them.
  virtual void rowsChanged() {}
  // Runs the new SQL text of a command on the recordset's connection and
  // returns its rows, or throws dataaccess::Error. The recordset and its
  // rows stay as they are meanwhile. The default runs it at once.
  virtual dataaccess::RowStorePtr runQuery(const std::shared_ptr<dataaccess::Connection>& cn, const QString& text);
};

// Sorts by the field of the current column, ascending for a positive
// direction, descending for a negative one; with Ctrl held, the field is
// added as a further sort key. A failure is not reported: the previous text
// and rows are put back. Returns false when the sort failed.
bool SortByColumn(GridSeam& grid, int direction, const QString& ext);

// Adds a condition on `field` (empty: the current column's field) built from
// the current record's value, or for a text field from the selected text.
// A failure is shown as a critical message ("number: description") and the
// previous rows come back. Returns false when the filter failed.
bool FilterBySelection(GridSeam& grid, const QString& field, const QString& ext,
                       const QLocale& locale = QLocale::system());

// Drops every condition the filter added; a sort stays. Failures are not
// reported; the previous rows are put back. Returns false when it failed.
bool RemoveFilter(GridSeam& grid);

// The text rewrites on their own. Each returns nothing where the command
// stops without changing the text.
QString SortedSql(const QString& sql, const QString& column, int direction, bool addKey);
QString FilteredSql(const QString& sql, const QString& condition);
std::optional<QString> UnfilteredSql(const QString& sql);

// The condition for a field of `type` whose current value is `value` and
// whose selected text is `selected`; empty for a type that has no rule.
// A Null value gives "field IS NULL". Throws dataaccess::Error when the
// value does not convert.
// With `backslashEscapes` (see ServerEscapesBackslashes) text literals
// double their backslashes, and LIKE patterns escape them first, so a
// backslash in a value matches itself.
QString FilterCondition(const QString& field, dataaccess::DataTypeEnum type, const QVariant& value,
                        const QString& selected, const QString& ext, const QLocale& locale = QLocale::system(),
                        bool backslashEscapes = false);

// Whether the server behind `cn` reads a backslash inside a string literal
// as an escape: MySQL and MariaDB unless their sql_mode has
// NO_BACKSLASH_ESCAPES. File sources never do.
bool ServerEscapesBackslashes(dataaccess::Connection& cn);

}  // namespace viewer
