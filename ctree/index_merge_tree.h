#pragma once
// One merge tree (join or split) under the leaf cutting, in index form:
// nodes and branches are records in arrays, the up and down degrees of
// every vertex counters kept up to date, a branch's interior nodes a ring
// through them (no erase from the middle of a vector), and the node list of
// a vertex kept in the order the pointer model keeps it (a removal moves
// the last entry into the hole), since "the first branch at a vertex" is
// read in that order. A list of up to three nodes lives in the vertex's
// degree record itself: the cuts read lists at random, and a cut is mostly
// cache misses, one per list and degrees instead of two. Used by
// leaf_cutting.cpp only.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "ctree/merge_tree_arrays.h"

namespace ctree {
namespace cutting {

constexpr Index NONE = -1;
constexpr Index INTERIOR = -2;  // the branch of an interior node

// One of the two merge trees under construction, in index form. Every
// operation is the pointer model's (MultiresTree) of the same name, step for
// step, so lists keep the pointer model's orders.
class IndexTree {
 public:
  IndexTree(const MergeTreeArrays& a, size_t vertexCount) : alive(a.branchCount()) {
    // Merges add a node each (and a ring's sentinel): room reserved
    // (address space only, untouched until used) so that the array is not
    // copied as it grows.
    nodes.reserve(2 * a.at.size());
    nodes.resize(a.at.size());
    branches.resize(a.branchCount());
    lists.resize(vertexCount);
    pool.reserve(a.at.size());
    for (size_t v = 0; v < vertexCount; ++v) {
      const Index f = a.first[v], n = a.first[v + 1] - f;
      VList& l = lists[v];
      l.up = l.down = 0;
      l.size = 0;
      if (std::uint32_t(n) > INLINE) spill(l, std::uint32_t(n));
      for (Index e = f; e < f + n; ++e) {
        const Index code = a.at[size_t(e)];
        // Node ids start as the entries' positions.
        nodes[size_t(e)] = {Index(v), code / 2, NONE, NONE};
        FBranch& b = branches[size_t(code / 2)];
        b.end[code % 2] = e;
        b.endV[code % 2] = Index(v);
        entries(l)[l.size & SIZE] = e;
        ++l.size;
        if (l.size & SPILLED) notePlace(l, (l.size & SIZE) - 1);
      }
    }
    for (size_t b = 0; b < branches.size(); ++b) countEnds(Index(b), +1);
  }

  size_t alive;  // branches in the list

  Index lowerV(Index b) const { return std::min(branches[size_t(b)].endV[0], branches[size_t(b)].endV[1]); }
  Index upperV(Index b) const { return std::max(branches[size_t(b)].endV[0], branches[size_t(b)].endV[1]); }
  Index endVertex(Index b, int e) const { return branches[size_t(b)].endV[e]; }
  // A hint that b's record is read soon.
  void prefetch(Index b) const { __builtin_prefetch(&branches[size_t(b)]); }
  // A hint that vertex v's list and degrees are read soon.
  void prefetchVertex(Index v) const { __builtin_prefetch(&lists[size_t(v)]); }
  // f(vertex) for b's interior nodes, in order.
  template <class F>
  void forInterior(Index b, F f) const {
    const Index s = branches[size_t(b)].chain;
    if (s == NONE) return;
    for (Index n = nodes[size_t(s)].next; n != s; n = nodes[size_t(n)].next) f(nodes[size_t(n)].vertex);
  }
  bool noInterior(Index b) const {
    const Index s = branches[size_t(b)].chain;
    return s == NONE || nodes[size_t(s)].next == s;
  }

  // The first branch of the list.
  Index front() {
    while (frontCursor < branches.size() && !branches[frontCursor].listed) ++frontCursor;
    return frontCursor < branches.size() ? Index(frontCursor) : NONE;
  }

  std::int32_t upDegree(Index v) const { return lists[size_t(v)].up; }
  std::int32_t downDegree(Index v) const { return lists[size_t(v)].down; }

