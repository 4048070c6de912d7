// A temporary folder for one test, removed afterwards, with helpers to
// write files into it.
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace testsupport {

class TempDir {
 public:
  TempDir();
  // Absolute path of the folder, without a trailing "/".
  QString path() const { return dir_.path(); }
  // Absolute path of `name` inside the folder.
  QString file(const QString& name) const { return dir_.filePath(name); }
  // Writes `bytes` to `name` (creating sub-folders) and returns its path.
  QString write(const QString& name, const QByteArray& bytes) const;
  QByteArray read(const QString& name) const;

 private:
  QTemporaryDir dir_;
};

}  // namespace testsupport
