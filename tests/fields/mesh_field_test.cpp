#include "fields/mesh_field.h"

#include <gtest/gtest.h>

#include <cmath>

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

TEST(MeshChecks, normals_are_unit_averages_of_face_normals) {
  // A flat square in z = 0, both triangles counter-clockwise seen from +z:
  // with flag 0 the normals point away from that viewpoint, to -z.
  ScalarField2D sq = mesh({at(0, 0, 0, 0), at(1, 0, 0, 0), at(1, 1, 0, 0), at(0, 1, 0, 0), at(3, 3, 3, 0)},
                          {{{0, 1, 2}}, {{0, 2, 3}}, {{4, 4, 4}}});
  auto n = ply_compute_normals(sq, 0);
  for (int v = 0; v < 4; ++v) EXPECT_EQ(std::vector<double>(n.begin() + 3 * v, n.begin() + 3 * v + 3), (std::vector<double>{0, 0, -1}));
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
