#pragma once
// Which branch of a contour tree the user points at: the hit test of a
// window point against the drawn branches (through the camera matrices the
// window grabbed at its last frame), the branch whose arc crosses the
// isovalue inside the surface piece under the pointer, and the pairing of
// branches between a contour tree and its laid-out copy. Pure computations;
// the windows read the pointer and the depth buffer and draw the result.

#include <vector>

#include "ctree/flat_tree.h"
#include "fields/grid_field.h"
#include "gui/tree_selection.h"

namespace ctree {

// The camera of one frame as OpenGL keeps it: column-major matrices and
// the viewport (x, y, width, height).
struct Camera {
  double modelview[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  double projection[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  int viewport[4] = {0, 0, 1, 1};
};

// The window position (x, y from the bottom left, depth 0..1) of a model
// point, as gluProject gives it. false when the point projects to infinity.
bool project_point(const Camera& camera, const double p[3], double out[3]);

// The branch of `order` (drawn branches of tree, drawn along
// build_branch_path with style) nearest the window point (x, y from the
// bottom left), if its drawn path passes within maxPixels; NULL_INDEX
// otherwise. A tie goes to the branch nearer the viewer. depth, when
// given, receives the window depth (0..1) of the point taken. O(drawn
// path length).
Index pick_branch(const FlatTree& tree, const std::vector<Index>& order, const DrawSet& drawn, const PathStyle& style,
                  const Camera& camera, double x, double y, double maxPixels, double* depth = nullptr);

// For each branch of the laid-out tree c, the branch of the contour tree a
// in the same place of the hierarchy (the i-th child of a branch is the
// i-th child of its partner); NULL_INDEX where a has no partner.
std::vector<Index> paired_branches(const FlatTree& c, const FlatTree& a);

// The branches of a grid's contour tree by the grid index of their free
// end (ends[0]); the root by both ends.
struct FreeEnds {
  std::vector<Index> gridIndex;                // tree_grid_indices(tree, grid)
  std::vector<std::pair<Index, Index>> byEnd;  // (grid index, branch), sorted
  void build(const FlatTree& tree, const ScalarField3DGrid& grid);
  Index branchAt(Index gridVertex) const;
};

// The branch whose path crosses isovalue inside the component of the
// isosurface's upper side (values above isovalue) that holds the grid
// corner of p's cell with the largest value; when no corner lies above,
// the lower side's, from the smallest corner. p is a point in the scan's
// units (origin and spacing of grid). The extremum reached by climbing
// (descending) from that corner ends a branch; the answer is that branch or
// the first of its ancestors whose path reaches beyond isovalue. NULL_INDEX
// when p is outside the grid or the tree has no branch ending there.
Index branch_at_surface_point(const ScalarField3DGrid& grid, const FlatTree& tree, const FreeEnds& ends,
                              const double p[3], double isovalue);

}  // namespace ctree
