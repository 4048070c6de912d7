#include "filtersort.h"

#include "dataaccess/connection.h"
#include "dataaccess/error.h"
#include "dataaccess/loadcontrol.h"
#include "dataaccess/values.h"
#include "viewer/prompts.h"
#include "sqlliterals.h"

namespace viewer {

using dataaccess::Recordset;

namespace {

const QString kOrderBy = QStringLiteral(" ORDER BY ");
const QString kWhere = QStringLiteral(" WHERE ");
const QString kFirstCondition = QStringLiteral(" WHERE   ");
const QString kNextCondition = QStringLiteral("   AND ");
const QString kThreeBlanks = QStringLiteral("   ");

// Opens the recordset again with `text`, everything else as it was.
void reopen(Recordset& rs, const QString& text) {
  if (rs.State() == dataaccess::adStateOpen) rs.Close();
  rs.setSource(text);
  rs.Open();
}

// Runs `text` through the grid and, once it succeeded, gives its rows to
// the recordset in place of the old ones, everything else as it was. A
// failure leaves the recordset open with its old rows. A recordset without
// an open connection is opened again the plain way (for its errors).
void reopen(GridSeam& grid, Recordset& rs, const QString& text) {
  const std::shared_ptr<dataaccess::Connection> cn = rs.ActiveConnection();
  if (rs.State() != dataaccess::adStateOpen || !cn || cn->State() != dataaccess::adStateOpen)
    return reopen(rs, text);
  dataaccess::RowStorePtr rows = grid.runQuery(cn, text);
  const dataaccess::CursorLocationEnum location = rs.CursorLocation();
  rs.Close();
  rs.attach(std::move(rows), cn, text, rs.CursorType(), rs.LockType());
  rs.setCursorLocation(location);
}

// After a failed re-open: the text and rows of before come back, so the grid
// is never left empty by a command that failed. A restore that fails too
// leaves the recordset closed.
void restore(GridSeam& grid, Recordset& rs, const QString& previous) {
  try {
    reopen(rs, previous);
  } catch (const std::exception&) {
  }
  grid.rowsChanged();
}

bool runReshape(GridSeam& grid, Recordset& rs, const QString& previous, const QString& text) {
  try {
    reopen(grid, rs, text);
  } catch (const std::exception&) {
    if (rs.State() != dataaccess::adStateOpen) restore(grid, rs, previous);
    return false;
  }
  grid.rowsChanged();
  return true;
}

QString currentFieldName(GridSeam& grid, Recordset& rs) { return rs.Fields(grid.currentColumn()).Name(); }

}  // namespace

GridSeam::~GridSeam() = default;

dataaccess::RowStorePtr GridSeam::runQuery(const std::shared_ptr<dataaccess::Connection>& cn, const QString& text) {
  return cn->provider().execute(text, dataaccess::adCmdText);
}

QString SortedSql(const QString& sql, const QString& column, int direction, bool addKey) {
  QString text = sql;
  const qsizetype b = text.indexOf(kOrderBy, 0, Qt::CaseInsensitive);
  if (b < 0) text += kOrderBy + column;
  else if (addKey) text += QLatin1Char(',') + column;
  else text = text.left(b + 1) + QStringLiteral("ORDER BY ") + column;
  if (direction < 0) text += QStringLiteral(" DESC");
  return text;
}

QString FilteredSql(const QString& sql, const QString& condition) {
  qsizetype p = sql.indexOf(kOrderBy, 0, Qt::CaseInsensitive);
  if (p < 0) p = sql.size();
  const QString marker = sql.contains(kWhere, Qt::CaseInsensitive) ? kNextCondition : kFirstCondition;
  return sql.left(p) + marker + condition + sql.mid(p);
}

std::optional<QString> UnfilteredSql(const QString& sql) {
  qsizetype a = sql.indexOf(kWhere, 0, Qt::CaseInsensitive);
  if (a < 0) return std::nullopt;
  // A WHERE clause the filter did not write keeps its own condition; only
  // what the filter appended after it goes.
  if (sql.mid(a + 6, 3) != kThreeBlanks) {
    a = sql.indexOf(kThreeBlanks, a);
    if (a < 0) return std::nullopt;
  }
  qsizetype e = sql.indexOf(kOrderBy, a, Qt::CaseInsensitive);
  if (e < 0) e = sql.size();
  if (a >= e) return std::nullopt;
  return sql.left(a) + sql.mid(e);
}

QString FilterCondition(const QString& field, dataaccess::DataTypeEnum type, const QVariant& value,
                        const QString& selected, const QString& ext, const QLocale& locale, bool backslashEscapes) {
  // In a LIKE pattern the backslash is also the server's escape character.
  auto pattern = [&](const QString& p) {
    return SqlStringLiteral(backslashEscapes ? QString(p).replace(QLatin1Char('\\'), QLatin1String("\\\\")) : p,
                            backslashEscapes);
  };
  using namespace dataaccess;
  const QString name = SqlFieldName(field, ext);
  const bool isNull = !value.isValid() || value.isNull();
  const QString text = isNull ? QString() : displayText(value, type, locale);
  switch (type) {
    case adSmallInt: case adInteger: case adTinyInt:
      if (isNull) break;
      return name + QLatin1Char('=') + text;
    case adDecimal: case adNumeric: case adCurrency:
      // Through the number literal: the regional text may carry a decimal
      // comma, which is no SQL number.
      if (isNull) break;
      return name + QLatin1Char('=') + SqlNumberLiteral(text, QStringLiteral("-"));
    case adDate: case adDBDate: case adDBTime: case adDBTimeStamp:
      if (isNull) break;
      return name + QLatin1Char('=') + SqlDateLiteral(text, ext, locale);
    case adBoolean:
      if (isNull) break;
      return name + QLatin1Char('=') + SqlBooleanLiteral(text);
    case adChar: case adVarChar: case adVarWChar:
      if (!isNull && text == selected) return name + QLatin1Char('=') + SqlStringLiteral(selected, backslashEscapes);
      if (!selected.isEmpty()) {
        if (text.indexOf(selected) > 0) return name + QStringLiteral(" LIKE ") + pattern(QLatin1Char('%') + selected + QLatin1Char('%'));
        return name + QStringLiteral(" LIKE ") + pattern(selected + QLatin1Char('%'));
      }
      if (isNull) break;
      return name + QLatin1Char('=') + SqlStringLiteral(text, backslashEscapes);
    default:
      return {};
  }
  return name + QStringLiteral(" IS NULL");
}

bool SortByColumn(GridSeam& grid, int direction, const QString& ext) {
  std::shared_ptr<Recordset> rs;
  QString previous;
  try {
    grid.takeSelectedColumn();
    rs = grid.recordset();
    if (!rs) return true;
    previous = rs->Source();
    if (previous.isEmpty()) return true;
    const QString column = SqlSortName(currentFieldName(grid, *rs), ext);
    // Ctrl is read now, when the sort runs, not when the command was asked.
    const QString text = SortedSql(previous, column, direction, grid.ctrlHeld());
    return runReshape(grid, *rs, previous, text);
  } catch (const std::exception&) {
    return false;
  }
}

bool ServerEscapesBackslashes(dataaccess::Connection& cn) {
  QString dbms;
  try {
    dbms = cn.Properties(QStringLiteral("DBMS Name")).toString();
  } catch (const std::exception&) {
    return false;
  }
  if (!dbms.contains(QLatin1String("MySQL"), Qt::CaseInsensitive) &&
      !dbms.contains(QLatin1String("MariaDB"), Qt::CaseInsensitive))
    return false;
  // Asked every time: a session may change its mode.
  try {
    dataaccess::Recordset mode;
    mode.Open(QStringLiteral("SELECT @@SESSION.sql_mode"), cn.shared_from_this(), dataaccess::adOpenForwardOnly,
              dataaccess::adLockReadOnly, dataaccess::adCmdText);
    const QString value = mode.IsEOF() ? QString() : mode.Fields(0).Value().toString();
    return !value.contains(QLatin1String("NO_BACKSLASH_ESCAPES"), Qt::CaseInsensitive);
  } catch (const std::exception&) {
    return true;  // cannot tell: the safe assumption for these servers
  }
}

bool FilterBySelection(GridSeam& grid, const QString& field, const QString& ext, const QLocale& locale) {
  std::shared_ptr<Recordset> rs;
  QString previous;
  bool closed = false;
  try {
    const QString selected = grid.selectedText();
    grid.endCellEdit();
    rs = grid.recordset();
    if (!rs) return true;
    const QString name = field.isEmpty() ? currentFieldName(grid, *rs) : field;
    dataaccess::Field f = rs->Fields(name);
    const bool escapes = rs->ActiveConnection() && ServerEscapesBackslashes(*rs->ActiveConnection());
    const QString condition = FilterCondition(name, f.Type(), f.Value(), selected, ext, locale, escapes);
    if (condition.isEmpty()) return true;
    previous = rs->Source();
    if (previous.isEmpty()) return true;
    const QString text = FilteredSql(previous, condition);
    closed = true;
    reopen(grid, *rs, text);
    grid.rowsChanged();
    return true;
  } catch (const dataaccess::Error& e) {
    // A filter the user stopped is no error to report; the rows stay.
    if (e.number() != dataaccess::err::kOperationCancelled) prompts().message(e.message(), Prompts::Critical);
  } catch (const std::exception& e) {
    prompts().message(QStringLiteral("%1: %2").arg(dataaccess::err::kProviderFailure).arg(QString::fromLocal8Bit(e.what())),
                      Prompts::Critical);
  }
  // Only a recordset that was closed for the new text needs its rows back;
  // an error while building the condition left the rows as they were.
  if (closed && rs && rs->State() != dataaccess::adStateOpen) restore(grid, *rs, previous);
  return false;
}

bool RemoveFilter(GridSeam& grid) {
  try {
    std::shared_ptr<Recordset> rs = grid.recordset();
    if (!rs) return true;
    const QString previous = rs->Source();
    if (previous.isEmpty()) return true;
    const std::optional<QString> text = UnfilteredSql(previous);
    if (!text) return true;
    return runReshape(grid, *rs, previous, *text);
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace viewer
