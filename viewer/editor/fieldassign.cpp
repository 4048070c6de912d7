#include "fieldassign.h"

#include "dataaccess/values.h"

namespace viewer::editor {

void assignFieldText(dataaccess::Field field, const QString& text, const QLocale& locale) {
  field.setValue(dataaccess::coerceValue(QVariant(text), field.Type(), field.Name(), locale));
}

}  // namespace viewer::editor
