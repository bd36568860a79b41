#include "io/povray.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <sys/wait.h>
#include <unistd.h>

#include "test_util.h"

using namespace ctree;

TEST(Povray, one_triangle_mesh_is_one_smooth_triangle) {
  testutil::TempDir dir;
  Report report;
  ScalarField2D m;
  m.vertices = {Vertex{0, 0, 0, 0}, Vertex{1, 0, 0, 0}, Vertex{0, 1, 0, 0}};
  m.triangles = {Triangle{{0, 1, 2}}};
  m.buildVertexTriangles();
  m.normals = {0, 0, 1, 0, 0, 1, 0, 0, 1};
  ASSERT_TRUE(mesh2povray(dir.file("m.inc"), m, report));
  EXPECT_EQ(
      testutil::read_file(dir.file("m.inc")),
      "union{\n  smooth_triangle{<0.000000e+00,0.000000e+00,0.000000e+00>,<-0.000000e+00,-0.000000e+00,-1.000000e+00>,"
      "<1.000000e+00,0.000000e+00,0.000000e+00>,<-0.000000e+00,-0.000000e+00,-1.000000e+00>,"
      "<0.000000e+00,1.000000e+00,0.000000e+00>,<-0.000000e+00,-0.000000e+00,-1.000000e+00>}\n\n\n}\n\n");
  // Without normals they are computed: the same triangle seen from +z has
  // the normal (0, 0, -1) by the orientation rule, negated in the export.
  m.normals.clear();
  ASSERT_TRUE(mesh2povray(dir.file("n.inc"), m, report));
  EXPECT_NE(testutil::read_file(dir.file("n.inc")).find("<-0.000000e+00,-0.000000e+00,1.000000e+00>"),
            std::string::npos);
}

