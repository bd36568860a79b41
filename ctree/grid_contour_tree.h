#pragma once
// The whole grid path in one call: merge trees of a copy of the grid, then
// the multiresolution contour tree, with the time of each phase.

#include <vector>

#include "core/report.h"
#include "ctree/flat_tree.h"
#include "ctree/grid_merge_trees.h"
#include "ctree/multires_tree.h"
#include "fields/grid_field.h"

namespace ctree {

// Owns the vertex vector that its trees point into; not copyable.
struct GridContourTree {
  std::vector<Vertex> vertices;
  MultiresTree join, split, contour;
  // Set before the call: only the finished tree is wanted. It is then made
  // straight into finished where it can be, contour staying empty.
  bool finishedOnly = false;
  FlatTree finished;
  Size critical_points = 0;  // vertices left after regular-vertex removal
  Report report;             // why the computation failed, and its warnings
  // seconds_copy stays 0: a copy the cube recursion needs counts as merging.
  double seconds_copy = 0, seconds_merge = 0, seconds_contour = 0;

  GridContourTree() = default;
  GridContourTree(const GridContourTree&) = delete;
  GridContourTree& operator=(const GridContourTree&) = delete;
};

// Computes out's trees for grid (left untouched, read only: several calls
// may share it). Every dimension must be at least 2. The trees are made on
// vertex indices (the branches and the vertex order do not depend on the
// geometry, and blocks are then solved by sweeps for every grid), then
// every vertex is placed at the grid's origin + spacing·index: out's
// vertices, the finished tree's copy of them and the boxes of both trees
// are in the grid's units. false with out.report's error set when the
// trees cannot be made.
// The join and split trees are of no further use afterwards (for grids
// solved by blocks they are not built at all, only their index form).
// Both phases report to options.progress in turn.
bool compute_grid_contour_tree(const ScalarField3DGrid& grid, GridContourTree& out, const MergeTreeOptions& options);

}  // namespace ctree
