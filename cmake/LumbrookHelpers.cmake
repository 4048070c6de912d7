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
  cmake_parse_arguments(T "" "MAIN" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
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
  set(props ENVIRONMENT "${env}" TIMEOUT 300)
  if(T_LABELS)
    list(APPEND props LABELS "${T_LABELS}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${props})
endfunction()
