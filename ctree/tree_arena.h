#pragma once
// The memory of one tree: nodes and branch-list elements come from here.
//
// Small blocks are carved from chunks and recycled through one free list
// per 16-byte size class; the first chunk lives inside the object, so the
// many small trees of a divide-and-conquer computation (one per cube and
// per block) allocate nothing from the heap for their elements. Everything
// is returned at once when the arena is destroyed.

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
      std::free(c);
      c = next;
    }
  }

 private:
  static constexpr std::size_t GRAIN = 16, CLASSES = 16, INLINE_BYTES = 1536, MAX_CHUNK = std::size_t(1) << 20;
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

  void refill(std::size_t need) {
    next_chunk = next_chunk < MAX_CHUNK ? next_chunk * 2 : MAX_CHUNK;
    std::size_t size = next_chunk > need + GRAIN ? next_chunk : need + GRAIN;
    Chunk* c = static_cast<Chunk*>(std::malloc(sizeof(Chunk) + GRAIN + size));
    if (!c) throw std::bad_alloc();
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
  std::size_t next_chunk = 4096;
  Free* free_lists[CLASSES] = {};
};

}  // namespace ctree
