#include "loaders.h"

#include "convertorerrors.h"
#include "identity.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace quillon {

namespace {

const QString kLoadSource = QString::fromLatin1(kSourceLoadXML);

bool hasWildcard(const QString& name) { return name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?')); }

// "*" and "?" only; every other character, brackets included, stands for
// itself.
QRegularExpression wildcardPattern(const QString& name) {
  QString re;
  for (QChar c : name) {
    if (c == QLatin1Char('*')) re += QLatin1String(".*");
    else if (c == QLatin1Char('?')) re += QLatin1Char('.');
    else re += QRegularExpression::escape(QString(c));
  }
  return QRegularExpression(QRegularExpression::anchoredPattern(re));
}

bool isPlainVisibleFile(const QFileInfo& info) {
  return !info.fileName().startsWith(QLatin1Char('.')) && info.isFile();
}

}  // namespace

std::unique_ptr<XMLDocument> CreateXMLObject() {
  try {
    return std::make_unique<XMLDocument>();
  } catch (const std::bad_alloc&) {
    RaiseOwnError(errXMLVersionFailed, QString::fromLatin1(kSourceCreateXMLObject));
  }
}

QString ResolveLibraryPath(const QString& path) {
  if (path.startsWith(QLatin1Char('/'))) return path;
  QString relative = path;
  if (relative.startsWith(QLatin1Char('\\'))) relative.remove(0, 1);
  return LibraryFolder() + QLatin1Char('/') + relative;
}

bool FileMatches(const QString& path) {
  if (path.isEmpty()) return false;
  const int slash = path.lastIndexOf(QLatin1Char('/'));
  const QString folder = slash < 0 ? QStringLiteral(".") : (slash == 0 ? QStringLiteral("/") : path.left(slash));
  const QString name = path.mid(slash + 1);
  if (name.isEmpty()) return false;
  if (!hasWildcard(name)) return isPlainVisibleFile(QFileInfo(path));
  const QRegularExpression pattern = wildcardPattern(name);
  const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::NoSort);
  for (const QFileInfo& info : entries)
    if (isPlainVisibleFile(info) && pattern.match(info.fileName()).hasMatch()) return true;
  return false;
}

std::unique_ptr<XMLDocument> LoadXMLFromString(const QString& text) {
  if (text.isEmpty()) return nullptr;
  return translatingErrors([&] {
    std::unique_ptr<XMLDocument> doc = CreateXMLObject();
    doc->setAsync(false);
    if (doc->LoadXML(text)) return doc;
    const ParseErrorInfo& e = doc->ParseError();
    if (e.errorCode != 0)
      throw dataaccess::Error(errXMLload, kLoadSource, QString::number(e.errorCode) + QLatin1Char(':') + e.reason);
    RaiseOwnError(errXMLload, kLoadSource);
  });
}

std::unique_ptr<XMLDocument> LoadXMLFromFile(const QString& path) {
  if (path.isEmpty()) return nullptr;
  return translatingErrors([&] {
    const QString resolved = ResolveLibraryPath(path);
    if (!FileMatches(resolved)) RaiseOwnError(errFilePathFailed, kLoadSource);
    std::unique_ptr<XMLDocument> doc = CreateXMLObject();
    doc->setAsync(false);
    doc->Load(resolved);
    if (doc->ParseError().errorCode != 0) RaiseOwnError(errXMLload, kLoadSource);
    return doc;
  });
}

}  // namespace quillon
