#include "fields/mesh_field.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <map>
#include <random>
#include <set>

#include "fields/mesh_checks.h"

using namespace ctree;

namespace {

ScalarField2D mesh(const std::vector<Vertex>& v, const std::vector<Triangle>& t) {
  ScalarField2D f;
  f.vertices = v;
  f.triangles = t;
  f.buildVertexTriangles();
  return f;
}

Vertex at(double x, double y, double z, double field) { return Vertex{x, y, z, field}; }

// A closed octahedron with vertex values given: a surface of genus 0.
ScalarField2D octahedron(const double values[6]) {
  std::vector<Vertex> v = {at(1, 0, 0, values[0]),  at(-1, 0, 0, values[1]), at(0, 1, 0, values[2]),
                           at(0, -1, 0, values[3]), at(0, 0, 1, values[4]),  at(0, 0, -1, values[5])};
  std::vector<Triangle> t = {{{0, 2, 4}}, {{2, 1, 4}}, {{1, 3, 4}}, {{3, 0, 4}},
                             {{2, 0, 5}}, {{1, 2, 5}}, {{3, 1, 5}}, {{0, 3, 5}}};
  return mesh(v, t);
}

}  // namespace

TEST(MeshField, saddles_extrema_and_isolated_vertices_by_link_characteristic) {
  // Around vertex 4 (the top) the equator alternates low, high, low, high.
  const double saddle[6] = {0, 1, 5, 6, 3, -1};
  ScalarField2D f = octahedron(saddle);
  EXPECT_EQ(f.eulerCharacterOfLink(4), 0);  // interior vertex of a closed surface
  EXPECT_EQ(f.eulerCharacterOfLowerLink(4), 2);
  EXPECT_TRUE(f.isCritical(4));
  const double height[6] = {0, 0.1, 0.2, 0.3, 1, -1};  // z itself, ties away
  ScalarField2D g = octahedron(height);
  std::vector<Vertex> P;
  compute_critical_points(g, P, no_progress());
  ASSERT_EQ(P.size(), 2u);  // one minimum, one maximum
  EXPECT_EQ(P.front().field, -1);
  EXPECT_EQ(P.back().field, 1);

  ScalarField2D lone = mesh({at(0, 0, 0, 1), at(1, 0, 0, 2), at(0, 1, 0, 3), at(5, 5, 5, 0)}, {{{0, 1, 2}}});
  EXPECT_EQ(lone.eulerCharacterOfLowerLink(3), 0);
  EXPECT_EQ(lone.eulerCharacterOfUpperLink(3), 0);
  EXPECT_TRUE(lone.isCritical(3));
}

TEST(MeshField, order_breaks_value_ties_by_z_then_y_then_x_and_links_are_distinct) {
  ScalarField2D f = mesh({at(0, 0, 1, 2), at(0, 1, 0, 2), at(1, 0, 0, 2), at(0, 0, 0, 2), at(0, 0, 0, 5)},
                         {{{3, 2, 4}}, {{3, 4, 1}}, {{3, 1, 0}}, {{3, 0, 2}}});
  f.sortVertices();
  EXPECT_EQ(f.order, (std::vector<Index>{3, 2, 1, 0, 4}));
  std::vector<Index> link;
  f.verticesOfUpperLink(3, link);
  EXPECT_EQ(link, (std::vector<Index>{0, 1, 2, 4}));  // each once, ascending
  f.verticesOfLowerLink(4, link);
  EXPECT_EQ(link, (std::vector<Index>{1, 2, 3}));
}

TEST(MeshChecks, components_by_shared_edges_and_stray_vertices) {
  // Two triangles sharing only vertex 2.
  ScalarField2D bow = mesh({at(0, 0, 0, 0), at(1, 0, 0, 1), at(1, 1, 0, 2), at(2, 1, 0, 3), at(2, 2, 0, 4)},
                           {{{0, 1, 2}}, {{2, 3, 4}}});
  Report r;
  EXPECT_FALSE(ply_checkmesh(&bow, r));
  EXPECT_EQ(r.notes, std::vector<std::string>{"Error: there are 2 components"});
  auto parts = ply_component(bow);
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[0]->vertices.size(), 3u);
  EXPECT_EQ(parts[1]->vertices.size(), 3u);
  EXPECT_EQ(parts[1]->vertices[0].field, 2) << "the shared vertex is copied into both";

  ScalarField2D quad = mesh({at(0, 0, 0, 0), at(1, 0, 0, 1), at(1, 1, 0, 2), at(0, 1, 0, 3), at(9, 9, 9, 9)},
                            {{{0, 1, 2}}, {{0, 2, 3}}});
  r = Report();
  EXPECT_FALSE(ply_checkmesh(&quad, r));
  EXPECT_EQ(r.notes, std::vector<std::string>{"Error: there is a disconnected vertex"});
  auto one = ply_component(quad);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0]->vertices.size(), 4u) << "the stray vertex is dropped";
  EXPECT_TRUE(one[0]->normals.empty());

  ScalarField2D empty;
  r = Report();
  EXPECT_FALSE(ply_checkmesh(&empty, r));
  EXPECT_EQ(r.notes, std::vector<std::string>{"Error: there are 0 components"});
}

