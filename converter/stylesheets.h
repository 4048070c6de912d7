// The built-in stylesheets, held as text resources whose identifiers are
// the non-zero XMLRecordsetENUM values (101 attribute form, 102 attribute
// form with an inline schema, 103 entity form). Their sources are
// converter/stylesheets/<id>.xsl.
#pragma once

#include "quillonglobal.h"

#include <QString>

namespace quillon {

// Error number when no resource has the asked identifier (the classic
// "Resource with identifier not found", 326).
inline constexpr int32_t kErrResourceNotFound = -2146827962;

// The stylesheet text of resource `id`. Throws dataaccess::Error
// (kErrResourceNotFound) for any other identifier.
QUILLON_EXPORT QString StylesheetText(int id);

namespace detail {
extern const char* const kStylesheet101;
extern const char* const kStylesheet102;
extern const char* const kStylesheet103;
}  // namespace detail

}  // namespace quillon
