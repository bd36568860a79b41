#pragma once
// The join and split trees of one block of a grid, solved directly: the
// block's vertices are sorted by (field, z, y, x) and swept up and down with
// a union-find over the 14-neighbourhood of the cubes' tetrahedra, instead of
// recursing down to single cubes and merging their trees back up.
//
// The result is exactly what the cube recursion hands upwards for a block
// below the top level:
// - the vertices that lie on the block's boundary or are not regular in both
//   trees, sorted by (field, z, y, x), each once;
// - the arcs of the block's join and split trees restricted to those
//   vertices (BlockTrees);
// - at every vertex, the arcs that end there in the order the recursion's
//   merges close them: by the order in which its recursion reaches the cubes
//   around the vertex (lower half before upper half at every cut), and
//   within a cube by the cube sweep's order of neighbours. Later merges read that order, so it is what keeps
//   the final trees identical to those of the cube recursion.

#include <vector>

#include "ctree/block_trees.h"
#include "fields/grid_field.h"

namespace ctree {

// A box of vertices of a grid: start is its first vertex, every dim >= 2.
struct GridBlock {
  Size start[3] = {0, 0, 0};
  Size dim[3] = {0, 0, 0};
  Size vertexCount() const { return dim[0] * dim[1] * dim[2]; }
  Size cubeCount() const { return (dim[0] - 1) * (dim[1] - 1) * (dim[2] - 1); }
};

// Where the vertices of a grid are placed: origin + spacing·index per axis.
// The grid's own geometry, or vertex indices (the default) when positions
// are placed later.
struct GridFrame {
  Real origin[3] = {0, 0, 0};
  Real spacing[3] = {1, 1, 1};
};
GridFrame frame_of(const ScalarField3DGrid& grid);

// Whether a grid's blocks can be solved directly with the same vertex records
// as the cube recursion placed in frame: positions origin + spacing·index are
// exact doubles (integral origin and positive integral spacing, well inside
// 2^53) so the recursion's accumulated block origins give the same numbers,
// and no value is NaN (which has no place in the sweep order).
bool leaf_blocks_exact(const ScalarField3DGrid& grid, const GridFrame& frame);

// out: replaced by the block's vertices, placed in frame, and trees (see
// above). The grid is read only. Thread-safe: the scratch arrays are per
// thread and reused.
void solve_leaf_block(const ScalarField3DGrid& grid, const GridFrame& frame, const GridBlock& block, BlockTrees& out);

}  // namespace ctree
