# lumbrook_provider(NAME SOURCES ... [LIBS ...])
#   Adds the sources of one data-access provider to the dataaccess library,
#   with the libraries it needs. Providers live in dataaccess/providers/NAME.
function(lumbrook_provider name)
  cmake_parse_arguments(P "" "" "SOURCES;LIBS" ${ARGN})
  target_sources(dataaccess PRIVATE ${P_SOURCES})
  if(P_LIBS)
    target_link_libraries(dataaccess PRIVATE ${P_LIBS})
  endif()
  target_compile_definitions(dataaccess PRIVATE LUMBROOK_HAVE_PROVIDER_${name}=1)
endfunction()

# lumbrook_test(NAME SOURCES ... LIBS ... [MAIN target] [LABELS label] [ENV ...])
#   One GoogleTest executable registered with CTest, test by test. MAIN
#   names the library holding main() (testmain_core by default; widget
#   tests use testmain_gui).
function(lumbrook_test name)
  # GROUPS name=filter ...: instead of one test per case, one test per group
  # of cases (a gtest filter), each run in one process; for a suite of many
  # small data-driven cases, where starting a process per case dominates.
  cmake_parse_arguments(T "" "MAIN;TIMEOUT" "SOURCES;LIBS;LABELS;ENV;GROUPS" ${ARGN})
  if(NOT T_MAIN)
    set(T_MAIN testmain_core)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} testsupport ${T_MAIN} GTest::gtest GTest::gmock)
  # One environment entry per ENV item; the escaped ";" keeps them one value.
  set(env "QT_QPA_PLATFORM=offscreen")
  foreach(e ${T_ENV})
    string(APPEND env "\\;${e}")
  endforeach()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set(props ENVIRONMENT "${env}" TIMEOUT ${T_TIMEOUT})
  if(T_LABELS)
    list(APPEND props LABELS "${T_LABELS}")
  endif()
  if(T_GROUPS)
    foreach(g ${T_GROUPS})
      string(FIND "${g}" "=" eq)
      string(SUBSTRING "${g}" 0 ${eq} gname)
      math(EXPR from "${eq} + 1")
      string(SUBSTRING "${g}" ${from} -1 gfilter)
      add_test(NAME ${name}.${gname} COMMAND ${name} --gtest_filter=${gfilter})
      set_tests_properties(${name}.${gname} PROPERTIES ${props})
    endforeach()
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${props})
  endif()
endfunction()

# lumbrook_lazy_headers(KEY PKG_PREFIX NAME_REGEX SOURCE)
#   For a provider that opens a library at first use (lazylibrary.h) instead
#   of linking it: makes the INTERFACE target lazyheaders_<KEY>, which gives
#   the headers and flags of the pkg-config module found as PKG_PREFIX
#   (pkg_check_modules with IMPORTED_TARGET) but links nothing, and defines
#   LUMBROOK_SONAME_<KEY> (the soname of the module's library file matching
#   NAME_REGEX) for SOURCE, the file of the provider's stand-ins. Pass
#   lazyheaders_<KEY> to lumbrook_provider's LIBS.
function(lumbrook_lazy_headers key prefix regex source)
  set(file "")
  foreach(lib ${${prefix}_LINK_LIBRARIES})
    get_filename_component(base ${lib} NAME)
    if(base MATCHES "${regex}")
      set(file ${lib})
      break()
    endif()
  endforeach()
  set(readelf ${CMAKE_READELF})
  if(NOT readelf)
    set(readelf readelf)
  endif()
  execute_process(COMMAND ${readelf} -d ${file} OUTPUT_VARIABLE dyn ERROR_QUIET)
  if(NOT dyn MATCHES "soname: \\[([^]]+)\\]")
    message(FATAL_ERROR "No soname found for ${key} in '${file}'")
  endif()
  add_library(lazyheaders_${key} INTERFACE)
  get_target_property(dirs PkgConfig::${prefix} INTERFACE_INCLUDE_DIRECTORIES)
  get_target_property(options PkgConfig::${prefix} INTERFACE_COMPILE_OPTIONS)
  if(dirs)
    target_include_directories(lazyheaders_${key} SYSTEM INTERFACE ${dirs})
  endif()
  if(options)
    target_compile_options(lazyheaders_${key} INTERFACE ${options})
  endif()
  target_link_libraries(lazyheaders_${key} INTERFACE ${CMAKE_DL_LIBS})
  set_property(SOURCE ${source} APPEND PROPERTY COMPILE_DEFINITIONS LUMBROOK_SONAME_${key}="${CMAKE_MATCH_1}")
endfunction()