  // The first end node at v whose branch has v as its lower (upper) end.
  Index branchWithEnd(Index v, bool lower) const {
    const VList& l = lists[size_t(v)];
    const Index* d = entries(l);
    for (std::uint32_t i = 0; i < (l.size & SIZE); ++i) {
      const FNode& n = nodes[size_t(d[i])];
      if (n.branch == INTERIOR) continue;
      const FBranch& b = branches[size_t(n.branch)];
      const int e = b.end[0] == d[i] ? 0 : 1;
      const Index other = b.endV[1 - e];
      if (b.end[1 - e] != NONE && (lower ? v < other : v > other)) return n.branch;
    }
    return NONE;
  }

  void removeBranch(Index b) {
    FBranch& br = branches[size_t(b)];
    if (br.end[0] != NONE) freeNode(br.end[0]);
    if (br.end[1] != NONE) freeNode(br.end[1]);
    const Index s = br.chain;
    if (s != NONE) {
      for (Index n = nodes[size_t(s)].next; n != s;) {
        const Index following = nodes[size_t(n)].next;
        if (nodes[size_t(n)].branch == INTERIOR) freeNode(n);
        n = following;
      }
      nodes[size_t(s)].next = nodes[size_t(s)].prev = s;
    }
    br.listed = false;
    --alive;
  }

  void mergeBranches(Index a, Index b) {
    if (a == NONE || b == NONE || a == b) return;
    const bool b_below = lowerV(a) == upperV(b);
    const bool b_above = !b_below && upperV(a) == lowerV(b);
    if (!b_below && !b_above) return;
    const Index s = b_below ? lowerV(a) : upperV(a);
    FBranch& A = branches[size_t(a)];
    const int se = A.endV[0] == s ? 0 : 1;
    const Index shared = A.end[se];
    setType(shared, 1);
    if (b_below) {
      pushBack(b, shared);
      joinChains(a, b, true);
    } else {
      pushBack(a, shared);
      joinChains(a, b, false);
    }
    const Index far = b_below ? lowerV(b) : upperV(b);
    setEnd(a, se, newNode(far, a));
    removeBranch(b);
  }

  bool removeVertex(Index v, bool keepUpper) {
    VList& l = lists[size_t(v)];
    if ((l.size & SIZE) == 1 && nodes[size_t(entries(l)[0])].branch == INTERIOR) {
      const Index n = entries(l)[0];
      unlink(n);
      freeNode(n);
      return true;
    }
    const std::int32_t up = upDegree(v), down = downDegree(v);
    if (up == 1 && down == 1) {
      const Index U = branchWithEnd(v, true), D = branchWithEnd(v, false);
      if (U == NONE || D == NONE || U == D) return false;
      spliceOut(v, keepUpper ? U : D, keepUpper ? D : U);
      return true;
    }
    if (up == 1 || down == 1) {
      const Index B = branchWithEnd(v, up == 1);
      if (B == NONE) return false;
      if (noInterior(B))
        removeBranch(B);
      else
        removeEndpoint(B, v);
      return true;
    }
    return false;
  }

 private:
  // A branch's interior nodes form a ring through its chain's sentinel (a
  // node at no vertex and of no branch), made when the branch first gets
  // one: a node leaves its ring and rings join without knowing whose they
  // are, so an interior node has no branch, only the mark INTERIOR. 16
  // bytes a node.
  struct FNode {
    Index vertex, branch;  // branch: of an end node, else INTERIOR
    Index prev, next;      // along the ring, by vertex
  };
  static_assert(sizeof(FNode) == 16, "a node is four indices");
  struct FBranch {
    Index end[2] = {NONE, NONE};   // end nodes
    Index endV[2] = {NONE, NONE};  // their vertices (NONE with the node)
    Index chain = NONE;            // the sentinel of its interior nodes' ring
    bool listed = true;
  };
  // Per vertex, the branches that leave it upwards and downwards, kept up
  // to date (an interior node counts both ways, a branch with both ends
  // counts up at its lower end and down at its upper end: the pointer model
  // counts the same from the nodes at the vertex), and its node list: in
  // the record while it has never held more than INLINE nodes, else spilled
  // for good to a range of the pool (at[0] its start, at[1] its room), the
  // SPILLED bit set in size. One record, as the two are mostly read together.
  static constexpr std::uint32_t INLINE = 3, SPILLED = 0x80000000u, SIZE = ~SPILLED;
  struct VList {
    std::int32_t up, down;
    std::uint32_t size;
    Index at[INLINE];
  };
  static_assert(sizeof(VList) == 24, "a vertex's degrees and list are six words");
  static_assert(INLINE >= 2, "a spilled list keeps its start and room in at[0] and at[1]");

