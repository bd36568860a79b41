#pragma once
// Arrays of millions of elements (samples, surfaces): std::vector with an
// allocator that leaves the elements of resize(n) uninitialized (the pass
// that sizes an array writes every slot) and backs blocks of 2 MiB and more
// with huge pages where the system lends them. A surface of millions of
// triangles or a volume of 256^3 samples then costs a few dozen page faults
// instead of tens of thousands (tens of microseconds each on a virtual
// machine), and no pass that only clears memory about to be overwritten.

#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace contour {

// Blocks for LargeAllocator: large ones aligned to 2 MiB and marked for
// huge pages; throws std::bad_alloc when memory runs out.
void* large_allocate(std::size_t bytes);
void large_free(void* p) noexcept;

template <class T>
struct LargeAllocator {
  using value_type = T;
  LargeAllocator() = default;
  template <class U>
  LargeAllocator(const LargeAllocator<U>&) noexcept {}
  T* allocate(std::size_t n) { return static_cast<T*>(large_allocate(n * sizeof(T))); }
  void deallocate(T* p, std::size_t) noexcept { large_free(p); }
  // Default-initialisation: nothing written for arithmetic types.
  template <class U>
  void construct(U* p) noexcept(std::is_nothrow_default_constructible<U>::value) {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
  template <class U>
  bool operator==(const LargeAllocator<U>&) const noexcept {
    return true;
  }
  template <class U>
  bool operator!=(const LargeAllocator<U>&) const noexcept {
    return false;
  }
};

template <class T>
using LargeArray = std::vector<T, LargeAllocator<T>>;

}  // namespace contour
