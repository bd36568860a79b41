// Blocks of 4 MiB and more for the whole program backed by transparent
// huge pages where the system lends them on advice (the usual "madvise"
// setting). The trees of a large grid live in a few dozen arrays of
// hundreds of megabytes, filled once: with 4 KiB pages their first-touch
// faults cost a fifth of a run on a virtual machine, with 2 MiB pages 512
// times fewer of them. Only the executable replaces operator new and
// delete (on malloc and free, as the standard ones, so that memory checkers
// see matching pairs); the libraries, tests and the Python module keep the
// standard ones. Builds under a sanitizer keep the sanitizer's.

#include <cstdlib>
#include <new>

#include "core/huge_pages.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ORRERY_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define ORRERY_SANITIZED 1
#endif
#endif

#ifndef ORRERY_SANITIZED

void* operator new(std::size_t bytes) {
  for (;;) {
    void* p = std::malloc(bytes ? bytes : 1);
    // Advice only: where huge pages are off, the block stays as it is.
    if (p && bytes >= ctree::HUGE_ADVICE_BYTES) ctree::advise_huge_pages(p, bytes);
    if (p) return p;
    std::new_handler handler = std::get_new_handler();
    if (!handler) throw std::bad_alloc();
    handler();
  }
}
void* operator new[](std::size_t bytes) { return operator new(bytes); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

#endif