  std::vector<FNode> nodes;
  std::vector<FBranch> branches;
  std::vector<VList> lists;
  std::vector<Index> pool;  // the spilled node lists' entries
  size_t frontCursor = 0;

  void countEnds(Index b, std::int32_t sign) {
    const FBranch& br = branches[size_t(b)];
    if (br.end[0] == NONE || br.end[1] == NONE || br.endV[0] == br.endV[1]) return;
    lists[size_t(std::min(br.endV[0], br.endV[1]))].up += sign;
    lists[size_t(std::max(br.endV[0], br.endV[1]))].down += sign;
  }
  // type 1: n becomes an interior node; 0: an end node (its branch set
  // by the caller).
  void setType(Index n, std::uint8_t type) {
    FNode& x = nodes[size_t(n)];
    if ((x.branch == INTERIOR) == (type == 1)) return;
    const std::int32_t sign = type == 1 ? 1 : -1;
    lists[size_t(x.vertex)].up += sign;
    lists[size_t(x.vertex)].down += sign;
    x.branch = type == 1 ? INTERIOR : NONE;
  }

  void setEnd(Index b, int e, Index node) {
    countEnds(b, -1);
    branches[size_t(b)].end[e] = node;
    branches[size_t(b)].endV[e] = node == NONE ? NONE : nodes[size_t(node)].vertex;
    countEnds(b, +1);
  }

  Index* entries(VList& l) { return l.size & SPILLED ? pool.data() + l.at[0] : l.at; }
  const Index* entries(const VList& l) const { return l.size & SPILLED ? pool.data() + l.at[0] : l.at; }
  // l's entries moved to a new range of the pool with room for cap.
  void spill(VList& l, std::uint32_t cap) {
    const Index start = Index(pool.size());
    const std::uint32_t size = l.size & SIZE;
    pool.resize(pool.size() + cap);
    std::copy(entries(l), entries(l) + size, pool.begin() + start);
    l.at[0] = start;
    l.at[1] = Index(cap);
    l.size = size | SPILLED;
    for (std::uint32_t i = 0; i < size; ++i) notePlace(l, i);
  }
  // In a spilled list an end node's next (unused outside the rings) holds
  // its place, so that erasing one of the thousands of ends at a hub vertex
  // (a mesh's fan) is not a scan. erase() checks the place before it trusts
  // it: an interior node's next is a ring link, and a node that became an
  // end has none.
  void notePlace(const VList& l, std::uint32_t i) {
    const Index id = entries(l)[i];
    if (nodes[size_t(id)].branch != INTERIOR) nodes[size_t(id)].next = Index(i);
  }
  // NodeList::push_back: a full list moves to the end of the pool with
  // twice the room.
  void listPush(Index v, Index id) {
    VList& l = lists[size_t(v)];
    const std::uint32_t size = l.size & SIZE;
    if (size == (l.size & SPILLED ? std::uint32_t(l.at[1]) : INLINE)) spill(l, 2 * size);
    entries(l)[size] = id;
    ++l.size;
    if (l.size & SPILLED) notePlace(l, size);
  }
  // NodeList::erase: the last entry takes the hole.
  void listErase(Index v, Index id) {
    VList& l = lists[size_t(v)];
    Index* d = entries(l);
    const std::uint32_t size = l.size & SIZE;
    std::uint32_t i = 0;
    const Index place = nodes[size_t(id)].next;
    if ((l.size & SPILLED) && nodes[size_t(id)].branch != INTERIOR && place >= 0 && std::uint32_t(place) < size &&
        d[place] == id)
      i = std::uint32_t(place);
    else
      while (i < size && d[i] != id) ++i;
    if (i == size) return;
    d[i] = d[size - 1];
    --l.size;
    if ((l.size & SPILLED) && i < size - 1) notePlace(l, i);
  }

