#include "catalogue.h"

#include "dataaccess/error.h"
#include "paths.h"
#include "sourcestate.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>

namespace viewer {

using dataaccess::Connection;
using dataaccess::Error;
using dataaccess::Recordset;

bool IsListedTableType(const QString& tableType, int32_t sourceKind) {
  if (tableType == QLatin1String("TABLE") || tableType == QLatin1String("VIEW") || tableType == QLatin1String("SYNONYM"))
    return true;
  return tableType == QLatin1String("SYSTEM TABLE") && sourceKind == kind::Excel;
}

std::unique_ptr<Recordset> GetSchema(Connection& connection) {
  return connection.OpenSchema(dataaccess::adSchemaTables);
}

std::vector<TreeEntry> CatalogueEntries(Recordset* catalogue, int32_t sourceKind, const QString& ext,
                                        const QString& currentPath) {
  std::vector<TreeEntry> entries;
  if (catalogue && catalogue->State() == dataaccess::adStateOpen && catalogue->RecordCount() != 0) {
    QSet<QString> seen;
    catalogue->MoveFirst();
    while (!catalogue->IsEOF()) {
      const QString type = catalogue->Fields(QStringLiteral("TABLE_TYPE")).Value().toString();
      const QString name = catalogue->Fields(QStringLiteral("TABLE_NAME")).Value().toString();
      if (IsListedTableType(type, sourceKind) && !seen.contains(name)) {
        seen.insert(name);
        entries.push_back({name, type, QStringLiteral("x135")});
      }
      catalogue->MoveNext();
    }
  }
  const QString e = ext.toLower();
  if (entries.empty() && (e == QLatin1String("txt") || e == QLatin1String("log") || e == QLatin1String("csv")))
    entries.push_back({GetFileName(currentPath), QStringLiteral("TABLE"), QStringLiteral("Text")});
  return entries;
}

QString QuoteTableName(const QString& name, int32_t sourceKind) {
  if (!name.contains(QLatin1Char(' '))) return name;
  switch (sourceKind) {
    case kind::Oracle:
      return QLatin1Char('\'') + name + QLatin1Char('\'');
    case kind::SqlServer:
    case kind::Access:
    case kind::Excel:
    case kind::Text:  // the text provider reads bracketed names
    case kind::Csv:
      return QLatin1Char('[') + name + QLatin1Char(']');
    default:  // Paradox, FoxPro, and data links to other sources: standard SQL
      return QLatin1Char('"') + name + QLatin1Char('"');
  }
}

QString ContentSql(const QString& tableName, const QString& ext, int32_t sourceKind, const QString& currentPath) {
  const QString e = ext.toLower();
  if (e == QLatin1String("csv"))
    return QStringLiteral("SELECT * FROM [") + GetBaseName(currentPath) + QStringLiteral("#csv]");
  if (e == QLatin1String("log"))
    return QStringLiteral("SELECT * FROM [") + GetBaseName(currentPath) + QStringLiteral("#txt]");
  return QStringLiteral("SELECT * FROM ") + QuoteTableName(tableName, sourceKind);
}

QString LogCopyPath(const QString& logPath) {
  return GetFolder(logPath) + GetBaseName(logPath) + QStringLiteral(".txt");
}

// The marker is a hidden file beside the copy holding two lines: the name of
// the log it was copied from and the SHA-256 of the copy as written. A copy
// whose content no longer has that hash was changed by someone else, and is
// then treated like any file Lumbrook did not make.
QString LogCopyMarkerPath(const QString& logPath) {
  return GetFolder(logPath) + QLatin1Char('.') + GetBaseName(logPath) + QStringLiteral(".txt.lumbrook");
}

namespace {

const QString kCopySource = QStringLiteral("ViewTableContent");

QByteArray fileHash(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  QCryptographicHash hash(QCryptographicHash::Sha256);
  if (!hash.addData(&f)) return {};
  return hash.result().toHex();
}

bool isOwnCopy(const QString& logPath) {
  QFile marker(LogCopyMarkerPath(logPath));
  if (!marker.open(QIODevice::ReadOnly)) return false;
  const QList<QByteArray> lines = marker.read(4096).split('\n');
  if (lines.size() < 2) return false;
  const QByteArray hash = fileHash(LogCopyPath(logPath));
  return QString::fromUtf8(lines[0]) == GetFileName(logPath) && !hash.isEmpty() && lines[1].trimmed() == hash;
}

[[noreturn]] void raiseCopyError(const QString& copyPath, const QString& why) {
  throw Error(dataaccess::err::kAppBase + 1, kCopySource,
              QStringLiteral("The copy '%1' of the log file could not be written: %2").arg(copyPath, why));
}

}  // namespace

void PrepareLogCopy(const QString& logPath) {
  const QString copyPath = LogCopyPath(logPath);
  const QFileInfo copyInfo(copyPath);
  if (copyInfo.exists() && !isOwnCopy(logPath))
    throw Error(dataaccess::err::kAppBase + 1, kCopySource,
                QStringLiteral("The file '%1' already exists and was not made by Lumbrook; it is left as it is. "
                               "Rename or move it to view '%2'.")
                    .arg(copyPath, GetFileName(logPath)));

  QFile in(logPath);
  if (!in.open(QIODevice::ReadOnly)) raiseCopyError(copyPath, in.errorString());
  QSaveFile out(copyPath);
  if (!out.open(QIODevice::WriteOnly)) raiseCopyError(copyPath, out.errorString());
  QCryptographicHash hash(QCryptographicHash::Sha256);
  QByteArray chunk;
  while (!(chunk = in.read(1 << 20)).isEmpty()) {
    hash.addData(chunk);
    if (out.write(chunk) != chunk.size()) raiseCopyError(copyPath, out.errorString());
  }
  if (in.error() != QFileDevice::NoError) raiseCopyError(copyPath, in.errorString());
  // The marker first: if the copy then fails, the marker names a hash no
  // file has, and a file appearing there later is not mistaken for ours.
  const QByteArray marker = GetFileName(logPath).toUtf8() + '\n' + hash.result().toHex() + '\n';
  QSaveFile markerFile(LogCopyMarkerPath(logPath));
  if (!markerFile.open(QIODevice::WriteOnly) || markerFile.write(marker) != marker.size() || !markerFile.commit())
    raiseCopyError(copyPath, markerFile.errorString());
  if (!out.commit()) raiseCopyError(copyPath, out.errorString());
}

std::unique_ptr<Recordset> OpenContent(std::shared_ptr<Connection> connection, const QString& tableName,
                                       const QString& ext, int32_t sourceKind, const QString& currentPath,
                                       const QString& sqlOverride) {
  auto rs = std::make_unique<Recordset>();
  rs->setCursorLocation(dataaccess::adUseClient);
  rs->setActiveConnection(connection);
  if (ext.toLower() == QLatin1String("log")) PrepareLogCopy(currentPath);
  const QString sql = sqlOverride.isEmpty() ? ContentSql(tableName, ext, sourceKind, currentPath) : sqlOverride;
  rs->Open(sql, connection, dataaccess::adOpenKeyset, dataaccess::adLockBatchOptimistic, dataaccess::adCmdText);
  return rs;
}

QVariantList ColumnRestrictions(Connection& connection, const QString& tableName, int32_t sourceKind) {
  QVariant schema;
  if (sourceKind == kind::Oracle) schema = connection.Properties(QStringLiteral("User Name")).toString();
  return QVariantList{QVariant(), schema, tableName, QVariant()};
}

std::unique_ptr<Recordset> OpenPersistedRecordset(const QString& path) {
  auto rs = std::make_unique<Recordset>();
  rs->setCursorLocation(dataaccess::adUseClient);
  rs->Open(path, QStringLiteral("Provider=MSPERSIST"), dataaccess::adOpenStatic, dataaccess::adLockReadOnly,
           dataaccess::adCmdFile);
  return rs;
}

}  // namespace viewer
