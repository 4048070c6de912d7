# Paradox tables through pxlib (pxlib-dev), with the project's own .MB
# reader.
pkg_check_modules(PXLIB IMPORTED_TARGET pxlib)
if(NOT PXLIB_FOUND)
  message(STATUS "pxlib not found: the paradox provider is left out")
  return()
endif()
set(_px ${CMAKE_CURRENT_LIST_DIR})
set(_px_sources
  ${_px}/paradoxprovider.cpp ${_px}/paradoxprovider.h
  ${_px}/paradoxtable.cpp ${_px}/paradoxtable.h
  ${_px}/paradoxformat.cpp ${_px}/paradoxformat.h
  ${_px}/mbfile.cpp ${_px}/mbfile.h
  ${_px}/pxlazy.cpp)
# pxlib (and the libgsf it brings) is opened when the first table is.
lumbrook_lazy_headers(pxlib PXLIB "^libpx\\." ${_px}/pxlazy.cpp)
lumbrook_provider(paradox SOURCES ${_px_sources} LIBS lazyheaders_pxlib)
