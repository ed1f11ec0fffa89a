# The allocator of the service's processes: the program, its tests and its benchmarks.
#
# Every message of the API can carry a matrix of tens of megabytes, and gRPC and protobuf
# allocate it afresh for each message (serialised slices, read chunks, the parsed buffer).
# glibc maps each such block from the kernel and unmaps it when it is freed, so every message
# faults its buffers in again, and faulting in a fresh 25 MB buffer costs more than copying
# it. Raising glibc's mmap and trim thresholds helps only up to 32 MB, glibc's ceiling for
# the mmap threshold. tcmalloc keeps freed blocks of any size for the next message: loopback
# round trips of 25 MB matrices ran as fast as with raised thresholds, of 100 MB matrices
# more than twice as fast.
#
# Usage: zelph_use_service_allocator(<target>) on every executable of the service. It does
# nothing in sanitizer builds, which bring their own allocator, or when
# ZELPH_SERVICE_ALLOCATOR is "system" (for comparisons and for tools that replace malloc).
set(ZELPH_SERVICE_ALLOCATOR "tcmalloc" CACHE STRING
    "Allocator linked into the service's executables: tcmalloc or system")
set_property(CACHE ZELPH_SERVICE_ALLOCATOR PROPERTY STRINGS tcmalloc system)

if(ZELPH_SANITIZE)
  set(ZELPH_SERVICE_ALLOCATOR_ACTIVE system)
else()
  set(ZELPH_SERVICE_ALLOCATOR_ACTIVE ${ZELPH_SERVICE_ALLOCATOR})
endif()

if(ZELPH_SERVICE_ALLOCATOR_ACTIVE STREQUAL "tcmalloc")
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(TCMALLOC_MINIMAL REQUIRED IMPORTED_TARGET libtcmalloc_minimal)
  add_library(zelph-service-allocator INTERFACE)
  target_link_libraries(zelph-service-allocator INTERFACE PkgConfig::TCMALLOC_MINIMAL)
  target_compile_definitions(zelph-service-allocator INTERFACE ZELPH_SERVICE_ALLOCATOR_TCMALLOC)
elseif(NOT ZELPH_SERVICE_ALLOCATOR_ACTIVE STREQUAL "system")
  message(FATAL_ERROR "ZELPH_SERVICE_ALLOCATOR must be tcmalloc or system, not "
                      "${ZELPH_SERVICE_ALLOCATOR}")
endif()

function(zelph_use_service_allocator target)
  if(TARGET zelph-service-allocator)
    target_link_libraries(${target} PRIVATE zelph-service-allocator)
  endif()
endfunction()
