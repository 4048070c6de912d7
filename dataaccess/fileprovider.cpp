#include "fileprovider.h"

#include "error.h"
#include "loadcontrol.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace dataaccess {

FileProvider::FileProvider() = default;
FileProvider::~FileProvider() = default;

void FileProvider::close() {
  cache_.clear();
  engine_.reset();
}

FileProvider::SourceProperties FileProvider::sourceProperties() const { return {}; }

std::optional<QVariant> FileProvider::property(const QString& name) const {
  const auto is = [&](const char* key) { return name.compare(QLatin1String(key), Qt::CaseInsensitive) == 0; };
  const SourceProperties p = sourceProperties();
  if (is("Provider Friendly Name") && !p.friendlyName.isEmpty()) return QVariant(p.friendlyName);
  if (is("DBMS Name") && !p.dbmsName.isEmpty()) return QVariant(p.dbmsName);
  if (is("DBMS Version")) return p.dbmsVersion;
  if (is("Data Source")) return p.dataSource;
  if (is("User Name")) return p.userName;
  return std::nullopt;
}

QString FileProvider::plainSelectTable(const QString& statement) {
  static const QRegularExpression plain(
      QString::fromLatin1(R"re(^\s*SELECT\s+\*\s+FROM\s+(\[([^\]]+)\]|"([^"]+)"|`([^`]+)`|([^\s\[\]"`;,()]+))\s*;?\s*$)re"),
      QRegularExpression::CaseInsensitiveOption);
  const auto m = plain.match(statement);
  if (!m.hasMatch()) return {};
  for (int i = 2; i <= 5; ++i)
    if (m.capturedLength(i)) return m.captured(i);
  return {};
}

TableEntry FileProvider::findTable(const QString& name) {
  for (const TableEntry& t : listTables())
    if (t.name.compare(name, Qt::CaseInsensitive) == 0) return t;
  throw Error(err::kTableNotFound, QStringLiteral("Recordset.Open"),
              QStringLiteral("The table '%1' does not exist in this source.").arg(name));
}

TableEntry FileProvider::editableTable(const RowStore& rows, const QString& source) {
  if (rows.baseTable.isEmpty() || rows.rowKeys().size() != size_t(rows.rowCount()))
    throw Error(err::kFeatureNotAvailable, source,
                QStringLiteral("These rows cannot be updated: they do not come from one table."));
  return findTable(rows.baseTable);
}

QList<QDateTime> FileProvider::stampsOf(const TableEntry& t) const {
  QList<QDateTime> stamps;
  for (const QString& f : filesOf(t)) {
    const QFileInfo fi(f);
    stamps.append(fi.exists() ? fi.lastModified() : QDateTime());
    stamps.append(QDateTime::fromMSecsSinceEpoch(fi.exists() ? fi.size() : -1));
  }
  return stamps;
}

RowStorePtr FileProvider::cachedTable(const QString& name) {
  const TableEntry t = findTable(name);
  const QString key = t.name.toLower();
  const QList<QDateTime> stamps = stampsOf(t);
  auto it = cache_.find(key);
  if (it != cache_.end() && it->second.stamps == stamps) return it->second.rows;
  std::shared_ptr<RowStore> rows = loadTable(t);
  if (rows->baseTable.isEmpty()) rows->baseTable = t.name;
  // Not shrunk: spare capacity the reader reserved was never touched, so it
  // costs address space only, while shrinking would copy every column.
  cache_[key] = Cached{rows, stamps};
  return rows;
}

void FileProvider::invalidate(const QString& name) {
  if (name.isEmpty()) {
    cache_.clear();
    if (engine_) engine_->forget();
    return;
  }
  cache_.erase(name.toLower());
  if (engine_) engine_->forget(name);
}

std::vector<FieldInfo> FileProvider::describeTable(const TableEntry& table) {
  return cachedTable(table.name)->fields();
}

RowStorePtr FileProvider::openSchema(SchemaEnum schema, const QVariantList& restrictions) {
  if (schema == adSchemaTables) return makeTablesRowset(listTables(), restrictions);
  if (schema == adSchemaColumns) {
    std::vector<ColumnEntry> columns;
    const QVariant tableRestriction = restrictions.size() > 2 ? restrictions[2] : QVariant();
    for (const TableEntry& t : listTables()) {
      if (tableRestriction.isValid() && !tableRestriction.isNull() && tableRestriction.toString() != t.name) continue;
      int ordinal = 0;
      for (const FieldInfo& f : describeTable(t)) {
        ColumnEntry c;
        c.catalog = t.catalog;
        c.schema = t.schema;
        c.table = t.name;
        c.field = f;
        c.ordinal = ++ordinal;
        columns.push_back(std::move(c));
      }
    }
    return makeColumnsRowset(columns, restrictions);
  }
  throw Error(err::kFeatureNotAvailable, QStringLiteral("Connection.OpenSchema"),
              QStringLiteral("Object or provider is not capable of performing requested operation. (schema %1)")
                  .arg(int(schema)));
}

std::shared_ptr<RowStore> FileProvider::loadTableHead(const TableEntry&, int64_t) { return nullptr; }

RowStorePtr FileProvider::executeHead(const QString& statement, int64_t maxRows) {
  const QString plain = plainSelectTable(statement);
  if (plain.isEmpty()) return nullptr;
  const TableEntry t = findTable(plain);
  auto it = cache_.find(t.name.toLower());
  if (it != cache_.end() && it->second.stamps == stampsOf(t)) return it->second.rows;
  std::shared_ptr<RowStore> rows = loadTableHead(t, maxRows);
  if (rows && rows->baseTable.isEmpty()) rows->baseTable = t.name;
  return rows;
}

RowStorePtr FileProvider::execute(const QString& statement, int options) {
  if (options == adCmdTable) return cachedTable(statement);
  const QString plain = plainSelectTable(statement);
  if (!plain.isEmpty()) {
    // The table's rows are the answer: a reader may show them as they come.
    ScopedPartialRows answer;
    return cachedTable(plain);
  }
  if (!engine_) engine_ = std::make_unique<SqlEngine>(dialect());
  return engine_->run(statement, [this](const QString& name) { return cachedTable(name); });
}

}  // namespace dataaccess
