# Excel workbooks: the compound document through libgsf (Debian:
# libgsf-1-dev), the BIFF records by the provider's own reader.
pkg_check_modules(LIBGSF IMPORTED_TARGET libgsf-1)
if(LIBGSF_FOUND)
  lumbrook_provider(excel SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/excelprovider.cpp ${CMAKE_CURRENT_LIST_DIR}/excelprovider.h
    ${CMAKE_CURRENT_LIST_DIR}/biffrecords.cpp ${CMAKE_CURRENT_LIST_DIR}/biffrecords.h
    ${CMAKE_CURRENT_LIST_DIR}/sheetreader.cpp ${CMAKE_CURRENT_LIST_DIR}/sheetreader.h
    ${CMAKE_CURRENT_LIST_DIR}/sheettable.cpp ${CMAKE_CURRENT_LIST_DIR}/sheettable.h
    ${CMAKE_CURRENT_LIST_DIR}/workbook.cpp ${CMAKE_CURRENT_LIST_DIR}/workbook.h
    LIBS PkgConfig::LIBGSF)
else()
  message(STATUS "libgsf not found: the excel provider (.xls) is left out")
endif()
