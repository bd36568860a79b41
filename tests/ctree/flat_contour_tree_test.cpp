// The contour tree construction over index arrays against the pointer
// construction it replaces (kept as the reference): on hundreds of random
// grids and meshes both must give the same tree, branch for branch and
// node for node; and the top merge's index form must be the index form of
// the pointer trees it replaces.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "ctree/flat_contour_tree.h"
#include "ctree/flat_tree.h"
#include "ctree/grid_contour_tree.h"
#include "ctree/grid_merge_trees.h"
#include "ctree/mesh_merge_trees.h"
#include "ctree/multires_contour_tree.h"

using namespace ctree;

namespace {

// Values with many ties (small integers) or none (doubles); the grid's
// positions integral so that it is solved by blocks.
ScalarField3DGrid random_grid(std::mt19937& rng) {
  ScalarField3DGrid g;
  for (Size& d : g.dim) d = 2 + rng() % 8;
  g.values.resize(g.dim[0] * g.dim[1] * g.dim[2]);
  const int kind = int(rng() % 3);
  for (double& v : g.values)
    v = kind == 0   ? double(rng() % 4)
        : kind == 1 ? std::uniform_real_distribution<double>(-1, 1)(rng)
                    : double(rng() % 50) * 0.25;
  return g;
}

ScalarField2D random_terrain(std::mt19937& rng) {
  const int n = 2 + int(rng() % 9), m = 2 + int(rng() % 9);
  ScalarField2D f;
  const bool ties = rng() % 2;
  for (int j = 0; j < m; ++j)
    for (int i = 0; i < n; ++i) {
      const double y = ties ? double(rng() % 5) : std::uniform_real_distribution<double>(0, 1)(rng);
      f.vertices.push_back(Vertex{double(i), y, double(j), y});
    }
  for (int j = 0; j + 1 < m; ++j)
    for (int i = 0; i + 1 < n; ++i) {
      const Index a = i + n * j, b = a + 1, c = a + n, d = c + 1;
      if (rng() % 2) {
        f.triangles.push_back(Triangle{{a, c, d}});
        f.triangles.push_back(Triangle{{a, d, b}});
      } else {
        f.triangles.push_back(Triangle{{a, c, b}});
        f.triangles.push_back(Triangle{{b, c, d}});
      }
    }
  f.buildVertexTriangles();
  return f;
}

// Everything a contour tree stores, with branches and nodes numbered by
// their places in its lists (the dump), and its finished form.
std::string describe(const MultiresTree& ct) {
  const FlatTree f = flatten(ct);
  std::string out = ct.dump();
  for (const FlatBranch& b : f.branches)
    out += std::to_string(b.ends[0]) + ' ' + std::to_string(b.ends[1]) + ' ' + std::to_string(b.parent) + '\n';
  return out;
}

// Two finished trees alike in every stored bit.
bool same_finished(const FlatTree& x, const FlatTree& y) {
  if (x.vertices.size() != y.vertices.size() || x.branches.size() != y.branches.size()) return false;
  if (!x.vertices.empty() && std::memcmp(x.vertices.data(), y.vertices.data(), x.vertices.size() * sizeof(Vertex)) != 0)
    return false;
  for (size_t b = 0; b < x.branches.size(); ++b) {
    const FlatBranch &p = x.branches[b], &q = y.branches[b];
    if (p.ends[0] != q.ends[0] || p.ends[1] != q.ends[1] || p.parent != q.parent ||
        std::memcmp(&p.persistence, &q.persistence, sizeof(Real)) != 0 || std::memcmp(&p.box, &q.box, sizeof(Box)) != 0)
      return false;
    const IndexRange c = x.children(Index(b)), d = y.children(Index(b));
    if (!std::equal(c.begin(), c.end(), d.begin(), d.end())) return false;
  }
  return true;
}

bool same_arrays(const MergeTreeArrays& a, const MergeTreeArrays& b) {
  return a.ends == b.ends && a.first == b.first && a.at == b.at;
}

// jt and st in both constructions: the pointer one on the trees, the
// index one on their index form, which must not decline.
void expect_same_contour_trees(MultiresTree& jt, MultiresTree& st, const std::string& what) {
  MergeTreeArrays ja, sa;
  ASSERT_TRUE(merge_tree_arrays(jt, ja)) << what;
  ASSERT_TRUE(merge_tree_arrays(st, sa)) << what;
  CutBranches cuts;
  ASSERT_TRUE(cut_contour_tree(jt.vertices, ja, sa, cuts, no_progress())) << what;
  MultiresTree flat;
  flat.vertices = jt.vertices;
  flat.nodes.resize(jt.nodes.size());
  contour_tree_of_cuts(cuts, flat);
  const FlatTree finished = finished_tree_of_cuts(jt.vertices, cuts);
  MultiresTree reference;
  Report report;
  ASSERT_TRUE(compute_multires_contour_tree_by_pointers(jt, st, reference, report, no_progress())) << what;
  ASSERT_EQ(report.warnings.size(), 0u) << what;
  ASSERT_EQ(describe(flat), describe(reference)) << what;
  ASSERT_TRUE(same_finished(finished, flatten(reference))) << what;
}

}  // namespace

