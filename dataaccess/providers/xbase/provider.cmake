# dBase/FoxPro tables through shapelib's DBF API (libshp-dev).
pkg_check_modules(SHAPELIB IMPORTED_TARGET shapelib)
if(NOT SHAPELIB_FOUND)
  message(STATUS "shapelib not found: the xbase provider is left out")
  return()
endif()
set(_xb ${CMAKE_CURRENT_LIST_DIR})
# shapelib is opened when the first table is.
lumbrook_lazy_headers(shapelib SHAPELIB "^libshp\\." ${_xb}/shplazy.cpp)
lumbrook_provider(xbase SOURCES
  ${_xb}/xbaseprovider.cpp ${_xb}/xbaseprovider.h
  ${_xb}/dbftable.cpp ${_xb}/dbftable.h
  ${_xb}/dbccontainer.cpp ${_xb}/dbccontainer.h
  ${_xb}/memofile.cpp ${_xb}/memofile.h
  ${_xb}/shplazy.cpp
  LIBS lazyheaders_shapelib)
