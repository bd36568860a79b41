#include "ctree/flat_contour_tree.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <memory>
#include <queue>
#include <system_error>
#include <thread>

#include "core/threads.h"
#include "ctree/multires_contour_tree.h"

namespace ctree {

namespace {

constexpr Index NONE = -1;
constexpr Index INTERIOR = -2;  // the branch of an interior node

// One of the two merge trees under construction, in index form. Every
// operation is the pointer model's (MultiresTree) of the same name, step for
// step, so lists keep the pointer model's orders.
class IndexTree {
 public:
  IndexTree(const MergeTreeArrays& a, size_t vertexCount) : alive(a.branchCount()) {
    // Merges add a node each (and a ring's sentinel), and full node lists
    // move to the end of the pool: room reserved (address space only,
    // untouched until used) so that neither array is copied as it grows.
    nodes.reserve(2 * a.at.size());
    nodes.resize(a.at.size());
    branches.resize(a.branchCount());
    degrees.assign(vertexCount, Degrees{});
    lists.resize(vertexCount);
    pool.reserve(2 * a.at.size());
    pool.resize(a.at.size());
    for (size_t v = 0; v < vertexCount; ++v) {
      const Index f = a.first[v], n = a.first[v + 1] - f;
      lists[v] = {f, std::uint32_t(n), std::uint32_t(n)};
      for (Index e = f; e < f + n; ++e) {
        const Index code = a.at[size_t(e)];
        // Node ids start as the entries' positions.
        nodes[size_t(e)] = {Index(v), code / 2, NONE, NONE};
        FBranch& b = branches[size_t(code / 2)];
        b.end[code % 2] = e;
        b.endV[code % 2] = Index(v);
        pool[size_t(e)] = e;
      }
    }
    for (size_t b = 0; b < branches.size(); ++b) countEnds(Index(b), +1);
  }

  size_t alive;  // branches in the list

  Index lowerV(Index b) const { return std::min(branches[size_t(b)].endV[0], branches[size_t(b)].endV[1]); }
  Index upperV(Index b) const { return std::max(branches[size_t(b)].endV[0], branches[size_t(b)].endV[1]); }
  Index endVertex(Index b, int e) const { return branches[size_t(b)].endV[e]; }
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

  std::int32_t upDegree(Index v) const { return degrees[size_t(v)].up; }
  std::int32_t downDegree(Index v) const { return degrees[size_t(v)].down; }

