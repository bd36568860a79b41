#pragma once
// The multiresolution contour tree built over index arrays.
//
// The construction is the one of compute_multires_contour_tree: leaves cut
// from the join and split trees least persistent first, through the same
// queue, the same degree tests and the same edits, so the same branches
// are cut in the same order and the result is the same tree. Only the
// storage differs: nodes and branches are records in arrays, the up and
// down degrees of every vertex counters kept up to date, a branch's
// interior nodes a ring through them (no erase from the middle of a
// vector), and the node list of a vertex a range of one shared array kept
// in the order the pointer model keeps it (a removal moves the last entry
// into the hole), since "the first branch at a vertex" is read in that
// order.

#include <vector>

#include "core/progress.h"
#include "core/report.h"
#include "ctree/flat_tree.h"
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
// the other tree): the pointer construction then gives the result and the
// messages.
bool cut_contour_tree(const Vertex* vertices, const MergeTreeArrays& join, const MergeTreeArrays& split,
                      CutBranches& cuts, ProgressSink& progress);

// ct (empty, its vertices and nodes set up) as the pointer construction
// builds it from those cuts: new end and interior nodes, every branch hung
// from the branch cut later at its end, then persistence and boxes.
void contour_tree_of_cuts(const CutBranches& cuts, MultiresTree& ct);

// What flatten() gives of that tree, made straight from the cuts: the same
// parents, persistence, order and vertex records, without the pointer model.
FlatTree finished_tree_of_cuts(const Vertex* vertices, const CutBranches& cuts);

// cut_contour_tree and contour_tree_of_cuts.
bool flat_contour_tree(const Vertex* vertices, const MergeTreeArrays& join, const MergeTreeArrays& split,
                       MultiresTree& ct, ProgressSink& progress);

// The contour tree of the trees of a grid solved by blocks, which come in
// index form: by the cuts, or by the pointer construction (after building
// jt and st from the arrays) when cut_contour_tree declines. With finished,
// the cuts give *finished directly and ct stays empty (the pointer
// construction's ct is flattened into it otherwise). As
// compute_multires_contour_tree otherwise.
bool contour_tree_from_arrays(std::vector<Vertex>& vertices, const MergeTreeArrays& join, const MergeTreeArrays& split,
                              MultiresTree& jt, MultiresTree& st, MultiresTree& ct, Report& report,
                              ProgressSink& progress, FlatTree* finished = nullptr);

// The finished tree of those trees by the cuts, taking the arrays over:
// each is freed as soon as the construction has read it, the largest
// memory saving of the grid path. false, with the arrays gone and finished
// unchanged, where contour_tree_from_arrays would fall back to the pointer
// construction (arrays out of step with vertices, or cuts declined): the
// caller makes the arrays again for it. threads: workers for the parts
// that run side by side (0: every core); the tree is the same for every
// count.
bool finished_tree_from_arrays(std::vector<Vertex>& vertices, MergeTreeArrays&& join, MergeTreeArrays&& split,
                               FlatTree& finished, ProgressSink& progress, unsigned threads = 1);

// The construction in the pointer model alone (the reference the flat one
// is tested against; also its fallback).
bool compute_multires_contour_tree_by_pointers(MultiresTree& jt, MultiresTree& st, MultiresTree& ct, Report& report,
                                               ProgressSink& progress);

}  // namespace ctree
