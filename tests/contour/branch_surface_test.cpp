// The tetrahedral surface against the regions of the contour tree's
// branches: just inside a branch's hanging value, towards its free end, the
// surface around the region is exactly the set of crossed grid edges that
// join a region vertex to a vertex outside it, one vertex on each, and each
// component of the grid outside the region meets it along one connected
// piece. Where the outside is connected (the region has no cavity), that is
// the brief form: the piece around the free end has one vertex per such
// edge and no other, and no other piece touches those edges.
//
// Fields are tie-free: the ranks 0 .. n-1 of random samples, so that the
// isovalue hang ± 1/2 lies between two samples and no sample takes it, and
// every surface vertex lies well inside its edge (at least 1/(2n) of its
// length from either end), where it is matched to its edge by position
// (grids of fewer than 4000 samples and sides below 16).

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "contour/grid_isosurface.h"
#include "ctree/branch_regions.h"
#include "ctree/flat_tree.h"
#include "ctree/grid_contour_tree.h"
#include "fields/grid_field.h"

using namespace contour;

namespace {

struct UnionFind {
  std::vector<int> parent;
  explicit UnionFind(size_t n) : parent(n) { std::iota(parent.begin(), parent.end(), 0); }
  int find(int x) {
    while (parent[size_t(x)] != x) x = parent[size_t(x)] = parent[size_t(parent[size_t(x)])];
    return x;
  }
  void join(int a, int b) { parent[size_t(find(a))] = find(b); }
};

// The samples replaced by their ranks (ties, if any, by index).
ctree::ScalarField3DGrid ranked(int nx, int ny, int nz, const std::vector<double>& v) {
  ctree::ScalarField3DGrid g;
  g.dim[0] = ctree::Size(nx), g.dim[1] = ctree::Size(ny), g.dim[2] = ctree::Size(nz);
  std::vector<int> order(v.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return v[size_t(a)] < v[size_t(b)]; });
  g.values.resize(v.size());
  for (size_t r = 0; r < order.size(); ++r) g.values[size_t(order[r])] = double(r);
  return g;
}

ctree::ScalarField3DGrid noise_field(int nx, int ny, int nz, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<double> v(size_t(nx) * ny * nz);
  for (double& x : v) x = std::uniform_real_distribution<double>(0, 1)(rng);
  return ranked(nx, ny, nz, v);
}

// A few Gaussian bumps and dips plus noise of the given size.
ctree::ScalarField3DGrid bump_field(int nx, int ny, int nz, unsigned seed, double noise) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(0, 1);
  std::vector<std::array<double, 5>> b;
  for (int q = 0; q < 6; ++q)
    b.push_back({u(rng) * nx, u(rng) * ny, u(rng) * nz, 1.5 + 2 * u(rng), (q % 2 ? -1 : 1) * (0.5 + u(rng))});
  std::vector<double> v;
  for (int k = 0; k < nz; ++k)
    for (int j = 0; j < ny; ++j)
      for (int i = 0; i < nx; ++i) {
        double f = noise * (u(rng) - 0.5);
        for (const auto& q : b)
          f += q[4] * std::exp(-((i - q[0]) * (i - q[0]) + (j - q[1]) * (j - q[1]) + (k - q[2]) * (k - q[2])) /
                               (2 * q[3] * q[3]));
        v.push_back(f);
      }
  return ranked(nx, ny, nz, v);
}

// A grid edge of the 14-neighbourhood, its ends as grid indices a < b.
struct Edge {
  int a, b;
  bool operator<(const Edge& e) const { return a < e.a || (a == e.a && b < e.b); }
  bool operator==(const Edge& e) const { return a == e.a && b == e.b; }
};

// Every crossed edge of the grid at w (one end below w, the other not),
// with the point where the linear interpolant along it takes w.
struct CrossedEdges {
  std::vector<Edge> edges;
  std::vector<std::array<double, 3>> points;
};