TEST(Povray, branches_by_threshold_and_box) {
  testutil::TempDir dir;
  FlatTree t;
  t.vertices = {Vertex{0, 0, 0, 0}, Vertex{0, 0, 1, 1}, Vertex{5, 5, 5, 2}, Vertex{0, 0, 3, 3}};
  // The root 0 -- 3; the child from its maximum 2 down to the saddle 1.
  t.branches = {FlatBranch{{0, 3}, NULL_INDEX, 3.0, {}}, FlatBranch{{2, 1}, 0, 1.0, {}}};
  t.finish();
  Report report;
  const float box[6] = {5, 5, 5, 1, 1, 1};  // touches the child's box at its corner only
  ASSERT_TRUE(ctree2povray(dir.file("t.inc"), t, 2.5f, box, report));
  std::string out = testutil::read_file(dir.file("t.inc"));
  auto count = [&](const std::string& s) {
    int n = 0;
    for (size_t p = out.find(s); p != std::string::npos; p = out.find(s, p + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("color Yellow"), 12);  // the box edges
  EXPECT_EQ(count(", cylradius} "), 3);  // root in two pieces around its saddle, child in one
  EXPECT_EQ(count("color Gray"), 1);
  EXPECT_EQ(count("color Red"), 1);
  EXPECT_EQ(count("color Blue"), 2);
  ASSERT_TRUE(ctree2povray(dir.file("u.inc"), t, 0.0f, box, report));
  out = testutil::read_file(dir.file("u.inc"));
  EXPECT_EQ(count("color Yellow"), 0);
  EXPECT_EQ(count(", cylradius} "), 3);
}

TEST(Povray, an_export_that_cannot_be_written_leaves_nothing_behind) {
  testutil::TempDir dir;
  FlatTree t;
  t.vertices = {Vertex{0, 0, 0, 0}, Vertex{0, 0, 1, 1}};
  t.branches = {FlatBranch{{0, 1}, NULL_INDEX, 1.0, {}}};
  t.finish();
  Report report;
  EXPECT_FALSE(ctree2povray(dir.file("no/such/dir/t.inc"), t, 0.0f, nullptr, report));
  EXPECT_EQ(report.error.rfind("Error in creating export file " + dir.file("no/such/dir/t.inc") + ": ", 0), 0u)
      << report.error;
  // A name that is a folder: written beside it, refused at the rename.
  std::filesystem::create_directory(dir.file("d.inc"));
  EXPECT_FALSE(ctree2povray(dir.file("d.inc"), t, 0.0f, nullptr, report));
  const auto entries = std::distance(std::filesystem::directory_iterator(dir.path()),
                                     std::filesystem::directory_iterator());
  EXPECT_EQ(entries, 1) << "only the folder: no half-written export";
}

// Two runs exporting to one name: the file is one run's export, whole,
// never a mix of both; a link planted beside the name is not followed.
TEST(Povray, two_runs_exporting_to_one_name_do_not_mix) {
  testutil::TempDir dir;
  FlatTree small, large;
  small.vertices = {Vertex{0, 0, 0, 0}, Vertex{0, 0, 1, 1}};
  small.branches = {FlatBranch{{0, 1}, NULL_INDEX, 1.0, {}}};
  small.finish();
  ScalarField2D m;
  for (int i = 0; i < 3000; ++i) m.vertices.push_back(Vertex{Real(i), Real(i % 7), 0, 0});
  for (int i = 0; i + 2 < 3000; ++i) m.triangles.push_back(Triangle{{i, i + 1, i + 2}});
  m.buildVertexTriangles();
  Report report;
  ASSERT_TRUE(ctree2povray(dir.file("a.inc"), small, 0.0f, nullptr, report));
  ASSERT_TRUE(mesh2povray(dir.file("b.inc"), m, report));
  const std::string a = testutil::read_file(dir.file("a.inc")), b = testutil::read_file(dir.file("b.inc"));
  const std::string name = dir.file("p.0.tree.inc");
  // An old writer's fixed temporary name, planted as a link to a file.
  testutil::write_text(dir.file("victim"), "keep");
  std::filesystem::create_symlink(dir.file("victim"), name + ".part");
  pid_t runs[2];
  for (int r = 0; r < 2; ++r) {
    runs[r] = fork();
    if (runs[r] == 0) {
      Report quiet;
      for (int k = 0; k < 30; ++k)
        if (!(r ? mesh2povray(name, m, quiet) : ctree2povray(name, small, 0.0f, nullptr, quiet))) _exit(1);
      _exit(0);
    }
  }
  for (pid_t r : runs) {
    int status = 0;
    waitpid(r, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const std::string last = testutil::read_file(name);
  EXPECT_TRUE(last == a || last == b) << "a mix of " << last.size() << " bytes";
  EXPECT_EQ(testutil::read_file(dir.file("victim")), "keep");
  size_t temporaries = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.path()))
    temporaries += e.path().filename().string().find(".tmp-") != std::string::npos;
  EXPECT_EQ(temporaries, 0u);
}

// Two children hanging at one point of a laid-out branch (two saddles at
// one height): the piece of the branch between them has no length, and
// POV-Ray stops on such a cylinder, so it is left out.
TEST(Povray, cylinders_of_no_length_are_left_out) {
  testutil::TempDir dir;
  FlatTree t;
  t.vertices = {Vertex{0, 0, 0, 0}, Vertex{0, 0, 1, 1},   Vertex{0, 0, 1, 1.5},
                Vertex{1, 0, 2, 2}, Vertex{2, 0, 2, 2.5}, Vertex{0, 0, 3, 3}};
  // Root 0 -- 5 with children 3 -- 1 and 4 -- 2; vertices 1 and 2 share a point.
  t.branches = {FlatBranch{{0, 5}, NULL_INDEX, 3.0, {}}, FlatBranch{{4, 2}, 0, 1.0, {}},
                FlatBranch{{3, 1}, 0, 1.0, {}}};
  t.finish();
  Report report;
  ASSERT_TRUE(ctree2povray(dir.file("t.inc"), t, 0.0f, nullptr, report));
  const std::string out = testutil::read_file(dir.file("t.inc"));
  int cylinders = 0;
  for (size_t p = out.find("cylinder {<"); p != std::string::npos; p = out.find("cylinder {<", p + 1)) {
    ++cylinders;
    const size_t mid = out.find(">, <", p);
    const std::string a = out.substr(p + 10, mid + 1 - (p + 10)),
                      b = out.substr(mid + 3, out.find('>', mid + 3) + 1 - (mid + 3));
    EXPECT_NE(a, b) << out;
  }
  EXPECT_EQ(cylinders, 4) << out;  // the root in two pieces (not three), one per child
}

// A triangle with two corners at one point (as written, 7 digits) has no
// area; POV-Ray asks for it to be removed, so it is not written.
TEST(Povray, triangles_without_area_are_left_out) {
  testutil::TempDir dir;
  auto triangles_written = [&](double x3) {
    ScalarField2D m;
    m.vertices = {Vertex{0, 0, 0, 0}, Vertex{1, 0, 0, 0}, Vertex{0, 1, 0, 0}, Vertex{x3, 0, 0, 0}};
    m.triangles = {Triangle{{0, 1, 2}}, Triangle{{3, 1, 2}}, Triangle{{0, 3, 2}}};
    m.buildVertexTriangles();
    Report report;
    EXPECT_TRUE(mesh2povray(dir.file("m.inc"), m, report));
    const std::string out = testutil::read_file(dir.file("m.inc"));
    int n = 0;
    for (size_t p = out.find("smooth_triangle"); p != std::string::npos; p = out.find("smooth_triangle", p + 1)) ++n;
    return n;
  };
  EXPECT_EQ(triangles_written(1 + 1e-7), 2);  // vertex 3 prints as vertex 1: (3, 1, 2) goes
  EXPECT_EQ(triangles_written(1.001), 3);
}
