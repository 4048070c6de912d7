// The ODBC provider class, shared by its reading side (odbcprovider.cpp)
// and its writing side (odbcupdate.cpp).
#pragma once

#include "odbcconnection.h"
#include "odbcfetch.h"
#include "odbcprovider.h"

#include <map>
#include <memory>
#include <vector>

namespace dataaccess::odbc {

// Where the rows of one executed statement come from, so that edits can be
// written back and rows read again.
struct RowOrigin {
  const RowStore* rows = nullptr;    // identity of the row set
  std::weak_ptr<const RowStore> alive;
  QString catalog, schema, table;    // plain names, for the catalog functions
  QString reference;                 // the table as written in SQL
  std::vector<QString> columns;      // base column of each field; empty: not a table column
  std::vector<ResultColumn> described;
};

class OdbcProvider final : public Provider {
 public:
  OdbcProvider() = default;
  ~OdbcProvider() override { close(); }

  QString name() const override { return QStringLiteral("odbc"); }
  void open(const ConnectionString& cs, const OpenOptions& options) override;
  void close() override;
  std::optional<QVariant> property(const QString& name) const override;
  RowStorePtr openSchema(SchemaEnum schema, const QVariantList& restrictions) override;
  RowStorePtr execute(const QString& statement, int options) override;
  void applyBatch(const RowStore& rows, const std::vector<RowChange>& changes) override;
  std::vector<QVariant> reread(const RowStore& rows, int64_t row, const std::vector<QVariant>& original) override;

 private:
  void requireOpen(const QString& source) const;
  RowStorePtr tablesRowset(const QVariantList& restrictions);
  RowStorePtr columnsRowset(const QVariantList& restrictions);
  // A restriction as an ODBC search pattern matching exactly that name.
  QString patternFor(const QString& name) const;
  RowOrigin originOf(const QString& statement, const std::vector<ResultColumn>& columns) const;
  const RowOrigin& requireOrigin(const RowStore& rows, const QString& source) const;
  // Field indexes of the table's primary key in the row set, or empty when
  // the driver reports none or the rows lack one of its columns.
  std::vector<int> keyFields(const RowOrigin& origin);
  QString quote(const QString& identifier) const;

  OdbcConnection connection_;
  OpenOptions options_;
  std::vector<RowOrigin> origins_;
  std::map<QString, std::vector<QString>> primaryKeys_;
};

}  // namespace dataaccess::odbc
