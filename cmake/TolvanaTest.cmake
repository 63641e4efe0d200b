# tolvana_add_test(name SOURCES ... LIBRARIES ... [QT])
# Registers one GoogleTest executable with CTest. Tests that touch Qt get an
# offscreen platform and a private runtime folder so they run on any machine.
function(tolvana_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} tolvana::test_support
    GTest::gtest GTest::gtest_main tolvana::warnings)
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    # One variable per property: gtest_discover_tests splits a list value
    # into separate arguments, so "A=1;B=2" would lose B.
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
      ENVIRONMENT_MODIFICATION "TOLVANA_TESTDATA=set:${PROJECT_SOURCE_DIR}/testdata"
    DISCOVERY_TIMEOUT 60)
endfunction()
