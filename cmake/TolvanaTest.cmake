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

# tolvana_add_qt_test(name SOURCES ... LIBRARIES ...)
# Registers one Qt Test executable (QTEST_MAIN) with CTest: widgets are driven
# on the offscreen platform, with a private runtime folder as Qt wants it.
set(TOLVANA_TEST_RUNTIME_DIR ${CMAKE_BINARY_DIR}/test-runtime)
file(MAKE_DIRECTORY ${TOLVANA_TEST_RUNTIME_DIR})
file(CHMOD ${TOLVANA_TEST_RUNTIME_DIR} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
function(tolvana_add_qt_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
  find_package(Qt6 REQUIRED COMPONENTS Test)
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} Qt6::Test tolvana::warnings)
  add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  # A test function that hangs (a modal dialog nobody answers) fails after a
  # minute instead of Qt Test's five.
  set_tests_properties(${name} PROPERTIES ENVIRONMENT
    "QT_QPA_PLATFORM=offscreen;QTEST_FUNCTION_TIMEOUT=60000;XDG_RUNTIME_DIR=${TOLVANA_TEST_RUNTIME_DIR};TOLVANA_TESTDATA=${PROJECT_SOURCE_DIR}/testdata")
endfunction()
