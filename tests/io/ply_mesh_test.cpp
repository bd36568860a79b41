// PLY meshes as mesh fields: faces, strips, both byte orders, repeated and
// degenerate faces.
#include "io/ply_mesh.h"

#include <gtest/gtest.h>

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
  Report report;
  testing::internal::CaptureStdout();
  ASSERT_TRUE(read_ply_field(dir.file("m.ply"), "heat", "float", f, report, no_progress()));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "the library prints nothing";
  EXPECT_EQ(report.notes, (std::vector<std::string>{"Reading PLY ascii file, version 1",
                                                    "file PLY does not have normals per vertex"}));
  ASSERT_EQ(f.vertices.size(), 4u);
  EXPECT_EQ(f.vertices[2].field, 7);
  EXPECT_EQ(f.vertices[2].x, 1);
  EXPECT_EQ(f.vertices[2].y, 1);
  ASSERT_EQ(f.triangles.size(), 2u);
  EXPECT_EQ(f.vertexTriangles[0].size(), 2u);

  ScalarField2D g;
  testing::internal::CaptureStdout();
  ASSERT_TRUE(read_ply_field(dir.file("m.ply"), "y", "float", g, report, no_progress()));
  testing::internal::GetCapturedStdout();
  for (const Vertex& v : g.vertices) EXPECT_EQ(v.field, v.y);

  testutil::write_text(dir.file("bad.ply"),
                       "ply\nformat ascii 1.0\nelement vertex 2\nproperty float x\nproperty float y\nproperty float z\n"
                       "element face 1\nproperty list uchar int vertex_indices\nend_header\n0 0 0\n1 0 0\n3 0 1 7\n");
  ScalarField2D h;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(read_ply_field(dir.file("bad.ply"), "y", "float", h, report, no_progress()));
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(report.error, dir.file("bad.ply") + ": face 0 names vertex 7 of 2");
}

// A generated terrain in every format, with faces or strips, reads to the
// same field on a mesh that passes the checks (its contour trees are
// checked against the brute force in the ctree tests).
TEST(PlyMesh, generated_terrains_agree_across_formats) {
  TempDir dir;
  std::vector<Vertex> first;
  for (const char* format : {"ascii", "big", "little"})
    for (const char* strips : {"", " --strips"}) {
      std::string f = dir.file(std::string("t-") + format + (*strips ? "-s" : "") + ".ply");
      ASSERT_EQ(
          testutil::run_gen(std::string("terrain --size 24 --bumps 5 --format ") + format + strips + " --out " + f)
              .status,
          0);
      ScalarField2D m;
      Report report;
      testing::internal::CaptureStdout();
      ASSERT_TRUE(read_ply_field(f, "y", "float", m, report, no_progress()));
      EXPECT_TRUE(ply_checkmesh(&m, report));
      testing::internal::GetCapturedStdout();
      ASSERT_EQ(m.triangles.size(), 2u * 23 * 23) << f;
      if (first.empty()) first = m.vertices;
      for (size_t i = 0; i < m.vertices.size(); ++i) {
        ASSERT_EQ(m.vertices[i].field, first[i].field) << f;
        ASSERT_EQ(m.vertices[i].x, first[i].x) << f;
      }
    }
}

