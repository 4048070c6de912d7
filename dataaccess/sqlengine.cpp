#include "sqlengine.h"

#include "error.h"
#include "loadcontrol.h"
#include "sqldirect.h"
#include "sqlresult.h"
#include "sqltranslate.h"
#include "textcompare.h"
#include "values.h"

#include <QHash>
#include <QRegularExpression>
#include <sqlite3.h>

#include <charconv>
#include <chrono>
#include <cmath>
#include <map>
#include <optional>
#include <set>

namespace dataaccess {

using sql::OutColumn;
using sql::appendResult;
using sql::computedField;
using sql::finishColumn;

namespace {

const QString kSource = QStringLiteral("Recordset.Open");

constexpr std::chrono::seconds kDefaultTimeLimit(120);

QString sqliteMessage(sqlite3* db) { return QString::fromUtf8(sqlite3_errmsg(db)); }

struct StmtDeleter {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Stmt = std::unique_ptr<sqlite3_stmt, StmtDeleter>;

bool isDecimalText(DataTypeEnum t) { return t == adNumeric || t == adDecimal; }

// Text of the file sources compares without regard to letter case, for
// every letter (textcompare.h); LIKE follows the same rule.
int foldCaseCollation(void*, int n1, const void* p1, int n2, const void* p2) {
  return textcmp::compare(std::string_view(static_cast<const char*>(p1), size_t(n1)),
                          std::string_view(static_cast<const char*>(p2), size_t(n2)));
}

std::string_view textArg(sqlite3_value* v) {
  const char* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
  return std::string_view(p ? p : "", size_t(sqlite3_value_bytes(v)));
}

// like(pattern, text[, escape]), which SQLite calls for "text LIKE pattern".
void likeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i)
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  if (argc == 3) {
    const auto escape = QString::fromUtf8(textArg(argv[2])).toUcs4();
    if (escape.size() != 1) return sqlite3_result_error(ctx, "ESCAPE expression must be a single character", -1);
    const textcmp::LikePattern pattern(textArg(argv[0]), escape.front());
    return sqlite3_result_int(ctx, pattern.matches(textArg(argv[1])));
  }
  // The pattern is usually a constant: compile it once per statement.
  auto* pattern = static_cast<textcmp::LikePattern*>(sqlite3_get_auxdata(ctx, 0));
  if (!pattern) {
    pattern = new textcmp::LikePattern(textArg(argv[0]));
    const bool matched = pattern->matches(textArg(argv[1]));
    sqlite3_set_auxdata(ctx, 0, pattern, [](void* v) { delete static_cast<textcmp::LikePattern*>(v); });
    return sqlite3_result_int(ctx, matched);
  }
  sqlite3_result_int(ctx, pattern->matches(textArg(argv[1])));
}

// Binds the value of row `r` of a column to parameter `p` in the form the
// staged table holds: dates as stored seconds, decimals as numbers (whole
// ones exactly as integers). Edited rows are read through value(), which
// sees the replacements; text and bytes are then copied, otherwise bound in
// place.
void bindValue(sqlite3_stmt* st, int p, const ColumnStore& col, int64_t r) {
  const bool edited = col.hasReplacements();
  const QVariant v = edited ? col.value(r) : QVariant();
  if (edited ? !v.isValid() : col.isNull(r)) {
    sqlite3_bind_null(st, p);
    return;
  }
  const auto destructor = edited ? SQLITE_TRANSIENT : SQLITE_STATIC;
  QByteArray copy;
  switch (col.storage()) {
    case ColumnStore::Storage::Integer: sqlite3_bind_int64(st, p, edited ? v.toLongLong() : col.integerAt(r)); return;
    case ColumnStore::Storage::Real: sqlite3_bind_double(st, p, edited ? v.toDouble() : col.realAt(r)); return;
    case ColumnStore::Storage::Boolean: sqlite3_bind_int(st, p, (edited ? v.toBool() : col.booleanAt(r)) ? 1 : 0); return;
    case ColumnStore::Storage::DateTime: {
      const int64_t ms = !edited                           ? col.oleMsecsAt(r)
                         : v.typeId() == QMetaType::QDate ? toOleMsecs(v.toDate())
                         : v.typeId() == QMetaType::QTime ? toOleMsecs(v.toTime())
                                                          : toOleMsecs(v.toDateTime());
      sqlite3_bind_int64(st, p, floorSeconds(ms));
      return;
    }
    case ColumnStore::Storage::Text: {
      if (edited) copy = v.toString().toUtf8();
      const std::string_view t = edited ? std::string_view(copy.constData(), size_t(copy.size())) : col.bytesAt(r);
      if (isDecimalText(col.type())) {
        int64_t i = 0;
        double d = 0;
        const char* end = t.data() + t.size();
        if (auto [q, ec] = std::from_chars(t.data(), end, i); ec == std::errc() && q == end)
          return void(sqlite3_bind_int64(st, p, i));
        if (auto [q, ec] = std::from_chars(t.data(), end, d); ec == std::errc() && q == end)
          return void(sqlite3_bind_double(st, p, d));
      }
      sqlite3_bind_text(st, p, t.data(), int(t.size()), destructor);
      return;
    }
    case ColumnStore::Storage::Bytes: {
      if (edited) copy = v.toByteArray();
      const std::string_view b = edited ? std::string_view(copy.constData(), size_t(copy.size())) : col.bytesAt(r);
      sqlite3_bind_blob(st, p, b.data(), int(b.size()), destructor);
      return;
    }
  }
}

}  // namespace

