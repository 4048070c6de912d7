#include "fixtures.h"

#include <QDir>
#include <QFileInfo>
#include <atomic>
#include <cstdio>
#include <gtest/gtest.h>

namespace testsupport {

QString fixture(const QString& relative) {
  QString base = qEnvironmentVariable("LUMBROOK_FIXTURES");
  if (base.isEmpty()) base = QStringLiteral(LUMBROOK_SOURCE_DIR "/../shared/fixtures");
  if (!QFileInfo(base).isDir()) {
    // A checkout without the real files: their tests skip, and say why once.
    static std::atomic<bool> said{false};
    if (!said.exchange(true))
      std::fprintf(stderr, "fixtures folder '%s' not found: tests of real files skip\n", qPrintable(base));
    return QString();
  }
  const QString p = QDir(base).filePath(relative);
  if (!QFileInfo::exists(p)) {
    // The folder is there, so a file a test names and cannot find is a
    // fault of the test or of the folder, never a reason to pass.
    ADD_FAILURE() << "fixture missing: " << qPrintable(p);
    return QString();
  }
  return QFileInfo(p).absoluteFilePath();
}

}  // namespace testsupport