TEST(FlatContourTree, random_grids_give_the_pointer_construction_s_trees) {
  std::mt19937 rng(2024);
  for (int trial = 0; trial < 300; ++trial) {
    const ScalarField3DGrid g = random_grid(rng);
    const std::string what = "trial " + std::to_string(trial);
    MergeTreeOptions options;
    options.threads = 1 + trial % 2;
    options.leafVertices = trial % 3 == 0 ? 8 : trial % 3 == 1 ? 27 : 200;
    std::vector<Vertex> V;
    MultiresTree jt, st;
    ASSERT_TRUE(compute_merge_trees_of(g, V, jt, st, options));
    if (g.vertexCount() == 8) continue;  // a single cube keeps its regular vertices
    // The top merge in index form is the index form of its pointer trees.
    std::vector<Vertex> W;
    MergeTreeArrays ja, sa, jp, sp;
    if (compute_merge_tree_arrays_of(g, W, ja, sa, options)) {
      ASSERT_TRUE(merge_tree_arrays(jt, jp) && merge_tree_arrays(st, sp));
      ASSERT_EQ(W.size(), V.size()) << what;
      EXPECT_TRUE(same_arrays(ja, jp) && same_arrays(sa, sp)) << what;
    }
    expect_same_contour_trees(jt, st, what);
  }
}

TEST(FlatContourTree, random_meshes_give_the_pointer_construction_s_trees) {
  std::mt19937 rng(77);
  for (int trial = 0; trial < 300; ++trial) {
    ScalarField2D m = random_terrain(rng);
    std::vector<Vertex> P;
    MultiresTree jt, st;
    Report report;
    compute_critical_points(m, P, no_progress());
    ASSERT_TRUE(compute_merge_trees(m, P, jt, st, report, no_progress())) << report.error;
    expect_same_contour_trees(jt, st, "mesh trial " + std::to_string(trial));
  }
}

// The whole grid path, index form and all, against the pointer path on
// grids the blocks solve and grids they do not (non-integral spacing).
TEST(FlatContourTree, the_grid_contour_tree_is_the_pointer_path_s) {
  std::mt19937 rng(5);
  for (int trial = 0; trial < 80; ++trial) {
    ScalarField3DGrid g = random_grid(rng);
    if (trial % 4 == 3) g.spacing[1] = 0.5;
    MergeTreeOptions options;
    const unsigned threads[] = {1, 2, 3, 7, 2};
    options.threads = threads[trial % 5];
    options.leafVertices = 27;
    GridContourTree fast, finished;
    ASSERT_TRUE(compute_grid_contour_tree(g, fast, options));
    finished.finishedOnly = true;
    ASSERT_TRUE(compute_grid_contour_tree(g, finished, options));
    const FlatTree done = finished.finished.empty() ? flatten(finished.contour) : std::move(finished.finished);
    std::vector<Vertex> V;
    MultiresTree jt, st, ct;
    ASSERT_TRUE(compute_merge_trees_of(g, V, jt, st, options));
    if (g.vertexCount() == 8) continue;
    Report report;
    ASSERT_TRUE(compute_multires_contour_tree_by_pointers(jt, st, ct, report, no_progress()));
    EXPECT_EQ(describe(fast.contour), describe(ct)) << "trial " << trial;
    EXPECT_TRUE(same_finished(done, flatten(ct))) << "trial " << trial;
  }
}

