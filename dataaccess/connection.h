// An open connection to one source: the thin front over a Provider chosen
// by the connection string (see providerNameFor). Connections are shared:
// recordsets keep them alive through ActiveConnection, so create them with
// std::make_shared.
#pragma once

#include "adtypes.h"
#include "connectionstring.h"
#include "provider.h"

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <memory>

namespace dataaccess {

class Recordset;

class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  const QString& ConnectionString() const { return connectionString_; }
  void setConnectionString(const QString& cs);
  int CommandTimeout() const { return options_.commandTimeout; }
  void setCommandTimeout(int seconds) { options_.commandTimeout = seconds; }
  int ConnectionTimeout() const { return options_.connectionTimeout; }
  void setConnectionTimeout(int seconds) { options_.connectionTimeout = seconds; }

  // Opens the source named by `connectionString` (or by ConnectionString()
  // when empty). Throws Error; the connection stays closed then.
  void Open(const QString& connectionString = {}, const QString& userId = {}, const QString& password = {});
  void Close();
  ObjectStateEnum State() const { return provider_ ? adStateOpen : adStateClosed; }

  // A named property: "Provider Friendly Name", "DBMS Name", "DBMS Version",
  // "User Name", "Data Source", "Provider Name", or one the provider adds.
  // Throws Error (kItemNotFound) for an unknown name.
  QVariant Properties(const QString& name) const;

  // A schema rowset (adSchemaTables, adSchemaColumns) as a static,
  // read-only, client-side recordset.
  std::unique_ptr<Recordset> OpenSchema(SchemaEnum schema, const QVariantList& restrictions = {});

  // The provider serving the connection. REQUIRES: State() == adStateOpen.
  Provider& provider() const;
  // "text", "persist", ... of the open connection; empty when closed.
  QString providerName() const;

  // Wraps an already open provider (tests use a fake one).
  static std::shared_ptr<Connection> fromProvider(std::unique_ptr<Provider> provider);

 private:
  void requireOpen(const char* what) const;

  QString connectionString_;
  OpenOptions options_;
  std::unique_ptr<Provider> provider_;
};

}  // namespace dataaccess
