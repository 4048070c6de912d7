// Writing whole files safely: the data goes to a temporary file in the same
// folder, which then replaces the target by a rename, so a failure midway
// leaves the previous content intact.
#pragma once

#include <QByteArray>
#include <QString>

namespace dataaccess {

// Writes `data` as the whole content of `path`. Throws Error with `source`
// and a description naming the file when it cannot be written.
void writeFileAtomically(const QString& path, const QByteArray& data, const QString& source);

}  // namespace dataaccess
