# The odbc provider: data links to any database with an ODBC driver, through
# unixODBC. Left out (with a message) when unixODBC's headers are missing.
# libodbc is opened when the first data link connects (odbclazy.cpp), so a
# program reading only files never maps it; it is found through pkg-config
# (unixodbc-dev ships odbc.pc), which gives the headers and the soname.
pkg_check_modules(ODBC QUIET IMPORTED_TARGET odbc)
if(ODBC_FOUND)
  set(_odbc_dir ${CMAKE_CURRENT_LIST_DIR})
  lumbrook_lazy_headers(odbc ODBC "^libodbc\\." ${_odbc_dir}/odbclazy.cpp)
  set(_odbc_libs lazyheaders_odbc)
  lumbrook_provider(odbc
    SOURCES
      ${_odbc_dir}/odbcprovider.h ${_odbc_dir}/odbcproviderimpl.h ${_odbc_dir}/odbcprovider.cpp
      ${_odbc_dir}/odbcupdate.cpp
      ${_odbc_dir}/odbcconnection.h ${_odbc_dir}/odbcconnection.cpp
      ${_odbc_dir}/odbcfetch.h ${_odbc_dir}/odbcfetch.cpp
      ${_odbc_dir}/odbcblocks.h ${_odbc_dir}/odbcblocks.cpp
      ${_odbc_dir}/odbcsupport.h ${_odbc_dir}/odbcsupport.cpp
      ${_odbc_dir}/linkpolicy.h ${_odbc_dir}/linkpolicy.cpp
      ${_odbc_dir}/odbclazy.cpp
    LIBS ${_odbc_libs})
else()
  message(STATUS "odbc provider left out: unixODBC (unixodbc-dev, odbc.pc) not found")
endif()
