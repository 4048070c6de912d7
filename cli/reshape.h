// The filter and sort options of `lumbrook-cli export`: each option is one
// toolbar command of the window, run in the order given through the same
// code (FilterBySelection, SortByColumn, RemoveFilter) over a grid seam
// whose current record, column, selection and Ctrl key the option sets.
#pragma once

#include "dataaccess/recordset.h"

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <memory>
#include <vector>

namespace cli {

struct ReshapeStep {
  enum Kind { Filter, Sort, RemoveFilter };
  Kind kind = Filter;
  int64_t row = 0;       // Filter: 1-based current record
  QString field;         // Filter, Sort: the current column's field
  QString selected;      // Filter: text selected in the cell
  int direction = 1;     // Sort: 1 ascending, -1 descending
  bool addKey = false;   // Sort: Ctrl held
  QString option;        // the option as written, for messages
};

struct ReshapeOptions {
  std::vector<ReshapeStep> steps;
  bool printSql = false;
};

// Takes the reshaping options out of `args` (whatever their position) and
// returns them in order; the other arguments stay. Throws UsageError for an
// option without its value or a malformed --filter.
ReshapeOptions takeReshapeOptions(QStringList& args);

// Runs the steps on `rs` for a source of kind text `ext`. A failed filter
// has shown its message on stderr and put the rows back; a failed sort or
// remove says so on stderr; either way the next step runs. Returns false
// when any step failed. With printSql the final SQL text goes to `out`.
bool applyReshape(const ReshapeOptions& options, const std::shared_ptr<dataaccess::Recordset>& rs,
                  const QString& ext, QTextStream& out);

}  // namespace cli
