// The isosurface tool end to end: raw volumes written byte by byte, the PLY
// it writes read back here and checked as a closed sphere.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "contour_test_util.h"
#include "test_util.h"

namespace {

void write_floats(const std::string& path, const std::vector<float>& v) {
  std::vector<unsigned char> raw(v.size() * 4);
  std::memcpy(raw.data(), v.data(), raw.size());
  testutil::write_bytes(path, raw);
}

testutil::RunResult tool(const std::string& args) {
  return testutil::run(std::string(ORRERY_ISOSURFACE_EXE) + " " + args);
}

// Parses an ASCII PLY of "x y z nx ny nz" vertices and triangle faces.
bool read_ply(const std::string& text, ctest::Mesh& m, std::vector<std::array<double, 3>>& normals) {
  std::istringstream in(text);
  std::string line, w, what;
  size_t nv = 0, nf = 0, n;
  while (std::getline(in, line) && line != "end_header")
    if (std::istringstream(line) >> w >> what >> n && w == "element") (what == "vertex" ? nv : nf) = n;
  for (size_t v = 0; v < nv; ++v) {
    std::array<double, 3> p, q;
    if (!(in >> p[0] >> p[1] >> p[2] >> q[0] >> q[1] >> q[2])) return false;
    m.verts.push_back(p);
    normals.push_back(q);
  }
  for (size_t f = 0; f < nf; ++f) {
    int k;
    std::array<int, 3> t;
    if (!(in >> k >> t[0] >> t[1] >> t[2]) || k != 3) return false;
    for (int x : t)
      if (x < 0 || size_t(x) >= nv) return false;
    m.tris.push_back(t);
  }
  return text.rfind("ply\nformat ascii 1.0\n", 0) == 0 && !(in >> w);
}

}  // namespace

TEST(IsosurfaceTool, writes_a_closed_sphere_and_prints_the_spectrum) {
  testutil::TempDir dir;
  const int n = 24;
  auto v = ctest::sample_grid(n, n, n, [](double x, double y, double z) {
    return std::sqrt((x - 11.3) * (x - 11.3) + (y - 11.6) * (y - 11.6) + (z - 12.1) * (z - 12.1));
  });
  write_floats(dir.file("ball.raw"), v);
  auto r = tool(dir.file("ball.raw") + " --dim 24 24 24 --datatype float --iso 8 --ply " + dir.file("ball.ply") +
                " --spectrum 16");
  ASSERT_EQ(r.status, 0) << r.output;
  ctest::Mesh m;
  std::vector<std::array<double, 3>> normals;
  ASSERT_TRUE(read_ply(testutil::read_file(dir.file("ball.ply")), m, normals));
  EXPECT_EQ(ctest::closure_fault(m), "");
  EXPECT_EQ(ctest::euler_characteristic(m), 2);
  EXPECT_NEAR(ctest::area(m), 4 * M_PI * 64, 0.03 * 4 * M_PI * 64);
  EXPECT_NE(r.output.find("wrote " + dir.file("ball.ply")), std::string::npos);
  // The table: a header and one line per sample, the first at the minimum.
  size_t at = r.output.find("isovalue\tSurface Area\tMin Volume\tMax Volume\tGradient\n");
  ASSERT_NE(at, std::string::npos) << r.output;
  std::istringstream table(r.output.substr(at));
  std::string line;
  std::getline(table, line);
  int rows = 0;
  double iso, area, lo, hi = -1, grad;
  while (table >> iso >> area >> lo >> hi >> grad) ++rows;
  EXPECT_EQ(rows, 16);
  EXPECT_EQ(hi, 0.0);
}

// The tetrahedral surface of the same ball: closed, a sphere, its area
// that of the ball, with more triangles than the cube surface's.
TEST(IsosurfaceTool, tetrahedra_give_a_closed_sphere_too) {
  testutil::TempDir dir;
  auto v = ctest::sample_grid(24, 24, 24, [](double x, double y, double z) {
    return std::sqrt((x - 11.3) * (x - 11.3) + (y - 11.6) * (y - 11.6) + (z - 12.1) * (z - 12.1));
  });
  write_floats(dir.file("ball.raw"), v);
  ctest::Mesh m[2];
  for (int k = 0; k < 2; ++k) {
    const std::string ply = dir.file("ball" + std::to_string(k) + ".ply");
    auto r = tool(dir.file("ball.raw") + " --dim 24 24 24 --iso 8 --threads 2 --ply " + ply +
                  (k ? " --tetrahedra" : ""));
    ASSERT_EQ(r.status, 0) << r.output;
    std::vector<std::array<double, 3>> normals;
    ASSERT_TRUE(read_ply(testutil::read_file(ply), m[k], normals));
  }
  EXPECT_EQ(ctest::closure_fault(m[1]), "");
  EXPECT_EQ(ctest::euler_characteristic(m[1]), 2);
  EXPECT_NEAR(ctest::area(m[1]), 4 * M_PI * 64, 0.03 * 4 * M_PI * 64);
  EXPECT_GT(m[1].tris.size(), m[0].tris.size());
}

TEST(IsosurfaceTool, reports_bad_input_without_writing) {
  testutil::TempDir dir;
  testutil::write_bytes(dir.file("short.raw"), std::vector<unsigned char>(100, 7));
  auto r = tool(dir.file("short.raw") + " --dim 8 8 8 --datatype uchar --ply " + dir.file("out.ply"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find(dir.file("short.raw")), std::string::npos) << r.output;
  EXPECT_FALSE(std::ifstream(dir.file("out.ply")).good());
  r = tool(dir.file("short.raw") + " --dim 8 1 8 --ply x.ply");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.output.find("--dim: \"1\""), std::string::npos) << r.output;
}

// One thread and three give the same file and the same table, byte for
// byte, on a noisy field of odd size.
TEST(IsosurfaceTool, thread_count_changes_neither_the_surface_file_nor_the_spectrum) {
  testutil::TempDir dir;
  const int nx = 19, ny = 14, nz = 11;
  unsigned state = 12345;
  auto v = ctest::sample_grid(nx, ny, nz, [&](double x, double y, double z) {
    state = state * 1103515245u + 12345u;
    return std::sin(0.4 * x) * std::cos(0.3 * y) + 0.2 * z / nz + 0.05 * double(state >> 16) / 65536.0;
  });
  write_floats(dir.file("f.raw"), v);
  std::string out[2];
  for (int k = 0; k < 2; ++k) {
    const std::string ply = dir.file("f" + std::to_string(k) + ".ply");
    auto r = tool(dir.file("f.raw") + " --dim 19 14 11 --iso 0.1 --spectrum 32 --threads " + (k ? "3" : "1") +
                  " --ply " + ply);
    ASSERT_EQ(r.status, 0) << r.output;
    out[k] = testutil::read_file(ply);
    ASSERT_FALSE(out[k].empty());
    size_t table = r.output.find("isovalue\t");
    ASSERT_NE(table, std::string::npos) << r.output;
    out[k] += r.output.substr(table);
  }
  EXPECT_EQ(out[0], out[1]);
}