CrossedEdges crossed_edges(const ctree::ScalarField3DGrid& g, double w) {
  CrossedEdges out;
  const int nx = int(g.dim[0]), ny = int(g.dim[1]), nz = int(g.dim[2]);
  for (int z = 0; z < nz; ++z)
    for (int y = 0; y < ny; ++y)
      for (int x = 0; x < nx; ++x)
        for (const ctree::GridStep& s : ctree::grid_neighbour_steps()) {
          const int X = x + s.d[0], Y = y + s.d[1], Z = z + s.d[2];
          if (X < 0 || Y < 0 || Z < 0 || X >= nx || Y >= ny || Z >= nz) continue;
          const int a = x + nx * (y + ny * z), b = X + nx * (Y + ny * Z);
          if (b < a) continue;  // each edge once
          const double fa = g.values[size_t(a)], fb = g.values[size_t(b)];
          if ((fa < w) == (fb < w)) continue;
          const double t = (w - fa) / (fb - fa);
          out.edges.push_back({a, b});
          out.points.push_back({x + t * s.d[0], y + t * s.d[1], z + t * s.d[2]});
        }
  // In edge order, for binary searches.
  std::vector<int> order(out.edges.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](int p, int q) { return out.edges[size_t(p)] < out.edges[size_t(q)]; });
  CrossedEdges sorted;
  for (int k : order) {
    sorted.edges.push_back(out.edges[size_t(k)]);
    sorted.points.push_back(out.points[size_t(k)]);
  }
  return sorted;
}

// The crossed edge each surface vertex lies on, matched by position: the
// nearest crossed edge's point, which must lie within tol while the next
// nearest lies beyond 4 tol. -1 for a vertex on no crossed edge.
std::vector<int> edge_of_vertices(const Isosurface& s, const CrossedEdges& c, double tol) {
  std::vector<int> byX(c.points.size());
  std::iota(byX.begin(), byX.end(), 0);
  std::sort(byX.begin(), byX.end(), [&](int p, int q) { return c.points[size_t(p)][0] < c.points[size_t(q)][0]; });
  std::vector<double> xs;
  for (int p : byX) xs.push_back(c.points[size_t(p)][0]);
  std::vector<int> out(size_t(s.vertexCount()), -1);
  for (int v = 0; v < s.vertexCount(); ++v) {
    const double x = s.vertices[3 * size_t(v)], y = s.vertices[3 * size_t(v) + 1], z = s.vertices[3 * size_t(v) + 2];
    int best = -1, near = 0;
    double bestD = 1e300;
    for (size_t k = size_t(std::lower_bound(xs.begin(), xs.end(), x - 4 * tol) - xs.begin());
         k < xs.size() && xs[k] <= x + 4 * tol; ++k) {
      const std::array<double, 3>& p = c.points[size_t(byX[k])];
      const double d = std::sqrt((p[0] - x) * (p[0] - x) + (p[1] - y) * (p[1] - y) + (p[2] - z) * (p[2] - z));
      if (d <= 4 * tol) ++near;
      if (d < bestD) bestD = d, best = byX[k];
    }
    if (bestD <= tol && near == 1) out[size_t(v)] = best;
  }
  return out;
}

