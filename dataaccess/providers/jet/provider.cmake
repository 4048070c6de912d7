# Access databases through mdbtools' libmdb (Debian: mdbtools-dev).
pkg_check_modules(LIBMDB IMPORTED_TARGET libmdb glib-2.0)
if(LIBMDB_FOUND)
  lumbrook_provider(jet SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/jetprovider.cpp ${CMAKE_CURRENT_LIST_DIR}/jetprovider.h
    ${CMAKE_CURRENT_LIST_DIR}/mdbfile.cpp ${CMAKE_CURRENT_LIST_DIR}/mdbfile.h
    ${CMAKE_CURRENT_LIST_DIR}/propblocks.cpp ${CMAKE_CURRENT_LIST_DIR}/propblocks.h
    ${CMAKE_CURRENT_LIST_DIR}/querydef.cpp ${CMAKE_CURRENT_LIST_DIR}/querydef.h
    LIBS PkgConfig::LIBMDB)
else()
  message(STATUS "libmdb not found: the jet provider (.mdb) is left out")
endif()