// A mesh that lists faces again (the same corners in any order, either
// orientation) or has faces with a repeated corner reads as the mesh
// without them, the first of each set of corners kept in its place, with
// one warning per kind that counts them.
TEST(PlyMesh, repeated_and_degenerate_faces_are_dropped_with_a_warning) {
  TempDir dir;
  // A 4 x 4 grid of heights with two peaks and a pit, two triangles a cell.
  const double height[16] = {0, 1, 0, 2, 1, 5, 1, 3, 0, 1, -2, 1, 2, 1, 6, 0};
  std::string vertices;
  for (int i = 0; i < 16; ++i)
    vertices += std::to_string(i % 4) + " " + std::to_string(height[i]) + " " + std::to_string(i / 4) + "\n";
  std::vector<std::string> faces;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) {
      const int a = 4 * r + c;
      faces.push_back("3 " + std::to_string(a) + " " + std::to_string(a + 1) + " " + std::to_string(a + 5));
      faces.push_back("3 " + std::to_string(a) + " " + std::to_string(a + 5) + " " + std::to_string(a + 4));
    }
  auto file = [&](const std::vector<std::string>& f) {
    std::string text =
        "ply\nformat ascii 1.0\nelement vertex 16\nproperty float x\nproperty float y\nproperty float z\n"
        "element face " +
        std::to_string(f.size()) + "\nproperty list uchar int vertex_indices\nend_header\n" + vertices;
    for (const std::string& l : f) text += l + "\n";
    return text;
  };
  testutil::write_text(dir.file("clean.ply"), file(faces));
  std::vector<std::string> dirty = faces;
  dirty.insert(dirty.begin() + 3, "3 5 5 6");    // degenerate, before the faces it touches
  dirty.push_back(faces[8]);                     // the same face again
  dirty.push_back("3 10 6 5");                   // faces[8] = 5 6 10, turned round
  dirty.push_back("3 15 10 11");                 // faces[16] = 10 11 15, reversed
  dirty.push_back(faces[8]);                     // a third time
  dirty.insert(dirty.begin() + 9, "4 1 2 2 1");  // a quad of two corners: two degenerate fans
  testutil::write_text(dir.file("dirty.ply"), file(dirty));
  ASSERT_EQ(faces[8], "3 5 6 10");
  ASSERT_EQ(faces[16], "3 10 11 15");

  ScalarField2D clean, read;
  Report quiet, warned;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  ASSERT_TRUE(read_ply_field(dir.file("clean.ply"), "y", "float", clean, quiet, no_progress()));
  EXPECT_TRUE(quiet.warnings.empty());
  ASSERT_TRUE(read_ply_field(dir.file("dirty.ply"), "y", "float", read, warned, no_progress()));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "the library prints nothing";
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(
      warned.warnings,
      (std::vector<std::string>{"Warning: " + dir.file("dirty.ply") +
                                    ": 4 repeated triangles dropped (the same three vertices as an earlier one)",
                                "Warning: " + dir.file("dirty.ply") + ": 3 triangles with a repeated vertex dropped"}));
  EXPECT_EQ(plain(read.triangles), plain(clean.triangles));
  for (Index v = 0; v < 16; ++v) EXPECT_EQ(read.vertexTriangles[v].size(), clean.vertexTriangles[v].size()) << v;
}

namespace {

// A square of four vertices (x, y, z, then the extra columns given) and
// the face lines, in ASCII.
std::string square(const std::string& extra_props, const std::vector<std::string>& vertices,
                   const std::vector<std::string>& faces, int face_count = -1) {
  std::string t = "ply\nformat ascii 1.0\nelement vertex " + std::to_string(vertices.size()) +
                  "\nproperty float x\nproperty float y\nproperty float z\n" + extra_props + "element face " +
                  std::to_string(face_count >= 0 ? size_t(face_count) : faces.size()) +
                  "\nproperty list uchar int vertex_indices\nend_header\n";
  for (const std::string& v : vertices) t += v + "\n";
  for (const std::string& f : faces) t += f + "\n";
  return t;
}

struct MeshRead {
  bool ok;
  Report report;
};
MeshRead read_mesh(const std::string& path, const std::string& var = "y") {
  MeshRead r;
  ScalarField2D f;
  r.ok = read_ply_field(path, var, "float", f, r.report, no_progress());
  return r;
}

}  // namespace

