#include "recentfiles.h"

#include "settings.h"

#include <QDir>
#include <QFileInfo>
#include <exception>

namespace viewer {

namespace {

QString slotName(int i) { return QStringLiteral("RecentFile%1").arg(i + 1); }

QString normalized(const QString& path) { return QDir::cleanPath(path); }

bool fileExists(const QString& path) {
  const QFileInfo info(path);
  return info.exists() && !info.isDir();
}

QStringList storedList() {
  const QString key = QString::fromLatin1(kSettingsKey);
  QStringList list;
  for (int i = 0; i < kMaxRecentFiles; ++i) list << ReadSetting(key, slotName(i), QString());
  return list;
}

}  // namespace

QStringList PushRecentFile(const QStringList& list, const QString& path) {
  if (path.isEmpty()) return list;
  const QString front = normalized(path);
  QStringList out{front};
  for (const QString& entry : list) {
    if (out.size() >= kMaxRecentFiles) break;
    if (entry.isEmpty() || normalized(entry) == front) continue;
    out << entry;
  }
  return out;
}

QStringList PruneRecentFiles(const QStringList& list, const std::function<bool(const QString&)>& exists) {
  QStringList out;
  for (const QString& entry : list) {
    if (out.size() >= kMaxRecentFiles) break;
    const QString path = normalized(entry);
    if (entry.isEmpty() || out.contains(path) || !exists(path)) continue;
    out << path;
  }
  return out;
}

QStringList RecentFiles() { return PruneRecentFiles(storedList(), fileExists); }

void AddRecentFile(const QString& path) {
  if (path.isEmpty()) return;
  const QStringList stored = storedList();
  const QStringList list = PushRecentFile(PruneRecentFiles(stored, fileExists), path);
  const QString key = QString::fromLatin1(kSettingsKey);
  QList<std::pair<QString, QString>> changed;
  for (int i = 0; i < kMaxRecentFiles; ++i) {
    const QString value = i < list.size() ? list[i] : QString();
    if (value != stored[i]) changed.append({slotName(i), value});
  }
  if (changed.isEmpty()) return;
  try {
    // One replacement of the settings file for the whole list.
    RegSetKeyValues(Hive::CurrentUser, key, changed);
  } catch (const std::exception&) {
  }
}

}  // namespace viewer
