// Feature regions and segmentations of grid contour trees against a brute
// force that shares no code with them: the set of vertices beyond the
// hanging vertex is split into components by a union-find over every
// neighbour pair (the neighbour steps written out by hand in
// brute_force_pairs.h), and a segmentation is painted from those sets.

#include <gtest/gtest.h>

#include <algorithm>
#include <algorithm>
#include <numeric>
#include <random>
#include <set>
#include <vector>

#include "brute_force_pairs.h"
#include "ctree/branch_regions.h"
#include "ctree/grid_contour_tree.h"
#include "ctree/simplified_tree.h"

using namespace ctree;

namespace {

ScalarField3DGrid random_grid(Size nx, Size ny, Size nz, std::mt19937& rng, int levels = 0) {
  ScalarField3DGrid g;
  g.dim[0] = nx, g.dim[1] = ny, g.dim[2] = nz;
  g.values.resize(size_t(nx) * ny * nz);
  for (double& v : g.values)
    v = levels > 0 ? double(rng() % unsigned(levels)) : std::uniform_real_distribution<double>(-1, 1)(rng);
  return g;
}

FlatTree tree_of(const ScalarField3DGrid& g) {
  GridContourTree t;
  EXPECT_TRUE(compute_grid_contour_tree(g, t, MergeTreeOptions{}));
  return t.finished.empty() ? flatten(t.contour) : std::move(t.finished);
}

// Every vertex v with (value, index) beyond hang on end's side, connected
// to end through such vertices: a union-find over all of them.
std::vector<Index> brute_region(const ScalarField3DGrid& g, int end, int hang) {
  const int n = int(g.values.size());
  const auto& f = g.values;
  auto greater = [&](int a, int b) { return f[size_t(a)] > f[size_t(b)] || (f[size_t(a)] == f[size_t(b)] && a > b); };
  const bool up = greater(end, hang);
  std::vector<char> in(g.values.size());
  for (int v = 0; v < n; ++v) in[size_t(v)] = v != hang && greater(v, hang) == up;
  oracle::Sweep uf;
  uf.up.resize(size_t(n));
  std::iota(uf.up.begin(), uf.up.end(), 0);
  for (int v = 0; v < n; ++v)
    if (in[size_t(v)])
      for (int w : oracle::neighbours(v, int(g.dim[0]), int(g.dim[1]), int(g.dim[2])))
        if (in[size_t(w)]) uf.up[size_t(uf.find(v))] = uf.find(w);
  std::vector<Index> out;
  for (int v = 0; v < n; ++v)
    if (in[size_t(v)] && uf.find(v) == uf.find(end)) out.push_back(v);
  return out;
}

bool in_subtree(const FlatTree& t, Index b, Index top) {
  for (; b != NULL_INDEX; b = t.branches[size_t(b)].parent)
    if (b == top) return true;
  return false;
}

}  // namespace

TEST(BranchRegions, neighbour_steps_are_the_fourteen_of_the_cube_split) {
  std::set<std::vector<int>> steps, expected;
  for (const GridStep& s : grid_neighbour_steps()) steps.insert({s.d[0], s.d[1], s.d[2]});
  // The neighbours of the centre of a 3x3x3 grid, by the oracle's own table.
  for (int w : oracle::neighbours(13, 3, 3, 3)) expected.insert({w % 3 - 1, (w / 3) % 3 - 1, w / 9 - 1});
  EXPECT_EQ(steps.size(), 14u);
  EXPECT_EQ(steps, expected);
}

TEST(BranchRegions, regions_match_brute_force_components_on_random_grids) {
  std::mt19937 rng(5);
  const Size sizes[][3] = {{2, 2, 2}, {3, 3, 3}, {5, 4, 3}, {7, 6, 5}, {9, 3, 8}, {12, 10, 4}};
  int checked = 0;
  for (const auto& s : sizes)
    for (int levels : {0, 3})
      for (int seed = 0; seed < 4; ++seed) {
        const ScalarField3DGrid g = random_grid(s[0], s[1], s[2], rng, levels);
        const FlatTree t = tree_of(g);
        const std::vector<Index> at = tree_grid_indices(t, g);
        // Unit spacing: a vertex's grid index is its position's.
        for (size_t v = 0; v < t.vertices.size(); ++v)
          if (t.used(Index(v))) {
            const Vertex& p = t.vertices[v];
            ASSERT_EQ(at[v], Index(p.x + g.dim[0] * (p.y + g.dim[1] * p.z)));
            ASSERT_EQ(g.values[size_t(at[v])], p.field);
          }
        EXPECT_EQ(branch_region(g, at[size_t(t.root().ends[0])], NULL_INDEX).size(), g.values.size());
        for (size_t b = 1; b < t.branches.size(); ++b) {
          const Index end = at[size_t(t.branches[b].ends[0])], hang = at[size_t(t.branches[b].ends[1])];
          ASSERT_EQ(branch_region(g, end, hang), brute_region(g, end, hang)) << "branch " << b;
          ++checked;
        }
      }
  EXPECT_GT(checked, 200);
}

