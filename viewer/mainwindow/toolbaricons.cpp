#include "toolbaricons.h"

#include "toolbarentries.h"

#include <QFile>
#include <QHash>
#include <algorithm>

static void initLumbrookResources() { Q_INIT_RESOURCE(lumbrook); }

namespace viewer {

QString ToolbarIconPath(const QString& key) {
  QString name = key.toLower();
  name.replace(QLatin1Char(' '), QLatin1Char('-'));
  return QStringLiteral(":/icons/") + name + QStringLiteral(".svg");
}

QIcon ToolbarIcon(const QString& key) {
  static QHash<QString, QIcon> cache;
  auto it = cache.constFind(key);
  if (it != cache.constEnd()) return *it;
  const auto& keys = ToolbarImageKeys();
  if (std::find(keys.begin(), keys.end(), key) == keys.end()) return {};
  initLumbrookResources();
  QIcon icon(ToolbarIconPath(key));
  cache.insert(key, icon);
  return icon;
}

QIcon ProgramIcon() {
  initLumbrookResources();
  return QIcon(QStringLiteral(":/icons/lumbrook.svg"));
}

}  // namespace viewer
