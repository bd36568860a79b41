// Isosurfaces of 3D grids against analytic answers and brute-force scans.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "contour/propagation.h"
#include "contour/cube_table.h"
#include "contour/grid3_data.h"
#include "contour_test_util.h"

using namespace contour;
using ctest::quiet;

namespace {

const double kPi = 3.14159265358979323846;

std::unique_ptr<Contour3dData> extract(ConDataset* ds, float iso) {
  return quiet([&] { return getContour3d(ds, 0, 0, iso, -1); });
}

// Brute force over every cell: the cells the isovalue crosses and the
// triangles the cell table gives them.
void scan_cells(const std::vector<float>& v, int nx, int ny, int nz, float iso, int& cells, int& tris) {
  cells = tris = 0;
  static const int off[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}, {0, 1, 0}, {1, 1, 0}, {1, 1, 1}, {0, 1, 1}};
  for (int k = 0; k + 1 < nz; ++k)
    for (int j = 0; j + 1 < ny; ++j)
      for (int i = 0; i + 1 < nx; ++i) {
        int code = 0;
        for (int c = 0; c < 8; ++c)
          if (v[(size_t(k + off[c][2]) * ny + j + off[c][1]) * nx + i + off[c][0]] < iso) code |= 1 << c;
        if (code != 0 && code != 255) {
          ++cells;
          tris += cube_tables().ntriangles[code];
        }
      }
}

}  // namespace

TEST(GridContour, sphere_area_approaches_four_pi_r_squared) {
  struct Case {
    int n;
    double r, tolerance;
  };
  for (Case cs : {Case{32, 10, 0.02}, Case{64, 20, 0.01}}) {
    double c = cs.n / 2 - 0.37;
    auto v = ctest::sample_grid(cs.n, cs.n, cs.n, [&](double x, double y, double z) {
      return std::sqrt((x - c) * (x - c) + (y - c - 0.21) * (y - c - 0.21) + (z - c + 0.13) * (z - c + 0.13));
    });
    ConDataset* ds = quiet([&] { return ctest::float_grid(v, cs.n, cs.n, cs.n); });
    ASSERT_NE(ds, nullptr);
    auto out = extract(ds, float(cs.r));
    ASSERT_NE(out, nullptr);
    ctest::Mesh m = ctest::weld(*out);
    double expect = 4 * kPi * cs.r * cs.r;
    EXPECT_NEAR(ctest::area(m), expect, cs.tolerance * expect) << cs.n << "^3";
    EXPECT_EQ(ctest::closure_fault(m), "");
    EXPECT_EQ(ctest::euler_characteristic(m), 2);
    // Triangles face lower values, inwards here: the enclosed volume is negative.
    double vol = ctest::signed_volume(m);
    EXPECT_NEAR(-vol, 4.0 / 3 * kPi * cs.r * cs.r * cs.r, 0.02 * 4.0 / 3 * kPi * cs.r * cs.r * cs.r);
    // Vertex normals are unit, point to the centre and agree with the faces.
    for (int k = 0; k < out->nvert; ++k) {
      const float* p = out->vert[k];
      const float* nn = out->vnorm[k];
      EXPECT_NEAR(nn[0] * nn[0] + nn[1] * nn[1] + nn[2] * nn[2], 1.0, 1e-4);
      double to[3] = {c - p[0], c + 0.21 - p[1], c - 0.13 - p[2]};
      double len = std::sqrt(to[0] * to[0] + to[1] * to[1] + to[2] * to[2]);
      ASSERT_GT((nn[0] * to[0] + nn[1] * to[1] + nn[2] * to[2]) / len, 0.95);
    }
    clearDataset(ds);
  }
}

