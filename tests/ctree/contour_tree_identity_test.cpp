// The contour tree construction (leaf cutting over index arrays) against
// the construction in the pointer model, kept here as the reference: on
// hundreds of random grids and meshes, at every leaf size and thread count,
// both must give the same tree, branch for branch and node for node; and
// the top merge's index form must be the index form of the pointer trees
// it replaces.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "ctree/flat_tree.h"
#include "ctree/grid_contour_tree.h"
#include "ctree/grid_merge_trees.h"
#include "ctree/mesh_merge_trees.h"
#include "ctree/leaf_cutting.h"
#include "ctree/multires_contour_tree.h"
#include "ctree/regular_vertices.h"
#include "ctree/tree_of_cuts.h"
#include "ctree/pointer_contour_tree.h"

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

// A disc of `spokes` triangles around vertex 0 (value 0.5), the rim
// alternating high and low with random heights: vertex 0 is a saddle of
// every rim peak and pit, with as many branches in each tree.
ScalarField2D fan_terrain(std::mt19937& rng, int spokes) {
  ScalarField2D f;
  f.vertices.push_back(Vertex{0, 0.5, 0, 0.5});
  std::uniform_real_distribution<double> jitter(0, 0.25);
  for (int i = 0; i < spokes; ++i) {
    const double a = 6.283185307179586 * i / spokes, y = (i % 2 ? 0 : 0.75) + jitter(rng);
    f.vertices.push_back(Vertex{std::cos(a), y, std::sin(a), y});
  }
  for (Index i = 0; i < spokes; ++i) f.triangles.push_back(Triangle{{0, 1 + i, 1 + (i + 1) % spokes}});
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
// index one on their index form (directly and through the entry that takes
// the tree model), which must not decline.
void expect_same_contour_trees(MultiresTree& jt, MultiresTree& st, const std::string& what) {
  MultiresTree served;
  Report served_report;
  ASSERT_TRUE(compute_multires_contour_tree(jt, st, served, served_report, no_progress())) << served_report.error;
  EXPECT_TRUE(served_report.warnings.empty()) << what;
  MergeTreeArrays ja, sa;
  ASSERT_TRUE(merge_tree_arrays(jt, ja)) << what;
  ASSERT_TRUE(merge_tree_arrays(st, sa)) << what;
  CutBranches cuts;
  ASSERT_TRUE(cut_contour_tree(jt.vertices, ja, sa, cuts, no_progress())) << what;
  MultiresTree of_cuts;
  of_cuts.vertices = jt.vertices;
  of_cuts.nodes.resize(jt.nodes.size());
  contour_tree_of_cuts(cuts, of_cuts);
  const FlatTree finished = finished_tree_of_cuts(jt.vertices, cuts);
  MultiresTree reference;
  Report report;
  ASSERT_TRUE(compute_multires_contour_tree_by_pointers(jt, st, reference, report, no_progress())) << what;
  ASSERT_EQ(report.warnings.size(), 0u) << what;
  ASSERT_EQ(describe(of_cuts), describe(reference)) << what;
  ASSERT_EQ(describe(served), describe(reference)) << what;
  ASSERT_TRUE(same_finished(finished, flatten(reference))) << what;
}

}  // namespace

