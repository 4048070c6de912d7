#include "filetransaction.h"

#include "error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace dataaccess {

namespace {

[[noreturn]] void fail(const QString& source, const QString& text) {
  throw Error(err::kProviderFailure, source, text);
}

QString errnoText() { return QString::fromLocal8Bit(std::strerror(errno)); }

bool syncFile(const QString& path) {
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

void syncFolder(const QString& folder) {
  const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// A fresh hidden file name beside `path`.
QString siblingName(const QString& path, const char* tag) {
  const QFileInfo fi(path);
  QTemporaryFile t(fi.absolutePath() + QStringLiteral("/.") + fi.fileName() + QLatin1String(tag) +
                   QStringLiteral(".XXXXXX"));
  t.setAutoRemove(false);
  if (!t.open()) return {};
  const QString name = t.fileName();
  t.close();
  return name;
}

}  // namespace

FileTransaction::FileTransaction(QString source) : source_(std::move(source)) {}

FileTransaction::~FileTransaction() {
  for (const Entry& e : entries_) {
    if (!e.copy.isEmpty()) QFile::remove(e.copy);
    if (!e.backup.isEmpty()) QFile::remove(e.backup);
  }
}

QString FileTransaction::stage(const QString& path) {
  const QString abs = QFileInfo(path).absoluteFilePath();
  for (const Entry& e : entries_)
    if (e.original == abs) return e.copy;
  const QFileInfo fi(abs);
  if (!fi.exists() || !fi.isFile()) fail(source_, QStringLiteral("The file '%1' does not exist.").arg(abs));
  // The rename would replace a read-only file too: ask the file itself, and
  // honour a file marked read-only even where the user (root) could write it.
  if (!(fi.permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther)))
    fail(source_, QStringLiteral("The file '%1' is read-only.").arg(abs));
  if (::access(QFile::encodeName(abs).constData(), W_OK) != 0)
    fail(source_, QStringLiteral("The file '%1' is read-only: %2").arg(abs, errnoText()));
  if (::access(QFile::encodeName(fi.absolutePath()).constData(), W_OK) != 0)
    fail(source_, QStringLiteral("The folder of '%1' is not writable: %2").arg(abs, errnoText()));

  Entry e;
  e.original = abs;
  e.copy = siblingName(abs, ".lumbrook");
  if (e.copy.isEmpty()) fail(source_, QStringLiteral("No working copy of '%1' could be created.").arg(abs));
  entries_.push_back(e);  // from here on the destructor removes the copy

  QFile in(abs), out(e.copy);
  if (!in.open(QIODevice::ReadOnly))
    fail(source_, QStringLiteral("The file '%1' could not be read: %2").arg(abs, in.errorString()));
  if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
    fail(source_, QStringLiteral("The file '%1' could not be written: %2").arg(e.copy, out.errorString()));
  QByteArray buffer(1 << 20, Qt::Uninitialized);
  for (;;) {
    const qint64 n = in.read(buffer.data(), buffer.size());
    if (n < 0) fail(source_, QStringLiteral("The file '%1' could not be read: %2").arg(abs, in.errorString()));
    if (n == 0) break;
    if (out.write(buffer.constData(), n) != n)
      fail(source_, QStringLiteral("The file '%1' could not be written: %2").arg(e.copy, out.errorString()));
  }
  if (!out.flush()) fail(source_, QStringLiteral("The file '%1' could not be written: %2").arg(e.copy, out.errorString()));
  out.close();
  QFile::setPermissions(e.copy, fi.permissions());
  return e.copy;
}

bool FileTransaction::replaceFile(const QString& from, const QString& to) {
  return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

void FileTransaction::commit() {
  for (Entry& e : entries_) {
    if (!syncFile(e.copy))
      fail(source_, QStringLiteral("The file '%1' could not be written: %2").arg(e.copy, errnoText()));
    e.backup = siblingName(e.original, ".lumbrook-old");
    if (e.backup.isEmpty()) fail(source_, QStringLiteral("No backup of '%1' could be made.").arg(e.original));
    // A hard link keeps the original content under a second name at no cost.
    QFile::remove(e.backup);
    if (::link(QFile::encodeName(e.original).constData(), QFile::encodeName(e.backup).constData()) != 0 &&
        !QFile::copy(e.original, e.backup))
      fail(source_, QStringLiteral("No backup of '%1' could be made: %2").arg(e.original, errnoText()));
  }
  size_t done = 0;
  for (; done < entries_.size(); ++done) {
    const Entry& e = entries_[done];
    if (!replaceFile(e.copy, e.original)) break;
  }
  if (done < entries_.size()) {
    const QString why = errnoText();
    for (size_t i = 0; i < done; ++i)
      std::rename(QFile::encodeName(entries_[i].backup).constData(), QFile::encodeName(entries_[i].original).constData());
    fail(source_, QStringLiteral("The file '%1' could not be replaced: %2").arg(entries_[done].original, why));
  }
  for (Entry& e : entries_) {
    syncFolder(QFileInfo(e.original).absolutePath());
    QFile::remove(e.backup);
    e.copy.clear();
    e.backup.clear();
  }
}

}  // namespace dataaccess
