#include "fields/grid_field.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <set>

using ctree::Index;
using ctree::ScalarField3DGrid;

static std::vector<Index> comparison_sort(const ScalarField3DGrid& g) {
  std::vector<Index> idx(g.values.size());
  for (size_t i = 0; i < idx.size(); ++i) idx[i] = Index(i);
  std::sort(idx.begin(), idx.end(), ctree::FieldCompare3d(g));
  return idx;
}

TEST(GridSort, radix_order_equals_comparison_sort_on_hard_inputs) {
  std::mt19937 rng(42);
  const double inf = std::numeric_limits<double>::infinity();
  for (int trial = 0; trial < 6; ++trial) {
    ScalarField3DGrid g;
    size_t n = trial < 3 ? 100000 : 1500;  // both the radix and the small-input path
    g.values.resize(n);
    for (double& v : g.values) {
      switch (trial % 3) {
        case 0: v = std::uniform_real_distribution<double>(-1e6, 1e6)(rng); break;
        case 1: v = double(int(rng() % 7) - 3); break;  // many ties, negatives
        default: v = double(float(std::normal_distribution<double>(0, 1e-3)(rng))); break;
      }
    }
    g.values[7] = -0.0;  // equal to 0.0 under <, so ties go by index
    g.values[3] = 0.0;
    g.values[11] = -inf;
    g.values[12] = inf;
    g.values[13] = std::numeric_limits<double>::denorm_min();
    g.values[14] = -std::numeric_limits<double>::denorm_min();
    g.sortVertices();
    ASSERT_EQ(g.order, comparison_sort(g)) << "trial " << trial;
  }
}

// The neighbourhood table must be exactly the edges of the six tetrahedra
// that share the cube diagonal 0-7: the tetrahedra are the monotone corner
// paths 0 -> a -> b -> 7 that add one axis at a time.
TEST(GridField, adjacency_table_is_the_edge_set_of_six_tetrahedra_on_the_main_diagonal) {
  std::set<std::pair<int, int>> tet_edges;
  const int axes[3] = {1, 2, 4};
  for (int p = 0; p < 3; ++p)
    for (int q = 0; q < 3; ++q) {
      if (p == q) continue;
      int path[4] = {0, axes[p], axes[p] | axes[q], 7};
      for (int i = 0; i < 4; ++i)
        for (int j = i + 1; j < 4; ++j)
          tet_edges.insert({std::min(path[i], path[j]), std::max(path[i], path[j])});
    }
  std::set<std::pair<int, int>> table_edges;
  for (int c = 1; c <= 7; ++c) table_edges.insert({0, c});
  for (int c = 1; c <= 6; ++c) {
    table_edges.insert({c, 7});
    for (int k = 0; k < 2; ++k) {
      int d = ctree::adj_verts[c - 1][k];
      table_edges.insert({std::min(c, d), std::max(c, d)});
    }
  }
  EXPECT_EQ(table_edges, tet_edges);
}
