// The jet provider against a real Access database made by Access itself.
#include "dataaccess/connection.h"
#include "dataaccess/error.h"
#include "dataaccess/recordset.h"
#include "testsupport/fixtures.h"
#include "testsupport/tempdir.h"

#include <QCryptographicHash>
#include <QFile>
#include <gtest/gtest.h>

using namespace dataaccess;

namespace {

QString jetString(const QString& path) {
  return QStringLiteral("Provider=Microsoft JET 4.0 OLE DB Provider;Data Source=%1;User ID=Admin;Password=;"
                        "Persist Security Info=True;")
      .arg(path);
}

std::shared_ptr<Connection> openJet(const QString& path) {
  auto cn = std::make_shared<Connection>();
  cn->Open(jetString(path));
  return cn;
}

std::unique_ptr<Recordset> query(const std::shared_ptr<Connection>& cn, const QString& sql) {
  auto rs = std::make_unique<Recordset>();
  rs->setCursorLocation(adUseClient);
  rs->Open(sql, cn, adOpenKeyset, adLockBatchOptimistic, adCmdText);
  return rs;
}

// The names of the catalogue rows of one type, in catalogue order.
QStringList tablesOfType(Connection& cn, const QString& type) {
  QStringList names;
  auto rs = cn.OpenSchema(adSchemaTables);
  for (; !rs->IsEOF(); rs->MoveNext())
    if (rs->Fields(QStringLiteral("TABLE_TYPE")).Value().toString() == type)
      names << rs->Fields(QStringLiteral("TABLE_NAME")).Value().toString();
  return names;
}

QStringList column(Recordset& rs, const QString& field) {
  QStringList values;
  for (rs.MoveFirst(); !rs.IsEOF(); rs.MoveNext()) values << rs.Fields(field).Value().toString();
  return values;
}

// True while the SQL engine that runs filtered statements is not built.
bool engineMissing(const std::shared_ptr<Connection>& cn, const QString& table) {
  try {
    query(cn, QStringLiteral("SELECT * FROM %1 WHERE 1 = 1").arg(table));
    return false;
  } catch (const Error& e) {
    return e.description() == QLatin1String("not yet");
  }
}

}  // namespace

TEST(JetProvider, ListsUserTablesSystemTablesAndSelectQueries) {
  LUMBROOK_REQUIRE_FIXTURE(path, "access/fruit.mdb");
  auto cn = openJet(path);
  EXPECT_EQ(tablesOfType(*cn, QStringLiteral("TABLE")),
            QStringList({"Fruit", "Fruit Salad", "Veggie Salad", "Muffin/Bread", "Dried"}));
  const QStringList system = tablesOfType(*cn, QStringLiteral("SYSTEM TABLE"));
  EXPECT_TRUE(system.contains(QStringLiteral("MSysObjects")));
  for (const QString& s : system) EXPECT_TRUE(s.startsWith(QLatin1String("MSys"))) << s.toStdString();
  EXPECT_EQ(tablesOfType(*cn, QStringLiteral("VIEW")),
            QStringList({"In Dried", "In Fruit Salad", "In Veggie Salad", "Exist in Tables", "In Muffin/Bread"}));

  auto rs = cn->OpenSchema(adSchemaTables);
  ASSERT_FALSE(rs->IsEOF());
  for (; !rs->IsEOF(); rs->MoveNext()) {
    if (rs->Fields(QStringLiteral("TABLE_NAME")).Value().toString() != QLatin1String("Fruit")) continue;
    EXPECT_FALSE(rs->Fields(QStringLiteral("TABLE_CATALOG")).Value().isValid());
    EXPECT_FALSE(rs->Fields(QStringLiteral("TABLE_GUID")).Value().isValid());
    const QDateTime created = rs->Fields(QStringLiteral("DATE_CREATED")).Value().toDateTime();
    const QDateTime modified = rs->Fields(QStringLiteral("DATE_MODIFIED")).Value().toDateTime();
    ASSERT_TRUE(created.isValid());
    EXPECT_GE(created.date().year(), 1995);
    EXPECT_LE(created, modified);
  }
}

