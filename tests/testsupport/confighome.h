// Points XDG_CONFIG_HOME (where the settings file lives) at a test's own
// folder for the life of the object and puts the previous value back after.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace testsupport {

class ScopedConfigHome {
 public:
  explicit ScopedConfigHome(const QString& folder) : saved_(qgetenv("XDG_CONFIG_HOME")) {
    qputenv("XDG_CONFIG_HOME", folder.toLocal8Bit());
  }
  ~ScopedConfigHome() { qputenv("XDG_CONFIG_HOME", saved_); }
  ScopedConfigHome(const ScopedConfigHome&) = delete;
  ScopedConfigHome& operator=(const ScopedConfigHome&) = delete;

 private:
  QByteArray saved_;
};

}  // namespace testsupport
