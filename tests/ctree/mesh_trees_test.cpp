// Mesh critical points and contour trees against a brute force over the
// mesh's edge graph.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>

#include "brute_force_pairs.h"
#include "ctree/check_tree.h"
#include "ctree/mesh_merge_trees.h"
#include "ctree/multires_contour_tree.h"
#include "fields/mesh_checks.h"
#include "test_util.h"

using namespace ctree;

namespace {

// An n×n height field triangulated in the x-z plane, height y = the field:
// a disc, so its contour tree's branches match the persistence pairs of
// its sublevel and superlevel sets (up to the cut order, see the grids).
ScalarField2D terrain(int n, const std::vector<double>& h) {
  ScalarField2D m;
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) {
      double y = h[size_t(i + n * j)];
      m.vertices.push_back(Vertex{double(i), y, double(j), y});
    }
  for (int j = 0; j + 1 < n; ++j)
    for (int i = 0; i + 1 < n; ++i) {
      Index a = i + n * j, b = a + 1, c = a + n, d = c + 1;
      m.triangles.push_back(Triangle{{a, c, d}});
      m.triangles.push_back(Triangle{{a, d, b}});
    }
  m.buildVertexTriangles();
  return m;
}

// The oracle's view: vertex order by (field, z, y, x), neighbours by edges.
std::multiset<oracle::Pair> mesh_pairs(const ScalarField2D& m) {
  const int n = int(m.vertices.size());
  std::vector<std::set<int>> adj(static_cast<size_t>(n));
  for (const Triangle& t : m.triangles)
    for (int a = 0; a < 3; ++a)
      for (int b = 0; b < 3; ++b)
        if (a != b) adj[size_t(t[a])].insert(t[b]);
  std::vector<int> order(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) order[size_t(i)] = i;
  auto key = [&](int i) {
    const Vertex& v = m.vertices[size_t(i)];
    return std::make_tuple(v.field, v.z, v.y, v.x);
  };
  std::sort(order.begin(), order.end(), [&](int a, int b) { return key(a) < key(b); });
  std::vector<double> f(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) f[size_t(i)] = m.vertices[size_t(i)].field;
  return oracle::pairs_in_order(f, order,
                                [&](int v) { return std::vector<int>(adj[size_t(v)].begin(), adj[size_t(v)].end()); });
}

std::multiset<double> ends(const std::multiset<oracle::Pair>& p) {
  std::multiset<double> out;
  for (auto& x : p) out.insert({x.first, x.second});
  return out;
}

void expect_matches_oracle(ScalarField2D m, const std::string& what) {
  SCOPED_TRACE(what);
  const auto expected = mesh_pairs(m);
  std::vector<Vertex> P;
  MultiresTree jt, st, ct;
  Report report;
  compute_critical_points(m, P, no_progress());
  const bool ok = compute_merge_trees(m, P, jt, st, report, no_progress());
  std::string jd = check_tree(jt, +1), sd = check_tree(st, -1);
  if (ok) compute_multires_contour_tree(jt, st, ct, report, no_progress());
  ASSERT_TRUE(ok) << report.error;
  EXPECT_EQ(report.error, "");
  EXPECT_EQ(jd, "");
  EXPECT_EQ(sd, "");
  EXPECT_EQ(check_tree(ct), "");
  std::multiset<oracle::Pair> got;
  for (const Branch& b : ct.branches) {
    double a = b.ends[0]->vertex->field, c = b.ends[1]->vertex->field;
    got.insert({std::min(a, c), std::max(a, c)});
  }
  EXPECT_EQ(got.size(), expected.size());
  EXPECT_EQ(ends(got), ends(expected));
}

}  // namespace

TEST(MeshTrees, match_the_brute_force_on_terrains) {
  std::mt19937 rng(21);
  for (int n : {2, 3, 4, 5, 7, 10, 16}) {
    for (int seed = 0; seed < 12; ++seed) {
      std::vector<double> h(size_t(n * n));
      for (double& x : h) x = std::uniform_real_distribution<double>(0, 1)(rng);
      expect_matches_oracle(terrain(n, h), "random " + std::to_string(n));
      for (double& x : h) x = double(rng() % 3);  // plateaus: ties go by z, y, x
      expect_matches_oracle(terrain(n, h), "plateaus " + std::to_string(n));
    }
  }
}

