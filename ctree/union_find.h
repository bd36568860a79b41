#pragma once
// Disjoint sets over the elements 0..n-1 of a sweep, each set carrying one
// payload: the branch that is currently growing for that component.
//
// Union by size with full path compression; one allocation at construction
// and none afterwards. The payload lives at the root: merge() writes it into
// both old roots, so whichever stays root holds it, and findEntry() copies
// the root entry down the path it compresses. Callers that need the payloads
// of both sides read them before merging.

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ctree {

template <class T>
class UnionFind {
 public:
  struct Entry {
    T data{};                // payload; meaningful at a root only
    std::uint32_t size = 1;  // element count; meaningful at a root only
    std::int32_t parent;     // a root is its own parent
  };

  explicit UnionFind(unsigned long n) { reset(n); }

  // Starts over with n singletons, reusing the storage when it is large
  // enough (sweeps that run many times keep one union-find).
  void reset(unsigned long n) {
    nsets = nelems = std::uint32_t(n);
    entries.resize(n);
    for (unsigned long i = 0; i < n; ++i) entries[i] = Entry{T{}, 1, std::int32_t(i)};
  }

  // Joins the sets of a and b and gives the joined set the payload. Nothing
  // happens, not even the payload write, when they are already one set. On a
  // size tie the root of a's set stays root.
  void merge(long a, long b, T payload) {
    assert(inRange(a) && inRange(b));
    Entry* ra = findEntry(a);
    Entry* rb = findEntry(b);
    if (ra == rb) return;
    if (ra->size >= rb->size)
      rb->parent = ra->parent;
    else
      ra->parent = rb->parent;
    ra->size = rb->size = ra->size + rb->size;
    ra->data = rb->data = payload;
    --nsets;
  }

  // The root entry of i's set. The caller may write the set's payload
  // through it. Compression never changes set membership.
  Entry* findEntry(long i) const {
    assert(inRange(i));
    std::int32_t r = std::int32_t(i);
    while (entries[r].parent != r) r = entries[r].parent;
    // Every entry on the path that does not already point at r becomes a copy
    // of r's entry; the one directly below r and r itself are left alone.
    std::int32_t k = std::int32_t(i);
    while (entries[k].parent != r && k != r) {
      std::int32_t next = entries[k].parent;
      entries[k] = entries[r];
      k = next;
    }
    return &entries[r];
  }

  std::uint32_t setCount() const { return nsets; }
  // The stored parent link of i, without following it (for inspection).
  std::int32_t parentOf(long i) const { return entries[size_t(i)].parent; }
  std::uint32_t size() const { return nelems; }

 private:
  // An index outside 0..n-1 is a programming error of the caller.
  bool inRange(long i) const { return i >= 0 && i < long(nelems); }

  std::uint32_t nsets = 0;
  std::uint32_t nelems = 0;
  mutable std::vector<Entry> entries;  // compression is invisible to callers
};

}  // namespace ctree