struct SqlEngine::Impl {
  // A table copied into SQLite, kept while the provider hands over the same rows.
  struct Staged {
    std::weak_ptr<const RowStore> rows;
    QString sqlName;
    std::vector<FieldInfo> fields;
    QStringList columnNames;            // SQLite column of each field
    QHash<QString, int> fieldByColumn;  // SQLite column as declared -> field
  };

  SqlDialect dialect;
  bool direct = true;
  sqlite3* db = nullptr;
  int counter = 0;
  std::map<QString, Staged> staged;  // by lower-cased table name
  bool limitTime = false;
  std::chrono::milliseconds timeLimit = kDefaultTimeLimit;
  std::chrono::steady_clock::time_point deadline;

  void exec(const char* sql) {
    char* msg = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &msg) != SQLITE_OK) {
      const QString text = QString::fromUtf8(msg ? msg : "unknown error");
      sqlite3_free(msg);
      throw Error(err::kProviderFailure, kSource, text);
    }
  }

  void drop(const Staged& s) {
    const QByteArray sql = QByteArrayLiteral("DROP TABLE IF EXISTS ") + s.sqlName.toUtf8();
    sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr);
  }

  const Staged& stage(const QString& name, const RowStorePtr& rows);
  void insertAll(Staged& s, const RowStore& rows);
  Stmt prepare(const QString& sql, const QString& original);
  QString describe(const QString& message, const QString& original) const;
};

const SqlEngine::Impl::Staged& SqlEngine::Impl::stage(const QString& name, const RowStorePtr& rows) {
  const QString key = name.toLower();
  auto it = staged.find(key);
  if (it != staged.end()) {
    if (it->second.rows.lock() == rows) return it->second;
    drop(it->second);
    staged.erase(it);
  }
  Staged s;
  s.rows = rows;
  s.sqlName = QStringLiteral("_t%1").arg(++counter);
  s.fields = rows->fields();
  if (s.fields.empty())
    throw Error(err::kCommandError, kSource, QStringLiteral("The table '%1' has no columns.").arg(name));

  QString create = QStringLiteral("CREATE TABLE ") + s.sqlName + QStringLiteral(" (");
  const std::vector<QString> columns = sql::stagedColumnNames(s.fields);
  for (size_t i = 0; i < s.fields.size(); ++i) {
    const FieldInfo& f = s.fields[i];
    const QString& column = columns[i];
    s.columnNames.append(column);
    s.fieldByColumn.insert(column, int(i));
    const char* decl = "TEXT";
    switch (ColumnStore::storageFor(f.type)) {
      case ColumnStore::Storage::Integer: case ColumnStore::Storage::Boolean: case ColumnStore::Storage::DateTime:
        decl = "INTEGER";
        break;
      case ColumnStore::Storage::Real: decl = "REAL"; break;
      case ColumnStore::Storage::Bytes: decl = "BLOB"; break;
      case ColumnStore::Storage::Text: decl = isDecimalText(f.type) ? "NUMERIC" : "TEXT COLLATE FOLDCASE"; break;
    }
    if (i) create += QStringLiteral(", ");
    create += sql::quoteName(column) + QLatin1Char(' ') + QLatin1String(decl);
  }
  create += QLatin1Char(')');
  exec(create.toUtf8().constData());
  try {
    insertAll(s, *rows);
  } catch (...) {
    drop(s);
    throw;
  }
  return staged.emplace(key, std::move(s)).first->second;
}

