#include "sqlresult.h"

#include "values.h"

#include <QLocale>
#include <sqlite3.h>

#include <cmath>

namespace dataaccess::sql {

namespace {

bool isDecimalText(DataTypeEnum t) { return t == adNumeric || t == adDecimal; }

// Formats a number read back from a decimal column with the column's scale.
QString decimalText(sqlite3_stmt* st, int i, const FieldInfo& f) {
  const bool scaled = f.numericScale > 0 && f.numericScale < 255;
  if (sqlite3_column_type(st, i) == SQLITE_INTEGER) {
    QString s = QString::number(sqlite3_column_int64(st, i));
    if (scaled) s += QLatin1Char('.') + QString(f.numericScale, QLatin1Char('0'));
    return s;
  }
  const double v = sqlite3_column_double(st, i);
  return QString::number(v, 'f', scaled ? f.numericScale : QLocale::FloatingPointShortest);
}

void copyCell(const ColumnStore& src, int64_t row, ColumnStore& dst) {
  if (src.hasReplacements()) return dst.appendValue(src.value(row));
  if (src.isNull(row)) return dst.appendNull();
  switch (src.storage()) {
    case ColumnStore::Storage::Integer: return dst.appendInteger(src.integerAt(row));
    case ColumnStore::Storage::Real: return dst.appendReal(src.realAt(row));
    case ColumnStore::Storage::Boolean: return dst.appendBoolean(src.booleanAt(row));
    case ColumnStore::Storage::DateTime: return dst.appendOleMsecs(src.oleMsecsAt(row));
    case ColumnStore::Storage::Text:
    case ColumnStore::Storage::Bytes: return dst.appendBytes(src.bytesAt(row));
  }
}

}  // namespace

FieldInfo computedField(const QString& name, DataTypeEnum type) {
  FieldInfo f(name, type, fixedSizeOf(type));
  f.precision = 255;
  f.numericScale = 255;
  if (type == adInteger) f.precision = 10;
  if (type == adBigInt) f.precision = 19;
  if (type == adDouble) f.precision = 15;
  if (type == adVarWChar) f.definedSize = 255;
  return f;
}

namespace {

// Gives a column a more general type and converts the values read so far.
void retype(OutColumn& c, DataTypeEnum type) {
  ColumnStore widened(type);
  const ColumnStore& old = *c.store;
  widened.reserve(old.size());
  for (int64_t r = 0; r < old.size(); ++r) {
    const QVariant v = old.value(r);
    if (!v.isValid()) widened.appendNull();
    else if (widened.storage() == ColumnStore::Storage::Text) widened.appendText(invariantText(v, c.field.type));
    else widened.appendValue(v);
  }
  const bool sameKind = ColumnStore::storageFor(type) == old.storage();
  FieldInfo f = computedField(c.field.name, type);
  if (sameKind) {
    f.baseTable = c.field.baseTable;
    f.baseColumn = c.field.baseColumn;
  }
  c.field = f;
  c.store = std::move(widened);
}

// Appends one SQLite value; false when it does not fit the column's type.
bool appendSqlite(OutColumn& c, sqlite3_stmt* st, int i, int type) {
  ColumnStore& s = *c.store;
  switch (s.storage()) {
    case ColumnStore::Storage::Integer:
      if (type == SQLITE_INTEGER) {
        const int64_t v = sqlite3_column_int64(st, i);
        if (c.computed && c.field.type == adInteger && (v < INT32_MIN || v > INT32_MAX)) return false;
        s.appendInteger(v);
        return true;
      }
      if (type == SQLITE_FLOAT) {
        const double d = sqlite3_column_double(st, i);
        if (d != std::floor(d) || std::fabs(d) > 9.0e18) return false;
        s.appendInteger(int64_t(d));
        return true;
      }
      return false;
    case ColumnStore::Storage::Real:
      if (type != SQLITE_INTEGER && type != SQLITE_FLOAT) return false;
      s.appendReal(sqlite3_column_double(st, i));
      return true;
    case ColumnStore::Storage::Boolean:
      if (type != SQLITE_INTEGER && type != SQLITE_FLOAT) return false;
      s.appendBoolean(sqlite3_column_double(st, i) != 0);
      return true;
    case ColumnStore::Storage::DateTime:
      if (type == SQLITE_INTEGER) {
        s.appendOleMsecs(sqlite3_column_int64(st, i) * 1000);
        return true;
      }
      if (type == SQLITE_FLOAT) {
        s.appendOleMsecs(int64_t(std::llround(sqlite3_column_double(st, i) * 1000)));
        return true;
      }
      return false;
    case ColumnStore::Storage::Text: {
      if (isDecimalText(c.field.type) && type != SQLITE_TEXT && type != SQLITE_BLOB) {
        s.appendText(decimalText(st, i, c.field));
        return true;
      }
      const char* p = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
      const int n = sqlite3_column_bytes(st, i);
      if (c.computed && n > 255 && c.maxChars <= 255) c.maxChars = std::max<int64_t>(c.maxChars, QString::fromUtf8(p, n).size());
      s.appendBytes(std::string_view(p ? p : "", size_t(n)));
      return true;
    }
    case ColumnStore::Storage::Bytes: {
      if (type != SQLITE_BLOB && type != SQLITE_TEXT) return false;
      const void* p = sqlite3_column_blob(st, i);
      const int n = sqlite3_column_bytes(st, i);
      s.appendBytes(std::string_view(p ? static_cast<const char*>(p) : "", size_t(n)));
      return true;
    }
  }
  return false;
}

}  // namespace

void appendResult(OutColumn& c, sqlite3_stmt* st, int i, int64_t sourceRow) {
  if (c.exact && sourceRow >= 0 && sourceRow < c.exact->size()) return copyCell(*c.exact, sourceRow, *c.store);
  const int type = sqlite3_column_type(st, i);
  if (type == SQLITE_NULL) {
    if (c.store) c.store->appendNull();
    else ++c.leadingNulls;
    return;
  }
  if (!c.store) {
    // A computed column takes its type from its first value.
    const DataTypeEnum t = type == SQLITE_INTEGER ? adInteger
                           : type == SQLITE_FLOAT ? adDouble
                           : type == SQLITE_TEXT  ? adVarWChar
                                                  : adLongVarBinary;
    c.field = computedField(c.field.name, t);
    c.store.emplace(t);
    for (int64_t r = 0; r < c.leadingNulls; ++r) c.store->appendNull();
  }
  if (appendSqlite(c, st, i, type)) return;
  const auto storage = c.store->storage();
  const bool numeric = type == SQLITE_INTEGER || type == SQLITE_FLOAT;
  if (numeric && storage == ColumnStore::Storage::Integer && type == SQLITE_INTEGER) retype(c, adBigInt);
  else if (numeric && (storage == ColumnStore::Storage::Integer || storage == ColumnStore::Storage::Boolean))
    retype(c, adDouble);
  else retype(c, adLongVarWChar);
  appendSqlite(c, st, i, type);
}

void finishColumn(OutColumn& c) {
  if (!c.store) {
    // A computed column without a single value.
    c.field = computedField(c.field.name, adVarWChar);
    c.store.emplace(adVarWChar);
    for (int64_t r = 0; r < c.leadingNulls; ++r) c.store->appendNull();
  }
  if (c.computed && c.field.type == adVarWChar && c.maxChars > 255) retype(c, adLongVarWChar);
  c.store->shrinkToFit();
}

}  // namespace dataaccess::sql