TEST(MeshTrees, generated_terrains_match_the_brute_force) {
  testutil::TempDir dir;
  for (int seed : {1, 2, 3}) {
    const std::string f = dir.file("t.ply");
    ASSERT_EQ(testutil::run_gen("terrain --size 30 --bumps 7 --seed " + std::to_string(seed) + " --out " + f).status,
              0);
    // The terrain's PLY read by hand: 900 lines of "x y z" after the header.
    std::string text = testutil::read_file(f);
    size_t p = text.find("end_header\n") + 11;
    std::vector<double> h;
    for (int k = 0; k < 900; ++k) {
      double x, y, z;
      int used = 0;
      ASSERT_EQ(std::sscanf(text.c_str() + p, "%lf %lf %lf%n", &x, &y, &z, &used), 3);
      h.push_back(double(float(y)));
      p += size_t(used);
    }
    expect_matches_oracle(terrain(30, h), "generated terrain " + std::to_string(seed));
  }
}

TEST(MeshTrees, two_components_fail_the_join_tree_check) {
  ScalarField2D two;
  two.vertices = {Vertex{0, 0, 0, 0}, Vertex{1, 1, 0, 1}, Vertex{0, 2, 1, 2},
                  Vertex{5, 3, 5, 3}, Vertex{6, 4, 5, 4}, Vertex{5, 5, 6, 5}};
  two.triangles = {Triangle{{0, 1, 2}}, Triangle{{3, 4, 5}}};
  two.buildVertexTriangles();
  std::vector<Vertex> P;
  MultiresTree jt, st;
  Report report;
  compute_critical_points(two, P, no_progress());
  EXPECT_FALSE(compute_merge_trees(two, P, jt, st, report, no_progress()));
  EXPECT_NE(report.error.find("some branches started but not closed"), std::string::npos) << report.error;
}

// Faces repeated or degenerate, and edges in three triangles, given to the
// trees directly (the mesh reader drops the first two kinds): the vertex
// links then disagree with the sweeps, and each sweep either closes all
// its branches or reports the mesh; a contour tree is built only from
// complete trees, and then it is sound.
TEST(MeshTrees, links_that_are_not_a_surface_give_a_sound_tree_or_a_failure) {
  std::mt19937 rng(8);
  int refused = 0, built = 0;
  for (int trial = 0; trial < 300; ++trial) {
    std::vector<double> h(49);
    for (double& x : h) x = std::uniform_real_distribution<double>(0, 1)(rng);
    ScalarField2D m = terrain(7, h);
    for (int k = 0; k < 1 + trial % 4; ++k) {
      Triangle t = m.triangles[rng() % m.triangles.size()];
      switch (trial % 3) {
        case 0: std::swap(t[0], t[1]); break;  // repeated, turned round
        case 1: t[2] = t[0]; break;            // a repeated corner
        default: t[2] = Index(rng() % 49);     // a third triangle on an edge
      }
      m.triangles.insert(m.triangles.begin() + long(rng() % m.triangles.size()), t);
    }
    m.buildVertexTriangles();
    std::vector<Vertex> P;
    MultiresTree jt, st, ct;
    Report report;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    compute_critical_points(m, P, no_progress());
    const bool trees = compute_merge_trees(m, P, jt, st, report, no_progress());
    const bool tree = trees && compute_multires_contour_tree(jt, st, ct, report, no_progress());
    const std::string printed = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
    EXPECT_EQ(printed, "") << "the library prints nothing";
    const std::string said = report.error;
    if (!trees) {
      ++refused;
      EXPECT_EQ(said.rfind("ERROR: ", 0), 0u) << trial << ": " << said;
      continue;
    }
    ASSERT_TRUE(tree) << trial << ": " << said;
    ++built;
    EXPECT_EQ(check_tree(ct), "") << trial;
  }
  EXPECT_GT(refused, 10);
  EXPECT_GT(built, 10);
}

TEST(MeshTrees, the_contour_tree_refuses_a_branch_without_an_end) {
  std::vector<double> h(25);
  std::mt19937 rng(3);
  for (double& x : h) x = std::uniform_real_distribution<double>(0, 1)(rng);
  for (int which = 0; which < 2; ++which) {
    ScalarField2D m = terrain(5, h);
    std::vector<Vertex> P;
    MultiresTree jt, st, ct;
    Report report;
    compute_critical_points(m, P, no_progress());
    ASSERT_TRUE(compute_merge_trees(m, P, jt, st, report, no_progress()));
    ASSERT_GE(jt.branches.size(), 2u);
    (which ? st : jt).branches.back().ends[1] = nullptr;
    EXPECT_FALSE(compute_multires_contour_tree(jt, st, ct, report, no_progress()));
    EXPECT_NE(report.error.find("incomplete"), std::string::npos) << report.error;
    EXPECT_TRUE(ct.branches.empty());
  }
}
