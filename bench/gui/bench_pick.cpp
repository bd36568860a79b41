// Seconds from a pick to the highlighted region: the region of a branch
// and its boundary surface (what a click or a walk key computes), for the
// branches of the first view of a volume's tree, the largest regions
// first, and the surface-point search a click on the isosurface makes.
//
//   bench_pick [BRANCHES] <orrery options of a volume with --ct>
//
// No window is opened. Prints, per branch, its region's voxels, its
// boundary's triangles and the seconds; then the median and the largest.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/options.h"
#include "app/startup.h"
#include "ctree/branch_regions.h"
#include "gui/branch_pick.h"
#include "gui/region_surface.h"
#include "gui/threshold_levels.h"
#include "workspace/main_data.h"

using namespace ctree;

namespace {

int wanted = 20;
using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

bool check(const Options&) { return true; }

int start(int, char**, MainData& data, const Options&) {
  if (!data.field3d || !data.ctree || data.ctree->empty()) {
    std::fprintf(stderr, "bench_pick: needs a volume and its contour tree (--ct)\n");
    return 1;
  }
  const ScalarField3DGrid& grid = *data.field3d;
  const FlatTree& tree = *data.ctree;
  Clock::time_point t0 = Clock::now();
  FreeEnds ends;
  ends.build(tree, grid);
  std::printf("%zu branches; grid indices of the free ends: %.3f s (once per tree)\n", tree.branches.size(),
              seconds_since(t0));
  // The first view's branches, the most persistent first.
  std::vector<Index> order;
  for (size_t b = 1; b < tree.branches.size(); ++b) order.push_back(Index(b));
  std::stable_sort(order.begin(), order.end(), [&](Index a, Index b) {
    return tree.branches[size_t(a)].persistence > tree.branches[size_t(b)].persistence;
  });
  order.resize(std::min(order.size(), size_t(wanted)));
  std::vector<double> times;
  // One surface for every pick, as the windows keep one.
  RegionSurface s;
  for (Index b : order) {
    const FlatBranch& br = tree.branches[size_t(b)];
    const Index end = ends.gridIndex[size_t(br.ends[0])], hang = ends.gridIndex[size_t(br.ends[1])];
    t0 = Clock::now();
    const size_t voxels = branch_region(grid, end, hang).size();
    const double region = seconds_since(t0);
    t0 = Clock::now();
    Report report;
    const bool ok = region_surface(grid, end, hang, s, report);
    const double t = seconds_since(t0);
    times.push_back(t);
    std::printf("branch %6d: %9zu voxels, %8d triangles, %.3f s (the region alone %.3f s)%s\n", int(b), voxels,
                s.surface.triangleCount(), t, region, ok ? "" : " (failed)");
  }
  std::sort(times.begin(), times.end());
  if (!times.empty())
    std::printf("region and boundary: median %.3f s, largest %.3f s over %zu branches\n", times[times.size() / 2],
                times.back(), times.size());
  // Surface points: the centres of cells along the grid's diagonal.
  t0 = Clock::now();
  int found = 0, n = 0;
  const double iso = 0.5 * (grid.values.front() + grid.values[grid.values.size() / 2]);
  for (int k = 1; k < 50; ++k, ++n) {
    double p[3];
    for (int a = 0; a < 3; ++a) p[a] = grid.origin[a] + grid.spacing[a] * (grid.dim[a] - 1) * k / 50.0;
    found += branch_at_surface_point(grid, tree, ends, p, iso) != NULL_INDEX;
  }
  std::printf("surface points: %d of %d found a branch, %.5f s each\n", found, n, seconds_since(t0) / n);
  return 0;
}

const ViewerStart NO_WINDOWS{check, start};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s BRANCHES <orrery options>\n", argv[0]);
    return 1;
  }
  wanted = std::atoi(argv[1]);
  argv[1] = argv[0];
  Options options;
  if (parse_options(argc - 1, argv + 1, options) != ParseResult::Run) return 1;
  return run_startup(argc - 1, argv + 1, options, &NO_WINDOWS);
}
