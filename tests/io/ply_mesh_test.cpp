// PLY meshes as mesh fields: faces, strips, both byte orders, and the
// whole mesh path from a generated terrain to its contour tree.
#include "io/ply_mesh.h"

#include <gtest/gtest.h>

#include "ctree/mesh_merge_trees.h"
#include "ctree/multires_contour_tree.h"
#include "fields/mesh_checks.h"
#include "test_util.h"

using namespace ctree;
using testutil::TempDir;

namespace {

std::vector<Triangle> fan(std::vector<std::int32_t> idx, bool strip) {
  PlyFace f{std::uint32_t(idx.size()), idx.data()};
  std::vector<Triangle> out;
  if (strip)
    triangulate_strip(f, out);
  else
    triangulate_face(f, out);
  return out;
}

std::vector<std::array<int, 3>> plain(const std::vector<Triangle>& t) {
  std::vector<std::array<int, 3>> out;
  for (const Triangle& x : t) out.push_back({x[0], x[1], x[2]});
  return out;
}

}  // namespace

TEST(PlyMesh, faces_become_fans_and_strips_alternate) {
  using T = std::vector<std::array<int, 3>>;
  EXPECT_EQ(plain(fan({0, 1, 2, 3}, false)), (T{{0, 1, 2}, {0, 2, 3}}));
  EXPECT_EQ(plain(fan({0, 1}, false)), T{});
  EXPECT_EQ(plain(fan({0, 1, 2, 3, 4}, true)), (T{{0, 1, 2}, {1, 3, 2}, {2, 3, 4}}));
  EXPECT_EQ(plain(fan({0, 1, 2, -1, 3, 4, 5}, true)), (T{{0, 1, 2}, {3, 4, 5}}));
}

TEST(PlyMesh, field_property_and_positions_from_a_file_written_by_hand) {
  TempDir dir;
  testutil::write_text(dir.file("m.ply"),
                       "ply\nformat ascii 1.0\nelement vertex 4\nproperty float x\nproperty float y\nproperty float z\n"
                       "property float heat\nelement face 1\nproperty list uchar int vertex_indices\nend_header\n"
                       "0 0 0 5\n1 0 0 6\n1 1 0 7\n0 1 0 8\n4 0 1 2 3\n");
  ScalarField2D f;
  testing::internal::CaptureStdout();
  ASSERT_TRUE(read_ply_field(dir.file("m.ply"), "heat", "float", f));
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Reading PLY ascii file, version 1"), std::string::npos);
  EXPECT_NE(out.find("file PLY does not have normals per vertex"), std::string::npos);
  ASSERT_EQ(f.vertices.size(), 4u);
  EXPECT_EQ(f.vertices[2].field, 7);
  EXPECT_EQ(f.vertices[2].x, 1);
  EXPECT_EQ(f.vertices[2].y, 1);
  ASSERT_EQ(f.triangles.size(), 2u);
  EXPECT_EQ(f.vertexTriangles[0].size(), 2u);

  ScalarField2D g;
  testing::internal::CaptureStdout();
  ASSERT_TRUE(read_ply_field(dir.file("m.ply"), "y", "float", g));
  testing::internal::GetCapturedStdout();
  for (const Vertex& v : g.vertices) EXPECT_EQ(v.field, v.y);

  testutil::write_text(dir.file("bad.ply"),
                       "ply\nformat ascii 1.0\nelement vertex 2\nproperty float x\nproperty float y\nproperty float z\n"
                       "element face 1\nproperty list uchar int vertex_indices\nend_header\n0 0 0\n1 0 0\n3 0 1 7\n");
  ScalarField2D h;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_FALSE(read_ply_field(dir.file("bad.ply"), "y", "float", h));
  testing::internal::GetCapturedStdout();
  EXPECT_NE(testing::internal::GetCapturedStderr().find("face 0 names vertex 7 of 2"), std::string::npos);
}

// A generated terrain in every format reads to the same field, and its
// contour tree has one branch per pair of extrema.
TEST(PlyMesh, generated_terrains_agree_across_formats_and_give_sound_trees) {
  TempDir dir;
  std::vector<Vertex> first;
  for (const char* format : {"ascii", "big", "little"})
    for (const char* strips : {"", " --strips"}) {
      std::string f = dir.file(std::string("t-") + format + (*strips ? "-s" : "") + ".ply");
      ASSERT_EQ(testutil::run_gen(std::string("terrain --size 24 --bumps 5 --format ") + format + strips + " --out " + f).status, 0);
      ScalarField2D m;
      testing::internal::CaptureStdout();
      ASSERT_TRUE(read_ply_field(f, "y", "float", m));
      testing::internal::GetCapturedStdout();
      ASSERT_EQ(m.triangles.size(), 2u * 23 * 23) << f;
      if (first.empty()) first = m.vertices;
      for (size_t i = 0; i < m.vertices.size(); ++i) {
        ASSERT_EQ(m.vertices[i].field, first[i].field) << f;
        ASSERT_EQ(m.vertices[i].x, first[i].x) << f;
      }
      testing::internal::CaptureStdout();
      ASSERT_TRUE(ply_checkmesh(&m));
      std::vector<Vertex> P;
      compute_critical_points(m, P);
      MultiresTree jt, st, ct;
      ASSERT_TRUE(compute_merge_trees(m, P, jt, st));
      EXPECT_EQ(check_tree(jt, +1), "");
      EXPECT_EQ(check_tree(st, -1), "");
      compute_multires_contour_tree(jt, st, ct);
      testing::internal::GetCapturedStdout();
      EXPECT_EQ(check_tree(ct), "");
      // A disk: leaves are the minima and maxima, two per branch but one.
      size_t leaves = 0;
      for (size_t v = 0; v < ct.nodes.size(); ++v) leaves += ct.nodes[v].size() == 1;
      EXPECT_EQ(leaves, ct.branches.size() + 1);
    }
}
