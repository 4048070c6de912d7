#include "schemarowsets.h"

namespace dataaccess {

namespace {

QVariant textOrNull(const QString& s) { return s.isEmpty() ? QVariant() : QVariant(s); }

QVariant sizeOrNull(int64_t v) { return v > 0 ? QVariant(qlonglong(v)) : QVariant(); }

int64_t octetLength(const FieldInfo& f) {
  if (isTextType(f.type)) {
    if (f.definedSize <= 0) return 0;
    const bool wide = f.type == adWChar || f.type == adVarWChar || f.type == adLongVarWChar || f.type == adBSTR;
    return wide ? f.definedSize * 2 : f.definedSize;
  }
  if (isBinaryType(f.type)) return f.definedSize;
  return 0;
}

}  // namespace

bool restrictionAllows(const QVariantList& restrictions, int index, const QString& value) {
  if (index >= restrictions.size()) return true;
  const QVariant& r = restrictions[index];
  if (!r.isValid() || r.isNull()) return true;
  return r.toString() == value;
}

std::shared_ptr<RowStore> makeTablesRowset(const std::vector<TableEntry>& tables, const QVariantList& restrictions) {
  std::vector<FieldInfo> fields = {
      {QStringLiteral("TABLE_CATALOG"), adVarWChar, 128}, {QStringLiteral("TABLE_SCHEMA"), adVarWChar, 128},
      {QStringLiteral("TABLE_NAME"), adVarWChar, 128},    {QStringLiteral("TABLE_TYPE"), adVarWChar, 128},
      {QStringLiteral("TABLE_GUID"), adGUID, 16},         {QStringLiteral("DESCRIPTION"), adVarWChar, 255},
      {QStringLiteral("TABLE_PROPID"), adUnsignedInt, 4}, {QStringLiteral("DATE_CREATED"), adDate, 8},
      {QStringLiteral("DATE_MODIFIED"), adDate, 8},
  };
  auto rows = std::make_shared<RowStore>(std::move(fields));
  for (const TableEntry& t : tables) {
    if (!restrictionAllows(restrictions, 0, t.catalog) || !restrictionAllows(restrictions, 1, t.schema) ||
        !restrictionAllows(restrictions, 2, t.name) || !restrictionAllows(restrictions, 3, t.type))
      continue;
    rows->appendRow({textOrNull(t.catalog), textOrNull(t.schema), t.name, t.type, QVariant(),
                     textOrNull(t.description), QVariant(), t.created.isValid() ? QVariant(t.created) : QVariant(),
                     t.modified.isValid() ? QVariant(t.modified) : QVariant()});
  }
  return rows;
}

std::shared_ptr<RowStore> makeColumnsRowset(const std::vector<ColumnEntry>& columns, const QVariantList& restrictions) {
  const auto text = [](const char* n, int64_t size = 128) { return FieldInfo(QString::fromLatin1(n), adVarWChar, size); };
  std::vector<FieldInfo> fields = {
      text("TABLE_CATALOG"), text("TABLE_SCHEMA"), text("TABLE_NAME"), text("COLUMN_NAME"),
      {QStringLiteral("COLUMN_GUID"), adGUID, 16}, {QStringLiteral("COLUMN_PROPID"), adUnsignedInt, 4},
      {QStringLiteral("ORDINAL_POSITION"), adUnsignedInt, 4}, {QStringLiteral("COLUMN_HASDEFAULT"), adBoolean, 2},
      text("COLUMN_DEFAULT", 0), {QStringLiteral("COLUMN_FLAGS"), adUnsignedInt, 4},
      {QStringLiteral("IS_NULLABLE"), adBoolean, 2}, {QStringLiteral("DATA_TYPE"), adUnsignedSmallInt, 2},
      {QStringLiteral("TYPE_GUID"), adGUID, 16}, {QStringLiteral("CHARACTER_MAXIMUM_LENGTH"), adUnsignedInt, 4},
      {QStringLiteral("CHARACTER_OCTET_LENGTH"), adUnsignedInt, 4},
      {QStringLiteral("NUMERIC_PRECISION"), adUnsignedSmallInt, 2},
      {QStringLiteral("NUMERIC_SCALE"), adSmallInt, 2}, {QStringLiteral("DATETIME_PRECISION"), adUnsignedInt, 4},
      text("CHARACTER_SET_CATALOG"), text("CHARACTER_SET_SCHEMA"), text("CHARACTER_SET_NAME"),
      text("COLLATION_CATALOG"), text("COLLATION_SCHEMA"), text("COLLATION_NAME"), text("DOMAIN_CATALOG"),
      text("DOMAIN_SCHEMA"), text("DOMAIN_NAME"), text("DESCRIPTION", 255),
  };
  // The column definitions above use the FieldInfo(name, type, size) form;
  // DATA_TYPE and friends are unsigned like the classic rowset's.
  auto rows = std::make_shared<RowStore>(std::move(fields));
  for (const ColumnEntry& c : columns) {
    if (!restrictionAllows(restrictions, 0, c.catalog) || !restrictionAllows(restrictions, 1, c.schema) ||
        !restrictionAllows(restrictions, 2, c.table) || !restrictionAllows(restrictions, 3, c.field.name))
      continue;
    const FieldInfo& f = c.field;
    const bool numeric = f.type == adNumeric || f.type == adDecimal || isIntegerType(f.type) ||
                         f.type == adSingle || f.type == adDouble || f.type == adCurrency;
    QVariant maxLength, octets;
    if (isTextType(f.type) || isBinaryType(f.type)) {
      maxLength = sizeOrNull(f.definedSize);
      octets = sizeOrNull(octetLength(f));
    }
    QVariant precision, scale, dtPrecision;
    if (numeric) {
      int p = f.precision;
      if (p <= 0 || p == 255) {
        switch (f.type) {
          case adTinyInt: case adUnsignedTinyInt: p = 3; break;
          case adSmallInt: case adUnsignedSmallInt: p = 5; break;
          case adInteger: case adUnsignedInt: p = 10; break;
          case adBigInt: p = 19; break;
          case adUnsignedBigInt: p = 20; break;
          case adSingle: p = 7; break;
          case adDouble: p = 15; break;
          case adCurrency: p = 19; break;
          default: p = 18; break;
        }
      }
      precision = qlonglong(p);
      if (f.type == adNumeric || f.type == adDecimal) scale = qlonglong(f.numericScale == 255 ? 0 : f.numericScale);
    }
    if (isDateType(f.type)) dtPrecision = qlonglong(0);
    rows->appendRow({textOrNull(c.catalog), textOrNull(c.schema), c.table, f.name, QVariant(), QVariant(),
                     qlonglong(c.ordinal), c.defaultValue.isValid(),
                     c.defaultValue.isValid() ? QVariant(c.defaultValue.toString()) : QVariant(),
                     qlonglong(f.attributes()), f.nullable, qlonglong(f.type), QVariant(), maxLength, octets,
                     precision, scale, dtPrecision, QVariant(), QVariant(), QVariant(), QVariant(), QVariant(),
                     QVariant(), QVariant(), QVariant(), QVariant(), textOrNull(c.description)});
  }
  return rows;
}

}  // namespace dataaccess
