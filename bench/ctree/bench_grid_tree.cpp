// The whole grid path: copy, cube trees, merges, regular-vertex removal and
// the multiresolution contour tree, on generated fields.
//
//   bench_grid_tree [N ...]      (default: 64 128; add 256 for the big run)
//   bench_grid_tree --noisy N    (a field with many critical points)
//   bench_grid_tree --threads T N (T threads for the block recursion)
//   bench_grid_tree --leaf L N   (blocks of at most L vertices solved by
//                                 sweeps; 8 recurses to single cubes)
//
// Prints seconds per phase, vertices per second and the peak resident
// memory per vertex.

#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ctree/grid_contour_tree.h"
#include "core/threads.h"
#include "ctree/grid_merge_trees.h"

using namespace ctree;

static long peak_kib() {
  rusage u;
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

// A sum of Gaussian bumps of alternating sign, plus optional noise.
static ScalarField3DGrid make_field(Size n, bool noisy) {
  ScalarField3DGrid g;
  g.dim[0] = g.dim[1] = g.dim[2] = n;
  g.values.resize(size_t(n) * n * n);
  const int bumps = 16;
  double c[bumps][3];
  unsigned s = 12345;
  auto rnd = [&s]() {
    s = s * 1103515245u + 12345u;
    return double((s >> 8) & 0xffff) / 65536.0;
  };
  for (auto& b : c)
    for (double& x : b) x = rnd() * (n - 1);
  const double sigma = n / 8.0;
  size_t i = 0;
  for (Size z = 0; z < n; ++z)
    for (Size y = 0; y < n; ++y)
      for (Size x = 0; x < n; ++x, ++i) {
        double f = 0;
        for (int b = 0; b < bumps; ++b) {
          double dx = x - c[b][0], dy = y - c[b][1], dz = z - c[b][2];
          f += (b % 2 ? -1 : 1) * std::exp(-(dx * dx + dy * dy + dz * dz) / (2 * sigma * sigma));
        }
        if (noisy) f += 0.05 * rnd();
        g.values[i] = double(float(f));
      }
  return g;
}

static void run(Size n, bool noisy, const MergeTreeOptions& options) {
  ScalarField3DGrid g = make_field(n, noisy);
  const long before = peak_kib();
  GridContourTree t;
  if (!compute_grid_contour_tree(g, t, options)) std::exit(1);
  const double total = t.seconds_copy + t.seconds_merge + t.seconds_contour;
  const double verts = double(g.vertexCount());
  std::printf("\n%u^3%s, %u threads, leaf blocks of %u vertices: %u critical points, %zu branches\n", n,
              noisy ? " noisy" : "", worker_count(options.threads), options.leafVertices, t.critical_points,
              t.contour.branches.size());
  std::printf("  copy %.3f s, merge trees %.3f s, contour tree %.3f s, total %.3f s, %.2f M vertices/s\n",
              t.seconds_copy, t.seconds_merge, t.seconds_contour, total, verts / total / 1e6);
  std::printf("  peak memory %.1f MiB (%.1f bytes per vertex; %.1f MiB before the computation)\n", peak_kib() / 1024.0,
              peak_kib() * 1024.0 / verts, before / 1024.0);
}

int main(int argc, char** argv) {
  std::vector<Size> sizes;
  bool noisy = false;
  Progress meter(stdout);
  MergeTreeOptions options;
  options.progress = &meter;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--noisy"))
      noisy = true;
    else if (!std::strcmp(argv[i], "--threads") && i + 1 < argc)
      options.threads = unsigned(std::atoi(argv[++i]));
    else if (!std::strcmp(argv[i], "--leaf") && i + 1 < argc)
      options.leafVertices = Size(std::atoi(argv[++i]));
    else
      sizes.push_back(Size(std::atoi(argv[i])));
  }
  if (sizes.empty()) sizes = {64, 128};
  for (Size n : sizes) run(n, noisy, options);
  return 0;
}
