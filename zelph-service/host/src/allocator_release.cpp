// allocator_release.cpp
#include "allocator_release.h"

#ifdef ZELPH_SERVICE_ALLOCATOR_TCMALLOC
#include <gperftools/malloc_extension.h>
#endif

namespace zelph::host {

void ReleaseFreeMemory() {
#ifdef ZELPH_SERVICE_ALLOCATOR_TCMALLOC
  MallocExtension::instance()->ReleaseFreeMemory();
#endif
}

}  // namespace zelph::host
