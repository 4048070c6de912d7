# Excel workbooks: the compound document through libgsf (Debian:
# libgsf-1-dev), the BIFF records by the provider's own reader.
# libgsf (with GIO, libxml2 and more) is opened when the first workbook is;
# GLib, which it also uses, is linked.
pkg_check_modules(LIBGSF IMPORTED_TARGET libgsf-1)
pkg_check_modules(GLIB2 IMPORTED_TARGET glib-2.0)
if(LIBGSF_FOUND AND GLIB2_FOUND)
  lumbrook_lazy_headers(gsf LIBGSF "^libgsf-1\\." ${CMAKE_CURRENT_LIST_DIR}/gsflazy.cpp)
  lumbrook_provider(excel SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/excelprovider.cpp ${CMAKE_CURRENT_LIST_DIR}/excelprovider.h
    ${CMAKE_CURRENT_LIST_DIR}/biffrecords.cpp ${CMAKE_CURRENT_LIST_DIR}/biffrecords.h
    ${CMAKE_CURRENT_LIST_DIR}/sheetreader.cpp ${CMAKE_CURRENT_LIST_DIR}/sheetreader.h
    ${CMAKE_CURRENT_LIST_DIR}/sheettable.cpp ${CMAKE_CURRENT_LIST_DIR}/sheettable.h
    ${CMAKE_CURRENT_LIST_DIR}/workbook.cpp ${CMAKE_CURRENT_LIST_DIR}/workbook.h
    ${CMAKE_CURRENT_LIST_DIR}/gsflazy.cpp
    LIBS lazyheaders_gsf PkgConfig::GLIB2)
else()
  message(STATUS "libgsf not found: the excel provider (.xls) is left out")
endif()
