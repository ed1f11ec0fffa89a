# Finds the Debian packages the build uses. OpenCV's split -dev packages ship no CMake
# config, so it is found by header path and library names.
find_package(Threads REQUIRED)
find_package(Boost 1.74 REQUIRED COMPONENTS program_options)
find_package(fmt REQUIRED)
find_package(spdlog REQUIRED)
find_package(RapidJSON QUIET)
find_path(RAPIDJSON_INCLUDE_DIR rapidjson/document.h REQUIRED)
find_package(Protobuf REQUIRED)
find_package(gRPC CONFIG REQUIRED)
find_package(GTest REQUIRED)

find_path(OPENCV_INCLUDE_DIR opencv2/core.hpp PATH_SUFFIXES opencv4 REQUIRED)
foreach(module core imgproc imgcodecs)
  find_library(OPENCV_${module}_LIBRARY opencv_${module} REQUIRED)
  add_library(opencv::${module} UNKNOWN IMPORTED)
  set_target_properties(opencv::${module} PROPERTIES
    IMPORTED_LOCATION ${OPENCV_${module}_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${OPENCV_INCLUDE_DIR})
endforeach()

# JAVA_HOME is not set on a fresh machine: the JDK is the one javac belongs to.
find_program(JAVAC_EXECUTABLE javac REQUIRED)
file(REAL_PATH ${JAVAC_EXECUTABLE} ZELPH_JAVAC_REAL)
get_filename_component(ZELPH_JDK_HOME ${ZELPH_JAVAC_REAL} DIRECTORY)
get_filename_component(ZELPH_JDK_HOME ${ZELPH_JDK_HOME} DIRECTORY)
set(ZELPH_JNI_INCLUDE_DIRS ${ZELPH_JDK_HOME}/include ${ZELPH_JDK_HOME}/include/linux)
if(NOT EXISTS ${ZELPH_JDK_HOME}/include/jni.h)
  message(FATAL_ERROR "No jni.h under the JDK of ${JAVAC_EXECUTABLE} (${ZELPH_JDK_HOME})")
endif()

# tcmalloc (libgoogle-perftools-dev) for the service's executables.
include(ZelphServiceAllocator)
