# add_ledgerdesk_test(name SOURCES files... LIBS libs... [GUI] [SERIAL])
# SERIAL: its cases load the whole machine and run while no other test does.
# One GoogleTest executable; its cases are listed for CTest when CTest runs, so a
# test that needs a window or a service is not started at build time.
function(add_ledgerdesk_test name)
  cmake_parse_arguments(T "GUI;SERIAL" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main ledgerdesk_common)
  set(env "")
  if(LEDGERDESK_TSAN)
    # Inherited by the services a test starts, which are instrumented too.
    list(APPEND env "TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/tsan.supp")
  endif()
  if(T_GUI)
    list(APPEND env "QT_QPA_PLATFORM=offscreen" "LEDGERDESK_SCREENSHOTS=${PROJECT_BINARY_DIR}/screenshots")
  endif()
  # gtest_discover_tests passes only the first entry of an ENVIRONMENT list, so every run of the
  # executable (listing included) goes through `cmake -E env` instead.
  set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR "${CMAKE_COMMAND};-E;env;${env}")
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 30
    PROPERTIES TIMEOUT 300 RUN_SERIAL ${T_SERIAL})
endfunction()