TEST(ContourTreeIdentity, random_grids_give_the_pointer_construction_s_trees) {
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

// The mesh's merge trees cut by both constructions.
static void expect_same_mesh_contour_trees(ScalarField2D& m, const std::string& what) {
  std::vector<Vertex> P;
  MultiresTree jt, st;
  Report report;
  compute_critical_points(m, P, no_progress());
  ASSERT_TRUE(compute_merge_trees(m, P, jt, st, report, no_progress())) << report.error;
  expect_same_contour_trees(jt, st, what);
}

TEST(ContourTreeIdentity, random_meshes_give_the_pointer_construction_s_trees) {
  std::mt19937 rng(77);
  for (int trial = 0; trial < 300; ++trial) {
    ScalarField2D m = random_terrain(rng);
    expect_same_mesh_contour_trees(m, "mesh trial " + std::to_string(trial));
  }
  // Hub vertices: node lists of thousands, erased from in the queue's order.
  for (int spokes : {4, 6, 40, 1000, 4000}) {
    ScalarField2D m = fan_terrain(rng, spokes);
    expect_same_mesh_contour_trees(m, "fan of " + std::to_string(spokes));
  }
}

// Larger noisy fields, where the queue holds thousands of leaves, branches
// grow and wait their turn again many times, and node lists outgrow their
// first room: a grid with ties, one without, and a terrain.
TEST(ContourTreeIdentity, large_noisy_fields_give_the_pointer_construction_s_trees) {
  std::mt19937 rng(4711);
  for (int kind = 0; kind < 2; ++kind) {
    ScalarField3DGrid g;
    g.dim[0] = 26;
    g.dim[1] = 23;
    g.dim[2] = 21;
    g.values.resize(g.dim[0] * g.dim[1] * g.dim[2]);
    for (size_t i = 0; i < g.values.size(); ++i) {
      const double smooth = std::sin(0.3 * double(i % g.dim[0])) + std::cos(0.2 * double(i / g.dim[0] % g.dim[1]));
      g.values[i] = kind == 0 ? std::round(4 * smooth) + double(rng() % 3)
                              : smooth + std::uniform_real_distribution<double>(-0.5, 0.5)(rng);
    }
    MergeTreeOptions options;
    options.threads = 2;
    std::vector<Vertex> V;
    MultiresTree jt, st;
    ASSERT_TRUE(compute_merge_trees_of(g, V, jt, st, options));
    ASSERT_GT(jt.branches.size() + st.branches.size(), 1000u);
    expect_same_contour_trees(jt, st, "large grid " + std::to_string(kind));
  }
  ScalarField2D m;
  const int n = 90;
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) {
      const double y = std::sin(0.2 * i) * std::cos(0.15 * j) + std::uniform_real_distribution<double>(0, 0.4)(rng);
      m.vertices.push_back(Vertex{double(i), y, double(j), y});
    }
  for (int j = 0; j + 1 < n; ++j)
    for (int i = 0; i + 1 < n; ++i) {
      const Index a = i + n * j, b = a + 1, c = a + n, d = c + 1;
      m.triangles.push_back(Triangle{{a, c, d}});
      m.triangles.push_back(Triangle{{a, d, b}});
    }
  m.buildVertexTriangles();
  std::vector<Vertex> P;
  MultiresTree jt, st;
  Report report;
  compute_critical_points(m, P, no_progress());
  ASSERT_TRUE(compute_merge_trees(m, P, jt, st, report, no_progress())) << report.error;
  ASSERT_GT(jt.branches.size() + st.branches.size(), 500u);
  expect_same_contour_trees(jt, st, "large terrain");
}

// The whole grid path, index form and all, against the pointer path on
// grids the blocks solve and grids they do not (non-integral spacing).
TEST(ContourTreeIdentity, the_grid_contour_tree_is_the_pointer_path_s) {
  std::mt19937 rng(5);
  for (int trial = 0; trial < 80; ++trial) {
    ScalarField3DGrid g = random_grid(rng);
    if (trial % 4 == 3) g.spacing[1] = 0.5;
    MergeTreeOptions options;
    const unsigned threads[] = {1, 2, 3, 7, 2};
    options.threads = threads[trial % 5];
    options.leafVertices = trial % 3 == 0 ? 8 : trial % 3 == 1 ? 27 : DEFAULT_LEAF_VERTICES;
    GridContourTree fast, finished;
    ASSERT_TRUE(compute_grid_contour_tree(g, fast, options));
    finished.finishedOnly = true;
    ASSERT_TRUE(compute_grid_contour_tree(g, finished, options));
    const FlatTree done = finished.finished.empty() ? flatten(finished.contour) : std::move(finished.finished);
    std::vector<Vertex> V;
    MultiresTree jt, st, ct;
    ASSERT_TRUE(compute_merge_trees_of(g, V, jt, st, options));
    if (g.vertexCount() == 8) remove_regular_vertices(V, jt, st);
    Report report;
    ASSERT_TRUE(compute_multires_contour_tree_by_pointers(jt, st, ct, report, no_progress()));
    EXPECT_EQ(describe(fast.contour), describe(ct)) << "trial " << trial;
    EXPECT_TRUE(same_finished(done, flatten(ct))) << "trial " << trial;
  }
}

