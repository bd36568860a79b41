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

bool compute_grid_tree_in_units(const ScalarField3DGrid& grid, GridContourTree& out, const MergeTreeOptions& options) {
  out.finishedOnly = true;
  return compute_grid_contour_tree(grid, out, options) && !out.report.failed();
}

}  // namespace ctree
