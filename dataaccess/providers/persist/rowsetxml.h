// Reading the classic XML rowset format (see rowsetxmlwriter.h for its
// shape and its writer) back into rows.
#pragma once

#include "../../rowstore.h"

#include <QByteArray>
#include <QString>
#include <memory>

namespace dataaccess {

// Reads a rowset document. Throws Error (kProviderFailure) with a
// description naming `sourceName` when the text is not a well-formed rowset.
// External entities and network access are never used.
std::shared_ptr<RowStore> readRowsetXml(const QByteArray& data, const QString& sourceName);

}  // namespace dataaccess
