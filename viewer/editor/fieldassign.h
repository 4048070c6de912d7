// The one way a user's text goes into a field: the text is read by the
// field's type in the user's locale (numbers with the locale's point, dates
// in the locale's short form or ISO, Booleans as -1/0/True/False, an empty
// text as Null for non-text fields) and kept as a pending change of the
// current record. lumbrook-cli edit and the record editor both use it.
#pragma once

#include "dataaccess/recordset.h"

#include <QLocale>
#include <QString>

namespace viewer::editor {

// Throws dataaccess::Error when the text does not convert to the field's
// type, the recordset cannot be updated or has no current record.
void assignFieldText(dataaccess::Field field, const QString& text, const QLocale& locale = QLocale());

}  // namespace viewer::editor
