// The interface every kind of source implements, and the registry that
// picks one for a connection string.
//
// A provider opens one source, describes it (named properties, the tables
// and columns schema rowsets), runs a statement into rows, and, where the
// source can be written, applies a batch of row changes all or nothing and
// re-reads one row. Providers never show anything to the user: they raise
// Error and let the caller report it. File formats derive from FileProvider
// (fileprovider.h), which adds the table cache and the SQL engine.
#pragma once

#include "adtypes.h"
#include "connectionstring.h"
#include "rowstore.h"

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace dataaccess {

struct OpenOptions {
  int connectionTimeout = 15;  // seconds
  int commandTimeout = 30;     // seconds
  QString userName;
  QString password;
  // The data link file (.udl) the connection string came from, if any.
  QString dataLinkFile;
};

// One edited row of a batch.
struct RowChange {
  int64_t row = -1;                  // position in the row set (0-based)
  int64_t rowKey = -1;               // RowStore::rowKey of the row
  std::vector<QVariant> original;    // every field as it was read
  std::vector<QVariant> current;     // every field with the pending edits
  std::vector<int> changedFields;    // indexes of the fields that changed
};

class Provider {
 public:
  virtual ~Provider();
  Provider() = default;
  Provider(const Provider&) = delete;
  Provider& operator=(const Provider&) = delete;

  // Short name of the provider: "text", "persist", "jet", ...
  virtual QString name() const = 0;
  // Opens the source. `cs` is the (data-link-resolved) connection string.
  virtual void open(const ConnectionString& cs, const OpenOptions& options) = 0;
  virtual void close() = 0;
  // A named connection property ("Provider Friendly Name", "DBMS Name",
  // "DBMS Version", "User Name", "Data Source", ...), or nothing.
  virtual std::optional<QVariant> property(const QString& name) const;
  // Schema rowsets (adSchemaTables, adSchemaColumns) with a restriction list
  // in the order catalog, schema, table (, column); a Null or missing entry
  // does not restrict. Layouts in schemarowsets.h.
  virtual RowStorePtr openSchema(SchemaEnum schema, const QVariantList& restrictions) = 0;
  // Runs a statement (adCmdText), a table name (adCmdTable) or a file
  // (adCmdFile) into rows.
  virtual RowStorePtr execute(const QString& statement, int options) = 0;
  // The first rows of what execute(statement, adCmdText) returns, at least
  // `maxRows` of them when there are that many (all of them when they are
  // at hand anyway), read without waiting for the rest: a preview shown
  // while the whole set loads. nullptr when the provider cannot read a
  // statement's first rows quicker than all of them (the default). A
  // preview is never cached or written back.
  virtual RowStorePtr executeHead(const QString& statement, int64_t maxRows);
  // Writes a batch of changed rows of `rows` back, all or nothing. The
  // default refuses: the source is read-only.
  virtual void applyBatch(const RowStore& rows, const std::vector<RowChange>& changes);
  // Reads one row of `rows` again from the source (by its key or its
  // original values). The default refuses.
  virtual std::vector<QVariant> reread(const RowStore& rows, int64_t row, const std::vector<QVariant>& original);
};

// Raises the error a read-only source gives for an attempted update.
[[noreturn]] void raiseReadOnly(const QString& providerName);

// Creates providers by name. Providers that this build does not contain
// give a clear "provider not found" error.
class ProviderRegistry {
 public:
  using Factory = std::function<std::unique_ptr<Provider>()>;
  static ProviderRegistry& instance();
  void add(const QString& name, Factory factory);
  // Throws Error when no provider of that name is built.
  std::unique_ptr<Provider> create(const QString& name) const;
  bool has(const QString& name) const;

 private:
  ProviderRegistry();
  std::vector<std::pair<QString, Factory>> factories_;
};

}  // namespace dataaccess
