// Caching base of the providers that read files (text, Access, Excel,
// dBase/FoxPro, Paradox). A file format only lists its tables and reads one
// table into a RowStore (and, where it can be written, applies a batch);
// this base answers the schema rowsets, caches the rows it read until the
// file changes, serves plain "SELECT * FROM t" straight from the cache, and
// runs every other statement on the SQL engine.
#pragma once

#include "provider.h"
#include "schemarowsets.h"
#include "sqlengine.h"

#include <QDateTime>
#include <QStringList>
#include <map>
#include <memory>
#include <optional>

namespace dataaccess {

class FileProvider : public Provider {
 public:
  FileProvider();
  ~FileProvider() override;

  void close() override;
  // Answers the names of sourceProperties(), ignoring letter case.
  std::optional<QVariant> property(const QString& name) const override;
  RowStorePtr openSchema(SchemaEnum schema, const QVariantList& restrictions) override;
  RowStorePtr execute(const QString& statement, int options) override;
  // Plain "SELECT * FROM t": the cached rows while they are fresh, else the
  // format's loadTableHead.
  RowStorePtr executeHead(const QString& statement, int64_t maxRows) override;

  // The table a plain "SELECT * FROM <name>" statement reads (the name
  // without its brackets or quotes), or an empty string when the statement
  // needs the SQL engine. Exposed for tests.
  static QString plainSelectTable(const QString& statement);

 protected:
  // The connection properties a file source answers; a property left
  // unset (nullopt) is not answered.
  struct SourceProperties {
    QString friendlyName;                  // "Provider Friendly Name"
    QString dbmsName;                      // "DBMS Name"
    std::optional<QVariant> dbmsVersion;   // "DBMS Version"
    std::optional<QVariant> dataSource;    // "Data Source"
    std::optional<QVariant> userName;      // "User Name"
  };
  // The default answers nothing.
  virtual SourceProperties sourceProperties() const;

  // The tables of the source in catalogue order.
  virtual std::vector<TableEntry> listTables() = 0;
  // Reads a whole table.
  virtual std::shared_ptr<RowStore> loadTable(const TableEntry& table) = 0;
  // Reads the first `maxRows` rows of a table quickly, or nullptr when the
  // format cannot (the default).
  virtual std::shared_ptr<RowStore> loadTableHead(const TableEntry& table, int64_t maxRows);
  // The columns of a table. The default reads the table (cached).
  virtual std::vector<FieldInfo> describeTable(const TableEntry& table);
  // The files whose change makes the cached rows of a table stale.
  virtual QStringList filesOf(const TableEntry& table) const = 0;
  virtual SqlDialect dialect() const = 0;

  // Finds a listed table by name, ignoring letter case. Throws Error
  // (kTableNotFound) naming the table when there is none.
  TableEntry findTable(const QString& name);
  // The listed table that editable rows came from. Throws Error
  // (kFeatureNotAvailable, `source`) when the rows do not come from one
  // table with a record behind every row, and as findTable.
  TableEntry editableTable(const RowStore& rows, const QString& source);
  // The rows of a table, from the cache while its files are unchanged.
  RowStorePtr cachedTable(const QString& name);
  // Drops cached and staged rows (after the provider wrote a table itself).
  void invalidate(const QString& name = {});

 private:
  struct Cached {
    RowStorePtr rows;
    QList<QDateTime> stamps;
  };
  QList<QDateTime> stampsOf(const TableEntry& t) const;

  std::map<QString, Cached> cache_;  // by lower-cased name
  std::unique_ptr<SqlEngine> engine_;
};

}  // namespace dataaccess
