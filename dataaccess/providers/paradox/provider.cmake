# Paradox tables through pxlib (pxlib-dev), with the project's own .MB
# reader. Shares the file-transaction helper of the xbase
# provider's folder.
pkg_check_modules(PXLIB IMPORTED_TARGET pxlib)
if(NOT PXLIB_FOUND)
  message(STATUS "pxlib not found: the paradox provider is left out")
  return()
endif()
set(_px ${CMAKE_CURRENT_LIST_DIR})
get_filename_component(_xb ${CMAKE_CURRENT_LIST_DIR}/../xbase ABSOLUTE)
set(_px_sources
  ${_px}/paradoxprovider.cpp ${_px}/paradoxprovider.h
  ${_px}/paradoxtable.cpp ${_px}/paradoxtable.h
  ${_px}/paradoxformat.cpp ${_px}/paradoxformat.h
  ${_px}/mbfile.cpp ${_px}/mbfile.h
  ${_px}/pxlazy.cpp)
# The shared helpers are already in the library when the xbase provider is.
get_target_property(_da_sources dataaccess SOURCES)
if(NOT "${_xb}/filetransaction.cpp" IN_LIST _da_sources)
  list(APPEND _px_sources ${_xb}/filetransaction.cpp ${_xb}/filetransaction.h)
endif()
# pxlib (and the libgsf it brings) is opened when the first table is.
lumbrook_lazy_headers(pxlib PXLIB "^libpx\\." ${_px}/pxlazy.cpp)
lumbrook_provider(paradox SOURCES ${_px_sources} LIBS lazyheaders_pxlib)
