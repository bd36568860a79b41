#pragma once
// Handing freed memory back to the system between the phases of a large
// computation.

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace ctree {

// Memory freed by one phase stays mapped in the allocator's heaps (the
// workers' heaps above all) and counts in the peak that the next phase
// reaches on top of it; this returns those pages. Cheap next to a phase:
// the allocator walks its free lists once.
inline void release_free_memory() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

}  // namespace ctree
