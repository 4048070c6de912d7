#include "fakeprovider.h"

#include "dataaccess/error.h"
#include "dataaccess/fileprovider.h"

namespace testsupport {

using namespace dataaccess;

std::optional<QVariant> FakeProvider::property(const QString& name) const {
  for (auto it = properties.begin(); it != properties.end(); ++it)
    if (it.key().compare(name, Qt::CaseInsensitive) == 0) return it.value();
  return std::nullopt;
}

std::shared_ptr<RowStore> FakeProvider::addTable(const QString& name, std::vector<FieldInfo> fields,
                                                 const QString& type) {
  auto rows = std::make_shared<RowStore>(std::move(fields));
  rows->baseTable = name;
  tables[name] = Table{type, rows};
  order.push_back(name);
  return rows;
}

RowStorePtr FakeProvider::openSchema(SchemaEnum schema, const QVariantList& restrictions) {
  if (schema == adSchemaTables) {
    std::vector<TableEntry> entries;
    for (const QString& n : order) entries.push_back(TableEntry{{}, {}, n, tables[n].type, {}, {}, {}});
    return makeTablesRowset(entries, restrictions);
  }
  std::vector<ColumnEntry> columns;
  for (const QString& n : order) {
    int ordinal = 0;
    for (const FieldInfo& f : tables[n].rows->fields()) {
      ColumnEntry c;
      c.table = n;
      c.field = f;
      c.ordinal = ++ordinal;
      columns.push_back(c);
    }
  }
  return makeColumnsRowset(columns, restrictions);
}

RowStorePtr FakeProvider::execute(const QString& statement, int options) {
  statements.push_back(statement);
  QString name = options == adCmdTable ? statement : FileProvider::plainSelectTable(statement);
  for (auto it = tables.begin(); it != tables.end(); ++it)
    if (!name.isEmpty() && it.key().compare(name, Qt::CaseInsensitive) == 0) return it.value().rows;
  throw Error(err::kCommandError, QStringLiteral("Recordset.Open"),
              QStringLiteral("The fake source cannot run: %1").arg(statement));
}

void FakeProvider::applyBatch(const RowStore& rows, const std::vector<RowChange>& changes) {
  if (!updatable) raiseReadOnly(name());
  if (refuseNextBatch) {
    refuseNextBatch = false;
    throw Error(err::kRowConflict, QStringLiteral("Recordset.UpdateBatch"),
                QStringLiteral("Row cannot be located for updating. Some values may have been changed since it "
                               "was last read."));
  }
  batches.push_back(changes);
  // Write the values into the table so a later read sees them.
  auto& target = const_cast<RowStore&>(rows);
  for (const RowChange& c : changes)
    for (int f : c.changedFields) target.column(f).set(c.row, c.current[size_t(f)]);
}

std::vector<QVariant> FakeProvider::reread(const RowStore& rows, int64_t row, const std::vector<QVariant>&) {
  std::vector<QVariant> values;
  for (int f = 0; f < rows.fieldCount(); ++f) values.push_back(rows.value(row, f));
  return values;
}

std::shared_ptr<Connection> fakeConnection(FakeProvider** provider) {
  auto p = std::make_unique<FakeProvider>();
  if (provider) *provider = p.get();
  return Connection::fromProvider(std::move(p));
}

}  // namespace testsupport
