#pragma once
// A join or split tree in index form: what the contour tree construction
// reads of a merge tree whose branches have their two ends and no
// interior node, as the merges hand them over. About 20 bytes per vertex
// against a few hundred for a MultiresTree.

#include <vector>

#include "ctree/multires_tree.h"

namespace ctree {

struct MergeTreeArrays {
  // Per branch, in branch-list order: the vertex of ends[0], of ends[1].
  std::vector<Index> ends;
  // Vertex v's nodes are at[first[v]] .. at[first[v + 1] - 1], in the order
  // of its node list; each entry is 2 * branch + end.
  std::vector<Index> first, at;

  size_t branchCount() const { return ends.size() / 2; }
  size_t vertexCount() const { return first.empty() ? 0 : first.size() - 1; }
};

// t in index form; false when it cannot be (a branch with an open end or
// with interior nodes). Uses the branches' persistence fields as scratch.
bool merge_tree_arrays(MultiresTree& t, MergeTreeArrays& out);

}  // namespace ctree
