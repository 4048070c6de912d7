// Export macro of the Quillon library (libquillon.so). Everything else in
// the library is hidden, including the data-access code linked into it.
#pragma once

#include <QtGlobal>

#if defined(QUILLON_BUILDING_LIBRARY)
#define QUILLON_EXPORT Q_DECL_EXPORT
#else
#define QUILLON_EXPORT Q_DECL_IMPORT
#endif
