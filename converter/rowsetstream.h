// The fast path of ADORS_2_XMLString for the attribute (101) and entity
// (103) forms: one streaming pass over the persisted rowset that writes
// exactly the bytes the stylesheet transformation and its serialisation
// would, without building either document. Large tables need a fraction of
// the memory and time of the stylesheet path.
//
// It gives up (returns nothing) whenever the input leaves the plain rowset
// shape it can reproduce exactly: a parse error, a document type
// declaration, entity references, prefixed or namespace attributes on a
// row, a tag longer than 256 KiB (the reader is slow on those). The caller
// then runs the stylesheet path, which handles everything.
#pragma once

#include <QByteArray>
#include <optional>

namespace quillon {

// REQUIRES: style is 101 or 103; `utf8` is cleaned persisted text.
std::optional<QByteArray> streamRowsetTransform(const QByteArray& utf8, int style);

}  // namespace quillon
