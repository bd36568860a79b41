#include "gui/coarse_surface.h"

#include <algorithm>
#include <cassert>

namespace ctree {

int CoarseGrid::fieldIndex(int axis, int i) const {
  assert(axis >= 0 && axis < 3 && i >= 0 && i < samples.dim[axis]);
  return std::min(i * factor, fieldDim[axis] - 1);
}

int coarse_factor(long fullTriangles, long limit) {
  int f = 2;
  while (f < 64 && fullTriangles > limit * long(f) * f) f *= 2;
  return f;
}

void coarsen_grid(const ScalarField3DGrid& field, int factor, CoarseGrid& out) {
  assert(factor >= 1);
  out.factor = factor;
  int n[3];
  for (int a = 0; a < 3; ++a) {
    out.fieldDim[a] = int(field.dim[a]);
    n[a] = field.dim[a] <= 1 ? int(field.dim[a]) : (int(field.dim[a]) - 1 + factor - 1) / factor + 1;
    out.samples.dim[a] = n[a];
    out.samples.origin[a] = float(field.origin[a]);
    // The last step may be shorter: the coarse grid keeps the field's last
    // sample, at a spacing of factor steps; a shorter last step is spread
    // over the axis so the box stays the field's.
    const int last = int(field.dim[a]) - 1;
    out.samples.span[a] = n[a] > 1 ? float(field.spacing[a] * double(last) / double(n[a] - 1))
                                   : float(field.spacing[a]);
  }
  out.values.resize(size_t(n[0]) * size_t(n[1]) * size_t(n[2]));
  size_t k = 0;
  for (int z = 0; z < n[2]; ++z)
    for (int y = 0; y < n[1]; ++y) {
      const size_t row = size_t(field.dim[0]) *
                         (size_t(out.fieldIndex(1, y)) + size_t(field.dim[1]) * size_t(out.fieldIndex(2, z)));
      for (int x = 0; x < n[0]; ++x) out.values[k++] = float(field.values[row + size_t(out.fieldIndex(0, x))]);
    }
  out.samples.values = out.values.data();
}

bool coarse_isosurface(const CoarseGrid& grid, float isovalue, contour::Isosurface& out, Report& report) {
  contour::IsosurfaceOptions options;
  options.threads = 1;
  options.normals = true;
  return contour::grid_isosurface(grid.samples, isovalue, contour::CellSplit::cubes, options, out, report);
}

}  // namespace ctree
