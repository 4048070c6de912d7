#include "odbcproviderimpl.h"

#include "../../schemarowsets.h"

#include <QRegularExpression>
#include <set>

namespace dataaccess {

std::unique_ptr<Provider> makeOdbcProvider() { return std::make_unique<odbc::OdbcProvider>(); }

namespace odbc {

namespace {

// A restriction as the argument of a catalog function: null pointer when
// absent or Null.
struct Argument {
  QString text;
  bool present = false;
  SQLWCHAR* pointer() { return present ? wide(text) : nullptr; }
  SQLSMALLINT length() const { return present ? SQLSMALLINT(text.size()) : 0; }
};

Argument restriction(const QVariantList& restrictions, int index) {
  Argument a;
  if (index < restrictions.size() && restrictions[index].isValid() && !restrictions[index].isNull()) {
    a.text = restrictions[index].toString();
    a.present = true;
  }
  return a;
}

QString text(const QVariant& v) { return v.isValid() ? v.toString() : QString(); }

// Removes the quotes around one part of a table reference.
QString unquoted(QString part) {
  part = part.trimmed();
  if (part.size() >= 2) {
    const QChar a = part.front(), b = part.back();
    if ((a == '"' && b == '"') || (a == '`' && b == '`')) {
      part = part.mid(1, part.size() - 2);
      part.replace(QString(2, a), QString(a));
    } else if (a == '[' && b == ']') {
      part = part.mid(1, part.size() - 2);
    }
  }
  return part;
}

}  // namespace

void OdbcProvider::requireOpen(const QString& source) const {
  if (!connection_.connected())
    throw Error(err::kObjectClosed, source, QStringLiteral("Operation is not allowed when the object is closed."));
}

void OdbcProvider::open(const ConnectionString& cs, const OpenOptions& options) {
  options_ = options;
  connection_.connect(odbcConnectionString(cs, options.userName, options.password), options.connectionTimeout,
                      isTrustedDataLink(options.dataLinkFile));
}

void OdbcProvider::close() {
  origins_.clear();
  primaryKeys_.clear();
  connection_.disconnect();
}

std::optional<QVariant> OdbcProvider::property(const QString& name) const {
  if (!connection_.connected()) return std::nullopt;
  auto is = [&](const char* n) { return name.compare(QLatin1String(n), Qt::CaseInsensitive) == 0; };
  const OdbcConnection& c = connection_;
  if (is("Provider Friendly Name")) {
    // Names the driver as registered and as a library, so that callers can
    // recognise the database product behind the link.
    QString driver = c.registeredDriver();
    QString library = (c.driverFile + QLatin1Char(' ') + c.driverVersion).trimmed();
    if (driver.isEmpty()) driver = library;
    else if (!library.isEmpty()) driver += QStringLiteral(", ") + library;
    return QVariant(QStringLiteral("Lumbrook Provider for ODBC Drivers (%1)").arg(driver));
  }
  if (is("DBMS Name")) return QVariant(c.dbmsName);
  if (is("DBMS Version")) return QVariant(c.dbmsVersion);
  if (is("User Name")) return QVariant(c.userName);
  if (is("Data Source")) return QVariant(c.dataSourceName.isEmpty() ? c.databaseName : c.dataSourceName);
  if (is("Data Source Name")) return QVariant(c.dataSourceName);
  if (is("Current Catalog")) return QVariant(c.databaseName);
  if (is("Driver Name")) return QVariant(c.driverFile);
  if (is("Driver Version")) return QVariant(c.driverVersion);
  if (is("Driver")) return QVariant(c.registeredDriver());
  if (is("Provider Name")) return QVariant(QStringLiteral("odbc"));
  return std::nullopt;
}

QString OdbcProvider::patternFor(const QString& name) const {
  const QString esc = connection_.searchEscape;
  if (esc.isEmpty()) return name;  // the exact filter afterwards still applies
  QString out;
  out.reserve(name.size() + 4);
  for (QChar ch : name) {
    if (ch == '_' || ch == '%' || QString(ch) == esc) out += esc;
    out += ch;
  }
  return out;
}

QString OdbcProvider::quote(const QString& identifier) const {
  return quoteIdentifier(identifier, connection_.identifierQuote);
}

RowStorePtr OdbcProvider::openSchema(SchemaEnum schema, const QVariantList& restrictions) {
  requireOpen(QStringLiteral("Connection.OpenSchema"));
  if (schema == adSchemaTables) return tablesRowset(restrictions);
  if (schema == adSchemaColumns) return columnsRowset(restrictions);
  throw Error(err::kFeatureNotAvailable, QStringLiteral("Connection.OpenSchema"),
              QStringLiteral("Object or provider is not capable of performing requested operation. (schema %1)")
                  .arg(int(schema)));
}

RowStorePtr OdbcProvider::tablesRowset(const QVariantList& restrictions) {
  Statement stmt(connection_.dbc(), options_.commandTimeout, QStringLiteral("Connection.OpenSchema"));
  Argument catalog = restriction(restrictions, 0);
  Argument schema = restriction(restrictions, 1);
  Argument table = restriction(restrictions, 2);
  if (schema.present) schema.text = patternFor(schema.text);
  if (table.present) table.text = patternFor(table.text);
  stmt.check(SQLTablesW(stmt, catalog.pointer(), catalog.length(), schema.pointer(), schema.length(),
                        table.pointer(), table.length(), nullptr, 0),
             QStringLiteral("The driver cannot list the tables."));
  std::vector<TableEntry> tables;
  for (const auto& row : fetchAsText(stmt)) {
    if (row.size() < 4) continue;
    TableEntry t;
    t.catalog = text(row[0]);
    t.schema = text(row[1]);
    t.name = text(row[2]);
    t.type = text(row[3]);
    if (row.size() > 4) t.description = text(row[4]);
    tables.push_back(std::move(t));
  }
  // The driver matched patterns; the rowset's restrictions are exact.
  return makeTablesRowset(tables, restrictions);
}

RowStorePtr OdbcProvider::columnsRowset(const QVariantList& restrictions) {
  Statement stmt(connection_.dbc(), options_.commandTimeout, QStringLiteral("Connection.OpenSchema"));
  Argument catalog = restriction(restrictions, 0);
  Argument schema = restriction(restrictions, 1);
  Argument table = restriction(restrictions, 2);
  Argument column = restriction(restrictions, 3);
  for (Argument* a : {&schema, &table, &column})
    if (a->present) a->text = patternFor(a->text);
  stmt.check(SQLColumnsW(stmt, catalog.pointer(), catalog.length(), schema.pointer(), schema.length(),
                         table.pointer(), table.length(), column.pointer(), column.length()),
             QStringLiteral("The driver cannot list the columns."));
  std::vector<ColumnEntry> columns;
  for (const auto& row : fetchAsText(stmt)) {
    if (row.size() < 11) continue;
    ColumnEntry c;
    c.catalog = text(row[0]);
    c.schema = text(row[1]);
    c.table = text(row[2]);
    const SQLSMALLINT type = SQLSMALLINT(row[4].toInt());
    const bool isUnsigned = text(row[5]).contains(QLatin1String("unsigned"), Qt::CaseInsensitive);
    c.field = fieldInfoFor(text(row[3]), type, SQLULEN(std::max<qlonglong>(0, row[6].toLongLong())),
                           SQLSMALLINT(row[8].toInt()), row[10].toInt() != SQL_NO_NULLS, isUnsigned);
    c.description = row.size() > 11 ? text(row[11]) : QString();
    // Some drivers spell "no default" as the text NULL.
    if (row.size() > 12 && row[12].isValid() && row[12].toString().trimmed().compare(QLatin1String("NULL"), Qt::CaseInsensitive) != 0)
      c.defaultValue = row[12].toString();
    c.ordinal = row.size() > 16 && row[16].isValid() ? row[16].toInt() : int(columns.size()) + 1;
    columns.push_back(std::move(c));
  }
  return makeColumnsRowset(columns, restrictions);
}

RowStorePtr OdbcProvider::execute(const QString& statement, int options) {
  const QString source = QStringLiteral("Recordset.Open");
  requireOpen(source);
  if (options & adCmdFile)
    throw Error(err::kInvalidArgument, source, QStringLiteral("An ODBC data source cannot open a file as a recordset."));
  const QString sql = (options & adCmdTable) ? QStringLiteral("SELECT * FROM ") + statement : statement;
  // Blocks from the PostgreSQL driver take text as UTF-8 where the driver
  // hands it over so; asked once per connection, before the statement.
  FetchWays ways;
  ways.blocks = connection_.blockRereads;
  ways.utf8Text = ways.blocks && connection_.postgresDriver && connection_.charTextIsUtf8();
  Statement stmt(connection_.dbc(), options_.commandTimeout, source);
  const SQLRETURN rc = SQLExecDirectW(stmt, wide(sql), SQL_NTS);
  if (rc != SQL_NO_DATA) stmt.check(rc);
  // The first result that has columns is the row set (a batch may start
  // with statements that return none).
  SQLSMALLINT count = 0;
  stmt.check(SQLNumResultCols(stmt, &count));
  while (count == 0) {
    const SQLRETURN more = SQLMoreResults(stmt);
    if (more == SQL_NO_DATA) break;
    stmt.check(more);
    stmt.check(SQLNumResultCols(stmt, &count));
  }
  if (count == 0) return std::make_shared<RowStore>(std::vector<FieldInfo>{});

  const std::vector<ResultColumn> columns = describeResult(stmt);
  std::shared_ptr<RowStore> rows = fetchRows(stmt, columns, ways);
  RowOrigin origin = originOf(sql, columns);
  rows->baseTable = origin.table;
  origins_.erase(std::remove_if(origins_.begin(), origins_.end(), [](const RowOrigin& o) { return o.alive.expired(); }),
                 origins_.end());
  if (!origin.reference.isEmpty()) {
    origin.rows = rows.get();
    origin.alive = rows;
    origins_.push_back(std::move(origin));
  }
  return rows;
}

RowOrigin OdbcProvider::originOf(const QString& statement, const std::vector<ResultColumn>& columns) const {
  RowOrigin o;
  o.described = columns;
  // What the driver says about each column's base table.
  std::set<std::tuple<QString, QString, QString>> tables;
  for (const ResultColumn& c : columns)
    if (!c.baseTable.isEmpty()) tables.insert({c.baseCatalog, c.baseSchema, c.baseTable});
  if (tables.size() == 1) {
    std::tie(o.catalog, o.schema, o.table) = *tables.begin();
    o.reference = o.schema.isEmpty() ? quote(o.table) : quote(o.schema) + QLatin1Char('.') + quote(o.table);
    for (const ResultColumn& c : columns)
      o.columns.push_back(c.baseTable == o.table && !c.baseColumn.isEmpty() ? c.baseColumn : QString());
    return o;
  }
  if (!tables.empty()) return o;  // a join: not updatable
  // Drivers that do not name base tables: a plain SELECT from one table.
  static const QRegularExpression plainSelect(
      QStringLiteral(R"(^\s*select\s.*?\bfrom\s+((?:"(?:[^"]|"")+"|\[[^\]]+\]|`[^`]+`|[A-Za-z_][\w$]*))"
                     R"((?:\s*\.\s*(?:"(?:[^"]|"")+"|\[[^\]]+\]|`[^`]+`|[A-Za-z_][\w$]*)){0,2})\s*)"
                     R"((?:where\b.*|order\s+by\b.*)?;?\s*$)"),
      QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
  const QRegularExpressionMatch m = plainSelect.match(statement);
  if (!m.hasMatch()) return o;
  o.reference = m.captured(1).trimmed();
  static const QRegularExpression parts(QStringLiteral(R"("(?:[^"]|"")+"|\[[^\]]+\]|`[^`]+`|[^.\s]+)"));
  QStringList names;
  for (auto it = parts.globalMatch(o.reference); it.hasNext();) names << unquoted(it.next().captured(0));
  o.table = names.value(names.size() - 1);
  if (names.size() >= 2) o.schema = names.value(names.size() - 2);
  if (names.size() >= 3) o.catalog = names.value(0);
  for (const ResultColumn& c : columns) o.columns.push_back(c.field.name);
  return o;
}

}  // namespace odbc
}  // namespace dataaccess
