#include "stylesheets.h"

#include "dataaccess/error.h"

namespace quillon {

QString StylesheetText(int id) {
  switch (id) {
    case 101: return QString::fromUtf8(detail::kStylesheet101);
    case 102: return QString::fromUtf8(detail::kStylesheet102);
    case 103: return QString::fromUtf8(detail::kStylesheet103);
    default:
      throw dataaccess::Error(kErrResourceNotFound, QStringLiteral("Quillon.LoadResString"),
                              QStringLiteral("Resource with identifier '%1' not found").arg(id));
  }
}

}  // namespace quillon
