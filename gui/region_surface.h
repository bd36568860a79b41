#pragma once
// The boundary of a branch's region (ctree/branch_regions.h) as a
// triangle surface: the level set of the field at the branch's hanging
// value around the region, over the grid's tetrahedral split, so that it is
// the piece of the tree-consistent isosurface that encloses exactly the
// region's voxels. Computed over the region's bounding box (one sample
// wider on each side), so its cost follows the region, not the grid.

#include <cstddef>
#include <vector>

#include "contour/grid_isosurface.h"
#include "core/report.h"
#include "fields/grid_field.h"

namespace ctree {

struct RegionSurface {
  size_t voxels = 0;            // of the region
  contour::Isosurface surface;  // in the scan's units; empty for the root
  // The samples of the last box: memory kept, with the surface's, for the
  // next region (a fresh allocation costs a big region more than its
  // surface does).
  std::vector<float> samples;
};

// The region of the branch with free end `end` and hanging vertex `hang`
// (grid indices; hang NULL_INDEX for the root, whose region is the whole
// grid and gets no surface) and its boundary. Samples of the region are
// raised to a little above the hanging value, the others lowered to at
// most it, so every crossed edge joins a region voxel to one outside it;
// the region touching the grid's border is closed by the margin. false
// with report's error when the surface cannot be made. out's memory is
// used again.
bool region_surface(const ScalarField3DGrid& grid, Index end, Index hang, RegionSurface& out, Report& report);

}  // namespace ctree