// The components' triangles in the order of a breadth-first search over
// shared edges written apart (an edge map): from each triangle, per corner
// v, the triangles on its two edges at v, ascending.
static std::vector<std::vector<Index>> components_by_edge_map(const std::vector<Triangle>& tris) {
  std::map<std::pair<Index, Index>, std::vector<Index>> onEdge;
  auto key = [](Index a, Index b) { return std::make_pair(std::min(a, b), std::max(a, b)); };
  for (Index t = 0; t < Index(tris.size()); ++t)
    for (int c = 0; c < 3; ++c) {
      std::vector<Index>& row = onEdge[key(tris[size_t(t)][c], tris[size_t(t)][(c + 1) % 3])];
      if (row.empty() || row.back() != t) row.push_back(t);
    }
  std::vector<std::vector<Index>> out;
  std::vector<bool> seen(tris.size(), false);
  for (Index start = 0; start < Index(tris.size()); ++start) {
    if (seen[size_t(start)]) continue;
    out.emplace_back();
    std::deque<Index> queue{start};
    seen[size_t(start)] = true;
    while (!queue.empty()) {
      const Index t = queue.front();
      queue.pop_front();
      out.back().push_back(t);
      const Triangle& tri = tris[size_t(t)];
      for (int c = 0; c < 3; ++c) {
        std::set<Index> next;
        for (int k = 1; k <= 2; ++k) {
          const Index w = tri[(c + k) % 3];
          // An edge from a vertex to itself is no edge: every triangle at
          // the vertex counts (as it does for the vertex rows).
          if (w == tri[c]) {
            for (Index u = 0; u < Index(tris.size()); ++u)
              for (int e = 0; e < 3; ++e)
                if (tris[size_t(u)][e] == w) next.insert(u);
            continue;
          }
          auto found = onEdge.find(key(tri[c], w));
          if (found != onEdge.end()) next.insert(found->second.begin(), found->second.end());
        }
        for (Index u : next)
          if (!seen[size_t(u)]) {
            seen[size_t(u)] = true;
            queue.push_back(u);
          }
      }
    }
  }
  return out;
}

TEST(MeshChecks, components_around_hub_vertices_follow_the_shared_edges) {
  // Vertex 0 is the hub of a closed fan of 700 triangles and of an open fan
  // of 300 that meets it there only (a second component); the triangles are
  // shuffled, a face repeats and one triangle is degenerate (a corner twice).
  std::vector<Vertex> v;
  for (int i = 0; i < 1002; ++i) v.push_back(at(i, 0, 0, i));
  std::vector<Triangle> t;
  for (Index i = 0; i < 700; ++i) t.push_back({{0, 1 + i, 1 + (i + 1) % 700}});
  for (Index i = 0; i < 300; ++i) t.push_back({{0, 701 + i, 702 + i}});
  t.push_back(t[5]);
  t.push_back({{3, 3, 4}});
  std::mt19937 random(7);
  std::shuffle(t.begin(), t.end(), random);
  ScalarField2D f = mesh(v, t);
  const auto expected = components_by_edge_map(t);
  ASSERT_EQ(expected.size(), 2u);
  auto parts = ply_component(f);
  ASSERT_EQ(parts.size(), expected.size());
  for (size_t k = 0; k < parts.size(); ++k) {
    ASSERT_EQ(parts[k]->triangles.size(), expected[k].size());
    for (size_t i = 0; i < expected[k].size(); ++i)
      for (int c = 0; c < 3; ++c)
        ASSERT_EQ(parts[k]->vertices[size_t(parts[k]->triangles[i][c])].field, Real(t[size_t(expected[k][i])][c]))
            << "component " << k << ", triangle " << i;
  }
  Report r;
  EXPECT_FALSE(ply_checkmesh(&f, r));
  EXPECT_EQ(r.notes, std::vector<std::string>{"Error: there are 2 components"});
}

TEST(MeshChecks, normals_are_unit_averages_of_face_normals) {
  // A flat square in z = 0, both triangles counter-clockwise seen from +z:
  // with flag 0 the normals point away from that viewpoint, to -z.
  ScalarField2D sq = mesh({at(0, 0, 0, 0), at(1, 0, 0, 0), at(1, 1, 0, 0), at(0, 1, 0, 0), at(3, 3, 3, 0)},
                          {{{0, 1, 2}}, {{0, 2, 3}}, {{4, 4, 4}}});
  auto n = ply_compute_normals(sq, 0);
  for (int v = 0; v < 4; ++v)
    EXPECT_EQ(std::vector<double>(n.begin() + 3 * v, n.begin() + 3 * v + 3), (std::vector<double>{0, 0, -1}));
  EXPECT_EQ(n[12], 0.0);  // only a degenerate triangle around vertex 4
  EXPECT_EQ(n[14], 0.0);
  auto flipped = ply_compute_normals(sq, 1);
  EXPECT_EQ(flipped[2], 1.0);

  // On a closed octahedron every normal is the unit vector from the centre.
  const double h[6] = {0, 0.1, 0.2, 0.3, 1, -1};
  ScalarField2D o = octahedron(h);
  auto on = ply_compute_normals(o, 1);
  for (size_t v = 0; v < 6; ++v) {
    const Vertex& p = o.vertices[v];
    EXPECT_NEAR(on[v * 3] * p.x + on[v * 3 + 1] * p.y + on[v * 3 + 2] * p.z, 1.0, 1e-6) << v;
  }
}