  Index newNode(Index v, Index b) {
    const Index id = Index(nodes.size());
    nodes.push_back({v, b, NONE, NONE});
    listPush(v, id);
    return id;
  }
  void freeNode(Index id) {
    const FNode& n = nodes[size_t(id)];
    listErase(n.vertex, id);
    if (n.branch == INTERIOR) {
      --lists[size_t(n.vertex)].up;
      --lists[size_t(n.vertex)].down;
    } else {
      FBranch& b = branches[size_t(n.branch)];
      if (b.end[0] == id)
        setEnd(n.branch, 0, NONE);
      else if (b.end[1] == id)
        setEnd(n.branch, 1, NONE);
    }
  }

  // Interior rings.
  Index sentinel(Index b) {
    Index& s = branches[size_t(b)].chain;
    if (s == NONE) {
      s = Index(nodes.size());
      nodes.push_back({NONE, NONE, s, s});
    }
    return s;
  }
  void pushBack(Index b, Index n) {
    const Index s = sentinel(b);
    const Index tail = nodes[size_t(s)].prev;
    nodes[size_t(n)].prev = tail;
    nodes[size_t(n)].next = s;
    nodes[size_t(tail)].next = n;
    nodes[size_t(s)].prev = n;
  }
  void unlink(Index n) {
    FNode& x = nodes[size_t(n)];
    nodes[size_t(x.prev)].next = x.next;
    nodes[size_t(x.next)].prev = x.prev;
    x.prev = x.next = NONE;
  }
  // a's interior nodes become b's followed by a's (front) or a's followed
  // by b's; b is left without any.
  void joinChains(Index a, Index b, bool front) {
    FBranch &A = branches[size_t(a)], &B = branches[size_t(b)];
    const Index sb = B.chain;
    if (sb == NONE || nodes[size_t(sb)].next == sb) return;
    if (A.chain == NONE || nodes[size_t(A.chain)].next == A.chain) {
      std::swap(A.chain, B.chain);
      return;
    }
    const Index sa = A.chain;
    const Index first = nodes[size_t(sb)].next, last = nodes[size_t(sb)].prev;
    // Between p and q: after a's sentinel (front) or before it (back).
    const Index p = front ? sa : nodes[size_t(sa)].prev;
    const Index q = nodes[size_t(p)].next;
    nodes[size_t(p)].next = first;
    nodes[size_t(first)].prev = p;
    nodes[size_t(last)].next = q;
    nodes[size_t(q)].prev = last;
    nodes[size_t(sb)].next = nodes[size_t(sb)].prev = sb;
  }

  void removeEndpoint(Index b, Index v) {
    FBranch& br = branches[size_t(b)];
    const Index s = br.chain;
    const Index taken = v != lowerV(b) ? nodes[size_t(s)].prev : nodes[size_t(s)].next;
    unlink(taken);
    const int e = br.endV[0] == v ? 0 : 1;
    freeNode(br.end[e]);
    setType(taken, 0);
    nodes[size_t(taken)].branch = b;
    setEnd(b, e, taken);
  }

  // mergeBranches(keep, gone) and the removal of the interior node it
  // leaves at v, as MultiresTree::spliceOut.
  void spliceOut(Index v, Index keep, Index gone) {
    FBranch &K = branches[size_t(keep)], &G = branches[size_t(gone)];
    const int ke = K.endV[0] == v ? 0 : 1;
    const int ge = G.endV[0] == v ? 1 : 0;
    const bool gone_below = lowerV(gone) < v;
    joinChains(keep, gone, gone_below);
    const Index far = G.end[ge];
    freeNode(K.end[ke]);
    nodes[size_t(far)].branch = keep;
    setEnd(keep, ke, far);
    setEnd(gone, ge, NONE);
    removeBranch(gone);
  }
};

}  // namespace cutting
}  // namespace ctree