// Trees that are not the merge trees of one field (the join tree handed
// in twice, once as the split tree): the construction fails with the
// reason in its report and an empty tree; where the pointer construction
// runs dry on the same trees it gives the same error, and where the cuts go
// through, both give the same tree.
TEST(ContourTreeIdentity, trees_of_no_field_are_refused) {
  std::mt19937 rng(9);
  int refused = 0, empty_queue = 0;
  for (int trial = 0; trial < 40; ++trial) {
    ScalarField2D m = random_terrain(rng);
    std::vector<Vertex> P;
    MultiresTree jt, st;
    Report report;
    compute_critical_points(m, P, no_progress());
    ASSERT_TRUE(compute_merge_trees(m, P, jt, st, report, no_progress()));
    MergeTreeArrays ja;
    ASSERT_TRUE(merge_tree_arrays(jt, ja));
    MultiresTree j[2], s[2], ct[2];
    Report r[2];
    for (int k = 0; k < 2; ++k) {
      multires_from_arrays(ja, P.data(), j[k]);
      multires_from_arrays(ja, P.data(), s[k]);
    }
    const bool a = compute_multires_contour_tree(j[0], s[0], ct[0], r[0], no_progress());
    const bool b = compute_multires_contour_tree_by_pointers(j[1], s[1], ct[1], r[1], no_progress());
    // The arrays entry says the same as the model entry.
    std::vector<Vertex> W = P;
    MultiresTree ca;
    Report ra;
    EXPECT_EQ(contour_tree_from_arrays(W, ja, ja, ca, ra, no_progress()), a);
    EXPECT_EQ(ra.error, r[0].error);
    if (a) {
      EXPECT_TRUE(b);
      EXPECT_EQ(describe(ct[0]), describe(ct[1]));
      continue;
    }
    ++refused;
    EXPECT_TRUE(ct[0].branches.empty());
    EXPECT_FALSE(r[0].warnings.empty()) << "the failure says where the cutting stopped";
    if (r[0].error == "Error! Branch queue is empty.") {
      ++empty_queue;
      EXPECT_FALSE(b) << "trial " << trial << ": the reference ran dry too";
      EXPECT_EQ(r[1].error, r[0].error);
    } else {
      EXPECT_EQ(r[0].error, "Error! Cannot remove vertex.") << "trial " << trial;
    }
  }
  EXPECT_GT(refused, 20);
  EXPECT_GT(empty_queue, 0);
}

// Arrays that name vertices beyond the vector are refused, not read.
TEST(ContourTreeIdentity, arrays_beyond_their_vertices_are_refused) {
  std::vector<Vertex> V = {{0, 0, 0, 0}, {1, 0, 0, 1}};
  MergeTreeArrays a;
  a.ends = {0, 5};
  a.first = {0, 1, 2};
  a.at = {0, 1};
  MultiresTree ct;
  Report report;
  EXPECT_FALSE(contour_tree_from_arrays(V, a, a, ct, report, no_progress()));
  EXPECT_NE(report.error.find("incomplete"), std::string::npos) << report.error;
  EXPECT_TRUE(ct.branches.empty());
}

