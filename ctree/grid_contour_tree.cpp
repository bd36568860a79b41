#include "ctree/grid_contour_tree.h"

#include <chrono>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "ctree/flat_contour_tree.h"
#include "ctree/grid_merge_trees.h"
#include "ctree/multires_contour_tree.h"
#include "ctree/regular_vertices.h"

namespace ctree {

static double since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// The merges leave their blocks' arrays freed but mapped in the threads'
// heaps; handing those pages back lowers the peak that the contour tree
// construction reaches on top of them.
static void release_free_memory() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

bool compute_grid_contour_tree(const ScalarField3DGrid& grid, GridContourTree& out, const MergeTreeOptions& options) {
  auto t0 = std::chrono::steady_clock::now();
  ProgressSink& progress = options.progress ? *options.progress : no_progress();
  // Grids solved by blocks hand their trees over in index form.
  {
    MergeTreeArrays join, split;
    if (compute_merge_tree_arrays_of(grid, out.vertices, join, split, options)) {
      out.critical_points = Size(out.vertices.size());
      release_free_memory();
      out.seconds_merge = since(t0);
      t0 = std::chrono::steady_clock::now();
      if (out.finishedOnly) {
        if (finished_tree_from_arrays(out.vertices, std::move(join), std::move(split), out.finished, progress,
                                      options.threads)) {
          out.seconds_contour = since(t0);
          return true;
        }
        // Declined: the pointer construction gives the tree or the reasons,
        // from the arrays made again.
        out.vertices.clear();
        join = MergeTreeArrays();
        split = MergeTreeArrays();
        compute_merge_tree_arrays_of(grid, out.vertices, join, split, options);
      }
      const bool built = contour_tree_from_arrays(out.vertices, join, split, out.join, out.split, out.contour,
                                                  out.report, progress, out.finishedOnly ? &out.finished : nullptr);
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

}  // namespace ctree