// Checks the surface at w around the region of one branch; counts the
// branches whose outside is connected (the brief form held) in simple.
void expect_boundary_of_region(const ctree::ScalarField3DGrid& g, const ctree::FlatTree& tree,
                               const std::vector<ctree::Index>& at, int branch, int& simple) {
  const ctree::FlatBranch& br = tree.branches[size_t(branch)];
  const ctree::Index end = at[size_t(br.ends[0])], hang = at[size_t(br.ends[1])];
  ASSERT_TRUE(end != ctree::NULL_INDEX && hang != ctree::NULL_INDEX);
  const double fe = g.values[size_t(end)], fh = g.values[size_t(hang)];
  ASSERT_NE(fe, fh);
  const double w = fe > fh ? fh + 0.5 : fh - 0.5;  // between fh and its neighbouring rank, towards end
  SCOPED_TRACE(testing::Message() << "branch " << branch << " end " << end << " hang " << hang << " at " << w);

  const size_t n = g.values.size();
  std::vector<char> in(n, 0);
  for (ctree::Index v : ctree::branch_region(g, end, hang)) in[size_t(v)] = 1;
  ASSERT_TRUE(in[size_t(end)] && !in[size_t(hang)]);

  Isosurface s;
  ctree::Report report;
  IsosurfaceOptions o;
  o.threads = 2;
  o.normals = false;
  ASSERT_TRUE(grid_isosurface(g, float(w), CellSplit::tetrahedra, o, s, report)) << report.error;

  // Surface vertices on edges, and pieces by welding through triangles.
  const CrossedEdges crossed = crossed_edges(g, w);
  // Float positions below 16 carry errors of some 1e-6; two crossed edges'
  // points lie at least about a third of 1/(2n) apart (n below 4000).
  const double tol = 1e-5;
  const std::vector<int> edgeOf = edge_of_vertices(s, crossed, tol);
  std::vector<int> onEdge(crossed.edges.size(), 0);
  for (int v = 0; v < s.vertexCount(); ++v) {
    ASSERT_GE(edgeOf[size_t(v)], 0) << "vertex " << v << " on no crossed edge";
    ++onEdge[size_t(edgeOf[size_t(v)])];
  }
  UnionFind piece(size_t(s.vertexCount()));
  for (int t = 0; t < s.triangleCount(); ++t)
    for (int c = 1; c < 3; ++c) piece.join(s.triangles[3 * size_t(t)], s.triangles[3 * size_t(t) + size_t(c)]);

  // The components of the grid outside the region, through the same
  // neighbourhood.
  const int nx = int(g.dim[0]), ny = int(g.dim[1]);
  UnionFind outside(n);
  for (int v = 0; v < int(n); ++v) {
    if (in[size_t(v)]) continue;
    const int x = v % nx, y = (v / nx) % ny, z = v / (nx * ny);
    for (const ctree::GridStep& st : ctree::grid_neighbour_steps()) {
      const int X = x + st.d[0], Y = y + st.d[1], Z = z + st.d[2];
      if (X < 0 || Y < 0 || Z < 0 || X >= nx || Y >= ny || Z >= int(g.dim[2])) continue;
      const int u = X + nx * (Y + ny * Z);
      if (!in[size_t(u)]) outside.join(v, u);
    }
  }

  // Every edge from the region to its outside is crossed and carries one
  // vertex; per outside component, the pieces met along its edges.
  int boundaryEdges = 0;
  std::vector<int> pieceOfComponent(n, -1);                        // by the component's root
  std::vector<int> componentOfPiece(size_t(s.vertexCount()), -1);  // by the piece's root
  for (size_t e = 0; e < crossed.edges.size(); ++e) {
    const Edge& ed = crossed.edges[e];
    if (in[size_t(ed.a)] == in[size_t(ed.b)]) continue;
    ++boundaryEdges;
  }
  for (int v = 0; v < s.vertexCount(); ++v) {
    const Edge& ed = crossed.edges[size_t(edgeOf[size_t(v)])];
    if (in[size_t(ed.a)] == in[size_t(ed.b)]) continue;
    const int comp = outside.find(in[size_t(ed.a)] ? ed.b : ed.a);
    const int p = piece.find(v);
    if (pieceOfComponent[size_t(comp)] < 0) pieceOfComponent[size_t(comp)] = p;
    EXPECT_EQ(pieceOfComponent[size_t(comp)], p) << "two pieces between the region and one outside component";
    if (componentOfPiece[size_t(p)] < 0) componentOfPiece[size_t(p)] = comp;
    EXPECT_EQ(componentOfPiece[size_t(p)], comp) << "one piece between the region and two outside components";
  }
  // Every grid-edge crossing was made by one vertex, region edges included.
  int regionEdgesMet = 0;
  for (size_t e = 0; e < crossed.edges.size(); ++e) {
    const Edge& ed = crossed.edges[e];
    if (in[size_t(ed.a)] == in[size_t(ed.b)]) continue;
    EXPECT_EQ(onEdge[e], 1) << "edge " << ed.a << "-" << ed.b;
    regionEdgesMet += onEdge[e] == 1;
  }
  EXPECT_EQ(regionEdgesMet, boundaryEdges);
  // Each edge from the region leaves it for a vertex not beyond the hanging
  // value (else that vertex would be in the region): the region's edges to
  // its outside are crossed edges, and no crossed edge is missed above.
  for (ctree::Index v : ctree::branch_region(g, end, hang)) {
    const int x = int(v) % nx, y = (int(v) / nx) % ny, z = int(v) / (nx * ny);
    for (const ctree::GridStep& st : ctree::grid_neighbour_steps()) {
      const int X = x + st.d[0], Y = y + st.d[1], Z = z + st.d[2];
      if (X < 0 || Y < 0 || Z < 0 || X >= nx || Y >= ny || Z >= int(g.dim[2])) continue;
      const int u = X + nx * (Y + ny * Z);
      if (in[size_t(u)]) continue;
      const Edge key{std::min(int(v), u), std::max(int(v), u)};
      ASSERT_TRUE(std::binary_search(crossed.edges.begin(), crossed.edges.end(), key))
          << "edge " << key.a << "-" << key.b << " from the region is not crossed";
    }
  }
  // A piece that meets an edge of the region has all its vertices on such
  // edges.
  for (int v = 0; v < s.vertexCount(); ++v) {
    const int p = piece.find(v);
    if (componentOfPiece[size_t(p)] < 0) continue;
    const Edge& ed = crossed.edges[size_t(edgeOf[size_t(v)])];
    EXPECT_NE(in[size_t(ed.a)], in[size_t(ed.b)]) << "vertex " << v << " of a boundary piece off the region's edges";
  }

  // With the outside in one component: the one piece around the free end,
  // holding one vertex per edge from the region and nothing else.
  std::vector<int> roots;
  for (int v = 0; v < int(n); ++v)
    if (!in[size_t(v)]) roots.push_back(outside.find(v));
  std::sort(roots.begin(), roots.end());
  roots.erase(std::unique(roots.begin(), roots.end()), roots.end());
  if (roots.size() == 1) {
    const int p = pieceOfComponent[size_t(roots[0])];
    ASSERT_GE(p, 0);
    int size = 0;
    for (int v = 0; v < s.vertexCount(); ++v) size += piece.find(v) == p;
    EXPECT_EQ(size, boundaryEdges);
    ++simple;
  }
}

