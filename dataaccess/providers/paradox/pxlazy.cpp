// pxlib, opened when the first Paradox table is (see lazylibrary.h).
#include "../../lazylibrary.h"

extern "C" {
#include <paradox.h>
}

namespace {
dataaccess::LazyLibrary& pxlib() {
  static dataaccess::LazyLibrary library(LUMBROOK_SONAME_pxlib, "the Paradox provider");
  return library;
}
}  // namespace

LUMBROOK_LAZY_FUNCTION(pxlib(), void, PX_boot, (void), ())
LUMBROOK_LAZY_FUNCTION(pxlib(), pxdoc_t*, PX_new, (void), ())
LUMBROOK_LAZY_FUNCTION(pxlib(), void, PX_delete, (pxdoc_t * pxdoc), (pxdoc))
LUMBROOK_LAZY_FUNCTION(pxlib(), int, PX_get_data_bcd, (pxdoc_t * pxdoc, unsigned char* data, int len, char** value),
                       (pxdoc, data, len, value))
LUMBROOK_LAZY_FUNCTION(pxlib(), void, PX_put_data_bcd, (pxdoc_t * pxdoc, char* data, int len, char* value),
                       (pxdoc, data, len, value))
LUMBROOK_LAZY_FUNCTION(pxlib(), void, PX_put_data_byte, (pxdoc_t * pxdoc, char* data, int len, char value),
                       (pxdoc, data, len, value))
LUMBROOK_LAZY_FUNCTION(pxlib(), void, PX_put_data_double, (pxdoc_t * pxdoc, char* data, int len, double value),
                       (pxdoc, data, len, value))
LUMBROOK_LAZY_FUNCTION(pxlib(), void, PX_put_data_long, (pxdoc_t * pxdoc, char* data, int len, int value),
                       (pxdoc, data, len, value))
LUMBROOK_LAZY_FUNCTION(pxlib(), void, PX_put_data_short, (pxdoc_t * pxdoc, char* data, int len, short int value),
                       (pxdoc, data, len, value))
LUMBROOK_LAZY_FUNCTION(pxlib(), pxdoc_t*, PX_new3,
                       (void (*errorhandler)(pxdoc_t* p, int type, const char* msg, void* data),
                        void* (*allocproc)(pxdoc_t* p, size_t size, const char* caller),
                        void* (*reallocproc)(pxdoc_t* p, void* mem, size_t size, const char* caller),
                        void (*freeproc)(pxdoc_t* p, void* mem), void* errorhandler_user_data),
                       (errorhandler, allocproc, reallocproc, freeproc, errorhandler_user_data))