void SqlEngine::Impl::insertAll(Staged& s, const RowStore& rows) {
  QString sql = QStringLiteral("INSERT INTO ") + s.sqlName + QStringLiteral(" (rowid");
  for (const QString& c : s.columnNames) sql += QStringLiteral(", ") + sql::quoteName(c);
  sql += QStringLiteral(") VALUES (?");
  for (int i = 0; i < s.columnNames.size(); ++i) sql += QStringLiteral(", ?");
  sql += QLatin1Char(')');
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &raw, nullptr) != SQLITE_OK)
    throw Error(err::kProviderFailure, kSource, sqliteMessage(db));
  Stmt insert(raw);

  const int columns = rows.fieldCount();
  exec("BEGIN");
  for (int64_t r = 0; r < rows.rowCount(); ++r) {
    sqlite3_bind_int64(raw, 1, r);  // the row number, to trace result rows back
    for (int c = 0; c < columns; ++c) bindValue(raw, c + 2, rows.column(c), r);
    if (sqlite3_step(raw) != SQLITE_DONE) {
      const QString msg = sqliteMessage(db);
      sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
      throwIfLoadCancelled("Recordset.Open");
      throw Error(err::kProviderFailure, kSource, msg);
    }
    sqlite3_reset(raw);
  }
  exec("COMMIT");
}

QString SqlEngine::Impl::describe(const QString& message, const QString& original) const {
  // SQLite speaks of the staged tables; name them as the user wrote them.
  QString text = message;
  for (const auto& [key, s] : staged) {
    const QRegularExpression staged(QStringLiteral("\\b%1\\b").arg(s.sqlName));
    if (auto rows = s.rows.lock()) text.replace(staged, rows->baseTable.isEmpty() ? key : rows->baseTable);
  }
  return QStringLiteral("%1 (statement: %2)").arg(text, original);
}

Stmt SqlEngine::Impl::prepare(const QString& sql, const QString& original) {
  const QByteArray utf8 = sql.toUtf8();
  sqlite3_stmt* raw = nullptr;
  const char* tail = nullptr;
  if (sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &raw, &tail) != SQLITE_OK)
    throw Error(err::kCommandError, kSource, describe(sqliteMessage(db), original));
  Stmt st(raw);
  if (!st) throw Error(err::kCommandError, kSource, QStringLiteral("The statement is empty."));
  // One statement only: a second one after ';' is refused rather than ignored.
  sqlite3_stmt* more = nullptr;
  const int rc = sqlite3_prepare_v2(db, tail, -1, &more, nullptr);
  if (more || rc != SQLITE_OK) {
    sqlite3_finalize(more);
    throw Error(err::kCommandError, kSource,
                describe(QStringLiteral("Only one statement can be run at a time"), original));
  }
  if (!sqlite3_stmt_readonly(raw))
    throw Error(err::kCommandError, kSource, describe(QStringLiteral("Only SELECT statements can be run on this source"), original));
  return st;
}

