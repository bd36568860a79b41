#pragma once
// The contour tree's branches cut from the join and split trees of a field,
// over index arrays: leaves are taken off the two trees least persistent
// first (value range; a leaf that grew since it was queued waits its turn
// again), each cut removes the leaf's vertices from the other tree, and a
// saddle left regular in both trees joins its two arcs in each. The order of
// the cuts is the branch hierarchy: a branch hangs from the branch cut later
// that has an interior node at one of its ends (tree_of_cuts.h builds it).

#include <vector>

#include "core/progress.h"
#include "ctree/merge_tree_arrays.h"
#include "ctree/multires_tree.h"

namespace ctree {

// The branches the construction cuts, in the order cut (the root last):
// per branch the vertices of its ends[0] and ends[1] and of its interior
// nodes, in the branch's order.
struct CutBranches {
  std::vector<Index> ends;              // 2 per branch
  std::vector<Index> firstInterior{0};  // branches + 1
  std::vector<Index> interior;

  size_t size() const { return ends.size() / 2; }
};

// The cuts of the construction on the two trees over vertices. false when
// the trees are not those of one field in the way the construction relies
// on (an empty queue, a vertex that cannot be removed, a leaf taken from
// the other tree).
bool cut_contour_tree(const Vertex* vertices, const MergeTreeArrays& join, const MergeTreeArrays& split,
                      CutBranches& cuts, ProgressSink& progress);

}  // namespace ctree
