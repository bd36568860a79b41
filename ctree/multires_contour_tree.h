#pragma once
// The multiresolution contour tree: the join and split trees of a field
// consumed leaf by leaf, least persistent leaf first, into a branch
// decomposition in which every branch hangs from the branch it was cut from.
// The last branch, from the global minimum to the global maximum, is the
// root; the result's branch list is sorted by persistence (root first), so a
// prefix of it is a simplified tree.
//
// One construction serves every field: the leaf cutting over index arrays
// (leaf_cutting.h), its cuts then made into the tree model or the finished
// tree (tree_of_cuts.h). Trees that come as MultiresTree objects (meshes,
// the cube recursion, the distributed merges) are turned into arrays first.

#include <vector>

#include "core/progress.h"
#include "core/report.h"
#include "ctree/flat_tree.h"
#include "ctree/merge_tree_arrays.h"
#include "ctree/multires_tree.h"

namespace ctree {

// ct: empty; jt, st: the join and split trees over one vertex vector with
// their regular vertices removed (branches with two ends and no interior
// node). jt and st keep their branches (their persistence fields serve as
// scratch). Computes persistence and bounding boxes of ct. false, with ct
// empty and report's error set, when a branch of jt or st lacks an end or
// keeps interior nodes, or when jt and st are not the merge trees of one
// field (no leaf can be cut, or a cut leaf's vertices are not in the other
// tree). progress: told of every branch cut.
bool compute_multires_contour_tree(MultiresTree& jt, MultiresTree& st, MultiresTree& ct, Report& report,
                                   ProgressSink& progress);

// The input every construction relies on: jt and st over one vertex
// vector, every branch with both ends, every node at a vertex of that
// vector.
bool sound_merge_trees(const MultiresTree& jt, const MultiresTree& st);

// The same for trees that come in index form, over vertices (join and split
// each with vertices.size() records). The tree goes into ct (empty on entry;
// its vertices set to vertices.data()). false with report's error set as
// above.
bool contour_tree_from_arrays(std::vector<Vertex>& vertices, const MergeTreeArrays& join, const MergeTreeArrays& split,
                              MultiresTree& ct, Report& report, ProgressSink& progress);

// The finished tree alone of trees in index form, taking the arrays over:
// each is freed as soon as the construction has read it (the largest
// saving of memory of the grid path), the two side by side on two of
// threads (0: every core); the tree is the same for every count. false
// with report's error set as above, the arrays gone and finished unchanged.
bool finished_tree_from_arrays(std::vector<Vertex>& vertices, MergeTreeArrays&& join, MergeTreeArrays&& split,
                               FlatTree& finished, Report& report, ProgressSink& progress, unsigned threads = 1);

}  // namespace ctree
