#include "identity.h"

#include "convertor.h"
#include "dictionaries.h"

#include <QFileInfo>
#include <dlfcn.h>

namespace quillon {

QuillonObject::~QuillonObject() = default;

namespace {

bool sameId(const QString& given, const char* id) {
  QString g = given.trimmed();
  const QString canonical = QString::fromLatin1(id);
  if (!g.startsWith(QLatin1Char('{'))) g = QLatin1Char('{') + g + QLatin1Char('}');
  return g.compare(canonical, Qt::CaseInsensitive) == 0;
}

bool sameProgId(const QString& given, const char* progId) {
  return given.trimmed().compare(QLatin1String(progId), Qt::CaseInsensitive) == 0;
}

}  // namespace

std::shared_ptr<QuillonObject> CreateObject(const QString& name) {
  if (sameProgId(name, kProgIdConvertor) || sameId(name, kClsidConvertor)) return std::make_shared<Convertor>();
  if (sameProgId(name, kProgIdDictionaries) || sameId(name, kClsidDictionaries))
    return std::make_shared<cDictionaries>();
  if (sameProgId(name, kProgIdDictionary) || sameId(name, kClsidDictionary)) return std::make_shared<cDictionary>();
  throw dataaccess::Error(kErrCannotCreateObject, QStringLiteral("Quillon.CreateObject"),
                          QStringLiteral("ActiveX component can't create object: '%1'.").arg(name));
}

QString LibraryFolder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<const void*>(&LibraryFolder), &info) && info.dli_fname)
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).canonicalPath();
  return QFileInfo(QStringLiteral(".")).absoluteFilePath();
}

}  // namespace quillon