TEST(GridContour, torus_surface_has_euler_characteristic_zero) {
  const int n = 48;
  const double c = 23.6, R = 14, r = 5;
  auto v = ctest::sample_grid(n, n, n, [&](double x, double y, double z) {
    double q = std::hypot(x - c, y - c) - R;
    return std::hypot(q, z - c - 0.3);
  });
  ConDataset* ds = quiet([&] { return ctest::float_grid(v, n, n, n); });
  ASSERT_NE(ds, nullptr);
  auto out = extract(ds, float(r));
  ASSERT_NE(out, nullptr);
  ctest::Mesh m = ctest::weld(*out);
  EXPECT_EQ(ctest::closure_fault(m), "");
  EXPECT_EQ(ctest::euler_characteristic(m), 0);
  EXPECT_NEAR(ctest::area(m), 4 * kPi * kPi * R * r, 0.015 * 4 * kPi * kPi * R * r);
  clearDataset(ds);
}

TEST(GridContour, isosurfaces_of_random_fields_are_closed_inside_the_grid) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> u(0, 1);
  for (int trial = 0; trial < 6; ++trial) {
    int nx = 8 + trial, ny = 10, nz = 7 + 2 * trial;
    // The boundary is high, so every surface below 1 stays inside.
    auto v = ctest::sample_grid(nx, ny, nz, [&](double x, double y, double z) {
      bool edge = x == 0 || y == 0 || z == 0 || x == nx - 1 || y == ny - 1 || z == nz - 1;
      return edge ? 2.0 : u(rng);
    });
    ConDataset* ds = quiet([&] { return ctest::float_grid(v, nx, ny, nz); });
    ASSERT_NE(ds, nullptr);
    for (float iso : {0.2f, 0.5f, 0.77f}) {
      auto out = extract(ds, iso);
      ASSERT_NE(out, nullptr);
      ctest::Mesh m = ctest::weld(*out);
      EXPECT_GT(m.tris.size(), 0u);
      EXPECT_EQ(ctest::closure_fault(m), "") << "trial " << trial << " iso " << iso;
      EXPECT_EQ(ctest::euler_characteristic(m) % 2, 0);
    }
    clearDataset(ds);
  }
}

// Fields: white noise, noise on few levels (many exact ties with the
// isovalues) and a smooth sum of bumps; isovalues include sample values.
TEST(GridContour, propagation_from_the_seeds_reaches_every_crossed_cell) {
  std::mt19937 rng(9);
  for (int trial = 0; trial < 18; ++trial) {
    int nx = 3 + trial % 7, ny = 2 + (trial * 5) % 9, nz = 2 + (trial * 3) % 8;
    int kind = trial % 3;
    std::uniform_real_distribution<double> u(0, 1);
    std::uniform_int_distribution<int> levels(0, 4);
    double bx = u(rng) * nx, by = u(rng) * ny, bz = u(rng) * nz;
    auto v = ctest::sample_grid(nx, ny, nz, [&](double x, double y, double z) {
      if (kind == 0) return u(rng);
      if (kind == 1) return double(levels(rng));
      return std::exp(-((x - bx) * (x - bx) + (y - by) * (y - by) + (z - bz) * (z - bz)) / 6) +
             0.5 * std::sin(x * 0.9 + y * 0.4) * std::cos(z * 0.7);
    });
    ConDataset* ds = quiet([&] { return ctest::float_grid(v, nx, ny, nz); });
    ASSERT_NE(ds, nullptr);
    std::vector<float> isos(v.begin(), v.end());
    for (int k = 0; k < 40; ++k) isos.push_back(float(u(rng) * 1.6 - 0.3));
    std::sort(isos.begin(), isos.end());
    isos.erase(std::unique(isos.begin(), isos.end()), isos.end());
    for (float iso : isos) {
      auto out = extract(ds, iso);
      ASSERT_NE(out, nullptr);
      int cells, tris;
      scan_cells(v, nx, ny, nz, iso, cells, tris);
      ASSERT_EQ(ds->plot->cellsVisited(), cells) << "trial " << trial << " iso " << iso;
      ASSERT_EQ(out->ntri, tris) << "trial " << trial << " iso " << iso;
    }
    clearDataset(ds);
  }
}