// Inputs that would fail later (a field of zeros, POV-Ray on "-nan",
// the spectrum on infinite areas, the sweep on twin vertices) are refused
// at the read, naming the file and the vertex or property.
TEST(PlyMesh, what_later_steps_cannot_use_is_refused_at_the_read) {
  TempDir dir;
  const std::vector<std::string> faces = {"3 0 1 2", "3 0 2 3"};
  const std::vector<std::string> plain = {"0 0 0", "1 0.5 0", "1 1 1", "0 2 1"};
  const std::string path = dir.file("m.ply");
  testutil::write_text(path, square("", plain, faces));
  EXPECT_TRUE(read_mesh(path).ok);
  MeshRead no_w = read_mesh(path, "w");
  EXPECT_FALSE(no_w.ok);
  EXPECT_EQ(no_w.report.error, path + ": the \"vertex\" element has no property \"w\" to take the field from (--var)");

  struct Case {
    const char* what;
    std::string text;
    const char* says;
  } cases[] = {
      {"NaN normal",
       square("property float nx\nproperty float ny\nproperty float nz\n",
              {"0 0 0 0 1 0", "1 0.5 0 0 1 0", "1 1 1 nan 1 0", "0 2 1 0 1 0"}, faces),
       "vertex 2 has a normal that is not finite"},
      {"huge coordinate", square("", {"0 0 0", "3.4e38 0.5 0", "1 1 1", "0 2 1"}, faces), "vertex 1: coordinate x is"},
      {"huge height", square("", {"0 0 0", "1 0.5 0", "1 1e20 1", "0 2 1"}, faces), "vertex 2: coordinate y is"},
      {"huge field", square("property double w\n", {"0 0 0 0", "1 0.5 0 1e300", "1 1 1 0", "0 2 1 0"}, faces),
       "vertex 1: the field value is"},
      {"infinite", square("", {"0 0 0", "1 0.5 0", "1 1 1", "0 inf 1"}, faces), "vertex 3: coordinate y is inf"},
  };
  for (const Case& c : cases) {
    testutil::write_text(path, c.text);
    const bool field_w = std::string(c.what) == "huge field";
    MeshRead r = read_mesh(path, field_w ? "w" : "y");
    EXPECT_FALSE(r.ok) << c.what;
    EXPECT_EQ(r.report.error.rfind(path + ": ", 0), 0u) << r.report.error;
    EXPECT_NE(r.report.error.find(c.says), std::string::npos) << c.what << ": " << r.report.error;
  }
}

// Faces of fewer than three corners and faces beyond the header's count
// are counted in warnings instead of vanishing.
TEST(PlyMesh, short_faces_and_faces_beyond_the_count_are_counted) {
  TempDir dir;
  const std::vector<std::string> v = {"0 0 0", "1 0.5 0", "1 1 1", "0 2 1"};
  const std::string path = dir.file("m.ply");
  testutil::write_text(path, square("", v, {"3 0 1 2", "0", "2 0 1", "1 3", "3 0 2 3"}));
  MeshRead r = read_mesh(path);
  ASSERT_TRUE(r.ok) << r.report.error;
  EXPECT_EQ(r.report.warnings,
            std::vector<std::string>{"Warning: " + path + ": 3 faces with fewer than 3 corners dropped"});

  testutil::write_text(path, square("", v, {"3 0 1 2", "3 0 2 3", "3 1 2 3", "3 0 1 3"}, 1) + "\n");
  r = read_mesh(path);
  ASSERT_TRUE(r.ok) << r.report.error;
  EXPECT_EQ(r.report.warnings, std::vector<std::string>{"Warning: " + path +
                                                        ": 3 more lines after the 1 face the header announces, not "
                                                        "read (does the header count them all?)"});
  testutil::write_text(path, square("", v, {"3 0 1 2", "3 0 2 3"}) + "\n\n");
  r = read_mesh(path);
  EXPECT_TRUE(r.report.warnings.empty()) << r.report.warnings.front();
}

