// The boundary surface of a branch's region against the region found by a
// flood fill written here: every surface vertex lies on a grid edge from
// a region voxel to one outside it, every such edge carries a vertex, and
// the surface is closed (each triangle side shared by two triangles), also
// where the region meets the grid's border.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <set>
#include <vector>

#include "ctree/branch_regions.h"
#include "ctree/grid_contour_tree.h"
#include "gui/region_surface.h"

using namespace ctree;

namespace {

struct Field {
  int n[3];
  ScalarField3DGrid g;
  FlatTree tree;
  std::vector<Index> at;
  Field(int nx, int ny, int nz, unsigned seed, int levels) : n{nx, ny, nz} {
    g.dim[0] = Size(nx), g.dim[1] = Size(ny), g.dim[2] = Size(nz);
    g.spacing[0] = 0.5, g.spacing[1] = 1, g.spacing[2] = 2;
    g.origin[0] = 10, g.origin[1] = -3, g.origin[2] = 1;
    std::mt19937 rng(seed);
    // Few levels: many ties, told apart by index as the trees do.
    for (int i = 0; i < nx * ny * nz; ++i)
      g.values.push_back(double(std::uniform_int_distribution<int>(0, levels)(rng)));
    GridContourTree ct;
    EXPECT_TRUE(compute_grid_contour_tree(g, ct, MergeTreeOptions{}));
    tree = ct.finished.empty() ? flatten(ct.contour) : ct.finished;
    at = tree_grid_indices(tree, g);
  }
  bool less(int a, int b) const {
    return g.values[size_t(a)] < g.values[size_t(b)] || (g.values[size_t(a)] == g.values[size_t(b)] && a < b);
  }
  // The region by a flood fill from the free end over the vertices beyond
  // the hanging vertex.
  std::vector<char> region(int end, int hang) const {
    const bool up = less(hang, end);
    std::vector<char> in(g.values.size(), 0);
    std::vector<int> stack{end};
    in[size_t(end)] = 1;
    while (!stack.empty()) {
      const int i = stack.back();
      stack.pop_back();
      const int x = i % n[0], y = (i / n[0]) % n[1], z = i / (n[0] * n[1]);
      for (const GridStep& s : grid_neighbour_steps()) {
        const int X = x + s.d[0], Y = y + s.d[1], Z = z + s.d[2];
        if (X < 0 || Y < 0 || Z < 0 || X >= n[0] || Y >= n[1] || Z >= n[2]) continue;
        const int j = X + n[0] * (Y + n[1] * Z);
        if (!in[size_t(j)] && (up ? less(hang, j) : less(j, hang))) in[size_t(j)] = 1, stack.push_back(j);
      }
    }
    return in;
  }
};

// Distance from q to the segment a-b.
double segment_distance(const double a[3], const double b[3], const double q[3]) {
  double d[3], e[3], dd = 0, t = 0;
  for (int k = 0; k < 3; ++k) d[k] = b[k] - a[k], e[k] = q[k] - a[k], dd += d[k] * d[k], t += e[k] * d[k];
  t = std::clamp(t / dd, 0.0, 1.0);
  double s = 0;
  for (int k = 0; k < 3; ++k) s += (a[k] + t * d[k] - q[k]) * (a[k] + t * d[k] - q[k]);
  return std::sqrt(s);
}

void expect_boundary(const Field& f, int branch) {
  SCOPED_TRACE(testing::Message() << "branch " << branch);
  const FlatBranch& br = f.tree.branches[size_t(branch)];
  const int end = f.at[size_t(br.ends[0])], hang = f.at[size_t(br.ends[1])];
  const std::vector<char> in = f.region(end, hang);
  RegionSurface s;
  Report report;
  ASSERT_TRUE(region_surface(f.g, end, hang, s, report)) << report.error;
  EXPECT_EQ(s.voxels, size_t(std::count(in.begin(), in.end(), 1)));
  ASSERT_GT(s.surface.triangleCount(), 0);
  const int* n = f.n;
  auto inside = [&](int x, int y, int z) {
    return x >= 0 && y >= 0 && z >= 0 && x < n[0] && y < n[1] && z < n[2] && in[size_t(x + n[0] * (y + n[1] * z))];
  };
  // Each vertex on an edge from a region voxel to one outside it (grid
  // units), and each such edge with one vertex.
  std::map<std::vector<int>, int> onEdge;
  for (int v = 0; v < s.surface.vertexCount(); ++v) {
    double q[3];
    for (int k = 0; k < 3; ++k) q[k] = (s.surface.vertices[3 * size_t(v) + size_t(k)] - f.g.origin[k]) / f.g.spacing[k];
    // The nearest such edge (a vertex close to a region voxel also lies
    // near the other edges leaving it, but not as near).
    double best = 1e9, second = 1e9;
    std::vector<int> edge;
    for (int z = int(std::floor(q[2])) - 1; z <= int(q[2]) + 1; ++z)
      for (int y = int(std::floor(q[1])) - 1; y <= int(q[1]) + 1; ++y)
        for (int x = int(std::floor(q[0])) - 1; x <= int(q[0]) + 1; ++x) {
          if (!inside(x, y, z)) continue;
          for (const GridStep& st : grid_neighbour_steps()) {
            if (inside(x + st.d[0], y + st.d[1], z + st.d[2])) continue;
            const double a[3] = {double(x), double(y), double(z)};
            const double b[3] = {double(x + st.d[0]), double(y + st.d[1]), double(z + st.d[2])};
            const double d = segment_distance(a, b, q);
            if (d < best) {
              second = best, best = d, edge = {x, y, z, st.d[0], st.d[1], st.d[2]};
            } else {
              second = std::min(second, d);
            }
          }
        }
    ASSERT_LT(best, 1e-5) << "vertex " << v << " at " << q[0] << " " << q[1] << " " << q[2] << " on no such edge";
    ASSERT_GT(second, 2 * best) << "vertex " << v << " on two edges";
    ++onEdge[edge];
  }
  size_t edges = 0;
  for (int z = 0; z < n[2]; ++z)
    for (int y = 0; y < n[1]; ++y)
      for (int x = 0; x < n[0]; ++x)
        if (inside(x, y, z))
          for (const GridStep& st : grid_neighbour_steps()) edges += !inside(x + st.d[0], y + st.d[1], z + st.d[2]);
  EXPECT_EQ(onEdge.size(), edges);
  for (const auto& e : onEdge) EXPECT_EQ(e.second, 1);
  // Closed: each side of a triangle shared by exactly two.
  std::map<std::pair<int, int>, int> sides;
  for (int t = 0; t < s.surface.triangleCount(); ++t)
    for (int c = 0; c < 3; ++c) {
      const int a = s.surface.triangles[3 * size_t(t) + size_t(c)],
                b = s.surface.triangles[3 * size_t(t) + size_t((c + 1) % 3)];
      ++sides[{std::min(a, b), std::max(a, b)}];
    }
  for (const auto& e : sides) ASSERT_EQ(e.second, 2) << "side " << e.first.first << "-" << e.first.second;
}

TEST(RegionSurface, the_boundary_runs_along_exactly_the_edges_leaving_the_region_and_is_closed) {
  const Field f(9, 7, 6, 5, 6);
  ASSERT_GT(f.tree.branches.size(), 8u);
  // Branches with maxima and minima, big and small regions, some at the
  // border.
  for (int b = 1; b < int(f.tree.branches.size()); b += std::max(1, int(f.tree.branches.size()) / 25))
    expect_boundary(f, b);
}

TEST(RegionSurface, the_root_counts_every_voxel_and_has_no_boundary) {
  const Field f(5, 4, 3, 2, 100);
  RegionSurface s;
  Report report;
  const FlatBranch& root = f.tree.branches[0];
  ASSERT_TRUE(region_surface(f.g, f.at[size_t(root.ends[0])], NULL_INDEX, s, report));
  EXPECT_EQ(s.voxels, size_t(60));
  EXPECT_EQ(s.surface.triangleCount(), 0);
}

}  // namespace
