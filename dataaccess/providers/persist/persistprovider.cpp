#include "persistprovider.h"

#include "../../error.h"
#include "rowsetxml.h"

#include <QFile>
#include <QFileInfo>

namespace dataaccess {

namespace {

// Persisted rowsets larger than this are refused (the file is read as it is
// parsed; the rows are stored compactly).
constexpr qint64 kMaxFileSize = qint64(4) * 1024 * 1024 * 1024;

class PersistProvider final : public Provider {
 public:
  QString name() const override { return QStringLiteral("persist"); }

  void open(const ConnectionString&, const OpenOptions&) override {}
  void close() override {}

  std::optional<QVariant> property(const QString& n) const override {
    if (n.compare(QLatin1String("Provider Friendly Name"), Qt::CaseInsensitive) == 0)
      return QVariant(QStringLiteral("Lumbrook Persistence Provider"));
    if (n.compare(QLatin1String("DBMS Name"), Qt::CaseInsensitive) == 0) return QVariant(QStringLiteral("XML rowset"));
    return std::nullopt;
  }

  RowStorePtr openSchema(SchemaEnum schema, const QVariantList&) override {
    throw Error(err::kFeatureNotAvailable, QStringLiteral("Connection.OpenSchema"),
                QStringLiteral("Object or provider is not capable of performing requested operation. (schema %1)")
                    .arg(int(schema)));
  }

  RowStorePtr execute(const QString& path, int) override {
    const QFileInfo fi(path);
    if (!fi.exists() || !fi.isFile())
      throw Error(err::kProviderFailure, QStringLiteral("Recordset.Open"),
                  QStringLiteral("File could not be opened: '%1'.").arg(path));
    if (fi.size() > kMaxFileSize)
      throw Error(err::kProviderFailure, QStringLiteral("Recordset.Open"),
                  QStringLiteral("The file '%1' is too large to open as a rowset.").arg(path));
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
      throw Error(err::kProviderFailure, QStringLiteral("Recordset.Open"),
                  QStringLiteral("File could not be opened: '%1' (%2).").arg(path, f.errorString()));
    return readRowsetXml(f, path);
  }
};

}  // namespace

std::unique_ptr<Provider> makePersistProvider() { return std::make_unique<PersistProvider>(); }

}  // namespace dataaccess