SqlEngine::SqlEngine(SqlDialect dialect) : d_(std::make_unique<Impl>()) {
  d_->dialect = dialect;
  if (sqlite3_open_v2(":memory:", &d_->db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
    const QString msg = d_->db ? sqliteMessage(d_->db) : QStringLiteral("out of memory");
    sqlite3_close(d_->db);
    d_->db = nullptr;
    throw Error(err::kProviderFailure, kSource, msg);
  }
  // "name" is always a name: an unknown one is an error, never a string.
  sqlite3_db_config(d_->db, SQLITE_DBCONFIG_DQS_DML, 0, static_cast<int*>(nullptr));
  sqlite3_db_config(d_->db, SQLITE_DBCONFIG_DQS_DDL, 0, static_cast<int*>(nullptr));
  sqlite3_create_collation_v2(d_->db, "FOLDCASE", SQLITE_UTF8, nullptr, foldCaseCollation, nullptr);
  for (int args : {2, 3})
    sqlite3_create_function_v2(d_->db, "like", args, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, likeFunction,
                               nullptr, nullptr, nullptr);
  sqlite3_exec(d_->db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA temp_store=MEMORY;", nullptr,
               nullptr, nullptr);
  sqlite3_progress_handler(
      d_->db, 100000,
      [](void* p) -> int {
        auto* d = static_cast<Impl*>(p);
        // A load stopped from the window ends the statement at once.
        if (loadCancelled()) return 1;
        return d->limitTime && std::chrono::steady_clock::now() > d->deadline ? 1 : 0;
      },
      d_.get());
}

SqlEngine::~SqlEngine() {
  if (d_->db) sqlite3_close(d_->db);
}

void SqlEngine::setDirectAnswers(bool on) { d_->direct = on; }

void SqlEngine::setTimeLimit(std::chrono::milliseconds limit) { d_->timeLimit = limit; }

void SqlEngine::forget(const QString& name) {
  for (auto it = d_->staged.begin(); it != d_->staged.end();) {
    if (name.isEmpty() || it->first == name.toLower()) {
      d_->drop(it->second);
      it = d_->staged.erase(it);
    } else {
      ++it;
    }
  }
}

namespace {

void requireSelect(const std::vector<sql::Token>& tokens) {
  for (const sql::Token& t : tokens) {
    if (t.kind == sql::TokenKind::Space) continue;
    if (t.kind == sql::TokenKind::Punct && t.value == QLatin1String("(")) continue;
    if (t.kind == sql::TokenKind::Word &&
        (t.value.compare(QLatin1String("select"), Qt::CaseInsensitive) == 0 ||
         t.value.compare(QLatin1String("with"), Qt::CaseInsensitive) == 0))
      return;
    throw Error(err::kCommandError, kSource,
                QStringLiteral("Only SELECT statements can be run on this source (the statement starts with '%1').")
                    .arg(t.value.left(40)));
  }
  throw Error(err::kCommandError, kSource, QStringLiteral("The statement is empty."));
}

}  // namespace

QString SqlEngine::translate(const QString& statement, const TableLoader& loader) {
  const auto tokens = sql::tokenize(statement);
  const auto uses = sql::findTables(tokens);
  for (const sql::TableUse& use : uses) d_->stage(use.name, loader(use.name));
  return sql::translate(statement, tokens, uses, d_->dialect, [this](const QString& name) {
           const Impl::Staged& s = d_->staged.at(name.toLower());
           return sql::StagedInfo{s.sqlName, &s.fields};
         }).sql;
}

std::shared_ptr<RowStore> SqlEngine::run(const QString& statement, const TableLoader& loader) {
  const auto tokens = sql::tokenize(statement);
  requireSelect(tokens);
  const auto uses = sql::findTables(tokens);

  std::map<QString, RowStorePtr> sources;  // by lower-cased name
  auto load = [&](const QString& name) {
    RowStorePtr rows = loader(name);
    if (!rows) throw Error(err::kTableNotFound, kSource, QStringLiteral("The table '%1' could not be read.").arg(name));
    return rows;
  };
  // The filter's and sort's statements are answered from the stored columns.
  if (d_->direct) {
    if (const auto query = sql::parseDirect(tokens, d_->dialect)) {
      RowStorePtr rows = load(query->table);
      if (auto result = sql::runDirect(*query, rows, d_->dialect)) return result;
      sources.emplace(query->table.toLower(), std::move(rows));
    }
  }
  std::set<QString> stagedNow;
  for (const sql::TableUse& use : uses) {
    const QString key = use.name.toLower();
    if (!stagedNow.insert(key).second) continue;
    auto it = sources.find(key);
    if (it == sources.end()) it = sources.emplace(key, load(use.name)).first;
    d_->stage(use.name, it->second);
  }
  const sql::Translation tr = sql::translate(statement, tokens, uses, d_->dialect, [this](const QString& name) {
    const Impl::Staged& s = d_->staged.at(name.toLower());
    return sql::StagedInfo{s.sqlName, &s.fields};
  });

  // Prefer the form that carries row numbers; fall back when SQLite rejects it.
  Stmt st;
  bool keyed = false;
  if (!tr.keyedSql.isEmpty()) {
    try {
      st = d_->prepare(tr.keyedSql, statement);
      keyed = true;
    } catch (const Error&) {
    }
  }
  if (!st) st = d_->prepare(tr.sql, statement);
  sqlite3_stmt* raw = st.get();

  // The one table whose rows the result lists.
  const QString singleName = sql::outerTable(uses).name;
  const RowStore* single = singleName.isEmpty() ? nullptr : sources.at(singleName.toLower()).get();
  const Impl::Staged* singleStaged = single ? &d_->staged.at(singleName.toLower()) : nullptr;
  if (!single) keyed = false;
  // Values are copied from the source row (exact decimals, milliseconds)
  // unless a subquery reads the same table, whose columns would then carry
  // the same origin but come from other rows.
  bool exactCopy = keyed;
  for (const sql::TableUse& use : uses)
    if (use.depth > 0 && use.name.compare(singleName, Qt::CaseInsensitive) == 0) exactCopy = false;

  const int first = keyed ? 1 : 0;
  const int count = sqlite3_column_count(raw);
  std::vector<OutColumn> columns(size_t(count - first));
  for (int i = first; i < count; ++i) {
    OutColumn& c = columns[size_t(i - first)];
    c.field.name = QString::fromUtf8(sqlite3_column_name(raw, i));
    const char* table = sqlite3_column_table_name(raw, i);
    const char* origin = sqlite3_column_origin_name(raw, i);
    if (!table || !origin) {
      // An expression that yields a date field (MIN, MAX, ...) is a date.
      const size_t item = size_t(i - first);
      if (tr.resultDates.size() == columns.size() && tr.resultDates[item]) {
        c.field = computedField(c.field.name, tr.resultDates[item]->type);
        c.field.definedSize = tr.resultDates[item]->definedSize;
        c.store.emplace(c.field.type);
      }
      continue;
    }
    for (const auto& [key, s] : d_->staged) {
      if (s.sqlName != QLatin1String(table)) continue;
      const int f = s.fieldByColumn.value(QString::fromUtf8(origin), -1);
      if (f < 0) break;
      const QString resultName = c.field.name;
      c.field = s.fields[size_t(f)];
      if (resultName != s.columnNames[f]) c.field.name = resultName;
      c.computed = false;
      c.store.emplace(c.field.type);
      if (exactCopy && &s == singleStaged) c.exact = &single->column(f);
      break;
    }
  }

  std::vector<int64_t> keys;
  int64_t rowCount = 0;
  d_->deadline = std::chrono::steady_clock::now() + d_->timeLimit;
  d_->limitTime = true;
  int rc;
  try {
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
      const int64_t sourceRow = keyed ? sqlite3_column_int64(raw, 0) : -1;
      for (int i = first; i < count; ++i) appendResult(columns[size_t(i - first)], raw, i, sourceRow);
      if (keyed && !single->rowKeys().empty()) keys.push_back(single->rowKey(sourceRow));
      ++rowCount;
    }
  } catch (...) {
    d_->limitTime = false;
    throw;
  }
  d_->limitTime = false;
  if (rc == SQLITE_INTERRUPT) throwIfLoadCancelled("Recordset.Open");
  if (rc == SQLITE_INTERRUPT)
    throw Error(err::kCommandError, kSource,
                d_->describe(QStringLiteral("The query was stopped after running for %1 seconds")
                                 .arg(std::chrono::duration_cast<std::chrono::seconds>(d_->timeLimit).count()),
                             statement));
  if (rc != SQLITE_DONE) throw Error(err::kCommandError, kSource, d_->describe(sqliteMessage(d_->db), statement));

  std::vector<FieldInfo> fields;
  for (OutColumn& c : columns) {
    finishColumn(c);
    fields.push_back(c.field);
  }
  auto result = std::make_shared<RowStore>(std::move(fields));
  for (size_t i = 0; i < columns.size(); ++i) result->column(int(i)) = std::move(*columns[i].store);
  for (int64_t r = 0; r < rowCount; ++r) result->commitRow();
  result->rowKeys() = std::move(keys);
  if (single) result->baseTable = single->baseTable.isEmpty() ? singleName : single->baseTable;
  return result;
}

}  // namespace dataaccess