void expect_branches_bounded(const ctree::ScalarField3DGrid& g, int wanted, int& checked, int& simple) {
  ctree::GridContourTree ct;
  ASSERT_TRUE(ctree::compute_grid_contour_tree(g, ct, ctree::MergeTreeOptions{}));
  const ctree::FlatTree tree = ct.finished.empty() ? ctree::flatten(ct.contour) : ct.finished;
  const std::vector<ctree::Index> at = ctree::tree_grid_indices(tree, g);
  // The longest branches first (big regions), then some of the rest.
  std::vector<int> order;
  for (int b = 1; b < int(tree.branches.size()); ++b) order.push_back(b);
  auto length = [&](int b) {
    const ctree::FlatBranch& br = tree.branches[size_t(b)];
    return std::fabs(tree.vertices[size_t(br.ends[0])].field - tree.vertices[size_t(br.ends[1])].field);
  };
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return length(a) > length(b); });
  const int step = std::max(1, int(order.size()) / wanted);
  for (size_t k = 0; k < order.size() && int(k) < wanted * step; k += k < size_t(wanted) / 2 ? 1 : size_t(step)) {
    expect_boundary_of_region(g, tree, at, order[k], simple);
    ++checked;
  }
}

}  // namespace

TEST(BranchSurface, branch_piece_is_the_boundary_of_its_region_on_smooth_fields) {
  int checked = 0, simple = 0;
  for (unsigned seed : {5u, 6u}) expect_branches_bounded(bump_field(14, 13, 12, seed, 0.0), 10, checked, simple);
  EXPECT_GE(checked, 10);
  EXPECT_GE(simple, 5);
}

TEST(BranchSurface, branch_piece_is_the_boundary_of_its_region_on_noisy_fields) {
  int checked = 0, simple = 0;
  expect_branches_bounded(bump_field(13, 12, 11, 7, 0.05), 12, checked, simple);
  expect_branches_bounded(bump_field(12, 11, 10, 8, 0.5), 12, checked, simple);
  expect_branches_bounded(noise_field(10, 9, 8, 9), 12, checked, simple);
  EXPECT_GE(checked, 30);
  EXPECT_GE(simple, 10);
}
