#include "ctree/cell_trees.h"

#include <cassert>

#include "ctree/sweep_branches.h"
#include "ctree/union_find.h"

namespace ctree {

// Writes the eight vertex records in sweep order and prepares the tree.
static void prepare(ScalarField3DGrid& cube, std::vector<Vertex>& V, MultiresTree& tree) {
  assert(cube.dim[0] == 2 && cube.dim[1] == 2 && cube.dim[2] == 2);
  if (!cube.sorted) cube.sortVertices();
  V.resize(8);
  for (int k = 0; k < 8; ++k) {
    const Index c = cube.order[size_t(k)];
    // Corner c = bx + 2·by + 4·bz.
    V[size_t(k)] = Vertex{cube.origin[0] + cube.spacing[0] * (c & 1), cube.origin[1] + cube.spacing[1] * ((c >> 1) & 1),
                          cube.origin[2] + cube.spacing[2] * ((c >> 2) & 1), cube.values[size_t(c)]};
  }
  tree.vertices = V.data();
  tree.nodes.clear();
  tree.nodes.resize(8);
  tree.branches.clear();
}

// One sweep over the cube. rank[c] is corner c's position in the sweep, so
// "u was swept before v" is rank[u] < rank[v]: lower for the join sweep,
// higher for the split sweep.
static void sweep(const ScalarField3DGrid& cube, std::vector<Vertex>& V, MultiresTree& tree, bool join) {
  int rank[8];
  for (int k = 0; k < 8; ++k) rank[cube.order[size_t(join ? k : 7 - k)]] = k;
  UnionFind<BranchI> uf(8);
  BranchI current{};
  bool connected = false;
  for (int s = 0; s < 8; ++s) {
    const int k = join ? s : 7 - s;  // position in V of the corner swept now
    const Index v = cube.order[size_t(k)];
    Vertex* W = &V[size_t(k)];
    if (connected) {
      // A diagonal corner has been swept: one component, to which every later
      // corner is adjacent. The sweep is a chain from here on.
      if (current->ends[1] == nullptr) close_branch(tree, current, W);
      if (s < 7) current = start_branch(tree, W);
      continue;
    }
    current = start_branch(tree, W);
    uf.findEntry(v)->data = current;
    auto join_lower = [&](Index u) {
      if (rank[u] >= s) return;
      BranchI bu = uf.findEntry(u)->data;
      BranchI bv = uf.findEntry(v)->data;
      if (bu != bv && bu->ends[1] == nullptr) close_branch(tree, bu, W);
      uf.merge(v, u, bv);
    };
    if (v == 0 || v == 7) {
      for (Index u = 1; u <= 6; ++u) join_lower(u);
      connected = true;
    } else {
      join_lower(adj_verts[v - 1][0]);
      join_lower(adj_verts[v - 1][1]);
    }
  }
  assert(tree.branches.size() == 7);
}

void CellTrees3DGrid::joinTree(ScalarField3DGrid& cube, std::vector<Vertex>& V, MultiresTree& tree) const {
  prepare(cube, V, tree);
  sweep(cube, V, tree, true);
}

void CellTrees3DGrid::splitTree(ScalarField3DGrid& cube, std::vector<Vertex>& V, MultiresTree& tree) const {
  prepare(cube, V, tree);
  sweep(cube, V, tree, false);
}

}  // namespace ctree