// Trees that are not the merge trees of one field (the join tree handed
// in twice, once as the split tree): the index form declines, and the
// construction's result and messages are the pointer construction's.
TEST(FlatContourTree, trees_of_no_field_fall_back_to_the_pointer_construction) {
  std::mt19937 rng(9);
  int declined = 0;
  for (int trial = 0; trial < 40; ++trial) {
    ScalarField2D m = random_terrain(rng);
    std::vector<Vertex> P;
    MultiresTree jt, st;
    Report report;
    compute_critical_points(m, P, no_progress());
    ASSERT_TRUE(compute_merge_trees(m, P, jt, st, report, no_progress()));
    MergeTreeArrays ja;
    ASSERT_TRUE(merge_tree_arrays(jt, ja));
    MultiresTree probe;
    probe.vertices = P.data();
    probe.nodes.resize(P.size());
    declined += !flat_contour_tree(P.data(), ja, ja, probe, no_progress());
    MultiresTree j[2], s[2], ct[2];
    Report r[2];
    for (int k = 0; k < 2; ++k) {
      multires_from_arrays(ja, P.data(), j[k]);
      multires_from_arrays(ja, P.data(), s[k]);
    }
    const bool a = compute_multires_contour_tree(j[0], s[0], ct[0], r[0], no_progress());
    const bool b = compute_multires_contour_tree_by_pointers(j[1], s[1], ct[1], r[1], no_progress());
    ASSERT_EQ(a, b);
    EXPECT_EQ(r[0].error, r[1].error);
    EXPECT_EQ(r[0].warnings, r[1].warnings);
    if (a) {
      EXPECT_EQ(describe(ct[0]), describe(ct[1]));
    }
  }
  EXPECT_GT(declined, 20);
}

// The finished tree straight from arrays it takes over: on sound trees the
// pointer construction's tree, flattened, with the arrays freed; on trees
// of no field (the join tree twice) it declines, as the cuts do, and the
// arrays are gone all the same (the caller makes them again).
TEST(FlatContourTree, the_finished_tree_from_taken_arrays_is_the_pointer_construction_s) {
  std::mt19937 rng(21);
  int declined = 0;
  for (int trial = 0; trial < 60; ++trial) {
    ScalarField2D m = random_terrain(rng);
    std::vector<Vertex> P;
    MultiresTree jt, st;
    Report report;
    compute_critical_points(m, P, no_progress());
    ASSERT_TRUE(compute_merge_trees(m, P, jt, st, report, no_progress()));
    MergeTreeArrays ja, sa;
    ASSERT_TRUE(merge_tree_arrays(jt, ja));
    ASSERT_TRUE(merge_tree_arrays(st, sa));
    MergeTreeArrays twice = ja;
    const bool sound = trial % 3 != 2;
    FlatTree finished;
    const unsigned threads = 1 + unsigned(trial % 2);
    const bool made = sound
                          ? finished_tree_from_arrays(P, std::move(ja), std::move(sa), finished, no_progress(), threads)
                          : finished_tree_from_arrays(P, std::move(ja), std::move(twice), finished, no_progress(),
                                                      threads);
    EXPECT_TRUE(ja.ends.empty() && ja.at.empty() && ja.first.empty()) << "trial " << trial;
    if (!sound) {
      declined += !made;
      EXPECT_TRUE(made || finished.empty()) << "trial " << trial;
      continue;
    }
    ASSERT_TRUE(made) << "trial " << trial;
    EXPECT_TRUE(sa.ends.empty() && sa.at.empty() && sa.first.empty()) << "trial " << trial;
    MultiresTree ct;
    ASSERT_TRUE(compute_multires_contour_tree_by_pointers(jt, st, ct, report, no_progress()));
    EXPECT_TRUE(same_finished(finished, flatten(ct))) << "trial " << trial;
  }
  EXPECT_GT(declined, 10);
  // Arrays out of step with the vertices are refused before any cut.
  ScalarField2D m = random_terrain(rng);
  std::vector<Vertex> P;
  MultiresTree jt, st;
  Report report;
  compute_critical_points(m, P, no_progress());
  ASSERT_TRUE(compute_merge_trees(m, P, jt, st, report, no_progress()));
  MergeTreeArrays ja, sa;
  ASSERT_TRUE(merge_tree_arrays(jt, ja));
  ASSERT_TRUE(merge_tree_arrays(st, sa));
  sa.ends.back() = Index(P.size());
  FlatTree finished;
  EXPECT_FALSE(finished_tree_from_arrays(P, std::move(ja), std::move(sa), finished, no_progress()));
  EXPECT_TRUE(finished.empty());
  EXPECT_TRUE(ja.ends.empty() && sa.ends.empty() && ja.first.empty() && sa.first.empty());
}