TEST(JetProvider, ReadsEveryRowOfTables) {
  LUMBROOK_REQUIRE_FIXTURE(path, "access/fruit.mdb");
  auto cn = openJet(path);
  auto fruit = query(cn, QStringLiteral("SELECT * FROM Fruit"));
  EXPECT_EQ(fruit->RecordCount(), 37);
  ASSERT_EQ(fruit->FieldCount(), 11);
  EXPECT_EQ(fruit->Fields(0).Value().toString(), QStringLiteral("Apple"));
  EXPECT_EQ(fruit->Fields(QStringLiteral("Sugar")).Value().toLongLong(), 12);
  EXPECT_EQ(fruit->Fields(QStringLiteral("Vit E")).Value().toLongLong(), 0);
  fruit->MoveNext();
  EXPECT_EQ(fruit->Fields(QStringLiteral("Vit A")).Value().toLongLong(), 420);

  auto salad = query(cn, QStringLiteral("SELECT * FROM [Fruit Salad]"));
  EXPECT_EQ(salad->RecordCount(), 18);
  EXPECT_EQ(column(*salad, QStringLiteral("Fruit")).mid(0, 4),
            QStringList({"Apple", "Banana", "Blackberry", "Blueberry"}));
  EXPECT_EQ(query(cn, QStringLiteral("SELECT * FROM [Veggie Salad]"))->RecordCount(), 4);
  EXPECT_EQ(query(cn, QStringLiteral("select * from [Muffin/Bread];"))->RecordCount(), 13);
  auto veggie = query(cn, QStringLiteral("SELECT * FROM [Veggie Salad]"));
  EXPECT_TRUE(column(*veggie, QStringLiteral("fruit")).contains(QStringLiteral("Pepper, Red Bell")));
}

TEST(JetProvider, DescribesColumnsOfOneTable) {
  LUMBROOK_REQUIRE_FIXTURE(path, "access/fruit.mdb");
  auto cn = openJet(path);
  auto rs = cn->OpenSchema(adSchemaColumns, {QVariant(), QVariant(), QStringLiteral("Fruit"), QVariant()});
  EXPECT_EQ(rs->RecordCount(), 11);
  EXPECT_EQ(rs->Fields(QStringLiteral("TABLE_NAME")).Value().toString(), QStringLiteral("Fruit"));
  EXPECT_EQ(rs->Fields(QStringLiteral("COLUMN_NAME")).Value().toString(), QStringLiteral("Fruit"));
  EXPECT_EQ(rs->Fields(QStringLiteral("ORDINAL_POSITION")).Value().toLongLong(), 1);
  EXPECT_EQ(rs->Fields(QStringLiteral("DATA_TYPE")).Value().toInt(), adVarWChar);
  EXPECT_EQ(rs->Fields(QStringLiteral("CHARACTER_MAXIMUM_LENGTH")).Value().toLongLong(), 50);
  EXPECT_FALSE(rs->Fields(QStringLiteral("NUMERIC_PRECISION")).Value().isValid());
  rs->MoveNext();
  EXPECT_EQ(rs->Fields(QStringLiteral("COLUMN_NAME")).Value().toString(), QStringLiteral("Fiber"));
  EXPECT_EQ(rs->Fields(QStringLiteral("DATA_TYPE")).Value().toInt(), adInteger);
  EXPECT_EQ(rs->Fields(QStringLiteral("NUMERIC_PRECISION")).Value().toInt(), 10);
  EXPECT_FALSE(rs->Fields(QStringLiteral("CHARACTER_MAXIMUM_LENGTH")).Value().isValid());

  auto blank = cn->OpenSchema(adSchemaColumns, {QVariant(), QVariant(), QStringLiteral("Fruit Salad"), QVariant()});
  EXPECT_EQ(blank->RecordCount(), 1);
}

TEST(JetProvider, ReportsConnectionProperties) {
  LUMBROOK_REQUIRE_FIXTURE(path, "access/fruit.mdb");
  auto cn = openJet(path);
  EXPECT_TRUE(cn->Properties(QStringLiteral("Provider Friendly Name")).toString().contains(QLatin1String("Jet")));
  EXPECT_EQ(cn->Properties(QStringLiteral("DBMS Name")).toString(), QStringLiteral("MS Jet"));
  EXPECT_EQ(cn->Properties(QStringLiteral("DBMS Version")).toString(), QStringLiteral("04.00"));
  EXPECT_EQ(cn->Properties(QStringLiteral("Data Source")).toString(), path);
  EXPECT_EQ(cn->Properties(QStringLiteral("User Name")).toString(), QStringLiteral("Admin"));
}

