#pragma once
// The voxels behind the branches of a grid's contour tree.
//
// A branch of a contour tree bounds a feature of the field: the branch whose
// free end is a maximum ends where that maximum's superlevel component joins
// another one, at the vertex where the branch hangs. Its region is that
// component: the vertices above the hanging vertex, connected to the free
// end in the grid's own neighbourhood (fields/grid_field.h). "Above" is the
// sweep order of the trees, (value, index), so equal values are told apart
// exactly as the trees tell them apart. A minimum's region is the
// component below. The root's region is the whole grid.

#include <cstdint>
#include <vector>

#include "core/types.h"
#include "ctree/flat_tree.h"
#include "fields/grid_field.h"

namespace ctree {

// The 14 neighbours of a vertex as (dx, dy, dz) steps: every edge of the
// six tetrahedra of a cube, both ways, made from adj_verts.
struct GridStep {
  int d[3];
};
const std::vector<GridStep>& grid_neighbour_steps();

// The grid index (x + dimx·(y + dimy·z)) of every vertex of tree, whose
// positions are grid points in grid's units (a tree computed for grid or
// read with its checks); NULL_INDEX for a vertex off the grid.
std::vector<Index> tree_grid_indices(const FlatTree& tree, const ScalarField3DGrid& grid);

// The region of a branch with free end `end` and hanging vertex `hang`
// (grid indices): the connected component holding end of the vertices
// beyond hang in (value, index) order on end's side. Ascending indices.
// hang == NULL_INDEX (the root) gives every vertex. end must lie beyond
// hang. Cost: proportional to the region and its boundary (a hash set, no
// grid-sized memory).
std::vector<Index> branch_region(const ScalarField3DGrid& grid, Index end, Index hang);

// Per grid vertex the tree branch whose region, among those holding it,
// was painted last when the regions are painted root first, parents before
// children (the order of tree.branches): the branch of the tree arc the
// vertex lies on. gridIndex: tree_grid_indices(tree, grid). Every vertex
// gets a branch (0, the root, where no other region reaches).
// Cost: the sum of the regions' sizes, plus one pass over the grid.
std::vector<std::int32_t> branch_segmentation(const ScalarField3DGrid& grid, const FlatTree& tree,
                                              const std::vector<Index>& gridIndex);

}  // namespace ctree
