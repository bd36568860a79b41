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
#include "ctree/leaf_cutting.h"
#include "ctree/tree_of_cuts.h"
#include "ctree/merge_tree_arrays.h"
#include "ctree/multires_tree.h"

namespace ctree {

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

// The construction in the pointer model alone (the reference the flat one
// is tested against; also its fallback).
bool compute_multires_contour_tree_by_pointers(MultiresTree& jt, MultiresTree& st, MultiresTree& ct, Report& report,
                                               ProgressSink& progress);

}  // namespace ctree
