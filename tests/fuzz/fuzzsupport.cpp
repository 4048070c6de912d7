#include "fuzzsupport.h"

#include <QDir>
#include <QFile>
#include <cstdlib>
#include <unistd.h>

namespace fuzz {

std::vector<QByteArray> splitInput(const uint8_t* data, size_t size, int parts) {
  const QByteArray all(reinterpret_cast<const char*>(data), qsizetype(size));
  const QByteArray sep(kSeparator);
  std::vector<QByteArray> out;
  qsizetype from = 0;
  for (int i = 0; i + 1 < parts; ++i) {
    const qsizetype at = all.indexOf(sep, from);
    if (at < 0) break;
    out.push_back(all.mid(from, at - from));
    from = at + sep.size();
  }
  out.push_back(all.mid(from));
  while (int(out.size()) < parts) out.emplace_back();
  return out;
}

namespace {
QString g_folder;

void removeFolder() {
  if (!g_folder.isEmpty()) QDir(g_folder).removeRecursively();
}
}  // namespace

const QString& scratchFolder() {
  if (g_folder.isEmpty()) {
    const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    g_folder = QStringLiteral("%1/lumbrook-fuzz-%2").arg(base).arg(getpid());
    QDir().mkpath(g_folder);
    std::atexit(removeFolder);
  }
  return g_folder;
}

QString writeScratch(const QString& name, const QByteArray& bytes) {
  const QString path = scratchFolder() + QLatin1Char('/') + name;
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) abort();
  return path;
}

void clearScratch() {
  QDir dir(scratchFolder());
  for (const QString& n : dir.entryList(QDir::Files | QDir::Hidden)) dir.remove(n);
}

}  // namespace fuzz
