#include "help.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

namespace viewer {

namespace {

UrlOpener& opener() {
  static UrlOpener current;
  return current;
}

bool isFile(const QString& path) {
  const QFileInfo info(path);
  return info.exists() && info.isFile();
}

}  // namespace

QString FindHelpFile(const QString& programFolder) {
  if (programFolder.isEmpty()) return {};
  const QDir folder(programFolder);
  const QString beside = folder.filePath(QString::fromLatin1(kHelpFile));
  if (isFile(beside)) return QDir::cleanPath(beside);
  const QString installed = folder.filePath(QStringLiteral("../share/lumbrook/") + QString::fromLatin1(kHelpFile));
  if (isFile(installed)) return QDir::cleanPath(installed);
  return {};
}

void setUrlOpener(UrlOpener o) { opener() = std::move(o); }

bool OpenUrl(const QUrl& url) {
  if (opener()) return opener()(url);
  return QDesktopServices::openUrl(url);
}

void ShowHelp(const QString& programFolder) {
  const QString folder = programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : programFolder;
  const QString path = FindHelpFile(folder);
  if (path.isEmpty()) return;
  // A file URL carries blanks and other characters encoded: no quoting.
  OpenUrl(QUrl::fromLocalFile(path));
}

}  // namespace viewer
