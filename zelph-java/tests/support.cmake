# What the Java tests and benchmarks share: the test models, a model API without
# Parameters.setLong and Previewable, and the support code that makes product homes (with or
# without the plug-in), starts the VM from one, drives models without a Java worker, and
# feeds and reads the workers of the loaded plug-in. Included by zelph-java's
# CMakeLists whether or not tests are built, since the benchmarks use it too.

set(ZELPH_JAVA_TESTS_DIR ${CMAKE_CURRENT_LIST_DIR}/java)
set(ZELPH_JAVA_TEST_CLASSES ${ZELPH_JAVA_TESTS_DIR}/net/morvex/executors/tests)
set(test_models Echo Faulty InputWriter MatInvert NoOp NotAModel NumbersScale ParameterProbe Pass Preview
                Repeat ScalarJoin Slow Lingering)
set(test_model_sources "")
set(test_model_descriptions "")
foreach(model ${test_models})
  list(APPEND test_model_sources ${ZELPH_JAVA_TEST_CLASSES}/${model}.java)
  list(APPEND test_model_descriptions ${ZELPH_JAVA_TEST_CLASSES}/${model}.json)
endforeach()
add_jar(zelph-java-test-models
  SOURCES ${test_model_sources} ${ZELPH_JAVA_TEST_CLASSES}/JavaThreads.java
          ${ZELPH_JAVA_TEST_CLASSES}/DirectMemory.java ${ZELPH_JAVA_TEST_CLASSES}/JniReferences.java
          ${ZELPH_JAVA_TEST_CLASSES}/MatProbe.java
          ${ZELPH_JAVA_TEST_CLASSES}/OddData.java
          ${ZELPH_JAVA_TEST_CLASSES}/Throwers.java
  RESOURCES NAMESPACE "net/morvex/executors/tests" ${test_model_descriptions}
            NAMESPACE "META-INF/services"
              ${ZELPH_JAVA_TESTS_DIR}/META-INF/services/net.morvex.executors.api.ExecutionBlock
  INCLUDE_JARS zelph-executors-api)

set(old_api_dir ${CMAKE_CURRENT_BINARY_DIR}/tests/old-api)
file(READ ${ZELPH_JAVA_API_DIR}/parameters/Parameters.java parameters_source)
string(REGEX REPLACE "\n[^\n]*public Parameters setLong\\([^}]*}\n" "\n" old_parameters_source
       "${parameters_source}")
if(old_parameters_source STREQUAL parameters_source)
  message(FATAL_ERROR "Parameters.setLong not found: the old model API cannot be made")
endif()
file(WRITE ${old_api_dir}/Parameters.java "${old_parameters_source}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${ZELPH_JAVA_API_DIR}/parameters/Parameters.java)
set(old_api_sources ${ZELPH_JAVA_API_SOURCES})
list(FILTER old_api_sources EXCLUDE REGEX "/(Parameters|Previewable)\\.java$")
add_jar(zelph-executors-api-old
  SOURCES ${old_api_sources} ${old_api_dir}/Parameters.java
  OUTPUT_NAME zelph-executors-api
  OUTPUT_DIR ${old_api_dir}/lib)

add_library(zelph-java-test-support OBJECT
  ${CMAKE_CURRENT_LIST_DIR}/java_test_home.cpp ${CMAKE_CURRENT_LIST_DIR}/java_test_support.cpp
  ${CMAKE_CURRENT_LIST_DIR}/plugin_test_support.cpp)
target_link_libraries(zelph-java-test-support PUBLIC zelph-java-bridge GTest::gtest)
target_include_directories(zelph-java-test-support PUBLIC
  ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_SOURCE_DIR}/zelph-logger/tests)
get_target_property(api_jar zelph-executors-api JAR_FILE)
get_target_property(old_api_jar zelph-executors-api-old JAR_FILE)
get_target_property(test_models_jar zelph-java-test-models JAR_FILE)
target_compile_definitions(zelph-java-test-support PUBLIC
  ZELPH_JDK_HOME="${ZELPH_JDK_HOME}"
  ZELPH_JAVA_API_JAR="${api_jar}"
  ZELPH_JAVA_OLD_API_JAR="${old_api_jar}"
  ZELPH_JAVA_TEST_MODELS_JAR="${test_models_jar}"
  ZELPH_JAVA_INSTALLED_JVM_JSON="${CMAKE_CURRENT_LIST_DIR}/../home/conf/jvm.json"
  ZELPH_JAVA_TEST_HOMES="${CMAKE_CURRENT_BINARY_DIR}/tests/homes"
  ZELPH_JAVA_PLUGIN_DIR="$<TARGET_FILE_DIR:zelph-java>"
  ZELPH_JAVA_DEMO_MODELS_DIR="${CMAKE_BINARY_DIR}/ext/demo-models"
  ZELPH_JAVA_TEST_FIXTURES="${CMAKE_CURRENT_LIST_DIR}/fixtures")
add_dependencies(zelph-java-test-support
  zelph-executors-api zelph-executors-api-old zelph-java-test-models zelph-java zelph-demo-models)

