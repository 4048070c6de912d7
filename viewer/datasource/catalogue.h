// What the catalogue and content views show, without the widgets: which
// catalogue rows become tree entries, and how a chosen table name becomes
// the statement of the content view (with the .log copy it reads through).
#pragma once

#include "dataaccess/connection.h"
#include "dataaccess/recordset.h"

#include <QString>
#include <QVariantList>
#include <cstdint>
#include <memory>
#include <vector>

namespace viewer {

// One child of the tree's root node (and one item of the table list).
struct TreeEntry {
  QString name;   // key and text of the node
  QString type;   // TABLE_TYPE of the catalogue row; "TABLE" for the fallback
  QString image;  // "x135" for catalogue entries, "Text" for the fallback
};

// True when a catalogue row of `tableType` is listed for a source of kind
// `sourceKind`: TABLE, VIEW, SYNONYM always, SYSTEM TABLE for Excel only.
bool IsListedTableType(const QString& tableType, int32_t sourceKind);

// The catalogue of `connection` (the tables schema, unrestricted).
std::unique_ptr<dataaccess::Recordset> GetSchema(dataaccess::Connection& connection);

// The tree entries of a catalogue, in catalogue order, walking `catalogue`
// from its first row. When none is listed and `ext` is txt, log or csv, the
// opened file itself (GetFileName(currentPath)) is the one entry. Rows whose
// name repeats an earlier entry are skipped (the tree keys by name).
std::vector<TreeEntry> CatalogueEntries(dataaccess::Recordset* catalogue, int32_t sourceKind, const QString& ext,
                                        const QString& currentPath);

// The table reference of the content query: the name unchanged when it has
// no blank, otherwise quoted by kind: Oracle '...', SQL Server / Access /
// Excel / Text / Csv [...], Paradox / FoxPro / Generic / other "...". Inner
// characters are not escaped.
QString QuoteTableName(const QString& name, int32_t sourceKind);

// The statement of the content view: csv and log ignore the table name and
// read the opened file (a log through its .txt copy); every other kind
// selects the quoted table.
QString ContentSql(const QString& tableName, const QString& ext, int32_t sourceKind, const QString& currentPath);

// The path of the .txt copy through which a .log file is read.
QString LogCopyPath(const QString& logPath);
// The hidden marker beside a copy that says Lumbrook made it.
QString LogCopyMarkerPath(const QString& logPath);

// Copies `logPath` to LogCopyPath(logPath), atomically. A file of that name
// that Lumbrook did not make (no marker, or content changed since) is never
// touched: that raises an Error naming it. A copy made earlier is refreshed.
void PrepareLogCopy(const QString& logPath);

// Steps of the content view between "release the grid" and "bind it": a new
// client-side recordset on `connection`, opened with ContentSql (keyset,
// batch optimistic, text command). The .log copy is made first. `sqlOverride`
// replaces the statement when not empty. Throws dataaccess::Error.
std::unique_ptr<dataaccess::Recordset> OpenContent(std::shared_ptr<dataaccess::Connection> connection,
                                                   const QString& tableName, const QString& ext,
                                                   int32_t sourceKind, const QString& currentPath,
                                                   const QString& sqlOverride = {});

// The restrictions of the column view for `tableName`: catalog and column
// Null; schema Null, or the connection's "User Name" for Oracle.
QVariantList ColumnRestrictions(dataaccess::Connection& connection, const QString& tableName, int32_t sourceKind);

// Opens a persisted-recordset file the way the catalogue view does: client
// cursor, static, read-only, from the file.
std::unique_ptr<dataaccess::Recordset> OpenPersistedRecordset(const QString& path);

}  // namespace viewer
