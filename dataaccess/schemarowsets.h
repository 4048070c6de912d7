// Layouts of the two schema rowsets every provider answers, built from plain
// descriptions so that each provider only says what it knows.
//
// Tables (adSchemaTables, 20): TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME,
//   TABLE_TYPE, TABLE_GUID, DESCRIPTION, TABLE_PROPID, DATE_CREATED,
//   DATE_MODIFIED. Restrictions: catalog, schema, name, type.
// Columns (adSchemaColumns, 4): TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME,
//   COLUMN_NAME, COLUMN_GUID, COLUMN_PROPID, ORDINAL_POSITION,
//   COLUMN_HASDEFAULT, COLUMN_DEFAULT, COLUMN_FLAGS, IS_NULLABLE, DATA_TYPE,
//   TYPE_GUID, CHARACTER_MAXIMUM_LENGTH, CHARACTER_OCTET_LENGTH,
//   NUMERIC_PRECISION, NUMERIC_SCALE, DATETIME_PRECISION,
//   CHARACTER_SET_CATALOG, CHARACTER_SET_SCHEMA, CHARACTER_SET_NAME,
//   COLLATION_CATALOG, COLLATION_SCHEMA, COLLATION_NAME, DOMAIN_CATALOG,
//   DOMAIN_SCHEMA, DOMAIN_NAME, DESCRIPTION. Restrictions: catalog, schema,
//   table, column.
#pragma once

#include "fieldinfo.h"
#include "rowstore.h"

#include <QDateTime>
#include <QVariant>
#include <QVariantList>
#include <memory>
#include <vector>

namespace dataaccess {

struct TableEntry {
  QString catalog;     // Null when empty
  QString schema;      // Null when empty
  QString name;
  QString type;        // "TABLE", "VIEW", "SYSTEM TABLE", "SYNONYM", ...
  QString description;
  QDateTime created;   // Null when invalid
  QDateTime modified;  // Null when invalid
};

struct ColumnEntry {
  QString catalog;
  QString schema;
  QString table;
  FieldInfo field;
  int ordinal = 0;     // 1-based
  QVariant defaultValue;  // Null when none
  QString description;
};

std::shared_ptr<RowStore> makeTablesRowset(const std::vector<TableEntry>& tables,
                                           const QVariantList& restrictions = {});
std::shared_ptr<RowStore> makeColumnsRowset(const std::vector<ColumnEntry>& columns,
                                            const QVariantList& restrictions = {});

// True when the restriction at `index` is absent, Null, or equal (exactly)
// to `value`.
bool restrictionAllows(const QVariantList& restrictions, int index, const QString& value);

}  // namespace dataaccess
