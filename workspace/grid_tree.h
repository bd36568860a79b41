#pragma once
// The contour tree of a grid as a run stores it: the finished tree alone,
// its positions in the grid's units. Shared by the program and the Python
// module, so both give the same tree for the same grid.

#include <memory>
#include <string>

#include "ctree/grid_contour_tree.h"
#include "ctree/grid_merge_trees.h"
#include "fields/grid_field.h"

namespace ctree {

// Why the grid's values cannot be swept ("sample 12 is not a finite
// number", or beyond the +-1e30 isosurfaces compute with); "" when they
// can. One pass, stopping at the first fault.
std::string grid_value_fault(const ScalarField3DGrid& grid);

// The trees of grid (every dimension at least 2; read only), its finished
// tree in `finished` with positions in grid units (see
// compute_grid_contour_tree). The result's report says why it failed (then
// it returns false).
bool compute_grid_tree_in_units(const ScalarField3DGrid& grid, GridContourTree& out, const MergeTreeOptions& options);

}  // namespace ctree
