#include "ctree/block_trees.h"

#include <algorithm>
#include <cassert>

#include "core/huge_pages.h"
#include "ctree/parent_forest.h"
#include "ctree/regular_vertices.h"
#include "ctree/sweep_branches.h"

namespace ctree {

namespace {

// Scratch of the merges, per thread, reused.
struct MergeScratch {
  std::vector<Index> parent, latest, map[2];
  std::vector<Index> first[2], far[2];
  std::vector<Index> redirect[2], position;
};

thread_local MergeScratch merge_scratch;

// The top merge is the largest and the last on its thread: its scratch,
// as large as the whole grid's critical points and boundaries, goes with it
// rather than staying for the rest of the run.
struct ScratchRelease {
  ~ScratchRelease() { merge_scratch = MergeScratch(); }
};

// One tree of the merge: the sweep of V with a union-find whose sets carry
// their latest vertex (where the branch now growing for them started).
void merge_tree(const BlockTrees& a, const BlockTrees& b, const std::vector<Vertex>& V, int k, MergeScratch& s) {
  const Index N = Index(V.size());
  const BlockTrees* in[2] = {&a, &b};
  Index cursor[2];
  for (int m = 0; m < 2; ++m) {
    s.map[m].resize(in[m]->size());
    cursor[m] = k == 0 ? 0 : Index(in[m]->size()) - 1;
  }
  Index* parent = s.parent.data();
  Index* latest = s.latest.data();
  std::vector<Index>& first = s.first[k];
  std::vector<Index>& far = s.far[k];
  first.clear();
  far.clear();
  for (Index t = 0; t < N; ++t) {
    const Index i = k == 0 ? t : N - 1 - t;
    parent[i] = i;
    latest[i] = i;
    first.push_back(Index(far.size()));
    for (int m = 0; m < 2; ++m) {
      const BlockTrees& h = *in[m];
      const Index c = cursor[m];
      if (c < 0 || c >= Index(h.size()) || !same_vertex(h.V[size_t(c)], V[size_t(i)])) continue;
      s.map[m][size_t(c)] = i;
      const Index tc = k == 0 ? c : Index(h.size()) - 1 - c;
      for (Index e = h.first[k][size_t(tc)]; e < h.first[k][size_t(tc) + 1]; ++e) {
        const Index j = s.map[m][size_t(h.far[k][size_t(e)])];
        const Index rj = find_root(parent, j), ri = find_root(parent, i);
        const Index bl = latest[rj];
        if (rj != ri) {
          parent[rj] = ri;
          latest[ri] = i;
        }
        if (bl != i) far.push_back(bl);
      }
      cursor[m] += k == 0 ? 1 : -1;
    }
  }
  first.push_back(Index(far.size()));
}

// Marks the vertices regular in both merged trees that go (those strictly
// inside box, or all of them without one): position[i] is i's place among
// the kept vertices or NULL_INDEX, redirect[k][i] the kept vertex that arcs
// reaching i in tree k reach instead (its far end, which may have gone
// too: hence the sweep order). Returns the number kept.
Index mark_regular(const std::vector<Vertex>& V, const Box* box, MergeScratch& s) {
  const Index N = Index(V.size());
  auto closes = [&](int k, Index i) {
    const Index t = k == 0 ? i : N - 1 - i;
    return s.first[k][size_t(t) + 1] - s.first[k][size_t(t)];
  };
  auto only_far = [&](int k, Index i) { return s.far[k][size_t(s.first[k][size_t(k == 0 ? i : N - 1 - i)])]; };
  s.position.resize(size_t(N));
  for (int k = 0; k < 2; ++k) s.redirect[k].resize(size_t(N));
  Index kept = 0;
  for (Index i = 0; i < N; ++i) {
    const bool gone = i > 0 && i < N - 1 && closes(0, i) == 1 && closes(1, i) == 1 &&
                      (!box || box->holdsInside(V[size_t(i)].x, V[size_t(i)].y, V[size_t(i)].z));
    s.position[size_t(i)] = gone ? NULL_INDEX : kept++;
    s.redirect[0][size_t(i)] = gone ? s.redirect[0][size_t(only_far(0, i))] : i;
  }
  for (Index i = N - 1; i >= 0; --i)
    s.redirect[1][size_t(i)] = s.position[size_t(i)] == NULL_INDEX ? s.redirect[1][size_t(only_far(1, i))] : i;
  return kept;
}

// The merged vertex records of a and b, and both trees' arcs over them
// before any removal, in s.
std::vector<Vertex> merge_both_trees(const BlockTrees& a, const BlockTrees& b, MergeScratch& s) {
  std::vector<Vertex> V;
  merge_critical_points(a.V, b.V, V);
  s.parent.resize(V.size());
  s.latest.resize(V.size());
  merge_tree(a, b, V, 0, s);
  merge_tree(a, b, V, 1, s);
  return V;
}

// The top merge of two halves: every vertex regular in both trees goes, as
// in remove_regular_vertices; `V` receives the kept ones in vertex order.
// Returns the number of merged vertices before removal (the scratch's
// positions are indexed by those) and sets `kept`.
Index merge_top_vertices(const BlockTrees& a, const BlockTrees& b, MergeScratch& s, std::vector<Vertex>& V,
                         Index& kept) {
  std::vector<Vertex> all = merge_both_trees(a, b, s);
  const Index N = Index(all.size());
  kept = mark_regular(all, nullptr, s);
  V.clear();
  V.reserve(size_t(kept));
  for (Index i = 0; i < N; ++i)
    if (s.position[size_t(i)] != NULL_INDEX) V.push_back(all[size_t(i)]);
  return N;
}

// Tree k of the top merge (0 join, 1 split) over the N merged vertices: the
// keys of the arcs that reach a kept vertex survive, and a redirected key
// names the key its branch takes over (outKey).
void mark_surviving_keys(const MergeScratch& s, int k, Index N, std::vector<char>& survives,
                         std::vector<Index>& outKey) {
  std::fill(survives.begin(), survives.end(), 0);
  for (Index t = 0; t < N; ++t) {
    const Index i = k == 0 ? t : N - 1 - t;
    if (s.position[size_t(i)] == NULL_INDEX) continue;
    for (Index e = s.first[k][size_t(t)]; e < s.first[k][size_t(t) + 1]; ++e) {
      const Index f = s.far[k][size_t(e)];
      survives[size_t(f)] = 1;
      outKey[size_t(s.redirect[k][size_t(f)])] = f;
    }
  }
}

}  // namespace

void merge_block_trees(const BlockTrees& a, const BlockTrees& b, const Box* box, BlockTrees& out) {
  MergeScratch& s = merge_scratch;
  std::vector<Vertex> V = merge_both_trees(a, b, s);
  const Index N = Index(V.size());
  if (!box) {
    out.V = std::move(V);
    for (int k = 0; k < 2; ++k) {
      out.first[k].swap(s.first[k]);
      out.far[k].swap(s.far[k]);
    }
    return;
  }

  // A vertex strictly inside the box with one arc below and one above in
  // both trees goes; arcs that reached it reach its far end instead.
  const Index kept = mark_regular(V, box, s);
  out.V.clear();
  out.V.reserve(size_t(kept));
  for (Index i = 0; i < N; ++i)
    if (s.position[size_t(i)] != NULL_INDEX) out.V.push_back(V[size_t(i)]);
  for (int k = 0; k < 2; ++k) {
    out.first[k].clear();
    out.far[k].clear();
    out.first[k].reserve(size_t(kept) + 1);
    out.far[k].reserve(size_t(kept));
    for (Index t = 0; t < N; ++t) {
      const Index i = k == 0 ? t : N - 1 - t;
      if (s.position[size_t(i)] == NULL_INDEX) continue;
      out.first[k].push_back(Index(out.far[k].size()));
      for (Index e = s.first[k][size_t(t)]; e < s.first[k][size_t(t) + 1]; ++e)
        out.far[k].push_back(s.position[size_t(s.redirect[k][size_t(s.far[k][size_t(e)])])]);
    }
    out.first[k].push_back(Index(out.far[k].size()));
  }
}

void merge_top_block_trees(const BlockTrees& a, const BlockTrees& b, std::vector<Vertex>& V, MultiresTree& J,
                           MultiresTree& S) {
  ScratchRelease release;
  MergeScratch& s = merge_scratch;
  Index kept = 0;
  const Index N = merge_top_vertices(a, b, s, V, kept);

  // Removing a vertex keeps the branch that started at it and hands it the
  // start node of the branch it absorbs: an arc's branch is the one that
  // started at the arc's far end before removal (its key), and the branch
  // list keeps the order of the keys. Node lists keep their order.
  std::vector<BranchI> branch(static_cast<size_t>(N));
  std::vector<Index> outKey(static_cast<size_t>(N), NULL_INDEX);
  std::vector<char> survives(static_cast<size_t>(N));
  for (int k = 0; k < 2; ++k) {
    MultiresTree& T = k == 0 ? J : S;
    T.vertices = V.data();
    T.nodes.clear();
    reserve_huge(T.nodes, size_t(kept));  // reached in random order later
    T.nodes.resize(size_t(kept));
    T.branches.clear();
    mark_surviving_keys(s, k, N, survives, outKey);
    for (Index t = 0; t < N; ++t) {
      const Index i = k == 0 ? t : N - 1 - t;
      if (survives[size_t(i)]) branch[size_t(i)] = T.branches.emplace(T.branches.end());
    }
    for (Index t = 0; t < N; ++t) {
      const Index i = k == 0 ? t : N - 1 - t;
      const Index q = s.position[size_t(i)];
      if (q == NULL_INDEX) continue;
      Vertex* W = &V[size_t(q)];
      if (k == 0 ? q < kept - 1 : q > 0) {
        BranchI b = branch[size_t(outKey[size_t(i)])];
        b->ends[0] = T.newNode(W, b, 0);
      }
      for (Index e = s.first[k][size_t(t)]; e < s.first[k][size_t(t) + 1]; ++e) {
        BranchI b = branch[size_t(s.far[k][size_t(e)])];
        b->ends[1] = T.newNode(W, b, 0);
      }
    }
  }
}

void merge_top_block_tree_arrays(BlockTrees&& a, BlockTrees&& b, std::vector<Vertex>& V, MergeTreeArrays& J,
                                 MergeTreeArrays& S) {
  ScratchRelease release;
  MergeScratch& s = merge_scratch;
  // merge_top_vertices, with the halves and the sweeps' union-find freed
  // as soon as the sweeps are done: the merges' largest moment.
  Index kept = 0, N = 0;
  {
    std::vector<Vertex> all = merge_both_trees(a, b, s);
    a = BlockTrees();
    b = BlockTrees();
    for (std::vector<Index>* done : {&s.parent, &s.latest, &s.map[0], &s.map[1]}) std::vector<Index>().swap(*done);
    N = Index(all.size());
    kept = mark_regular(all, nullptr, s);
    V.clear();
    V.reserve(size_t(kept));
    for (Index i = 0; i < N; ++i)
      if (s.position[size_t(i)] != NULL_INDEX) V.push_back(all[size_t(i)]);
  }

  // As merge_top_block_trees: branches numbered in the order of their keys,
  // and at every vertex the branch starting there first, then those closed
  // there in order.
  std::vector<Index> branch(static_cast<size_t>(N)), outKey(static_cast<size_t>(N), NULL_INDEX);
  std::vector<char> survives(static_cast<size_t>(N));
  for (int k = 0; k < 2; ++k) {
    MergeTreeArrays& T = k == 0 ? J : S;
    mark_surviving_keys(s, k, N, survives, outKey);
    Index count = 0;
    for (Index t = 0; t < N; ++t) {
      const Index i = k == 0 ? t : N - 1 - t;
      if (survives[size_t(i)]) branch[size_t(i)] = count++;
    }
    auto starts = [&](Index q) { return k == 0 ? q < kept - 1 : q > 0; };
    T.ends.assign(2 * size_t(count), NULL_INDEX);
    T.first.assign(size_t(kept) + 1, 0);
    for (Index t = 0; t < N; ++t) {
      const Index i = k == 0 ? t : N - 1 - t;
      const Index q = s.position[size_t(i)];
      if (q != NULL_INDEX)
        T.first[size_t(q) + 1] = Index(starts(q)) + s.first[k][size_t(t) + 1] - s.first[k][size_t(t)];
    }
    for (Index q = 0; q < kept; ++q) T.first[size_t(q) + 1] += T.first[size_t(q)];
    T.at.resize(size_t(T.first[size_t(kept)]));
    for (Index t = 0; t < N; ++t) {
      const Index i = k == 0 ? t : N - 1 - t;
      const Index q = s.position[size_t(i)];
      if (q == NULL_INDEX) continue;
      Index slot = T.first[size_t(q)];
      if (starts(q)) {
        const Index b = branch[size_t(outKey[size_t(i)])];
        T.at[size_t(slot++)] = 2 * b;
        T.ends[2 * size_t(b)] = q;
      }
      for (Index e = s.first[k][size_t(t)]; e < s.first[k][size_t(t) + 1]; ++e) {
        const Index b = branch[size_t(s.far[k][size_t(e)])];
        T.at[size_t(slot++)] = 2 * b + 1;
        T.ends[2 * size_t(b) + 1] = q;
      }
    }
  }
}

void block_trees_to_multires(BlockTrees&& in, std::vector<Vertex>& V, MultiresTree& J, MultiresTree& S) {
  V = std::move(in.V);
  const Index N = Index(V.size());
  std::vector<BranchI> growing(static_cast<size_t>(N));
  for (int k = 0; k < 2; ++k) {
    MultiresTree& T = k == 0 ? J : S;
    T.vertices = V.data();
    T.nodes.clear();
    T.nodes.resize(size_t(N));
    T.branches.clear();
    for (Index t = 0; t < N; ++t) {
      const Index i = k == 0 ? t : N - 1 - t;
      Vertex* W = &V[size_t(i)];
      if (k == 0 ? i < N - 1 : i > 0) growing[size_t(i)] = start_branch(T, W);
      for (Index e = in.first[k][size_t(t)]; e < in.first[k][size_t(t) + 1]; ++e)
        close_branch(T, growing[size_t(in.far[k][size_t(e)])], W);
    }
  }
  for (int k = 0; k < 2; ++k) {
    std::vector<Index>().swap(in.first[k]);
    std::vector<Index>().swap(in.far[k]);
  }
}

}  // namespace ctree
