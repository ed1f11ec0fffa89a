# Workers, models, links, events and statistics of the data-process model, with their tests
# and the test model that chain and plug-in tests reuse. Included from CMakeLists.txt.
target_sources(zelph-chain PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/src/base_control.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/data_process.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/data_process_model_base.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/data_process_properties.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/data_process_unknown.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/event.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/event_bus.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/execution_stage.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/link.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/model_structure.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/property_keys.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/query_interface.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/statistic.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/transmitter.cpp)

# A small model with scripted workers (pass-through, failing, repeat-once, slow) for tests.
add_library(zelph-chain-test-support STATIC ${CMAKE_CURRENT_LIST_DIR}/tests/test_model.cpp)
target_include_directories(zelph-chain-test-support PUBLIC ${CMAKE_CURRENT_LIST_DIR}/tests)
target_link_libraries(zelph-chain-test-support PUBLIC zelph-chain)

if(BUILD_TESTING)
  set(ZELPH_MODEL_TESTS ${CMAKE_CURRENT_LIST_DIR}/tests)
  zelph_add_test(worker_tests CONCURRENT
    SOURCES ${ZELPH_MODEL_TESTS}/model_structure_test.cpp
            ${ZELPH_MODEL_TESTS}/data_process_test.cpp
            ${ZELPH_MODEL_TESTS}/data_process_properties_test.cpp
            ${ZELPH_MODEL_TESTS}/data_process_model_test.cpp
            ${ZELPH_MODEL_TESTS}/link_test.cpp
            ${ZELPH_MODEL_TESTS}/worker_chain_test.cpp
            ${ZELPH_MODEL_TESTS}/event_bus_test.cpp
            ${ZELPH_MODEL_TESTS}/statistic_test.cpp
    LIBS zelph-chain-test-support)
  target_include_directories(worker_tests PRIVATE ${CMAKE_SOURCE_DIR}/zelph-logger/tests)
endif()
