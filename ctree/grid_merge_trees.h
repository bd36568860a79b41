#pragma once
// Join and split trees of a whole grid by divide and conquer: the grid is cut
// along its longest axis down to single cubes, the cubes' trees are built
// and the trees of the two halves of every block merged on the way back up.
// After each merge the vertices regular in both trees and strictly inside
// the block are removed, so what travels upwards grows with the block's
// surface and its critical points, not with its volume; at the top every
// vertex regular in both trees goes.

#include <vector>

#include "core/progress.h"
#include "ctree/cell_trees.h"
#include "ctree/merge_tree_arrays.h"
#include "ctree/multires_tree.h"
#include "fields/grid_field.h"

namespace ctree {

constexpr Size DEFAULT_LEAF_VERTICES = 32768;

// How the merge trees of a grid are computed; the trees are the same for
// every setting. Each computation keeps its own state, so several may run
// at once (with different sinks).
struct MergeTreeOptions {
  // The two halves of a block are independent until they are merged, so
  // the top levels of the recursion run their halves in parallel. 1 runs
  // everything on the calling thread, 0 uses every core.
  unsigned threads = 0;
  // Blocks below the top with at most this many vertices are solved by one
  // sorted sweep each instead of recursing to single cubes (same trees: it
  // is an implementation choice). 8 or less recurses to single cubes; grids
  // whose positions are not exact integers or that hold NaN always do.
  Size leafVertices = DEFAULT_LEAF_VERTICES;
  // Told of the cubes done, from any worker (null: nothing is shown).
  ProgressSink* progress = nullptr;
  // The vertices' positions are their indices (origin 0, spacing 1)
  // whatever the grid's geometry, for a caller that places them itself:
  // blocks are then solved by sweeps for every grid without NaN.
  bool onIndices = false;
};

// grid: may be consumed (cut down to its lowest cube); every dimension
// at least 2, else false (callers check the sizes). V, join, split: empty on entry; on
// return V is sorted by (field, z, y, x) and both trees point into it.
// level: 0 for a whole grid (see compute_block_merge_trees for the others).
bool compute_merge_trees(ScalarField3DGrid& grid, std::vector<Vertex>& V, MultiresTree& join, MultiresTree& split,
                         CellTrees3DGrid& cells, unsigned long level, const MergeTreeOptions& options);

// The same for a grid that stays untouched: cut in boxes where blocks are
// solved by sweeps, else a copy is cut.
bool compute_merge_trees_of(const ScalarField3DGrid& grid, std::vector<Vertex>& V, MultiresTree& join,
                            MultiresTree& split, const MergeTreeOptions& options);

// The same in index form, for a grid solved by blocks (see
// MergeTreeOptions::leafVertices) with more than one cube: the trees the
// other calls give, without building their pointer model. false, with
// nothing done, for any other grid.
bool compute_merge_tree_arrays_of(const ScalarField3DGrid& grid, std::vector<Vertex>& V, MergeTreeArrays& join,
                                  MergeTreeArrays& split, const MergeTreeOptions& options);

// The same for one block of a bigger grid at the given level of its
// recursion (a part computed on its own, e.g. by one process of many): the
// meter counts this block's cubes, and level 0 removes every regular vertex
// at the end, other levels only those strictly inside the block.
bool compute_block_merge_trees(ScalarField3DGrid& grid, std::vector<Vertex>& V, MultiresTree& join, MultiresTree& split,
                               CellTrees3DGrid& cells, unsigned long level, const MergeTreeOptions& options);

// One step up the recursion: the trees of a block from those of its two
// halves (lower V1, J1, S1 and upper V2, J2, S2, unchanged), then the
// removal of regular vertices (all of them at the top, else those strictly
// inside blockBox).
void merge_block_halves(const Box& blockBox, bool top, const std::vector<Vertex>& V1, const MultiresTree& J1,
                        const MultiresTree& S1, const std::vector<Vertex>& V2, const MultiresTree& J2,
                        const MultiresTree& S2, std::vector<Vertex>& V, MultiresTree& J, MultiresTree& S);
// The box of grid's vertex positions in that layout.
Box block_box(const ScalarField3DGrid& grid);

// out = the join (split) tree over V of two blocks' trees t1 and t2, whose
// vertex vectors are sub-sequences of V. One sweep of V with a union-find;
// the inputs are read-only.
void merge_join_trees(const MultiresTree& t1, const MultiresTree& t2, std::vector<Vertex>& V, MultiresTree& out);
void merge_split_trees(const MultiresTree& t1, const MultiresTree& t2, std::vector<Vertex>& V, MultiresTree& out);

}  // namespace ctree
