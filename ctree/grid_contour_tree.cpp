#include "ctree/grid_contour_tree.h"

#include <chrono>

#include "core/free_memory.h"
#include "ctree/grid_merge_trees.h"
#include "ctree/multires_contour_tree.h"
#include "ctree/regular_vertices.h"

namespace ctree {

static double since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Vertices made on indices moved to the grid's units. Positive spacings
// keep the (field, z, y, x) order of the vertices.
static void place_in_grid_units(const ScalarField3DGrid& grid, GridContourTree& out) {
  auto place = [&](std::vector<Vertex>& vertices) {
    for (Vertex& v : vertices) {
      v.x = grid.origin[0] + grid.spacing[0] * v.x;
      v.y = grid.origin[1] + grid.spacing[1] * v.y;
      v.z = grid.origin[2] + grid.spacing[2] * v.z;
    }
  };
  place(out.vertices);
  // The trees point into out.vertices, but their boxes were made on indices;
  // the finished tree holds a copy of the vertex records.
  if (!out.contour.branches.empty()) out.contour.computeBbox();
  if (!out.finished.empty()) {
    place(out.finished.vertices);
    out.finished.computeBoxes();
  }
}

// The trees of grid, its vertices at their indices.
static bool compute_on_indices(const ScalarField3DGrid& grid, GridContourTree& out, const MergeTreeOptions& given) {
  MergeTreeOptions options = given;
  options.onIndices = true;
  auto t0 = std::chrono::steady_clock::now();
  ProgressSink& progress = options.progress ? *options.progress : no_progress();
  // Grids solved by blocks hand their trees over in index form.
  {
    MergeTreeArrays join, split;
    if (compute_merge_tree_arrays_of(grid, out.vertices, join, split, options)) {
      out.critical_points = Size(out.vertices.size());
      // The merges leave their blocks' arrays freed but mapped.
      release_free_memory();
      out.seconds_merge = since(t0);
      t0 = std::chrono::steady_clock::now();
      const bool built = out.finishedOnly
                             ? finished_tree_from_arrays(out.vertices, std::move(join), std::move(split), out.finished,
                                                         out.report, progress, options.threads)
                             : contour_tree_from_arrays(out.vertices, join, split, out.contour, out.report, progress);
      out.seconds_contour = since(t0);
      return built;
    }
  }
  // The merge trees refuse only a grid without cubes.
  if (!compute_merge_trees_of(grid, out.vertices, out.join, out.split, options))
    return out.report.fail("Error: a " + std::to_string(grid.dim[0]) + "x" + std::to_string(grid.dim[1]) + "x" +
                           std::to_string(grid.dim[2]) +
                           " grid has a dimension below 2: it has no cubes to build trees from");
  // A grid of one cube is a leaf of the recursion, which keeps all eight
  // vertices; the contour tree construction needs the regular ones gone.
  // (For larger grids the top level has removed them already.)
  if (grid.vertexCount() == 8) remove_regular_vertices(out.vertices, out.join, out.split);
  out.critical_points = Size(out.vertices.size());
  out.seconds_merge = since(t0);

  t0 = std::chrono::steady_clock::now();
  const bool built = compute_multires_contour_tree(out.join, out.split, out.contour, out.report, progress);
  out.seconds_contour = since(t0);
  return built;
}

bool compute_grid_contour_tree(const ScalarField3DGrid& grid, GridContourTree& out, const MergeTreeOptions& options) {
  if (!compute_on_indices(grid, out, options)) return false;
  const auto t0 = std::chrono::steady_clock::now();
  place_in_grid_units(grid, out);
  out.seconds_contour += since(t0);
  return true;
}

}  // namespace ctree
