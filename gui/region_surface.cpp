#include "gui/region_surface.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <vector>

#include "ctree/branch_regions.h"

namespace ctree {

bool region_surface(const ScalarField3DGrid& grid, Index end, Index hang, RegionSurface& out, Report& report) {
  out.voxels = 0;
  out.surface.vertices.clear(), out.surface.normals.clear(), out.surface.colours.clear();
  out.surface.triangles.clear();
  if (hang == NULL_INDEX) {
    out.voxels = grid.values.size();
    return true;
  }
  const std::vector<Index> region = branch_region(grid, end, hang);
  out.voxels = region.size();
  if (region.empty()) return true;
  const long nx = long(grid.dim[0]), ny = long(grid.dim[1]);
  long lo[3] = {nx, ny, long(grid.dim[2])}, hi[3] = {-1, -1, -1};
  for (Index v : region) {
    const long p[3] = {v % nx, (v / nx) % ny, v / (nx * ny)};
    for (int a = 0; a < 3; ++a) lo[a] = std::min(lo[a], p[a]), hi[a] = std::max(hi[a], p[a]);
  }
  // The box one sample wider on every side, past the grid's border too.
  long dim[3];
  for (int a = 0; a < 3; ++a) lo[a] -= 1, hi[a] += 1, dim[a] = hi[a] - lo[a] + 1;
  const size_t n = size_t(dim[0]) * size_t(dim[1]) * size_t(dim[2]);
  // Values relative to the hanging value, turned so the region lies above:
  // the region at least eps, the rest at most 0, the margin -eps.
  const double hv = grid.values[size_t(hang)];
  const double sign = FieldCompare3d(grid)(hang, end) ? 1.0 : -1.0;
  double span = 0;
  for (Index v : region) span = std::max(span, sign * (grid.values[size_t(v)] - hv));
  const double eps = span > 0 ? span * 1e-3 : 1.0;
  std::vector<float>& samples = out.samples;
  samples.assign(n, float(-eps));
  auto local = [&](long x, long y, long z) {
    return size_t(((z - lo[2]) * dim[1] + (y - lo[1])) * dim[0] + (x - lo[0]));
  };
  for (Index v : region) {
    const long x = v % nx, y = (v / nx) % ny, z = v / (nx * ny);
    samples[local(x, y, z)] = float(std::max(eps, sign * (grid.values[size_t(v)] - hv)));
  }
  // Outside, only the neighbours of the region matter (the edges to
  // them are the crossed ones): their own values, at most 0. The rest
  // keeps -eps, so the work follows the region, not its box.
  const long nz = long(grid.dim[2]);
  for (Index v : region) {
    const long x = v % nx, y = (v / nx) % ny, z = v / (nx * ny);
    for (const GridStep& s : grid_neighbour_steps()) {
      const long X = x + s.d[0], Y = y + s.d[1], Z = z + s.d[2];
      if (X < 0 || Y < 0 || Z < 0 || X >= nx || Y >= ny || Z >= nz) continue;
      float& out = samples[local(X, Y, Z)];
      if (out < eps / 2) out = float(std::min(0.0, sign * (grid.values[size_t(X + nx * (Y + ny * Z))] - hv)));
    }
  }
  contour::GridSamples g;
  g.values = samples.data();
  for (int a = 0; a < 3; ++a) {
    g.dim[a] = int(dim[a]);
    g.origin[a] = float(grid.origin[a] + double(lo[a]) * grid.spacing[a]);
    g.span[a] = float(grid.spacing[a]);
  }
  contour::IsosurfaceOptions options;
  options.threads = 2;
  return contour::grid_isosurface(g, float(eps / 2), contour::CellSplit::tetrahedra, options, out.surface, report);
}

}  // namespace ctree
