#pragma once
// Branch bookkeeping shared by the merge-tree sweeps (cube trees, block
// merges, mesh sweeps): a sweep starts a branch at the vertex that opens a
// component's arc and closes it at the vertex where the arc ends.

#include <iterator>

#include "ctree/multires_tree.h"

namespace ctree {

// Appends a default branch to tree whose ends[0] is a new end node at v.
inline BranchI start_branch(MultiresTree& tree, Vertex* v) {
  BranchI b = tree.branches.emplace(tree.branches.end());
  b->ends[0] = tree.newNode(v, b, 0);
  return b;
}

// Sets b's ends[1] to a new end node at v.
inline void close_branch(MultiresTree& tree, BranchI b, Vertex* v) { b->ends[1] = tree.newNode(v, b, 0); }

// Sweep order of vertex records: (field, z, y, x) lexicographically.
inline bool vertex_less(const Vertex& a, const Vertex& b) {
  if (a.field != b.field) return a.field < b.field;
  if (a.z != b.z) return a.z < b.z;
  if (a.y != b.y) return a.y < b.y;
  return a.x < b.x;
}

inline bool same_vertex(const Vertex& a, const Vertex& b) {
  return a.field == b.field && a.z == b.z && a.y == b.y && a.x == b.x;
}

}  // namespace ctree