// A closed surface cut along a seam lists the seam's vertices once per
// side. Read, it is the surface without the cut: the copies welded into
// the first vertex at their point, the faces on the copies' side moved
// over, and a warning that counts them. Its critical points are those of
// the same surface written without the seam.
TEST(PlyMesh, a_seam_is_welded_into_the_closed_surface) {
  TempDir dir;
  // An octahedron whose height y is the field; two of its equator vertices
  // at one height, so that the sweep meets a tie of values at distinct points.
  const std::vector<std::string> corners = {"0 2 0", "1 0.5 0", "0 0.5 1", "-1 0.25 0", "0 0.75 -1", "0 -2 0"};
  const std::vector<std::string> closed = {"3 0 1 2", "3 0 2 3", "3 0 3 4", "3 0 4 1",
                                           "3 5 2 1", "3 5 3 2", "3 5 4 3", "3 5 1 4"};
  // The seam runs 0 - 1 - 5: the faces west of it use copies 6 (of 0),
  // 7 (of 1) and 8 (of 5), listed after the others.
  std::vector<std::string> seamed_corners = corners;
  seamed_corners.insert(seamed_corners.end(), {"0 2 0", "1 0.5 0", "0 -2 0"});
  const std::vector<std::string> seamed = {"3 0 1 2", "3 0 2 3", "3 6 3 4", "3 6 4 7",
                                           "3 5 2 1", "3 5 3 2", "3 8 4 3", "3 8 7 4"};
  const std::string a = dir.file("closed.ply"), b = dir.file("seamed.ply");
  testutil::write_text(a, square("", corners, closed));
  testutil::write_text(b, square("", seamed_corners, seamed));
  ScalarField2D one, two;
  Report quiet, warned;
  ASSERT_TRUE(read_ply_field(a, "y", "float", one, quiet, no_progress())) << quiet.error;
  ASSERT_TRUE(read_ply_field(b, "y", "float", two, warned, no_progress())) << warned.error;
  EXPECT_TRUE(quiet.warnings.empty());
  EXPECT_EQ(warned.warnings, std::vector<std::string>{"Warning: " + b +
                                                      ": 3 vertices welded into another at the same point with the "
                                                      "same value (a seam); the faces use the one left"});
  ASSERT_EQ(two.vertices.size(), 6u);
  EXPECT_EQ(plain(two.triangles), plain(one.triangles));
  Report check;
  EXPECT_TRUE(ply_checkmesh(&two, check)) << "no stray copies are left";
  std::vector<Vertex> p1, p2;
  compute_critical_points(one, p1, no_progress());
  compute_critical_points(two, p2, no_progress());
  ASSERT_EQ(p1.size(), p2.size());
  ASSERT_EQ(p2.size(), 2u) << "a sphere: one minimum and one maximum";
  for (size_t k = 0; k < p1.size(); ++k) EXPECT_EQ(p1[k].field, p2[k].field);

  // Copies welded into a vertex of a mesh with normals keep the first's normal.
  std::vector<std::string> with_normals;
  for (size_t k = 0; k < seamed_corners.size(); ++k)
    with_normals.push_back(seamed_corners[k] + (k < 6 ? " 0 1 0" : " 1 0 0"));
  testutil::write_text(b, square("property float nx\nproperty float ny\nproperty float nz\n", with_normals, seamed));
  ScalarField2D three;
  Report r3;
  ASSERT_TRUE(read_ply_field(b, "y", "float", three, r3, no_progress())) << r3.error;
  ASSERT_EQ(three.normals.size(), 18u);
  for (size_t k = 0; k < 6; ++k) EXPECT_EQ(three.normals[3 * k + 1], 1) << k;

  // Two vertices at one point with different values are no twins.
  testutil::write_text(
      b, square("property float w\n", {"0 0 0 1", "1 0 0 2", "1 1 0 3", "0 0 0 4"}, {"3 0 1 2", "3 3 2 1"}));
  ScalarField2D four;
  Report r4;
  ASSERT_TRUE(read_ply_field(b, "w", "float", four, r4, no_progress())) << r4.error;
  EXPECT_EQ(four.vertices.size(), 4u);
}
