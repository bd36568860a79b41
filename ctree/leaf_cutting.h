#pragma once
// The contour tree's branches cut from the join and split trees of a field,
// over index arrays: leaves are taken off the two trees least persistent
// first (value range; a leaf that grew since it was queued waits its turn
// again), each cut removes the leaf's vertices from the other tree, and a
// saddle left regular in both trees joins its two arcs in each. The order of
// the cuts is the branch hierarchy: a branch hangs from the branch cut later
// that has an interior node at one of its ends (tree_of_cuts.h builds it).
// Every edit on the two trees (index_merge_tree.h) is the tree model's
// (MultiresTree) of the same name, step for step, and the queue breaks ties
// first in, first out, so the cuts are those the same loop over the model
// gives, in the same order; the tests hold it to such a loop.

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

// Where the cutting stopped when it declined: with branches left in the
// trees, either no leaf could be cut (queueRanEmpty) or a cut leaf's
// vertices could not be taken from the other tree, or a leaf of one tree
// was an extremum of the other (the trees disagree).
struct CutStop {
  bool queueRanEmpty = false;
  size_t joinBranches = 0, splitBranches = 0;  // left in the two trees
  size_t cut = 0;                              // branches cut before
};

// The cuts of the construction on the two trees over vertices (join and
// split each with vertexCount() records of vertices, branches with both
// ends at them). One pass over the leaves with a lazy heap, O(n log n) with
// n the trees' branches, plus the interior nodes moved by the joins.
// false when the trees are not those of one field in the way the
// construction relies on, with *stop (when given) saying where it stopped;
// cuts is then left as it was.
bool cut_contour_tree(const Vertex* vertices, const MergeTreeArrays& join, const MergeTreeArrays& split,
                      CutBranches& cuts, ProgressSink& progress, CutStop* stop = nullptr);

// The same, taking the two arrays over: each is freed as soon as its tree
// is made from it, the two side by side with workers > 1 (the cuts are the
// same for every count).
bool cut_contour_tree(const Vertex* vertices, MergeTreeArrays&& join, MergeTreeArrays&& split, CutBranches& cuts,
                      ProgressSink& progress, unsigned workers, CutStop* stop = nullptr);

}  // namespace ctree
