// Reading the classic XML rowset format (see rowsetxmlwriter.h for its
// shape and its writer) back into rows.
#pragma once

#include "../../rowstore.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <memory>

namespace dataaccess {

// Reads a rowset document. Throws Error (kProviderFailure) with a
// description naming `sourceName` when the text is not a well-formed rowset.
// External entities and network access are never used.
std::shared_ptr<RowStore> readRowsetXml(const QByteArray& data, const QString& sourceName);
// The same, reading the document from `device` as it goes (a large file is
// never held whole in memory).
std::shared_ptr<RowStore> readRowsetXml(QIODevice& device, const QString& sourceName);

}  // namespace dataaccess
