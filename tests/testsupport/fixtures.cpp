#include "fixtures.h"

#include <QDir>
#include <QFileInfo>

namespace testsupport {

QString fixture(const QString& relative) {
  QString base = qEnvironmentVariable("LUMBROOK_FIXTURES");
  if (base.isEmpty()) base = QStringLiteral(LUMBROOK_SOURCE_DIR "/../shared/fixtures");
  const QString p = QDir(base).filePath(relative);
  return QFileInfo::exists(p) ? QFileInfo(p).absoluteFilePath() : QString();
}

}  // namespace testsupport
