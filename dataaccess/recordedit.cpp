#include "recordedit.h"

#include "error.h"
#include "values.h"

namespace dataaccess::recordedit {

void refuseValue(const QString& source, const QString& field, const QString& why) {
  throw Error(err::kDataConversion, source, QStringLiteral("The value for field '%1' cannot be stored: %2").arg(field, why));
}

QByteArray encodeText(const CodePage& codePage, const QString& text, const QString& source, const QString& field) {
  std::optional<QByteArray> bytes = codePage.encode(text);
  if (!bytes)
    refuseValue(source, field,
                QStringLiteral("it holds characters that the table's code page (%1) cannot store").arg(codePage.name()));
  return *std::move(bytes);
}

std::vector<int> columnMap(const RowStore& rows, const QStringList& columnNames) {
  std::vector<int> map(size_t(rows.fieldCount()), -1);
  for (int i = 0; i < rows.fieldCount(); ++i)
    for (int c = 0; c < int(columnNames.size()); ++c)
      if (columnNames[c].compare(rows.field(i).name, Qt::CaseInsensitive) == 0) {
        map[size_t(i)] = c;
        break;
      }
  return map;
}

void claimRecord(std::set<int64_t>& seen, const RowChange& change, const QString& source) {
  if (change.rowKey < 0 || !seen.insert(change.rowKey).second)
    throw Error(err::kInvalidArgument, source, QStringLiteral("A changed row has no record of its own."));
}

void checkUnchanged(const RowStore& rows, const RowChange& change, const std::vector<int>& map,
                    const RecordValue& now, const QString& table, const QString& source) {
  for (int i = 0; i < rows.fieldCount() && i < int(change.original.size()) && i < int(map.size()); ++i) {
    if (map[size_t(i)] < 0) continue;
    if (!sameValue(now(map[size_t(i)]), change.original[size_t(i)]))
      throw Error(err::kRowConflict, source,
                  QStringLiteral("Row cannot be located for updating: record %1 of table '%2' was changed by "
                                 "another program since it was read (field '%3'). Nothing was saved.")
                      .arg(change.rowKey + 1)
                      .arg(table, rows.field(i).name));
  }
}

int changedColumn(const RowChange& change, int field, const std::vector<int>& map, const QString& source) {
  const int col = field >= 0 && field < int(map.size()) ? map[size_t(field)] : -1;
  if (col < 0 || size_t(field) >= change.current.size())
    throw Error(err::kInvalidArgument, source, QStringLiteral("A changed field is not a field of the table."));
  return col;
}

std::vector<QVariant> reread(const RowStore& rows, const std::vector<int>& map,
                             const std::vector<QVariant>& original, const RecordValue& now) {
  std::vector<QVariant> out(size_t(rows.fieldCount()));
  for (int i = 0; i < rows.fieldCount(); ++i) {
    const int col = size_t(i) < map.size() ? map[size_t(i)] : -1;
    out[size_t(i)] = col >= 0 ? now(col) : (size_t(i) < original.size() ? original[size_t(i)] : QVariant());
  }
  return out;
}

}  // namespace dataaccess::recordedit
