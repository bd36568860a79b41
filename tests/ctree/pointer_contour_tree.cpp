#include "pointer_contour_tree.h"

#include <cassert>
#include <cmath>
#include <string>

#include "ctree/multires_contour_tree.h"

namespace ctree {

static Real value_range(const Branch& b) { return std::fabs(b.ends[1]->vertex->field - b.ends[0]->vertex->field); }

bool can_simplify(const Branch& b, const MultiresTree& t) {
  Vertex* lo = b.lowerVertex();
  Vertex* hi = b.upperVertex();
  if (t.downDegree(lo) == 0 && t.downDegree(hi) > 1 && t.upDegree(hi) == 1) return true;
  return t.upDegree(lo) > 1 && t.downDegree(lo) == 1 && t.upDegree(hi) == 0;
}

// can_simplify and then the end that is the extremum, asking each degree
// once: -1 needs down(lo) = 0 with down(hi) > 1 and up(hi) = 1; +1 needs
// down(lo) = 1, up(hi) = 0 and up(lo) > 1.
int leaf_direction(const Branch& b, const MultiresTree& t) {
  const Vertex* lo = b.lowerVertex();
  const Vertex* hi = b.upperVertex();
  const Size downLo = t.downDegree(lo);
  if (downLo == 0) return t.upDegree(hi) == 1 && t.downDegree(hi) > 1 ? -1 : 0;
  if (downLo != 1 || t.upDegree(hi) != 0) return 0;
  return t.upDegree(lo) > 1 ? +1 : 0;
}

BranchQueue::BranchQueue(const Vertex* v, size_t n) : vertices(v), queueable(n, true) {}

void BranchQueue::offer(BranchI b, MultiresTree& t) {
  const int dir = leaf_direction(*b, t);
  if (dir == 0) return;
  const size_t e = index(dir < 0 ? b->lowerVertex() : b->upperVertex());
  if (!queueable[e]) return;
  heap.push(BQEntry{value_range(*b), &t, b, pushes++});
  queueable[e] = false;
}

BranchI BranchQueue::popBranch() {
  for (;;) {
    if (heap.empty()) return BranchI();
    BQEntry e = heap.top();
    const Real p = value_range(*e.branch);
    if (p != e.priority) {
      // The branch grew since it was queued: it waits its turn again.
      heap.pop();
      e.priority = p;
      e.seq = pushes++;
      heap.push(e);
      continue;
    }
    heap.pop();
    if (leaf_direction(*e.branch, *e.tree) != 0) return e.branch;
    // No longer a cuttable leaf: its extremum may be queued again later.
    Vertex* lo = e.branch->lowerVertex();
    const bool lower_is_extremum = e.tree->downDegree(lo) == 0;
    assert(lower_is_extremum || e.tree->upDegree(e.branch->upperVertex()) == 0);
    queueable[index(lower_is_extremum ? lo : e.branch->upperVertex())] = true;
  }
}

// Appends to ct a branch with new end nodes at b's end vertices (same order)
// and new interior nodes at the vertices of b's nodes, and hangs the
// branches of ct that end at those vertices from it.
static BranchI append_cut_branch(MultiresTree& ct, const Branch& b) {
  ct.branches.push_back(Branch());
  BranchI nb = std::prev(ct.branches.end());
  nb->ends[0] = ct.newNode(b.ends[0]->vertex, nb, 0);
  nb->ends[1] = ct.newNode(b.ends[1]->vertex, nb, 0);
  nb->nodes.reserve(b.nodes.size());
  for (const Node* n : b.nodes) nb->nodes.push_back(ct.newNode(n->vertex, nb, 1));
  ct.attachChildren(nb);
  return nb;
}

// The first branch at v of which v is the lower (upper) end.
static BranchI branch_with_end(const MultiresTree& t, Vertex* v, bool lower) {
  for (const Node* n : t.nodes[size_t(v - t.vertices)]) {
    if (n->type != 0) continue;
    const Branch& b = *n->branch;
    if ((lower ? b.lowerVertex() : b.upperVertex()) == v) return n->branch;
  }
  return BranchI();
}

// After a leaf was cut at saddle s: when s has become regular in both trees,
// its two arcs in each tree become one and the joined branches are offered.
static void join_at(Vertex* s, MultiresTree& jt, MultiresTree& st, BranchQueue& queue) {
  if (!(jt.downDegree(s) == 1 && jt.upDegree(s) == 1 && st.downDegree(s) == 1 && st.upDegree(s) == 1)) return;
  BranchI jD = branch_with_end(jt, s, false), jU = branch_with_end(jt, s, true);
  BranchI sU = branch_with_end(st, s, true), sD = branch_with_end(st, s, false);
  jt.mergeBranches(jD, jU);
  st.mergeBranches(sU, sD);
  queue.offer(jD, jt);
  queue.offer(sU, st);
}

// The three trees as they stood when no leaf could be cut, for the report.
static std::string empty_queue_dump(const MultiresTree& jt, const MultiresTree& st, const MultiresTree& ct) {
  return std::to_string(jt.branches.size()) + ' ' + std::to_string(st.branches.size()) + ' ' +
         std::to_string(ct.branches.size()) + "\nCT:\t" + ct.dump() + "JT:\t" + jt.dump() + "ST:\t" + st.dump();
}

bool compute_multires_contour_tree_by_pointers(MultiresTree& jt, MultiresTree& st, MultiresTree& ct, Report& report,
                                               ProgressSink& prog) {
  const size_t nv = jt.nodes.size();
  ct.vertices = jt.vertices;
  ct.nodes.clear();
  ct.nodes.resize(nv);
  ct.branches.clear();
  if (!sound_merge_trees(jt, st))
    return report.fail("Error: the join and split trees are incomplete; no contour tree is built from them");
  prog.init("Computing multi-resolution contour tree", nv >= 4 ? Size(nv / 2 - 1) : 0);

  BranchQueue queue(ct.vertices, nv);
  {
    auto j = jt.branches.begin(), s = st.branches.begin();
    while (j != jt.branches.end() || s != st.branches.end()) {
      if (j != jt.branches.end()) queue.offer(j++, jt);
      if (s != st.branches.end()) queue.offer(s++, st);
    }
  }

  std::vector<Vertex*> interior;
  size_t stuck = 0;  // vertices the other tree could not give up
  for (Index k = 0; jt.branches.size() >= 2 || st.branches.size() >= 2; ++k) {
    BranchI b = queue.popBranch();
    if (b == BranchI()) {
      report.warn(empty_queue_dump(jt, st, ct));
      report.fail("Error! Branch queue is empty.");
      ct.nodes.clear();
      ct.nodes.resize(nv);
      ct.branches.clear();
      return false;
    }
    append_cut_branch(ct, *b);
    Vertex* lo = b->lowerVertex();
    Vertex* hi = b->upperVertex();
    interior.clear();
    for (const Node* n : b->nodes) interior.push_back(n->vertex);
    if (jt.downDegree(lo) == 0) {
      // A minimum of the join tree: gone from the split tree too.
      stuck += !st.removeVertex(lo, true);
      for (Vertex* v : interior) stuck += !st.removeVertex(v, true);
      jt.removeBranch(b);
      join_at(hi, jt, st, queue);
    } else {
      stuck += !jt.removeVertex(hi, false);
      for (Vertex* v : interior) stuck += !jt.removeVertex(v, false);
      st.removeBranch(b);
      join_at(lo, jt, st, queue);
    }
    prog.update(k);
  }
  if (stuck) report.warn("Error! Cannot remove vertex (" + std::to_string(stuck) + " times).");
  if (!jt.branches.empty()) append_cut_branch(ct, jt.branches.front());
  ct.computePersistence();
  ct.computeBbox();
  return true;
}

void multires_from_arrays(const MergeTreeArrays& a, Vertex* vertices, MultiresTree& t) {
  const size_t vertexCount = a.vertexCount();
  t.vertices = vertices;
  t.nodes.clear();
  t.nodes.resize(vertexCount);
  t.branches.clear();
  std::vector<BranchI> branch(a.branchCount());
  for (BranchI& b : branch) b = t.branches.emplace(t.branches.end());
  for (size_t v = 0; v < vertexCount; ++v)
    for (Index e = a.first[v]; e < a.first[v + 1]; ++e) {
      BranchI b = branch[size_t(a.at[size_t(e)] / 2)];
      b->ends[a.at[size_t(e)] % 2] = t.newNode(vertices + v, b, 0);
    }
}

}  // namespace ctree
