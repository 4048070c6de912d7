// Writing edits back and reading a row again: both find the row by the
// table's primary key when the driver reports one (SQLPrimaryKeys), else by
// every original value, with bound parameters (never values in SQL text).
#include "odbcproviderimpl.h"

#include "../../values.h"

#include <QStringList>
#include <deque>

namespace dataaccess::odbc {

namespace {

const QString kUpdate = QStringLiteral("Recordset.UpdateBatch");
const QString kResync = QStringLiteral("Recordset.Resync");

// Parameters of one statement; the buffers live as long as the binder, so
// they outlast SQLExecute.
class ParameterBinder {
 public:
  explicit ParameterBinder(const Statement& stmt) : stmt_(stmt) {}

  void bind(const QVariant& value, const ResultColumn& column) {
    const SQLUSMALLINT number = ++count_;
    const DataTypeEnum type = column.field.type;
    SQLSMALLINT sqlType = column.sqlType == SQL_UNKNOWN_TYPE ? SQL_WVARCHAR : column.sqlType;
    SQLULEN size = std::max<SQLULEN>(column.columnSize, 1);
    SQLSMALLINT digits = column.decimalDigits;
    SQLLEN& ind = indicators_.emplace_back(0);
    QByteArray& buffer = buffers_.emplace_back();
    SQLSMALLINT cType = SQL_C_WCHAR;
    if (!value.isValid()) {
      ind = SQL_NULL_DATA;
    } else if (isIntegerType(type)) {
      cType = SQL_C_SBIGINT;
      const SQLBIGINT v = value.toLongLong();
      buffer = QByteArray(reinterpret_cast<const char*>(&v), sizeof v);
    } else if (type == adSingle || type == adDouble || type == adCurrency) {
      cType = SQL_C_DOUBLE;
      const SQLDOUBLE v = value.toDouble();
      buffer = QByteArray(reinterpret_cast<const char*>(&v), sizeof v);
    } else if (type == adBoolean) {
      cType = SQL_C_BIT;
      buffer = QByteArray(1, value.toBool() ? 1 : 0);
    } else if (isBinaryType(type)) {
      cType = SQL_C_BINARY;
      buffer = value.toByteArray();
      size = std::max<SQLULEN>(size, SQLULEN(buffer.size()));
    } else {
      // Text, exact numerics, GUIDs and dates travel as text: dates in ISO
      // form, which every driver converts and text-stored dates compare with.
      QString s;
      if (type == adDBDate)
        s = value.toDate().toString(Qt::ISODate);
      else if (type == adDBTime)
        s = value.toTime().toString(QStringLiteral("HH:mm:ss"));
      else if (isDateType(type)) {
        const QDateTime dt = value.toDateTime();
        s = dt.toString(dt.time().msec() ? QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz") : QStringLiteral("yyyy-MM-dd HH:mm:ss"));
      } else {
        s = value.toString();
      }
      buffer = QByteArray(reinterpret_cast<const char*>(s.utf16()), s.size() * qsizetype(sizeof(char16_t)));
      if (isTextType(type) || type == adGUID) size = std::max<SQLULEN>(size, SQLULEN(std::max<qsizetype>(s.size(), 1)));
    }
    if (ind != SQL_NULL_DATA) ind = SQLLEN(buffer.size());
    stmt_.check(SQLBindParameter(stmt_, number, SQL_PARAM_INPUT, cType, sqlType, size, digits,
                                 buffer.isEmpty() ? nullptr : buffer.data(), SQLLEN(buffer.size()), &ind),
                QStringLiteral("Cannot pass the value of '%1'.").arg(column.field.name));
  }

 private:
  const Statement& stmt_;
  SQLUSMALLINT count_ = 0;
  std::deque<SQLLEN> indicators_;
  std::deque<QByteArray> buffers_;
};

// "WHERE" conditions that find one row, and the fields whose original values
// fill its parameters.
struct RowLocator {
  QString sql;
  std::vector<int> parameterFields;
};

// A short description of the row for messages: its key or first values.
QString describeRow(const RowOrigin& o, const std::vector<int>& fields, const std::vector<QVariant>& original) {
  QStringList parts;
  for (int i : fields) {
    if (parts.size() == 3) break;
    const QVariant& v = original[size_t(i)];
    parts << QStringLiteral("%1 = %2").arg(o.described[size_t(i)].field.name,
                                           v.isValid() ? invariantText(v, o.described[size_t(i)].field.type)
                                                       : QStringLiteral("Null"));
  }
  return parts.join(QStringLiteral(", "));
}

}  // namespace

const RowOrigin& OdbcProvider::requireOrigin(const RowStore& rows, const QString& source) const {
  requireOpen(source);
  for (const RowOrigin& o : origins_)
    if (o.rows == &rows && !o.alive.expired()) return o;
  throw Error(err::kFeatureNotAvailable, source,
              QStringLiteral("Insufficient base table information for updating or refreshing: the rows do not come "
                             "from one table."));
}

std::vector<int> OdbcProvider::keyFields(const RowOrigin& o) {
  const QString cacheKey = o.catalog + QChar(0) + o.schema + QChar(0) + o.table;
  auto it = primaryKeys_.find(cacheKey);
  if (it == primaryKeys_.end()) {
    std::vector<QString> names;
    try {
      Statement stmt(connection_.dbc(), options_.commandTimeout, kUpdate);
      QString catalog = o.catalog, schema = o.schema, table = o.table;
      const SQLRETURN rc =
          SQLPrimaryKeysW(stmt, catalog.isEmpty() ? nullptr : wide(catalog), SQL_NTS,
                          schema.isEmpty() ? nullptr : wide(schema), SQL_NTS, wide(table), SQL_NTS);
      if (SQL_SUCCEEDED(rc)) {
        std::vector<std::pair<int, QString>> ordered;
        for (const auto& row : fetchAsText(stmt))
          if (row.size() >= 5) ordered.emplace_back(row[4].toInt(), row[3].toString());
        std::sort(ordered.begin(), ordered.end());
        for (auto& [seq, name] : ordered) names.push_back(name);
      }
    } catch (const Error&) {
      names.clear();  // drivers without SQLPrimaryKeys: every value locates the row
    }
    it = primaryKeys_.emplace(cacheKey, std::move(names)).first;
  }
  std::vector<int> fields;
  for (const QString& key : it->second) {
    int found = -1;
    for (size_t i = 0; i < o.columns.size() && found < 0; ++i)
      if (o.columns[i].compare(key, Qt::CaseInsensitive) == 0) found = int(i);
    if (found < 0) return {};
    fields.push_back(found);
  }
  return fields;
}

namespace {

RowLocator locate(const RowOrigin& o, const std::vector<int>& keys, const std::vector<QVariant>& original,
                  const std::function<QString(const QString&)>& quote, const QString& source) {
  RowLocator l;
  std::vector<int> fields = keys;
  if (fields.empty()) {
    // Every original value; long values cannot be compared by all servers.
    for (size_t i = 0; i < o.columns.size(); ++i)
      if (!o.columns[i].isEmpty() && !isLongType(o.described[i].field.type)) fields.push_back(int(i));
  }
  if (fields.empty())
    throw Error(err::kFeatureNotAvailable, source,
                QStringLiteral("Insufficient base table information for updating or refreshing: no column "
                               "identifies the row."));
  QStringList conditions;
  for (int i : fields) {
    const QString column = quote(o.columns[size_t(i)]);
    if (!original[size_t(i)].isValid()) {
      conditions << column + QStringLiteral(" IS NULL");
    } else {
      conditions << column + QStringLiteral(" = ?");
      l.parameterFields.push_back(i);
    }
  }
  l.sql = conditions.join(QStringLiteral(" AND "));
  return l;
}

}  // namespace

void OdbcProvider::applyBatch(const RowStore& rows, const std::vector<RowChange>& changes) {
  const RowOrigin& o = requireOrigin(rows, kUpdate);
  const std::vector<int> keys = keyFields(o);
  auto q = [this](const QString& s) { return quote(s); };
  for (const RowChange& c : changes)
    for (int f : c.changedFields)
      if (o.columns[size_t(f)].isEmpty())
        throw Error(err::kFeatureNotAvailable, kUpdate,
                    QStringLiteral("The field '%1' is not a column of the table %2 and cannot be updated.")
                        .arg(o.described[size_t(f)].field.name, o.table));

  connection_.inTransaction([&] {
    for (const RowChange& c : changes) {
      if (c.changedFields.empty()) continue;
      const RowLocator where = locate(o, keys, c.original, q, kUpdate);
      QStringList assignments;
      for (int f : c.changedFields) assignments << q(o.columns[size_t(f)]) + QStringLiteral(" = ?");
      const QString sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3").arg(o.reference, assignments.join(QStringLiteral(", ")), where.sql);
      Statement stmt(connection_.dbc(), options_.commandTimeout, kUpdate);
      ParameterBinder binder(stmt);
      for (int f : c.changedFields) binder.bind(c.current[size_t(f)], o.described[size_t(f)]);
      for (int f : where.parameterFields) binder.bind(c.original[size_t(f)], o.described[size_t(f)]);
      const QString which = QStringLiteral("record %1 (%2)")
                                .arg(c.row + 1)
                                .arg(describeRow(o, keys.empty() ? where.parameterFields : keys, c.original));
      const SQLRETURN rc = SQLExecDirectW(stmt, wide(sql), SQL_NTS);
      if (rc != SQL_NO_DATA) stmt.check(rc, QStringLiteral("The update of %1 failed.").arg(which));
      SQLLEN affected = -1;
      stmt.check(SQLRowCount(stmt, &affected));
      if (affected == 0 || rc == SQL_NO_DATA)
        throw Error(err::kRowConflict, kUpdate,
                    QStringLiteral("Row cannot be located for updating. Some values may have been changed since it "
                                   "was last read. The batch was not saved: %1 was changed or deleted by another "
                                   "user.")
                        .arg(which));
      if (affected > 1)
        throw Error(err::kRowConflict, kUpdate,
                    QStringLiteral("The batch was not saved: the values of %1 match %2 rows of the table, so the "
                                   "row cannot be told apart from the others.")
                        .arg(which)
                        .arg(qlonglong(affected)));
    }
  });
}

std::vector<QVariant> OdbcProvider::reread(const RowStore& rows, int64_t row, const std::vector<QVariant>& original) {
  const RowOrigin& o = requireOrigin(rows, kResync);
  const std::vector<int> keys = keyFields(o);
  auto q = [this](const QString& s) { return quote(s); };
  const RowLocator where = locate(o, keys, original, q, kResync);
  QStringList select;
  for (size_t i = 0; i < o.columns.size(); ++i)
    select << q(o.columns[i].isEmpty() ? o.described[i].field.name : o.columns[i]);
  const QString sql =
      QStringLiteral("SELECT %1 FROM %2 WHERE %3").arg(select.join(QStringLiteral(", ")), o.reference, where.sql);
  Statement stmt(connection_.dbc(), options_.commandTimeout, kResync);
  ParameterBinder binder(stmt);
  for (int f : where.parameterFields) binder.bind(original[size_t(f)], o.described[size_t(f)]);
  stmt.check(SQLExecDirectW(stmt, wide(sql), SQL_NTS));
  std::vector<ResultColumn> columns = describeResult(stmt);
  // Keep the field types of the row set so the values fit its columns.
  for (size_t i = 0; i < columns.size() && i < o.described.size(); ++i) {
    columns[i].field = o.described[i].field;
    columns[i].cType = o.described[i].cType;
    columns[i].longData = true;  // one row: read every cell whole
  }
  const auto fresh = fetchRows(stmt, columns, FetchWays{});
  if (fresh->rowCount() == 0)
    throw Error(err::kRowConflict, kResync,
                QStringLiteral("Key value for this row was changed or deleted at the data store. The local row is "
                               "now deleted. (record %1)")
                    .arg(row + 1));
  std::vector<QVariant> values;
  for (int i = 0; i < fresh->fieldCount(); ++i) values.push_back(fresh->value(0, i));
  return values;
}

}  // namespace dataaccess::odbc
