#include "workspace/grid_tree.h"

#include <cmath>
#include <cstdio>

#include "fields/value_limits.h"

namespace ctree {

std::string grid_value_fault(const ScalarField3DGrid& g) {
  // NaN and infinities have no place in the sweep order, and a tree over
  // them could not be stored; values beyond what the isosurfaces and the
  // spectrum compute with would fail later.
  char text[200];
  for (size_t i = 0; i < g.values.size(); ++i)
    if (!std::isfinite(g.values[i])) {
      std::snprintf(text, sizeof text, "sample %zu is not a finite number", i);
      return text;
    } else if (std::fabs(g.values[i]) > MAX_FIELD_MAGNITUDE) {
      std::snprintf(text, sizeof text,
                    "sample %zu is %g, beyond the +-1e30 that isosurfaces and the spectrum compute with "
                    "(single precision)",
                    i, g.values[i]);
      return text;
    }
  return "";
}

bool compute_grid_tree_in_units(ScalarField3DGrid& grid, GridContourTree& out, const MergeTreeOptions& options) {
  out.finishedOnly = true;
  Real spacing[3], origin[3];
  for (int a = 0; a < 3; ++a) {
    spacing[a] = grid.spacing[a], origin[a] = grid.origin[a];
    grid.spacing[a] = 1, grid.origin[a] = 0;
  }
  const bool built = compute_grid_contour_tree(grid, out, options);
  for (int a = 0; a < 3; ++a) grid.spacing[a] = spacing[a], grid.origin[a] = origin[a];
  if (!built || out.report.failed()) return false;
  // Positive spacings keep the (field, z, y, x) order of the vertices.
  auto to_grid_units = [&](std::vector<Vertex>& vertices) {
    for (Vertex& v : vertices) {
      v.x = origin[0] + spacing[0] * v.x;
      v.y = origin[1] + spacing[1] * v.y;
      v.z = origin[2] + spacing[2] * v.z;
    }
  };
  to_grid_units(out.vertices);
  // The finished tree holds a copy of the vertex records: moved the same
  // way, with its boxes made again from the moved positions.
  if (!out.finished.empty()) {
    to_grid_units(out.finished.vertices);
    out.finished.computeBoxes();
  }
  return true;
}

}  // namespace ctree
