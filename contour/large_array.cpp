#include "contour/large_array.h"

#include <cstdlib>

#include "core/huge_pages.h"

namespace contour {

namespace {
constexpr std::size_t HUGE_PAGE = std::size_t(2) << 20;
}

void* large_allocate(std::size_t bytes) {
  if (bytes < HUGE_PAGE) {
    void* p = std::malloc(bytes ? bytes : 1);
    if (!p) throw std::bad_alloc();
    return p;
  }
  const std::size_t rounded = (bytes + HUGE_PAGE - 1) / HUGE_PAGE * HUGE_PAGE;
  void* p = nullptr;
  if (posix_memalign(&p, HUGE_PAGE, rounded) != 0) throw std::bad_alloc();
  // Advice only: where huge pages are off, the block stays as it is.
  ctree::advise_huge_pages(p, rounded);
  return p;
}

void large_free(void* p) noexcept { std::free(p); }

}  // namespace contour
