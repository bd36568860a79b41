// Grid merge trees and contour trees against an independent brute force.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <sstream>

#include "brute_force_pairs.h"
#include "ctree/check_tree.h"
#include "ctree/cell_trees.h"
#include "ctree/multires_tree.h"
#include "ctree/grid_contour_tree.h"
#include "ctree/grid_merge_trees.h"
#include "ctree/multires_contour_tree.h"
#include "ctree/regular_vertices.h"
#include "test_util.h"

using namespace ctree;

namespace {

ScalarField3DGrid make_grid(Size nx, Size ny, Size nz, const std::vector<double>& values) {
  ScalarField3DGrid g;
  g.dim[0] = nx;
  g.dim[1] = ny;
  g.dim[2] = nz;
  g.values = values;
  return g;
}

std::multiset<oracle::Pair> branch_pairs(const MultiresTree& t) {
  std::multiset<oracle::Pair> out;
  for (const Branch& b : t.branches) {
    double a = b.ends[0]->vertex->field, c = b.ends[1]->vertex->field;
    out.insert({std::min(a, c), std::max(a, c)});
  }
  return out;
}

std::string describe(const std::multiset<oracle::Pair>& pairs) {
  std::ostringstream s;
  for (auto& p : pairs) s << "(" << p.first << "," << p.second << ") ";
  return s.str();
}

std::multiset<double> end_values(const std::multiset<oracle::Pair>& pairs) {
  std::multiset<double> out;
  for (auto& p : pairs) out.insert({p.first, p.second});
  return out;
}

// Values of the branch ends that are leaves: minima and maxima.
std::multiset<double> extremum_values(const MultiresTree& t) {
  std::multiset<double> out;
  for (const Branch& b : t.branches)
    for (const Node* e : b.ends)
      if (t.nodes[size_t(t.indexOf(e->vertex))].size() == 1) out.insert(e->vertex->field);
  return out;
}

void expect_matches_oracle(Size nx, Size ny, Size nz, const std::vector<double>& values, const std::string& what,
                           bool exact = false) {
  SCOPED_TRACE(what + " " + std::to_string(nx) + "x" + std::to_string(ny) + "x" + std::to_string(nz));
  ScalarField3DGrid g = make_grid(nx, ny, nz, values);
  std::vector<Vertex> V;
  MultiresTree jt, st, ct;
  CellTrees3DGrid cells;
  ASSERT_TRUE(compute_merge_trees(g, V, jt, st, cells, 0, MergeTreeOptions{}));
  ASSERT_EQ(check_tree(jt, +1), "");
  ASSERT_EQ(check_tree(st, -1), "");
  const size_t before = V.size();
  remove_regular_vertices(V, jt, st);
  if (nx * ny * nz > 8) {
    EXPECT_EQ(V.size(), before) << "the top level removes every regular vertex";
  }
  for (size_t i = 1; i < V.size(); ++i) ASSERT_TRUE(V[i - 1].field <= V[i].field);
  Report report;
  ASSERT_TRUE(compute_multires_contour_tree(jt, st, ct, report, no_progress())) << report.error;
  EXPECT_TRUE(report.warnings.empty());
  ASSERT_EQ(check_tree(ct), "");
  // Cut order is not always the elder rule (see greedy_cut_order_...): any
  // decomposition shares the branch count, end values and extremum values.
  auto expected = oracle::persistence_pairs(values, int(nx), int(ny), int(nz));
  auto got = branch_pairs(ct);
  EXPECT_EQ(got.size(), expected.size());
  EXPECT_EQ(end_values(got), end_values(expected)) << "tree:   " << describe(got) << "\noracle: " << describe(expected);
  EXPECT_EQ(extremum_values(ct), oracle::extremum_values(values, int(nx), int(ny), int(nz)));
  if (exact) {
    EXPECT_EQ(got, expected) << "tree:   " << describe(got) << "\noracle: " << describe(expected);
  }
  ASSERT_FALSE(ct.branches.empty());
  EXPECT_TRUE(ct.branches.front().parent == BranchI());
}

}  // namespace

TEST(GridContourTree, matches_brute_force_pairs_on_random_grids) {
  const Size sizes[][3] = {{2, 2, 2}, {3, 2, 2}, {2, 3, 2}, {2, 2, 3}, {3, 3, 3},  {4, 3, 2},  {4, 4, 4}, {5, 5, 5},
                           {6, 3, 4}, {7, 2, 5}, {8, 8, 3}, {9, 4, 4}, {17, 9, 5}, {2, 2, 16}, {11, 7, 2}};
  std::mt19937 rng(7);
  int trials = 0;
  for (auto& s : sizes) {
    const size_t n = size_t(s[0]) * s[1] * s[2];
    const int seeds = n < 200 ? 30 : 8;
    for (int seed = 0; seed < seeds; ++seed, ++trials) {
      std::vector<double> v(n);
      for (double& x : v) x = std::uniform_real_distribution<double>(-1, 1)(rng);
      expect_matches_oracle(s[0], s[1], s[2], v, "distinct values");
    }
  }
  EXPECT_GT(trials, 250);
}

