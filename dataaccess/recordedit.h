// The checks shared by the providers that write edited records back into
// their own table files in place (dBase/FoxPro, Paradox). Each such provider
// reads a record, compares it with the values the rows were read with, and
// rebuilds it from the changed fields before anything is written; these are
// the steps that do not depend on the record layout. The format's own rules
// (deleted records, indexes it does not maintain, memo and blob files) stay
// with the provider.
#pragma once

#include "codepage.h"
#include "provider.h"
#include "rowstore.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <set>
#include <vector>

namespace dataaccess::recordedit {

// For each field of `rows`, the index of the table column of the same name
// (ignoring case), or -1 for a field the table does not have.
std::vector<int> columnMap(const RowStore& rows, const QStringList& columnNames);

template <class Columns>
std::vector<int> columnMap(const RowStore& rows, const Columns& columns) {
  QStringList names;
  for (const auto& c : columns) names << c.name;
  return columnMap(rows, names);
}

// Throws Error (kDataConversion, `source`): the value for `field` cannot
// be stored, for the reason `why`.
[[noreturn]] void refuseValue(const QString& source, const QString& field, const QString& why);

// The bytes of `text` in a table's code page. Throws refuseValue's error
// when the code page cannot store one of its characters: written as
// replacement marks, the text would be lost.
QByteArray encodeText(const CodePage& codePage, const QString& text, const QString& source, const QString& field);

// The value of column `column` of the record as it is now on disk.
using RecordValue = std::function<QVariant(int column)>;

// Throws Error (kInvalidArgument, `source`) when the change names no record
// of its own (a negative key, or a record already in the batch); otherwise
// adds its record to `seen`.
void claimRecord(std::set<int64_t>& seen, const RowChange& change, const QString& source);

// Throws Error (kRowConflict, `source`) naming record and field when a value
// the rows were read with differs from the record now: another program
// changed it, and saving over it would lose that change.
void checkUnchanged(const RowStore& rows, const RowChange& change, const std::vector<int>& map,
                    const RecordValue& now, const QString& table, const QString& source);

// The table column of changed field `field`. Throws Error (kInvalidArgument,
// `source`) when the field has no column or no current value.
int changedColumn(const RowChange& change, int field, const std::vector<int>& map, const QString& source);

// The fields of a row read again: the record's values where the table has
// the column, the values of `original` (or Null) where it does not.
std::vector<QVariant> reread(const RowStore& rows, const std::vector<int>& map,
                             const std::vector<QVariant>& original, const RecordValue& now);

}  // namespace dataaccess::recordedit
