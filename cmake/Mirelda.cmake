# Build helpers shared by every module.

# Gives TARGET the headers under src/ named by PATHS (folders or single headers, relative to src/)
# and no others, so that its sources and, with SCOPE PUBLIC or INTERFACE, its dependants keep
# writing "folder/file.h" while a module that does not link TARGET cannot reach them. Each target
# gets a folder of its own in the build tree holding symbolic links to exactly those paths.
function(mirelda_module_headers target scope)
  set(root ${PROJECT_BINARY_DIR}/module-includes/${target})
  file(REMOVE_RECURSE ${root})
  foreach(path IN LISTS ARGN)
    if(NOT EXISTS ${PROJECT_SOURCE_DIR}/src/${path})
      message(FATAL_ERROR "${target} names src/${path}, which does not exist")
    endif()
    get_filename_component(parent ${root}/${path} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${path} ${root}/${path} SYMBOLIC)
  endforeach()
  target_include_directories(${target} ${scope} $<BUILD_INTERFACE:${root}>)
endfunction()

# An in-process server library NAME (libNAME.so) made of the objects of OBJECTS_TARGET. Only the
# entry points and the public API are exported from it. Tests that reach the internals link
# OBJECTS_TARGET itself: linking an object library adds all its objects to the target that links it
# (and to no other), static initialisers included.
function(mirelda_server_library name objects_target)
  add_library(${name} SHARED)
  target_link_libraries(${name} PRIVATE ${objects_target})
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
