// allocator_release.h
//
// Handing the memory the allocator keeps back to the system. The service's allocator keeps
// freed blocks for the next message (cmake/ZelphServiceAllocator.cmake), which is what makes
// large messages fast, but after a burst of large replies it would keep their memory for good.
#pragma once

namespace zelph::host {

// Returns the allocator's free memory to the system. With the system allocator (sanitizer
// builds, ZELPH_SERVICE_ALLOCATOR=system), which unmaps large blocks when they are freed, it
// does nothing. Any thread.
void ReleaseFreeMemory();

}  // namespace zelph::host
