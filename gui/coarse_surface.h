#pragma once
// The isosurface of a grid drawn while the view turns: the whole surface
// of the grid subsampled by an integer factor (every factor-th sample
// along each axis, the last sample of an axis kept when the factor does
// not divide it), in the grid's units: the box is the field's, and on an
// axis the factor does not divide the coarse samples are spread evenly
// over it, each less than a factor of steps from its own place. Its triangles are about 1/factor²
// of the full surface's and cover the same shape, so a turning view shows
// the whole object, only coarser. Nothing here draws.

#include <vector>

#include "contour/grid_isosurface.h"
#include "fields/grid_field.h"

namespace ctree {

struct CoarseGrid {
  std::vector<float> values;
  // Points into values; positions of the subsampled grid in the field's units.
  contour::GridSamples samples;
  int factor = 1;
  // Index along each axis of the field of the coarse sample i: i·factor, the
  // last one the field's last.
  int fieldIndex(int axis, int i) const;
  int fieldDim[3] = {0, 0, 0};
};

// The smallest factor among 2, 4, 8, ... that brings fullTriangles·(1/factor²)
// to at most limit (at least 2; at most 64).
int coarse_factor(long fullTriangles, long limit);

// The field subsampled by factor (>= 1). An axis of n samples keeps
// ceil((n - 1) / factor) + 1 of them, at least 2 when n >= 2.
void coarsen_grid(const ScalarField3DGrid& field, int factor, CoarseGrid& out);

// The cube-case isosurface of the coarse grid at isovalue, with normals;
// false with report's error when the grid has an axis of one sample.
bool coarse_isosurface(const CoarseGrid& grid, float isovalue, contour::Isosurface& out, Report& report);

}  // namespace ctree
