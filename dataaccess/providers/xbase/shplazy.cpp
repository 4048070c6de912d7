// shapelib's DBF functions, opened when the first dBase table is (see
// lazylibrary.h).
#include "../../lazylibrary.h"

#include <shapefil.h>

namespace {
dataaccess::LazyLibrary& shapelib() {
  static dataaccess::LazyLibrary library(LUMBROOK_SONAME_shapelib, "the dBase/FoxPro provider");
  return library;
}
}  // namespace

LUMBROOK_LAZY_FUNCTION(shapelib(), void, SASetupDefaultHooks, (SAHooks * psHooks), (psHooks))
LUMBROOK_LAZY_FUNCTION(shapelib(), DBFHandle, DBFOpenLL,
                       (const char* pszDBFFile, const char* pszAccess, SAHooks* psHooks),
                       (pszDBFFile, pszAccess, psHooks))
LUMBROOK_LAZY_FUNCTION(shapelib(), void, DBFClose, (DBFHandle hDBF), (hDBF))
LUMBROOK_LAZY_FUNCTION(shapelib(), const char*, DBFReadTuple, (DBFHandle psDBF, int hEntity), (psDBF, hEntity))
LUMBROOK_LAZY_FUNCTION(shapelib(), int, DBFWriteTuple, (DBFHandle psDBF, int hEntity, void* pRawTuple),
                       (psDBF, hEntity, pRawTuple))
LUMBROOK_LAZY_FUNCTION(shapelib(), void, DBFSetLastModifiedDate, (DBFHandle psDBF, int nYYSince1900, int nMM, int nDD),
                       (psDBF, nYYSince1900, nMM, nDD))
