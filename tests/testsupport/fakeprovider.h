// An in-memory provider for the tests of the layers above the providers:
// tables are RowStores the test builds, properties are set freely, batches
// are recorded (or refused on demand) and rows can be changed "in the
// source" to simulate another user.
#pragma once

#include "dataaccess/connection.h"
#include "dataaccess/provider.h"
#include "dataaccess/schemarowsets.h"

#include <QMap>
#include <memory>
#include <vector>

namespace testsupport {

class FakeProvider : public dataaccess::Provider {
 public:
  struct Table {
    QString type = QStringLiteral("TABLE");
    std::shared_ptr<dataaccess::RowStore> rows;
  };

  QString name() const override { return providerName; }
  void open(const dataaccess::ConnectionString&, const dataaccess::OpenOptions&) override {}
  void close() override {}
  std::optional<QVariant> property(const QString& name) const override;
  dataaccess::RowStorePtr openSchema(dataaccess::SchemaEnum schema, const QVariantList& restrictions) override;
  // Statements "SELECT * FROM <name>" (name bare, in [] or "") or a table
  // name; anything else fails like a driver would.
  dataaccess::RowStorePtr execute(const QString& statement, int options) override;
  void applyBatch(const dataaccess::RowStore& rows, const std::vector<dataaccess::RowChange>& changes) override;
  std::vector<QVariant> reread(const dataaccess::RowStore& rows, int64_t row,
                               const std::vector<QVariant>& original) override;

  // Adds a table; returns its rows for the test to fill.
  std::shared_ptr<dataaccess::RowStore> addTable(const QString& name, std::vector<dataaccess::FieldInfo> fields,
                                                 const QString& type = QStringLiteral("TABLE"));

  QString providerName = QStringLiteral("fake");
  bool updatable = true;
  QMap<QString, QVariant> properties;
  std::vector<QString> statements;                    // every statement executed
  std::vector<std::vector<dataaccess::RowChange>> batches;  // every batch applied
  bool refuseNextBatch = false;                       // the next applyBatch throws
  QMap<QString, Table> tables;                        // by name as added
  std::vector<QString> order;                         // catalogue order
};

// A connection over a fresh FakeProvider; `provider` receives a pointer to it.
std::shared_ptr<dataaccess::Connection> fakeConnection(FakeProvider** provider);

}  // namespace testsupport