// With repeated values the (value, index) order is still total, so the
// trees are determined; pairs are compared by value because two extrema of
// equal value can trade saddles without changing the multiset.
TEST(GridContourTree, matches_brute_force_pairs_with_ties_and_plateaus) {
  std::mt19937 rng(11);
  const Size sizes[][3] = {{3, 3, 3}, {5, 4, 3}, {8, 5, 2}, {9, 9, 4}};
  for (auto& s : sizes) {
    const size_t n = size_t(s[0]) * s[1] * s[2];
    for (int seed = 0; seed < 15; ++seed) {
      std::vector<double> v(n);
      for (double& x : v) x = double(rng() % 4);
      expect_matches_oracle(s[0], s[1], s[2], v, "four levels");
    }
    expect_matches_oracle(s[0], s[1], s[2], std::vector<double>(n, 2.5), "constant");
    std::vector<double> ramp(n), plateau(n);
    for (size_t i = 0; i < n; ++i) {
      Size x = Size(i % s[0]), y = Size((i / s[0]) % s[1]), z = Size(i / (size_t(s[0]) * s[1]));
      ramp[i] = x + 2.0 * y + 3.0 * z;
      plateau[i] = (x < s[0] / 2 ? 0.0 : 1.0) + (z > 0 && y == 1 ? -1.0 : 0.0);
    }
    expect_matches_oracle(s[0], s[1], s[2], ramp, "ramp");
    expect_matches_oracle(s[0], s[1], s[2], plateau, "plateau");
  }
}

// The smallest grid on which the cut order and the elder rule part ways.
// Maxima 93.009 and 83.011 meet at the split saddle 62.006; the leaf of the
// lower maximum ends first at 71.001, a join saddle that is regular in the
// split tree, and becomes cuttable only after the minimum 11.008 is cut
// there. The global maximum's leaf (range 31.003) goes first, so it hangs
// from the root and the root runs to 83.011.
TEST(GridContourTree, greedy_cut_order_differs_from_the_elder_rule) {
  const std::vector<double> v = {60,     71.001, 74.002, 7.003,  38.004, 1.005,
                                 62.006, 83.007, 11.008, 93.009, 21.01,  83.011};
  GridContourTree t;
  ASSERT_TRUE(compute_grid_contour_tree(make_grid(3, 2, 2, v), t, MergeTreeOptions{}));
  EXPECT_EQ(branch_pairs(t.contour),
            (std::multiset<oracle::Pair>{{1.005, 83.011}, {7.003, 38.004}, {11.008, 71.001}, {62.006, 93.009}}));
  auto elder = oracle::persistence_pairs(v, 3, 2, 2);
  EXPECT_EQ(elder, (std::multiset<oracle::Pair>{{1.005, 93.009}, {7.003, 38.004}, {11.008, 71.001}, {62.006, 83.011}}));
  expect_matches_oracle(3, 2, 2, v, "elder rule example");
}

// A single cube cuts its leaves in elder-rule order: nothing waits.
TEST(GridContourTree, single_cubes_pair_exactly_as_the_elder_rule) {
  std::mt19937 rng(3);
  for (int seed = 0; seed < 100; ++seed) {
    std::vector<double> v(8);
    for (double& x : v) x = std::uniform_real_distribution<double>(-1, 1)(rng);
    expect_matches_oracle(2, 2, 2, v, "cube", true);
  }
}

TEST(GridContourTree, generated_bump_fields_have_one_branch_per_pair_of_extrema) {
  testutil::TempDir dir;
  for (int size : {24, 64}) {
    std::string f = dir.file("b" + std::to_string(size) + ".raw");
    ASSERT_EQ(
        testutil::run_gen("volume --type double --endian little --bumps 9 --seed 3 --dim " + std::to_string(size) +
                          " " + std::to_string(size) + " " + std::to_string(size) + " --out " + f)
            .status,
        0);
    std::string bytes = testutil::read_file(f);
    std::vector<double> v(bytes.size() / 8);
    std::memcpy(v.data(), bytes.data(), bytes.size());
    std::string info = testutil::read_file(f + ".info");
    long maxima = std::stol(info.substr(info.find("maxima ") + 7));
    long minima = std::stol(info.substr(info.find("minima ") + 7));
    expect_matches_oracle(Size(size), Size(size), Size(size), v, "bumps");
    GridContourTree t;
    ASSERT_TRUE(compute_grid_contour_tree(make_grid(Size(size), Size(size), Size(size), v), t, MergeTreeOptions{}));
    EXPECT_EQ(long(t.contour.branches.size()), maxima + minima - 1);
  }
}

TEST(GridContourTree, grids_thinner_than_two_are_refused) {
  GridContourTree t;
  EXPECT_FALSE(compute_grid_contour_tree(make_grid(1, 4, 4, std::vector<double>(16, 0.0)), t, MergeTreeOptions{}));
}
