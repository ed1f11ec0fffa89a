# Test executables. Each registers as one ctest test; CONCURRENT marks the tests that
# also run in the thread-sanitizer build (target "concurrent_tests").
#
# OWN_PROCESS names gtest cases ("Suite.Case") that leave a process-wide object changed for
# good: each runs as a ctest test of its own ("<name>/Suite.Case"), and the main entry runs the
# other cases. So every entry passes whatever order its cases run in.
include(CTest)
include(GoogleTest)

define_property(GLOBAL PROPERTY ZELPH_CONCURRENT_TESTS
  BRIEF_DOCS "test targets run under the thread sanitizer" FULL_DOCS "see zelph_add_test")

function(zelph_add_test name)
  cmake_parse_arguments(ARG "CONCURRENT" "" "SOURCES;LIBS;OWN_PROCESS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE GTest::gtest_main GTest::gmock ${ARG_LIBS})
  set(entries ${name})
  set(filter "")
  if(ARG_OWN_PROCESS)
    list(JOIN ARG_OWN_PROCESS ":" own_cases)
    set(filter --gtest_filter=-${own_cases})
    foreach(case IN LISTS ARG_OWN_PROCESS)
      add_test(NAME ${name}/${case} COMMAND ${name} --gtest_filter=${case}
               WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
      # A misspelt case would select nothing and pass.
      set_tests_properties(${name}/${case} PROPERTIES FAIL_REGULAR_EXPRESSION "Running 0 tests")
      list(APPEND entries ${name}/${case})
    endforeach()
  endif()
  add_test(NAME ${name} COMMAND ${name} ${filter} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  if(ARG_CONCURRENT)
    set_tests_properties(${entries} PROPERTIES LABELS concurrent)
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
