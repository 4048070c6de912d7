#include "tablefolder.h"

#include "error.h"

#include <QDir>
#include <QFileInfo>

namespace dataaccess::tablefolder {

QString open(const QString& dir, const QString& notAFolder) {
  const QFileInfo fi(dir);
  const bool file = !dir.isEmpty() && fi.exists() && !fi.isDir();
  if (dir.isEmpty() || !fi.exists() || (file && notAFolder.isEmpty()))
    throw Error(err::kProviderFailure, QStringLiteral("Connection.Open"),
                QStringLiteral("The folder '%1' does not exist.").arg(dir));
  if (file) throw Error(err::kProviderFailure, QStringLiteral("Connection.Open"), notAFolder);
  return fi.absoluteFilePath();
}

QFileInfoList tableFiles(const QString& folder, const QStringList& extensions) {
  QFileInfoList out;
  const QFileInfoList files =
      QDir(folder).entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
  for (const QFileInfo& fi : files) {
    const QString name = fi.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (name.startsWith(QLatin1Char('.')) || dot <= 0) continue;
    if (extensions.contains(name.mid(dot + 1).toLower())) out.append(fi);
  }
  return out;
}

std::vector<TableEntry> tableEntries(const QString& folder, const QStringList& extensions) {
  std::vector<TableEntry> out;
  for (const QFileInfo& fi : tableFiles(folder, extensions)) {
    TableEntry e;
    e.name = fi.completeBaseName();
    e.type = QStringLiteral("TABLE");
    out.push_back(std::move(e));
  }
  return out;
}

QString findFile(const QString& folder, const QString& fileName) {
  const QDir dir(folder);
  if (fileName.isEmpty()) return {};
  if (QFileInfo(dir.filePath(fileName)).isFile()) return dir.absoluteFilePath(fileName);
  for (const QString& n : dir.entryList(QDir::Files | QDir::Hidden))
    if (n.compare(fileName, Qt::CaseInsensitive) == 0) return dir.absoluteFilePath(n);
  return {};
}

QString findBeside(const QString& path, const QStringList& extensions) {
  const QFileInfo fi(path);
  const QString folder = fi.absolutePath();
  for (const QString& ext : extensions) {
    const QString found = findFile(folder, fi.completeBaseName() + QLatin1Char('.') + ext);
    if (!found.isEmpty()) return found;
  }
  return {};
}

QString tablePath(const QString& folder, const QString& table, const QStringList& extensions) {
  for (const QFileInfo& fi : tableFiles(folder, extensions))
    if (fi.completeBaseName().compare(table, Qt::CaseInsensitive) == 0) return fi.absoluteFilePath();
  return {};
}

}  // namespace dataaccess::tablefolder
