#pragma once
// Large arrays backed by transparent huge pages where the system offers them.
//
// First-touch page faults dominate the cost of filling arrays of hundreds of
// megabytes; with 2 MiB pages there are 512 times fewer of them. The advice
// is a hint: where huge pages are off it changes nothing.

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ctree {

// Blocks smaller than this are not worth the advice.
constexpr std::size_t HUGE_ADVICE_BYTES = std::size_t(4) << 20;

// Advises huge pages for the whole pages inside [p, p + bytes); the kernel
// backs the 2 MiB-aligned stretches of them with huge pages as they are
// first touched.
inline void advise_huge_pages(const void* p, std::size_t bytes) {
  const std::uintptr_t page = 4096;
  const std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(p) + page - 1) & ~(page - 1);
  const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(p) + bytes) & ~(page - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

// Reserves room for n elements and advises huge pages for it, before any of
// it is touched. Call it on an empty vector, then resize or push_back.
template <class T>
void reserve_huge(std::vector<T>& v, std::size_t n) {
  v.reserve(n);
  if (n * sizeof(T) >= HUGE_ADVICE_BYTES) advise_huge_pages(v.data(), n * sizeof(T));
}

}  // namespace ctree