// A grid with a geometry of its own: the tree is the one of its indices
// (same branches, same vertex order), each vertex placed at origin +
// spacing·index, where the grid's sample is the vertex's value; boxes are
// in the same units and the grid is left as it was.
TEST(ContourTreeIdentity, grid_trees_are_placed_in_the_grid_s_units) {
  std::mt19937 rng(31);
  for (int trial = 0; trial < 30; ++trial) {
    ScalarField3DGrid g = random_grid(rng);
    const ScalarField3DGrid unit = g;
    const Real spacing[3] = {0.3, 1.7, 0.05 * (1 + trial % 5)}, origin[3] = {-90.5, 12.25, 1e3 * trial};
    for (int a = 0; a < 3; ++a) g.spacing[a] = spacing[a], g.origin[a] = origin[a];
    const ScalarField3DGrid before = g;
    MergeTreeOptions options;
    options.threads = 1 + trial % 2;
    options.leafVertices = trial % 3 == 0 ? 8 : DEFAULT_LEAF_VERTICES;
    GridContourTree placed, indexed, finished;
    ASSERT_TRUE(compute_grid_contour_tree(g, placed, options));
    ASSERT_TRUE(compute_grid_contour_tree(unit, indexed, options));
    finished.finishedOnly = true;
    ASSERT_TRUE(compute_grid_contour_tree(g, finished, options));
    for (int a = 0; a < 3; ++a) {
      EXPECT_EQ(g.spacing[a], before.spacing[a]);
      EXPECT_EQ(g.origin[a], before.origin[a]);
    }
    const FlatTree done = finished.finished.empty() ? flatten(finished.contour) : std::move(finished.finished);
    const FlatTree p = flatten(placed.contour), q = flatten(indexed.contour);
    ASSERT_TRUE(same_finished(done, p)) << "trial " << trial;
    ASSERT_EQ(p.vertices.size(), q.vertices.size());
    ASSERT_EQ(p.branches.size(), q.branches.size());
    for (size_t b = 0; b < p.branches.size(); ++b) {
      EXPECT_EQ(p.branches[b].ends[0], q.branches[b].ends[0]);
      EXPECT_EQ(p.branches[b].ends[1], q.branches[b].ends[1]);
      EXPECT_EQ(p.branches[b].parent, q.branches[b].parent);
    }
    for (size_t v = 0; v < p.vertices.size(); ++v) {
      const Vertex &x = p.vertices[v], &i = q.vertices[v];
      EXPECT_EQ(x.field, i.field);
      EXPECT_EQ(x.x, origin[0] + spacing[0] * i.x);
      EXPECT_EQ(x.y, origin[1] + spacing[1] * i.y);
      EXPECT_EQ(x.z, origin[2] + spacing[2] * i.z);
      // Back to the sample it stands on.
      const long k[3] = {std::lround((x.x - origin[0]) / spacing[0]), std::lround((x.y - origin[1]) / spacing[1]),
                         std::lround((x.z - origin[2]) / spacing[2])};
      EXPECT_EQ(g.values[size_t(g.vertexIndex(Size(k[0]), Size(k[1]), Size(k[2])))], x.field) << "vertex " << v;
    }
    // The root's box is the box of every vertex of the tree.
    Box all = Box::at(p.vertices[0].x, p.vertices[0].y, p.vertices[0].z);
    for (const FlatBranch& b : p.branches)
      for (Index e : b.ends) all.add(p.vertices[size_t(e)].x, p.vertices[size_t(e)].y, p.vertices[size_t(e)].z);
    EXPECT_EQ(std::memcmp(&all, &p.branches[0].box, sizeof(Box)), 0) << "trial " << trial;
    EXPECT_EQ(std::memcmp(&placed.contour.branches.front().bbox, &p.branches[0].box, sizeof(Box)), 0);
  }
}

// Merge trees whose regular vertices were not removed (an interior node on
// a branch) are refused with the reason, not cut.
TEST(ContourTreeIdentity, a_branch_with_interior_nodes_is_refused) {
  std::mt19937 rng(4);
  ScalarField2D m = random_terrain(rng);
  std::vector<Vertex> P;
  MultiresTree jt, st, ct;
  Report report;
  compute_critical_points(m, P, no_progress());
  ASSERT_TRUE(compute_merge_trees(m, P, jt, st, report, no_progress()));
  ASSERT_GE(P.size(), 3u);
  BranchI b = jt.branches.begin();
  b->nodes.push_back(jt.newNode(&P[1], b, 1));
  EXPECT_FALSE(compute_multires_contour_tree(jt, st, ct, report, no_progress()));
  EXPECT_NE(report.error.find("interior nodes"), std::string::npos) << report.error;
  EXPECT_TRUE(ct.branches.empty());
}

// The finished tree straight from arrays it takes over: on sound trees the
// pointer construction's tree, flattened, with the arrays freed; on trees
// of no field (the join tree twice) it declines, as the cuts do, and the
// arrays are gone all the same (the caller makes them again).
TEST(ContourTreeIdentity, the_finished_tree_from_taken_arrays_is_the_pointer_construction_s) {
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
    const bool made = sound ? finished_tree_from_arrays(P, std::move(ja), std::move(sa), finished, report,
                                                        no_progress(), threads)
                            : finished_tree_from_arrays(P, std::move(ja), std::move(twice), finished, report,
                                                        no_progress(), threads);
    EXPECT_TRUE(ja.ends.empty() && ja.at.empty() && ja.first.empty()) << "trial " << trial;
    if (!sound) {
      declined += !made;
      EXPECT_TRUE(made || finished.empty()) << "trial " << trial;
      EXPECT_TRUE(made || !report.error.empty()) << "a refusal says why";
      report = Report();
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
  EXPECT_FALSE(finished_tree_from_arrays(P, std::move(ja), std::move(sa), finished, report, no_progress()));
  EXPECT_TRUE(finished.empty());
  EXPECT_NE(report.error.find("incomplete"), std::string::npos) << report.error;
  EXPECT_TRUE(ja.ends.empty() && sa.ends.empty() && ja.first.empty() && sa.first.empty());
}