TEST(BranchRegions, segmentation_paints_each_region_with_its_subtree) {
  std::mt19937 rng(9);
  for (int trial = 0; trial < 12; ++trial) {
    const ScalarField3DGrid g = random_grid(6 + trial % 3, 5, 4 + trial % 2, rng, trial % 2 ? 4 : 0);
    const FlatTree t = tree_of(g);
    const std::vector<Index> at = tree_grid_indices(t, g);
    const std::vector<std::int32_t> labels = branch_segmentation(g, t, at);
    // Painted by hand, root first, from the brute-force regions.
    std::vector<std::int32_t> painted(g.values.size(), 0);
    for (size_t b = 1; b < t.branches.size(); ++b) {
      const auto region = brute_region(g, at[size_t(t.branches[b].ends[0])], at[size_t(t.branches[b].ends[1])]);
      for (Index v : region) painted[size_t(v)] = std::int32_t(b);
      // The free end is always in its own region, so every branch owns
      // at least the vertices no later region reaches.
      EXPECT_TRUE(std::binary_search(region.begin(), region.end(), at[size_t(t.branches[b].ends[0])]));
    }
    ASSERT_EQ(labels, painted);
    for (size_t b = 1; b < t.branches.size(); ++b)
      for (Index v : brute_region(g, at[size_t(t.branches[b].ends[0])], at[size_t(t.branches[b].ends[1])]))
        ASSERT_TRUE(in_subtree(t, labels[size_t(v)], Index(b))) << "vertex " << v << " of branch " << b;
  }
}

TEST(SimplifiedTree, keeps_the_branches_the_threshold_shows_with_their_parents) {
  std::mt19937 rng(2);
  const ScalarField3DGrid g = random_grid(9, 8, 7, rng);
  const FlatTree t = tree_of(g);
  ASSERT_GT(t.branches.size(), 20u);
  const Real threshold = t.branches[t.branches.size() / 3].persistence;
  std::vector<Index> kept;
  const FlatTree s = simplified_tree(t, threshold, 0, &kept);
  EXPECT_EQ(check_flat_tree(s), "");
  std::vector<Index> expected;
  for (size_t b = 0; b < t.branches.size(); ++b)
    if (b == 0 || t.branches[b].persistence >= threshold) expected.push_back(Index(b));
  EXPECT_EQ(kept, expected);
  for (size_t k = 1; k < s.branches.size(); ++k)
    EXPECT_EQ(kept[size_t(s.branches[k].parent)], t.branches[size_t(kept[k])].parent);
  // Its own vertices: those its branches end at, in the tree's order, each
  // end the same vertex record as before.
  std::vector<Index> from;
  const FlatTree again = simplified_tree(t, threshold, 0, &kept, &from);
  ASSERT_EQ(again.vertices.size(), from.size());
  EXPECT_LE(again.vertices.size(), 2 * again.branches.size());
  EXPECT_TRUE(std::is_sorted(from.begin(), from.end()));
  for (size_t v = 0; v < from.size(); ++v) EXPECT_TRUE(again.used(Index(v))) << "vertex " << v;
  for (size_t k = 0; k < again.branches.size(); ++k)
    for (int e = 0; e < 2; ++e) {
      const Vertex& mine = again.vertices[size_t(again.branches[k].ends[e])];
      const Vertex& theirs = t.vertices[size_t(t.branches[size_t(kept[k])].ends[e])];
      EXPECT_EQ(mine.field, theirs.field);
      EXPECT_EQ(mine.x, theirs.x);
      EXPECT_EQ(mine.y, theirs.y);
      EXPECT_EQ(mine.z, theirs.z);
      EXPECT_EQ(from[size_t(again.branches[k].ends[e])], t.branches[size_t(kept[k])].ends[e]);
    }
  const FlatTree five = simplified_tree(t, 0, 5, &kept);
  EXPECT_EQ(five.branches.size(), 5u);
  EXPECT_EQ(kept, (std::vector<Index>{0, 1, 2, 3, 4}));
  EXPECT_EQ(simplified_tree(t, 1e9, 0).branches.size(), 1u);
}
