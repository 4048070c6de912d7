// The columns of a result SQLite hands back, built value by value. A column
// that comes from a staged table keeps that field's description (and may
// copy exact values from the source row); a computed one takes its type
// from its values, widened when later values do not fit (integer to big
// integer or double, anything to long text).
#pragma once

#include "columnstore.h"
#include "fieldinfo.h"

#include <optional>

struct sqlite3_stmt;

namespace dataaccess::sql {

// One column of a result under construction.
struct OutColumn {
  FieldInfo field;
  bool computed = true;
  const ColumnStore* exact = nullptr;  // source column, read by row number
  std::optional<ColumnStore> store;
  int64_t leadingNulls = 0;
  int64_t maxChars = 0;
};

// The description of a computed column of `type`.
FieldInfo computedField(const QString& name, DataTypeEnum type);

// Appends the value of result column `i` of the current row. `sourceRow` is
// the staged row the result row is, or -1.
void appendResult(OutColumn& c, sqlite3_stmt* st, int i, int64_t sourceRow);

// Completes a column after the last row: a type for a column of Nulls only,
// long text for long computed text.
void finishColumn(OutColumn& c);

}  // namespace dataaccess::sql
