#include "connection.h"

#include "error.h"
#include "recordset.h"

namespace dataaccess {

Connection::Connection() = default;
Connection::~Connection() { Close(); }

void Connection::setConnectionString(const QString& cs) {
  if (provider_)
    throw Error(err::kObjectOpen, QStringLiteral("Connection.ConnectionString"),
                QStringLiteral("Operation is not allowed when the object is open."));
  connectionString_ = cs;
}

void Connection::requireOpen(const char* what) const {
  if (!provider_)
    throw Error(err::kObjectClosed, QStringLiteral("Connection.%1").arg(QLatin1String(what)),
                QStringLiteral("Operation is not allowed when the object is closed."));
}

void Connection::Open(const QString& connectionString, const QString& userId, const QString& password) {
  if (provider_)
    throw Error(err::kObjectOpen, QStringLiteral("Connection.Open"),
                QStringLiteral("Operation is not allowed when the object is open."));
  if (!connectionString.isEmpty()) connectionString_ = connectionString;
  dataaccess::ConnectionString resolved;
  const QString name = providerNameFor(dataaccess::ConnectionString::parse(connectionString_), &resolved);
  std::unique_ptr<Provider> p = ProviderRegistry::instance().create(name);
  OpenOptions options = options_;
  options.userName = userId;
  options.password = password;
  options.dataLinkFile = dataaccess::ConnectionString::parse(connectionString_).value(QStringLiteral("File Name"));
  p->open(resolved, options);
  provider_ = std::move(p);
}

void Connection::Close() {
  if (provider_) {
    provider_->close();
    provider_.reset();
  }
}

Provider& Connection::provider() const {
  requireOpen("provider");
  return *provider_;
}

QString Connection::providerName() const { return provider_ ? provider_->name() : QString(); }

QVariant Connection::Properties(const QString& nameAsGiven) const {
  // Names match without regard to letter case; providers are asked with the
  // usual spelling of the names everybody reads.
  QString name = nameAsGiven;
  for (const char* known : {"Provider Friendly Name", "DBMS Name", "DBMS Version", "User Name", "Data Source",
                            "Provider Name"})
    if (name.compare(QLatin1String(known), Qt::CaseInsensitive) == 0) name = QLatin1String(known);
  if (provider_) {
    if (auto v = provider_->property(name)) return *v;
    if (name.compare(QLatin1String("Provider Name"), Qt::CaseInsensitive) == 0) return provider_->name();
  }
  throw Error(err::kItemNotFound, QStringLiteral("Connection.Properties"),
              QStringLiteral("Item cannot be found in the collection corresponding to the requested name or "
                             "ordinal. (%1)")
                  .arg(name));
}

std::unique_ptr<Recordset> Connection::OpenSchema(SchemaEnum schema, const QVariantList& restrictions) {
  requireOpen("OpenSchema");
  RowStorePtr rows = provider_->openSchema(schema, restrictions);
  auto rs = std::make_unique<Recordset>();
  rs->attach(rows, shared_from_this(), QString(), adOpenStatic, adLockReadOnly);
  return rs;
}

std::shared_ptr<Connection> Connection::fromProvider(std::unique_ptr<Provider> provider) {
  auto c = std::make_shared<Connection>();
  c->provider_ = std::move(provider);
  return c;
}

}  // namespace dataaccess
