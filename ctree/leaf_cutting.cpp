#include "ctree/leaf_cutting.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <memory>
#include <queue>

#include "core/free_memory.h"
#include "core/threads.h"
#include "ctree/index_merge_tree.h"

namespace ctree {

namespace {

using cutting::IndexTree;
using cutting::NONE;

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
  Construction(const Vertex* V, const MergeTreeArrays& j, const MergeTreeArrays& s, size_t n)
      : value(values(V, n)), heap(QLater(), room(n)), queueable(n, 1) {
    trees[0] = std::make_unique<IndexTree>(j, n);
    trees[1] = std::make_unique<IndexTree>(s, n);
  }
  // The same, each array freed as soon as its tree is made from it; with
  // two workers the two trees are made side by side.
  Construction(const Vertex* V, MergeTreeArrays&& j, MergeTreeArrays&& s, size_t n, unsigned workers)
      : value(values(V, n)), heap(QLater(), room(n)), queueable(n, 1) {
    auto make = [n](std::unique_ptr<IndexTree>& t, MergeTreeArrays& a) {
      t = std::make_unique<IndexTree>(a, n);
      a = MergeTreeArrays();
    };
    MergeTreeArrays* arrays[2] = {&j, &s};
    run_tasks(2, workers, [&](unsigned t) { make(trees[t], *arrays[t]); });
    // The arrays' pages, freed but still mapped, would stay in the peak the
    // cutting reaches as its nodes and cuts grow (some 70 MiB at 256^3).
    release_free_memory();
  }

  bool run(ProgressSink& progress) {
    IndexTree& jt = *trees[0];
    IndexTree& st = *trees[1];
    {
      const Index nj = Index(jt.alive), ns = Index(st.alive);
      // Room for every cut: each takes a branch off one tree, and a vertex
      // is interior to one cut at most. Reserved, the lists are never copied
      // as they grow.
      cuts.ends.reserve(2 * (size_t(nj) + size_t(ns)));
      cuts.firstInterior.reserve(size_t(nj) + size_t(ns) + 1);
      cuts.interior.reserve(value.size());
      for (Index k = 0; k < nj || k < ns; ++k) {
        if (k < nj) offer(k, 0);
        if (k < ns) offer(k, 1);
      }
    }
    for (Index k = 0; jt.alive >= 2 || st.alive >= 2; ++k) {
      int tree = 0;
      const Index b = popBranch(tree);
      if (b == NONE) {
        queueRanEmpty = true;
        return false;
      }
      IndexTree& t = *trees[tree];
      // b's interior vertices are those record() appends to the cuts.
      const size_t first = cuts.interior.size();
      record(t, b);
      const size_t last = cuts.interior.size();
      const Index lo = t.lowerV(b), hi = t.upperV(b);
      // The other tree's records of every vertex the cut touches there.
      IndexTree& other = *trees[1 - tree];
      other.prefetchVertex(lo);
      other.prefetchVertex(hi);
      for (size_t i = first; i < last; ++i) other.prefetchVertex(cuts.interior[i]);
      // A leaf below its saddle is the join tree's, one above the split
      // tree's; the leaf and the interior go from the other tree.
      const bool lower = jt.downDegree(lo) == 0;
      if (tree != (lower ? 0 : 1)) return false;
      if (!other.removeVertex(lower ? lo : hi, lower)) return false;
      for (size_t i = first; i < last; ++i)
        if (!other.removeVertex(cuts.interior[i], lower)) return false;
      t.removeBranch(b);
      joinAt(lower ? hi : lo);
      progress.update(k);
    }
    const Index last = jt.front();
    if (last != NONE) record(jt, last);
    return true;
  }

  CutBranches cuts;
  bool queueRanEmpty = false;

  // Where run() stopped when it declined.
  CutStop stop() const { return CutStop{queueRanEmpty, trees[0]->alive, trees[1]->alive, cuts.size()}; }

 private:
  // The field at every vertex, 8 bytes apart rather than a Vertex apart:
  // every priority reads two of them at random.
  std::vector<Real> value;
  std::unique_ptr<IndexTree> trees[2];
  std::priority_queue<QEntry, std::vector<QEntry>, QLater> heap;
  std::vector<std::uint8_t> queueable;
  std::uint32_t pushes = 0;

  // The queue's array at its largest: an entry per vertex at most, since a
  // vertex is the queued end of one entry at a time (queueable). Reserved,
  // the array is never copied as it grows, nor touched beyond its use.
  static std::vector<QEntry> room(size_t n) {
    std::vector<QEntry> out;
    out.reserve(n);
    return out;
  }

  static std::vector<Real> values(const Vertex* V, size_t n) {
    std::vector<Real> out(n);
    for (size_t v = 0; v < n; ++v) out[v] = V[v].field;
    return out;
  }

  void record(const IndexTree& t, Index b) {
    cuts.ends.push_back(t.endVertex(b, 0));
    cuts.ends.push_back(t.endVertex(b, 1));
    t.forInterior(b, [&](Index v) { cuts.interior.push_back(v); });
    cuts.firstInterior.push_back(Index(cuts.interior.size()));
  }

  Real valueRange(const IndexTree& t, Index b) const {
    return std::fabs(value[size_t(t.endVertex(b, 1))] - value[size_t(t.endVertex(b, 0))]);
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
      // The next entry's branch is read at the next pop, after this cut.
      if (!heap.empty()) trees[heap.top().tree()]->prefetch(heap.top().branch());
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
                      CutBranches& cuts, ProgressSink& progress, CutStop* stop) {
  Construction c(vertices, join, split, join.vertexCount());
  if (!c.run(progress)) {
    if (stop) *stop = c.stop();
    return false;
  }
  cuts = std::move(c.cuts);
  return true;
}

bool cut_contour_tree(const Vertex* vertices, MergeTreeArrays&& join, MergeTreeArrays&& split, CutBranches& cuts,
                      ProgressSink& progress, unsigned workers, CutStop* stop) {
  const size_t n = join.vertexCount();
  Construction c(vertices, std::move(join), std::move(split), n, workers);
  if (!c.run(progress)) {
    if (stop) *stop = c.stop();
    return false;
  }
  cuts = std::move(c.cuts);
  return true;
}

}  // namespace ctree
