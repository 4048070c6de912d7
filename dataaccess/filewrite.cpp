#include "filewrite.h"

#include "error.h"

#include <QSaveFile>

namespace dataaccess {

void writeFileAtomically(const QString& path, const QByteArray& data, const QString& source) {
  QSaveFile f(path);
  if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.commit())
    throw Error(err::kProviderFailure, source,
                QStringLiteral("The file '%1' could not be written: %2").arg(path, f.errorString()));
}

}  // namespace dataaccess
