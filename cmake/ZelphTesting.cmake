# Test executables. Each registers as one ctest test; CONCURRENT marks the tests that
# also run in the thread-sanitizer build (target "concurrent_tests").
include(CTest)
include(GoogleTest)

define_property(GLOBAL PROPERTY ZELPH_CONCURRENT_TESTS
  BRIEF_DOCS "test targets run under the thread sanitizer" FULL_DOCS "see zelph_add_test")

function(zelph_add_test name)
  cmake_parse_arguments(ARG "CONCURRENT" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE GTest::gtest_main GTest::gmock ${ARG_LIBS})
  add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  if(ARG_CONCURRENT)
    set_tests_properties(${name} PROPERTIES LABELS concurrent)
    set_property(GLOBAL APPEND PROPERTY ZELPH_CONCURRENT_TESTS ${name})
  endif()
endfunction()

function(zelph_finish_testing)
  get_property(targets GLOBAL PROPERTY ZELPH_CONCURRENT_TESTS)
  add_custom_target(concurrent_tests)
  if(targets)
    add_dependencies(concurrent_tests ${targets})
  endif()
endfunction()
