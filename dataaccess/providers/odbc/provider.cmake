# The odbc provider: data links to any database with an ODBC driver, through
# unixODBC. Left out (with a message) when unixODBC's headers are missing.
pkg_check_modules(ODBC QUIET IMPORTED_TARGET odbc)
if(NOT ODBC_FOUND)
  find_path(ODBC_INCLUDE_DIR sql.h)
  find_library(ODBC_LIBRARY odbc)
endif()
if(ODBC_FOUND OR (ODBC_INCLUDE_DIR AND ODBC_LIBRARY))
  set(_odbc_dir ${CMAKE_CURRENT_LIST_DIR})
  if(ODBC_FOUND)
    set(_odbc_libs PkgConfig::ODBC)
  else()
    set(_odbc_libs ${ODBC_LIBRARY})
    target_include_directories(dataaccess PRIVATE ${ODBC_INCLUDE_DIR})
  endif()
  lumbrook_provider(odbc
    SOURCES
      ${_odbc_dir}/odbcprovider.h ${_odbc_dir}/odbcproviderimpl.h ${_odbc_dir}/odbcprovider.cpp
      ${_odbc_dir}/odbcupdate.cpp
      ${_odbc_dir}/odbcconnection.h ${_odbc_dir}/odbcconnection.cpp
      ${_odbc_dir}/odbcfetch.h ${_odbc_dir}/odbcfetch.cpp
      ${_odbc_dir}/odbcblocks.h ${_odbc_dir}/odbcblocks.cpp
      ${_odbc_dir}/odbcsupport.h ${_odbc_dir}/odbcsupport.cpp
      ${_odbc_dir}/linkpolicy.h ${_odbc_dir}/linkpolicy.cpp
    LIBS ${_odbc_libs})
else()
  message(STATUS "odbc provider left out: unixODBC (unixodbc-dev) not found")
endif()
