// The attribute (101) and entity (103) shapes written straight from a
// recordset's rows, without the persisted text, a document or a
// stylesheet. The bytes are those of the stylesheet path (persist, clean,
// parse, transform, serialise, encode), and the text goes to the device in
// pieces as it is made, so memory does not grow with the rows.
//
// What the stylesheet path does to a value, and so what this writer does:
// a tab is dropped (the persisted text writes it as a reference the
// cleaning removes), other control characters and U+FFFE/U+FFFF become
// U+FFFD, bytes that are not UTF-8 are decoded as the persisted stream
// decodes them, and the serialiser's escaping applies ("&#10;" and "&#13;"
// for line breaks in attributes, a raw line feed in element text).
#pragma once

#include "quillonglobal.h"

#include "dataaccess/rowsview.h"

#include <QIODevice>
#include <QString>

namespace quillon {

// Writes the declaration line naming `encoding` (none when empty) and the
// <RS> element of `rows` in `style` (101 or 103) to `out`, in `encoding`.
// Throws dataaccess::Error for an unknown encoding, for a column name that
// encoding cannot hold (before anything is written) and when `out` fails.
QUILLON_EXPORT void writeRowsetShape(const dataaccess::RowsView& rows, int style, const QString& encoding,
                                     QIODevice& out);

}  // namespace quillon
