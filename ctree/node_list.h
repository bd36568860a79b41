#pragma once
// A short vector of node pointers that keeps its first two entries inline.
//
// Every vertex of a tree has a list of the nodes at it; almost all hold one
// or two, so lists of millions of vertices stay free of heap blocks. Erase
// swaps the last entry into the hole: the order is not kept.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace ctree {

struct Node;

class NodeList {
 public:
  NodeList() = default;
  NodeList(const NodeList&) = delete;
  NodeList& operator=(const NodeList&) = delete;
  NodeList(NodeList&& o) noexcept { take(o); }
  NodeList& operator=(NodeList&& o) noexcept {
    if (this != &o) {
      release();
      take(o);
    }
    return *this;
  }
  ~NodeList() { release(); }

  Node** begin() { return data(); }
  Node** end() { return data() + size_; }
  Node* const* begin() const { return data(); }
  Node* const* end() const { return data() + size_; }
  std::uint32_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  Node* operator[](std::uint32_t i) const { return data()[i]; }

  void push_back(Node* n) {
    if (size_ == cap_) grow();
    data()[size_++] = n;
  }
  // Removes the entry n (if present) by moving the last entry into its place.
  bool erase(Node* n) {
    Node** d = data();
    for (std::uint32_t i = 0; i < size_; ++i)
      if (d[i] == n) {
        d[i] = d[--size_];
        return true;
      }
    return false;
  }
  void clear() { size_ = 0; }

 private:
  static constexpr std::uint32_t INLINE = 2;

  Node** data() { return cap_ > INLINE ? heap_ : inline_; }
  Node* const* data() const { return cap_ > INLINE ? heap_ : inline_; }

  void grow() {
    const std::uint32_t cap = cap_ * 2;
    Node** d = static_cast<Node**>(std::malloc(sizeof(Node*) * cap));
    if (!d) std::abort();
    std::memcpy(d, data(), sizeof(Node*) * size_);
    release();
    heap_ = d;
    cap_ = cap;
  }
  void release() {
    if (cap_ > INLINE) std::free(heap_);
    cap_ = INLINE;
  }
  void take(NodeList& o) {
    size_ = o.size_;
    cap_ = o.cap_;
    if (cap_ > INLINE)
      heap_ = o.heap_;
    else
      std::memcpy(inline_, o.inline_, sizeof inline_);
    o.cap_ = INLINE;
    o.size_ = 0;
  }

  union {
    Node* inline_[INLINE];
    Node** heap_;
  };
  std::uint32_t size_ = 0;
  std::uint32_t cap_ = INLINE;
};

}  // namespace ctree
