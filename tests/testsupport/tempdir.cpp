#include "tempdir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace testsupport {

TempDir::TempDir() { EXPECT_TRUE(dir_.isValid()); }

QString TempDir::write(const QString& name, const QByteArray& bytes) const {
  const QString p = file(name);
  QDir().mkpath(QFileInfo(p).absolutePath());
  QFile f(p);
  EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << p.toStdString();
  f.write(bytes);
  return p;
}

QByteArray TempDir::read(const QString& name) const {
  QFile f(name.startsWith('/') ? name : file(name));
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

}  // namespace testsupport