TEST(JetProvider, OpensThroughDataLinkProviderName) {
  LUMBROOK_REQUIRE_FIXTURE(path, "access/fruit.mdb");
  auto cn = std::make_shared<Connection>();
  cn->Open(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Persist Security Info=False").arg(path));
  EXPECT_EQ(cn->providerName(), QStringLiteral("jet"));
  EXPECT_EQ(query(cn, QStringLiteral("SELECT * FROM Dried"))->RecordCount(), 12);
}

TEST(JetProvider, SavedQueriesOpenAndUnknownTablesGiveClearErrors) {
  LUMBROOK_REQUIRE_FIXTURE(path, "access/fruit.mdb");
  auto cn = openJet(path);
  // A left join of every fruit with IIf(... Is Not Null, "Yes", "No").
  auto fruit = query(cn, QStringLiteral("SELECT * FROM Fruit"));
  auto inDried = query(cn, QStringLiteral("SELECT * FROM [In Dried]"));
  EXPECT_EQ(inDried->RecordCount(), fruit->RecordCount());
  ASSERT_EQ(inDried->FieldCount(), 2);
  const QStringList answers = column(*inDried, inDried->Fields(1).Name());
  EXPECT_TRUE(answers.contains(QStringLiteral("Yes")));
  EXPECT_TRUE(answers.contains(QStringLiteral("No")));
  EXPECT_EQ(answers.count(QStringLiteral("Yes")) + answers.count(QStringLiteral("No")), answers.size());
  for (const char* sql : {"SELECT * FROM Nowhere"}) {
    try {
      query(cn, QString::fromLatin1(sql));
      ADD_FAILURE() << sql << " opened";
    } catch (const Error& e) {
      EXPECT_FALSE(e.description().isEmpty());
      EXPECT_TRUE(e.message().startsWith(QString::number(e.number()) + QStringLiteral(": ")));
    }
  }
}

TEST(JetProvider, RefusesUpdatesAndLeavesFileUntouched) {
  LUMBROOK_REQUIRE_FIXTURE(path, "access/fruit.mdb");
  testsupport::TempDir dir;
  const QString copy = dir.file(QStringLiteral("fruit.mdb"));
  ASSERT_TRUE(QFile::copy(path, copy));
  QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
  const auto digest = [&] {
    QFile f(copy);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
  };
  const QByteArray before = digest();
  {
    auto cn = openJet(copy);
    auto rs = query(cn, QStringLiteral("SELECT * FROM Fruit"));
    rs->Fields(QStringLiteral("Sugar")).setValue(99);
    try {
      rs->UpdateBatch();
      ADD_FAILURE() << "update accepted";
    } catch (const Error& e) {
      EXPECT_TRUE(e.description().contains(QLatin1String("read-only")));
    }
    cn->Close();
  }
  EXPECT_EQ(digest(), before);
}

// No tool here writes Access 2007+ files; an ACE file is a Jet 4 file with
// the ACE signature and a version byte of 2 (Access 2007) to 6 (2019), so
// the test makes one of each from a Jet 4 database.
TEST(JetProvider, AccdbOpensLikeMdbForEveryAceVersion) {
  LUMBROOK_REQUIRE_FIXTURE(path, "access/fruit.mdb");
  testsupport::TempDir dir;
  QFile in(path);
  ASSERT_TRUE(in.open(QIODevice::ReadOnly));
  const QByteArray jet4 = in.readAll();
  auto mdb = openJet(path);
  const QStringList views = tablesOfType(*mdb, QStringLiteral("VIEW"));
  const int64_t fruit = query(mdb, QStringLiteral("SELECT * FROM Fruit"))->RecordCount();
  const int64_t inDried = query(mdb, QStringLiteral("SELECT * FROM [In Dried]"))->RecordCount();
  const struct {
    char version;
    const char* text;
  } versions[] = {{2, "12.00"}, {3, "14.00"}, {4, "15.00"}, {5, "16.00"}, {6, "16.00"}};
  for (const auto& v : versions) {
    QByteArray bytes = jet4;
    bytes.replace(4, 16, QByteArray("Standard ACE DB\0", 16));
    bytes[0x14] = v.version;
    const QString file = dir.write(QStringLiteral("fruit%1.accdb").arg(int(v.version)), bytes);
    auto cn = std::make_shared<Connection>();
    cn->Open(QStringLiteral("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=%1;User ID=Admin;Password=;").arg(file));
    EXPECT_EQ(cn->Properties(QStringLiteral("DBMS Version")).toString(), QLatin1String(v.text));
    EXPECT_EQ(tablesOfType(*cn, QStringLiteral("VIEW")), views);
    EXPECT_EQ(query(cn, QStringLiteral("SELECT * FROM Fruit"))->RecordCount(), fruit);
    EXPECT_EQ(query(cn, QStringLiteral("SELECT * FROM [In Dried]"))->RecordCount(), inDried);
    auto rs = query(cn, QStringLiteral("SELECT * FROM Dried"));
    rs->Fields(0).setValue(QStringLiteral("changed"));
    EXPECT_THROW(rs->UpdateBatch(), Error);
    cn->Close();
  }
  // A version after the last one known is refused before libmdb reads it.
  QByteArray future = jet4;
  future.replace(4, 16, QByteArray("Standard ACE DB\0", 16));
  future[0x14] = 7;
  const QString file = dir.write(QStringLiteral("future.accdb"), future);
  auto cn = std::make_shared<Connection>();
  try {
    cn->Open(QStringLiteral("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=%1").arg(file));
    ADD_FAILURE() << "version 7 opened";
  } catch (const Error& e) {
    EXPECT_TRUE(e.description().contains(QLatin1String("version 7"))) << e.description().toStdString();
  }
}

TEST(JetFilter, BracketedNamesAndLiteralsSelectTheExpectedRows) {
  LUMBROOK_REQUIRE_FIXTURE(path, "access/fruit.mdb");
  auto cn = openJet(path);
  if (engineMissing(cn, QStringLiteral("Fruit"))) GTEST_SKIP() << "SQL engine not built yet";
  EXPECT_EQ(query(cn, QStringLiteral("SELECT * FROM Fruit WHERE [Vit A] = 420"))->RecordCount(), 1);
  EXPECT_EQ(query(cn, QStringLiteral("SELECT * FROM [Fruit Salad] WHERE [Fruit] = 'Apple'"))->RecordCount(), 1);
  EXPECT_EQ(query(cn, QStringLiteral("SELECT * FROM [Veggie Salad] WHERE [fruit] = 'Pepper, Red Bell'"))->RecordCount(), 1);
}

namespace {

// One field of the catalogue row of `table`, or Null.
QVariant tableField(Connection& cn, const QString& table, const QString& field) {
  for (auto rs = cn.OpenSchema(adSchemaTables); !rs->IsEOF(); rs->MoveNext())
    if (rs->Fields(QStringLiteral("TABLE_NAME")).Value().toString() == table) return rs->Fields(field).Value();
  return {};
}

// One field of the column row of `table`.`column`, or Null.
QVariant columnField(Connection& cn, const QString& table, const QString& column, const QString& field) {
  for (auto rs = cn.OpenSchema(adSchemaColumns, {QVariant(), QVariant(), table, QVariant()}); !rs->IsEOF(); rs->MoveNext())
    if (rs->Fields(QStringLiteral("COLUMN_NAME")).Value().toString() == column) return rs->Fields(field).Value();
  return {};
}

}  // namespace

// The catalogue gives a listing only each table's own properties and parses
// the column properties when a table is opened: the descriptions, defaults
// and required flags are the same whichever comes first.
TEST(JetProvider, TableAndColumnPropertiesWhicheverIsAskedFirst) {
  LUMBROOK_REQUIRE_FIXTURE(path, "access/nwind.mdb");
  const QString orders = QStringLiteral("Customer name, order date, and freight charge for each order.");
  const QString productId = QStringLiteral("Number automatically assigned to new product.");
  for (const bool listFirst : {true, false}) {
    SCOPED_TRACE(listFirst ? "listing first" : "columns first");
    auto cn = openJet(path);
    if (listFirst) EXPECT_EQ(tableField(*cn, QStringLiteral("Orders"), QStringLiteral("DESCRIPTION")).toString(), orders);
    EXPECT_EQ(columnField(*cn, QStringLiteral("Products"), QStringLiteral("ProductID"), QStringLiteral("DESCRIPTION")).toString(),
              productId);
    EXPECT_EQ(columnField(*cn, QStringLiteral("Products"), QStringLiteral("UnitPrice"), QStringLiteral("COLUMN_DEFAULT")).toString(),
              QStringLiteral("0"));
    EXPECT_EQ(columnField(*cn, QStringLiteral("Orders"), QStringLiteral("ShipName"), QStringLiteral("DESCRIPTION")).toString(),
              QStringLiteral("Name of person or company to receive the shipment."));
    EXPECT_EQ(tableField(*cn, QStringLiteral("Orders"), QStringLiteral("DESCRIPTION")).toString(), orders);
    EXPECT_EQ(tableField(*cn, QStringLiteral("Products"), QStringLiteral("DESCRIPTION")).toString(),
              QStringLiteral("Product names, suppliers, prices, and units in stock."));
    // Rows of a table whose properties were parsed for the listing only.
    EXPECT_EQ(query(cn, QStringLiteral("SELECT * FROM Shippers"))->RecordCount(), 3);
  }
}

// Dates come from the same catalogue pass, for tables and saved queries.
TEST(JetProvider, CatalogueDatesOfTablesAndQueries) {
  LUMBROOK_REQUIRE_FIXTURE(path, "access/nwind.mdb");
  auto cn = openJet(path);
  for (const char* name : {"Orders", "MSysObjects", "Ten Most Expensive Products"}) {
    SCOPED_TRACE(name);
    const QDateTime created = tableField(*cn, QLatin1String(name), QStringLiteral("DATE_CREATED")).toDateTime();
    const QDateTime modified = tableField(*cn, QLatin1String(name), QStringLiteral("DATE_MODIFIED")).toDateTime();
    ASSERT_TRUE(created.isValid());
    EXPECT_GE(created.date().year(), 1990);
    EXPECT_LE(created, modified);
  }
}