  // The first end node at v whose branch has v as its lower (upper) end.
  Index branchWithEnd(Index v, bool lower) const {
    const VList& l = lists[size_t(v)];
    for (std::uint32_t i = 0; i < l.size; ++i) {
      const FNode& n = nodes[size_t(pool[size_t(l.start) + i])];
      if (n.branch == INTERIOR) continue;
      const FBranch& b = branches[size_t(n.branch)];
      const int e = b.end[0] == pool[size_t(l.start) + i] ? 0 : 1;
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
    if (l.size == 1 && nodes[size_t(pool[size_t(l.start)])].branch == INTERIOR) {
      const Index n = pool[size_t(l.start)];
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
  struct VList {
    Index start;
    std::uint32_t size, cap;
  };

  std::vector<FNode> nodes;
  std::vector<FBranch> branches;
  std::vector<VList> lists;
  std::vector<Index> pool;  // the node lists' entries
  size_t frontCursor = 0;

  // Per vertex, the branches that leave it upwards and downwards, kept up
  // to date: an interior node counts both ways, a branch with both ends
  // counts up at its lower end and down at its upper end (the pointer
  // model counts the same from the nodes at the vertex).
  struct Degrees {
    std::int32_t up = 0, down = 0;
  };
  std::vector<Degrees> degrees;

  void countEnds(Index b, std::int32_t sign) {
    const FBranch& br = branches[size_t(b)];
    if (br.end[0] == NONE || br.end[1] == NONE || br.endV[0] == br.endV[1]) return;
    degrees[size_t(std::min(br.endV[0], br.endV[1]))].up += sign;
    degrees[size_t(std::max(br.endV[0], br.endV[1]))].down += sign;
  }
  // type 1: n becomes an interior node; 0: an end node (its branch set
  // by the caller).
  void setType(Index n, std::uint8_t type) {
    FNode& x = nodes[size_t(n)];
    if ((x.branch == INTERIOR) == (type == 1)) return;
    const std::int32_t sign = type == 1 ? 1 : -1;
    degrees[size_t(x.vertex)].up += sign;
    degrees[size_t(x.vertex)].down += sign;
    x.branch = type == 1 ? INTERIOR : NONE;
  }

  void setEnd(Index b, int e, Index node) {
    countEnds(b, -1);
    branches[size_t(b)].end[e] = node;
    branches[size_t(b)].endV[e] = node == NONE ? NONE : nodes[size_t(node)].vertex;
    countEnds(b, +1);
  }

  // NodeList::push_back: a full list moves to the end of the pool with
  // twice the room.
  void listPush(Index v, Index id) {
    VList& l = lists[size_t(v)];
    if (l.size == l.cap) {
      const std::uint32_t cap = l.cap ? 2 * l.cap : 2;
      const Index start = Index(pool.size());
      pool.resize(pool.size() + cap);
      for (std::uint32_t i = 0; i < l.size; ++i) pool[size_t(start) + i] = pool[size_t(l.start) + i];
      l.start = start;
      l.cap = cap;
    }
    pool[size_t(l.start) + l.size++] = id;
  }
  // NodeList::erase: the last entry takes the hole.
  void listErase(Index v, Index id) {
    VList& l = lists[size_t(v)];
    Index* d = pool.data() + l.start;
    for (std::uint32_t i = 0; i < l.size; ++i)
      if (d[i] == id) {
        d[i] = d[--l.size];
        return;
      }
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
      --degrees[size_t(n.vertex)].up;
      --degrees[size_t(n.vertex)].down;
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

// 16 bytes: the order of pushes is counted in 32 bits (the pushes are a
// few per branch, far fewer than 2^32 for any tree of 32-bit indices).
struct QEntry {
  Real priority;
  std::uint32_t seq;
  std::uint32_t code;  // 2 * branch + tree (0 join, 1 split)
  Index branch() const { return Index(code >> 1); }
  int tree() const { return int(code & 1); }
};
static_assert(sizeof(QEntry) == 16, "a queue entry is 16 bytes");
struct QLater {
  bool operator()(const QEntry& a, const QEntry& b) const {
    return a.priority > b.priority || (a.priority == b.priority && a.seq > b.seq);
  }
};

// The construction's state: both trees, the queue, the branches cut.
class Construction {
 public:
  Construction(const Vertex* V, const MergeTreeArrays& j, const MergeTreeArrays& s, size_t n) : V(V), queueable(n, 1) {
    trees[0] = std::make_unique<IndexTree>(j, n);
    trees[1] = std::make_unique<IndexTree>(s, n);
  }
  // The same, each array freed as soon as its tree is made from it; with
  // two workers the two trees are made side by side.
  Construction(const Vertex* V, MergeTreeArrays&& j, MergeTreeArrays&& s, size_t n, unsigned workers)
      : V(V), queueable(n, 1) {
    auto make = [n](std::unique_ptr<IndexTree>& t, MergeTreeArrays& a) {
      t = std::make_unique<IndexTree>(a, n);
      a = MergeTreeArrays();
    };
    std::thread other;
    if (workers > 1) {
      try {
        other = std::thread([&] { make(trees[1], s); });
      } catch (const std::system_error&) {
      }
    }
    make(trees[0], j);
    if (other.joinable())
      other.join();
    else
      make(trees[1], s);
  }

  bool run(ProgressSink& progress) {
    IndexTree& jt = *trees[0];
    IndexTree& st = *trees[1];
    {
      const Index nj = Index(jt.alive), ns = Index(st.alive);
      for (Index k = 0; k < nj || k < ns; ++k) {
        if (k < nj) offer(k, 0);
        if (k < ns) offer(k, 1);
      }
    }
    std::vector<Index> interior;
    for (Index k = 0; jt.alive >= 2 || st.alive >= 2; ++k) {
      int tree = 0;
      const Index b = popBranch(tree);
      if (b == NONE) return false;
      IndexTree& t = *trees[tree];
      record(t, b);
      const Index lo = t.lowerV(b), hi = t.upperV(b);
      interior.clear();
      t.forInterior(b, [&](Index v) { interior.push_back(v); });
      if (jt.downDegree(lo) == 0) {
        if (tree != 0) return false;
        if (!st.removeVertex(lo, true)) return false;
        for (Index v : interior)
          if (!st.removeVertex(v, true)) return false;
        jt.removeBranch(b);
        joinAt(hi);
      } else {
        if (tree != 1) return false;
        if (!jt.removeVertex(hi, false)) return false;
        for (Index v : interior)
          if (!jt.removeVertex(v, false)) return false;
        st.removeBranch(b);
        joinAt(lo);
      }
      progress.update(k);
    }
    const Index last = jt.front();
    if (last != NONE) record(jt, last);
    return true;
  }

  CutBranches cuts;

 private:
  const Vertex* V;
  std::unique_ptr<IndexTree> trees[2];
  std::priority_queue<QEntry, std::vector<QEntry>, QLater> heap;
  std::vector<std::uint8_t> queueable;
  std::uint32_t pushes = 0;

  void record(const IndexTree& t, Index b) {
    cuts.ends.push_back(t.endVertex(b, 0));
    cuts.ends.push_back(t.endVertex(b, 1));
    t.forInterior(b, [&](Index v) { cuts.interior.push_back(v); });
    cuts.firstInterior.push_back(Index(cuts.interior.size()));
  }

  Real valueRange(const IndexTree& t, Index b) const {
    return std::fabs(V[t.endVertex(b, 1)].field - V[t.endVertex(b, 0)].field);
  }

  // leaf_direction
  static int direction(const IndexTree& t, Index b) {
    const Index lo = t.lowerV(b), hi = t.upperV(b);
    const std::int32_t downLo = t.downDegree(lo);
    if (downLo == 0) return t.upDegree(hi) == 1 && t.downDegree(hi) > 1 ? -1 : 0;
    if (downLo != 1 || t.upDegree(hi) != 0) return 0;
    return t.upDegree(lo) > 1 ? +1 : 0;
  }

  void offer(Index b, int tree) {
    const IndexTree& t = *trees[tree];
    const int dir = direction(t, b);
    if (dir == 0) return;
    const Index e = dir < 0 ? t.lowerV(b) : t.upperV(b);
    if (!queueable[size_t(e)]) return;
    heap.push(QEntry{valueRange(t, b), pushes++, (std::uint32_t(b) << 1) | std::uint32_t(tree)});
    queueable[size_t(e)] = 0;
  }

  Index popBranch(int& tree) {
    for (;;) {
      if (heap.empty()) return NONE;
      QEntry e = heap.top();
      const IndexTree& t = *trees[e.tree()];
      const Real p = valueRange(t, e.branch());
      if (p != e.priority) {
        heap.pop();
        e.priority = p;
        e.seq = pushes++;
        heap.push(e);
        continue;
      }
      heap.pop();
      if (direction(t, e.branch()) != 0) {
        tree = e.tree();
        return e.branch();
      }
      const Index lo = t.lowerV(e.branch());
      queueable[size_t(t.downDegree(lo) == 0 ? lo : t.upperV(e.branch()))] = 1;
    }
  }

  void joinAt(Index s) {
    IndexTree& jt = *trees[0];
    IndexTree& st = *trees[1];
    if (!(jt.downDegree(s) == 1 && jt.upDegree(s) == 1 && st.downDegree(s) == 1 && st.upDegree(s) == 1)) return;
    const Index jD = jt.branchWithEnd(s, false), jU = jt.branchWithEnd(s, true);
    const Index sU = st.branchWithEnd(s, true), sD = st.branchWithEnd(s, false);
    jt.mergeBranches(jD, jU);
    st.mergeBranches(sU, sD);
    offer(jD, 0);
    offer(sU, 1);
  }
};

}  // namespace

bool cut_contour_tree(const Vertex* vertices, const MergeTreeArrays& join, const MergeTreeArrays& split,
                      CutBranches& cuts, ProgressSink& progress) {
  Construction c(vertices, join, split, join.vertexCount());
  if (!c.run(progress)) return false;
  cuts = std::move(c.cuts);
  return true;
}

bool finished_tree_from_arrays(std::vector<Vertex>& vertices, MergeTreeArrays&& join, MergeTreeArrays&& split,
                               FlatTree& finished, ProgressSink& progress, unsigned threads) {
  const size_t nv = vertices.size();
  auto sound = [nv](const MergeTreeArrays& a) {
    if (a.vertexCount() != nv || a.at.size() != a.ends.size()) return false;
    for (Index v : a.ends)
      if (v < 0 || size_t(v) >= nv) return false;
    for (Index code : a.at)
      if (code < 0 || size_t(code) >= a.ends.size()) return false;
    return true;
  };
  if (!sound(join) || !sound(split)) {
    join = MergeTreeArrays();
    split = MergeTreeArrays();
    return false;
  }
  progress.init("Computing multi-resolution contour tree", nv >= 4 ? Size(nv / 2 - 1) : 0);
  CutBranches cuts;
  {
    Construction c(vertices.data(), std::move(join), std::move(split), nv, worker_count(threads));
    if (!c.run(progress)) return false;
    cuts = std::move(c.cuts);
  }
  finished = finished_tree_of_cuts(vertices.data(), cuts);
  return true;
}

void contour_tree_of_cuts(const CutBranches& cuts, MultiresTree& ct) {
  Vertex* V = ct.vertices;
  for (size_t k = 0; k < cuts.size(); ++k) {
    ct.branches.push_back(Branch());
    BranchI nb = std::prev(ct.branches.end());
    nb->ends[0] = ct.newNode(V + cuts.ends[2 * k], nb, 0);
    nb->ends[1] = ct.newNode(V + cuts.ends[2 * k + 1], nb, 0);
    const Index f = cuts.firstInterior[k], l = cuts.firstInterior[k + 1];
    nb->nodes.reserve(size_t(l - f));
    for (Index i = f; i < l; ++i) nb->nodes.push_back(ct.newNode(V + cuts.interior[size_t(i)], nb, 1));
    ct.attachChildren(nb);
  }
  ct.computePersistence();
  ct.computeBbox();
}

bool flat_contour_tree(const Vertex* vertices, const MergeTreeArrays& join, const MergeTreeArrays& split,
                       MultiresTree& ct, ProgressSink& progress) {
  CutBranches cuts;
  if (!cut_contour_tree(vertices, join, split, cuts, progress)) return false;
  contour_tree_of_cuts(cuts, ct);
  return true;
}

FlatTree finished_tree_of_cuts(const Vertex* vertices, const CutBranches& cuts) {
  const Index nb = Index(cuts.size());
  Index used = -1;
  for (Index v : cuts.ends) used = std::max(used, v);
  const size_t nv = size_t(used + 1);
  // The branch ends at every vertex in the order the tree's nodes were
  // made: by branch, ends[0] before ends[1] (interior nodes are never read
  // as children). Interior vertices lie among the ends' vertices.
  std::vector<Index> endStart(nv + 1, 0), endList(cuts.ends.size());
  for (Index v : cuts.ends) ++endStart[size_t(v) + 1];
  for (size_t v = 0; v < nv; ++v) endStart[v + 1] += endStart[v];
  {
    std::vector<Index> fill(endStart.begin(), endStart.end() - 1);
    for (size_t e = 0; e < cuts.ends.size(); ++e) endList[size_t(fill[size_t(cuts.ends[e])]++)] = Index(e);
  }
  auto endsAt = [&](Index s, Index& first, Index& last) {
    first = size_t(s) < nv ? endStart[size_t(s)] : 0;
    last = size_t(s) < nv ? endStart[size_t(s) + 1] : 0;
  };
  // Parents as attachChildren sets them when each branch is appended: the
  // branches already there with an end at one of its interior vertices.
  std::vector<Index> parent(size_t(nb), NONE);
  for (Index b = 0; b < nb; ++b)
    for (Index i = cuts.firstInterior[size_t(b)]; i < cuts.firstInterior[size_t(b) + 1]; ++i) {
      Index k, last;
      endsAt(cuts.interior[size_t(i)], k, last);
      for (; k < last && endList[size_t(k)] / 2 < b; ++k) parent[size_t(endList[size_t(k)] / 2)] = b;
    }
  // Persistence as MultiresTree::persistence walks the tree from the root
  // (the last branch without parent): a branch's children are the other
  // branches with an end at one of its interior vertices.
  std::vector<Real> persistence(size_t(nb), 0);
  Index root = nb - 1;
  while (root >= 0 && parent[size_t(root)] != NONE) --root;
  auto range = [&](Index b) {
    return std::fabs(vertices[cuts.ends[2 * size_t(b) + 1]].field - vertices[cuts.ends[2 * size_t(b)]].field);
  };
  if (root >= 0) {
    struct Frame {
      Index b, node, end;
    };
    std::vector<Frame> stack{{root, cuts.firstInterior[size_t(root)], 0}};
    persistence[size_t(root)] = range(root);
    while (!stack.empty()) {
      Frame& f = stack.back();
      Index child = NONE;
      while (f.node < cuts.firstInterior[size_t(f.b) + 1]) {
        Index first, last;
        endsAt(cuts.interior[size_t(f.node)], first, last);
        if (f.end < last - first) {
          const Index c = endList[size_t(first + f.end++)] / 2;
          if (c != f.b) {
            child = c;
            break;
          }
        } else {
          ++f.node;
          f.end = 0;
        }
      }
      if (child != NONE) {
        if (stack.size() <= size_t(nb)) {
          persistence[size_t(child)] = range(child);
          stack.push_back({child, cuts.firstInterior[size_t(child)], 0});
        }
        continue;
      }
      const Index done = f.b;
      stack.pop_back();
      if (!stack.empty()) {
        Real& p = persistence[size_t(stack.back().b)];
        p = std::max(p, persistence[size_t(done)]);
      }
    }
  }
  // The stable sort of computePersistence: persistence descending, depth
  // ascending, then list order.
  std::vector<Index> depth(size_t(nb), NONE), chain;
  for (Index b = 0; b < nb; ++b) {
    chain.clear();
    Index x = b, d = 0;
    while (true) {
      if (depth[size_t(x)] != NONE) {
        d = depth[size_t(x)];
        break;
      }
      chain.push_back(x);
      if (parent[size_t(x)] == NONE || chain.size() > size_t(nb)) {
        d = -1;
        break;
      }
      x = parent[size_t(x)];
    }
    for (auto c = chain.rbegin(); c != chain.rend(); ++c) depth[size_t(*c)] = ++d;
  }
  std::vector<Index> order(static_cast<size_t>(nb));
  for (Index b = 0; b < nb; ++b) order[size_t(b)] = b;
  std::sort(order.begin(), order.end(), [&](Index a, Index b) {
    if (persistence[size_t(a)] != persistence[size_t(b)]) return persistence[size_t(a)] > persistence[size_t(b)];
    if (depth[size_t(a)] != depth[size_t(b)]) return depth[size_t(a)] < depth[size_t(b)];
    return a < b;
  });
  std::vector<Index> position(static_cast<size_t>(nb));
  for (Index k = 0; k < nb; ++k) position[size_t(order[size_t(k)])] = k;

  FlatTree out;
  out.vertices.assign(vertices, vertices + nv);
  out.branches.resize(size_t(nb));
  for (Index k = 0; k < nb; ++k) {
    const Index b = order[size_t(k)];
    FlatBranch& f = out.branches[size_t(k)];
    f.ends[0] = cuts.ends[2 * size_t(b)];
    f.ends[1] = cuts.ends[2 * size_t(b) + 1];
    f.parent = parent[size_t(b)] == NONE ? NULL_INDEX : position[size_t(parent[size_t(b)])];
    f.persistence = persistence[size_t(b)];
  }
  out.finish();
  return out;
}

}  // namespace ctree
