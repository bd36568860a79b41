#pragma once
// The memory of one tree: nodes and branch-list elements come from here.
//
// Small blocks are carved from chunks and recycled through one free list
// per 16-byte size class; the first chunk lives inside the object, so the
// many small trees of a divide-and-conquer computation (one per cube and
// per block) allocate nothing from the heap for their elements. Everything
// is returned at once when the arena is destroyed.

#include <sys/mman.h>

#include <cstddef>
#include <cstdlib>
#include <memory_resource>
#include <new>

namespace ctree {

class TreeArena : public std::pmr::memory_resource {
 public:
  TreeArena() = default;
  TreeArena(const TreeArena&) = delete;
  TreeArena& operator=(const TreeArena&) = delete;
  ~TreeArena() override {
    for (Chunk* c = chunks; c;) {
      Chunk* next = c->next;
      recycle(c);
      c = next;
    }
  }

 private:
  static constexpr std::size_t GRAIN = 16, CLASSES = 16, INLINE_BYTES = 1536;
  static constexpr std::size_t FIRST_CHUNK = 4096, MAX_CHUNK = std::size_t(1) << 20;
  static constexpr int CACHE_CLASSES = 9;  // 4 KiB .. 1 MiB
  static constexpr std::size_t CACHE_BYTES = std::size_t(64) << 20;
  // A tree that has taken this many of the largest chunks is big: its
  // further chunks are huge pages (4 MiB, 2 MiB aligned), since its nodes
  // and branches are reached in random order and 4 KiB pages would cost a
  // page walk at nearly every step.
  static constexpr int BIG_AFTER = 8;
  static constexpr std::size_t HUGE_CHUNK = std::size_t(4) << 20, HUGE_ALIGN = std::size_t(2) << 20;
  struct Free {
    Free* next;
  };
  struct Chunk {
    Chunk* next;
    std::size_t size;
  };

  void* do_allocate(std::size_t bytes, std::size_t align) override {
    const std::size_t c = (bytes + GRAIN - 1) / GRAIN;
    if (c >= CLASSES || align > GRAIN) return ::operator new(bytes, std::align_val_t(align < GRAIN ? GRAIN : align));
    if (Free* f = free_lists[c]) {
      free_lists[c] = f->next;
      return f;
    }
    const std::size_t need = c * GRAIN;
    if (std::size_t(end - cursor) < need) refill(need);
    void* p = cursor;
    cursor += need;
    return p;
  }

  void do_deallocate(void* p, std::size_t bytes, std::size_t align) override {
    const std::size_t c = (bytes + GRAIN - 1) / GRAIN;
    if (c >= CLASSES || align > GRAIN) {
      ::operator delete(p, std::align_val_t(align < GRAIN ? GRAIN : align));
      return;
    }
    Free* f = static_cast<Free*>(p);
    f->next = free_lists[c];
    free_lists[c] = f;
  }

  bool do_is_equal(const std::pmr::memory_resource& o) const noexcept override { return this == &o; }

  // Chunks of the standard sizes go back to a per-thread cache when an
  // arena dies, so the many short-lived trees of a computation reuse them
  // instead of going through malloc and fresh pages every time.
  struct ChunkCache {
    Chunk* lists[CACHE_CLASSES] = {};
    std::size_t bytes = 0;
    ~ChunkCache() {
      for (Chunk*& l : lists)
        while (l) {
          Chunk* n = l->next;
          std::free(l);
          l = n;
        }
    }
  };
  static ChunkCache& cache() {
    static thread_local ChunkCache c;
    return c;
  }
  static int cache_class(std::size_t size) {
    int k = 0;
    for (std::size_t s = FIRST_CHUNK; s < size; s *= 2) ++k;
    return (FIRST_CHUNK << k) == size && k < CACHE_CLASSES ? k : -1;
  }
  static void recycle(Chunk* c) {
    ChunkCache& cc = cache();
    const int k = cache_class(c->size);
    if (k < 0 || cc.bytes + c->size > CACHE_BYTES) {
      std::free(c);
      return;
    }
    c->next = cc.lists[k];
    cc.lists[k] = c;
    cc.bytes += c->size;
  }

  void refill(std::size_t need) {
    next_chunk = next_chunk < MAX_CHUNK ? next_chunk * 2 : MAX_CHUNK;
    std::size_t size = next_chunk;
    while (size < need + GRAIN) size *= 2;
    Chunk* c = nullptr;
    const int k = cache_class(size);
    ChunkCache& cc = cache();
    if (size == MAX_CHUNK && ++largest_chunks > BIG_AFTER && need + 4 * GRAIN < HUGE_CHUNK) {
      c = static_cast<Chunk*>(std::aligned_alloc(HUGE_ALIGN, HUGE_CHUNK));
      if (!c) throw std::bad_alloc();
      madvise(c, HUGE_CHUNK, MADV_HUGEPAGE);
      size = HUGE_CHUNK - ((sizeof(Chunk) + GRAIN - 1) / GRAIN) * GRAIN;  // not a cache class: freed on death
    } else if (k >= 0 && cc.lists[k]) {
      c = cc.lists[k];
      cc.lists[k] = c->next;
      cc.bytes -= size;
    } else {
      c = static_cast<Chunk*>(std::malloc(sizeof(Chunk) + GRAIN + size));
      if (!c) throw std::bad_alloc();
    }
    c->next = chunks;
    c->size = size;
    chunks = c;
    cursor = reinterpret_cast<char*>(c) + ((sizeof(Chunk) + GRAIN - 1) / GRAIN) * GRAIN;
    end = cursor + size;
  }

  alignas(GRAIN) char inline_chunk[INLINE_BYTES];
  char* cursor = inline_chunk;
  char* end = inline_chunk + INLINE_BYTES;
  Chunk* chunks = nullptr;
  std::size_t next_chunk = FIRST_CHUNK / 2;
  int largest_chunks = 0;
  Free* free_lists[CLASSES] = {};
};

}  // namespace ctree
