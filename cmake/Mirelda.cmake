# Build helpers shared by every module.

# An in-process server library NAME (libNAME.so) made of the objects of OBJECTS_TARGET. Only the
# entry points and the public API are exported from it. Tests that reach the internals link
# OBJECTS_TARGET itself: linking an object library adds all its objects to the target that links it
# (and to no other), static initialisers included.
function(mirelda_server_library name objects_target)
  add_library(${name} SHARED)
  target_link_libraries(${name} PUBLIC ${objects_target})
endfunction()

# A GoogleTest executable; each test case becomes a CTest test. Extra arguments after LIBS are
# linked, after PROPERTIES are set on every test (fixtures, labels, timeouts).
function(mirelda_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/tests
    PROPERTIES ENVIRONMENT "MIRELDA_BUILD_DIR=${PROJECT_BINARY_DIR}" ${ARG_PROPERTIES})
endfunction()
