// The contour spectrum against analytic answers and extracted contours.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "contour/propagation.h"
#include "contour_test_util.h"

using namespace contour;
using ctest::quiet;

namespace {

const double kPi = 3.14159265358979323846;

Signature* signatures(ConDataset* ds) {
  return quiet([&] { return getSignatureFunctions(ds, 0, 0); });
}

// Index of the sample closest to w.
int nearest(const Signature& s, double w) {
  int best = 0;
  for (int i = 0; i < s.nsamples; ++i)
    if (std::fabs(s.fx[i] - w) < std::fabs(s.fx[best] - w)) best = i;
  return best;
}

// A square [-h, h]^2 of (n+1)^2 vertices cut into triangles, with field
// f(x, y); adjacency none (as the system builds it) or left null.
struct Terrain {
  std::vector<double> verts;
  std::vector<unsigned> cells;
  std::vector<float> values;
  int nverts = 0, ncells = 0;
};

template <class F>
Terrain terrain(int n, double h, F f) {
  Terrain t;
  for (int j = 0; j <= n; ++j)
    for (int i = 0; i <= n; ++i) {
      double x = -h + 2 * h * i / n, y = -h + 2 * h * j / n;
      t.verts.insert(t.verts.end(), {x, y});
      t.values.push_back(float(f(x, y)));
    }
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) {
      unsigned a = j * (n + 1) + i, b = a + 1, c = a + n + 1, d = c + 1;
      t.cells.insert(t.cells.end(), {a, b, d, a, d, c});
    }
  t.nverts = (n + 1) * (n + 1);
  t.ncells = 2 * n * n;
  return t;
}

ConDataset* mesh_dataset(const Terrain& t) {
  return newDatasetUnstr(2, 2, 1, 1, t.nverts, t.ncells, t.verts.data(), t.cells.data(), nullptr,
                         reinterpret_cast<const unsigned char*>(t.values.data()));
}

}  // namespace

TEST(GridSignatures, linear_field_gives_exact_areas_and_volumes_from_every_cell) {
  // f = 2 (x + 0.5) over a 10 x 7 x 5 grid with spacing (1, 2, 0.5): the
  // section at w is the plane x = w/2 - 0.5, area 6·2 · 4·0.5 = 24.
  const int nx = 10, ny = 7, nz = 5;
  auto v = ctest::sample_grid(nx, ny, nz, [](double x, double, double) { return 2 * (x + 0.5); });
  float span[3] = {1, 2, 0.5f};
  int dim[3] = {nx, ny, nz};
  ConDataset* ds = quiet(
      [&] { return newDatasetReg(2, 5, 1, 1, dim, reinterpret_cast<const unsigned char*>(v.data()), nullptr, span); });
  ASSERT_NE(ds, nullptr);
  Signature* sig = signatures(ds);
  ASSERT_NE(sig, nullptr);
  for (int i = 1; i + 1 < sig[0].nsamples; ++i) {
    double w = sig[0].fx[i];
    EXPECT_NEAR(sig[0].fy[i], 24.0, 1e-3) << "w=" << w;
    EXPECT_NEAR(sig[1].fy[i], 24.0 * (w / 2 - 0.5), 1e-3) << "w=" << w;
    EXPECT_NEAR(sig[2].fy[i], 24.0 * (9 - (w / 2 - 0.5)), 1e-3) << "w=" << w;
    // The average gradient in index units is (2, 0, 0): weight 4.
    EXPECT_NEAR(sig[3].fy[i], 4 * 24.0, 4e-3) << "w=" << w;
  }
  clearDataset(ds);
}

TEST(MeshSignatures, cone_terrain_has_circle_lengths_and_disc_areas) {
  Terrain t = terrain(80, 20, [](double x, double y) { return std::hypot(x, y); });
  ConDataset* ds = quiet([&] { return mesh_dataset(t); });
  ASSERT_NE(ds, nullptr);
  Signature* sig = signatures(ds);
  ASSERT_NE(sig, nullptr);
  for (double r : {4.0, 9.0, 15.0}) {
    int i = nearest(sig[0], r);
    double w = sig[0].fx[i];
    EXPECT_NEAR(sig[0].fy[i], 2 * kPi * w, 0.01 * 2 * kPi * w) << "r=" << w;
    EXPECT_NEAR(sig[1].fy[i], kPi * w * w, 0.01 * kPi * w * w) << "r=" << w;
    EXPECT_NEAR(sig[3].fy[i], sig[0].fy[i], 0.01 * sig[0].fy[i]) << "|grad| = 1";
    // "Length" is the length of the extracted polyline.
    auto c = quiet([&] { return getContour2d(ds, 0, 0, float(w)); });
    ASSERT_NE(c, nullptr);
    double len = 0;
    for (int e = 0; e < c->nedge; ++e) {
      const float* a = c->vert[c->edge[e][0]];
      const float* b = c->vert[c->edge[e][1]];
      len += std::hypot(a[0] - b[0], a[1] - b[1]);
    }
    EXPECT_NEAR(sig[0].fy[i], len, 1e-4 * len);
  }
  const int last = sig[0].nsamples - 1;
  EXPECT_EQ(sig[0].fy[0], 0.0f);
  EXPECT_EQ(sig[1].fy[0], 0.0f);
  EXPECT_NEAR(sig[1].fy[last], 40.0 * 40.0, 1e-2);
  EXPECT_EQ(sig[2].fy[last], 0.0f);
  EXPECT_NEAR(sig[2].fy[0], 1600.0, 1e-2);
  clearDataset(ds);
}

TEST(OtherKinds, tetrahedra_spectrum_of_a_linear_field) {
  // The unit cube cut into five tetrahedra, f = x: section 1, volume w.
  std::vector<double> verts;
  std::vector<float> f;
  const int corner[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}, {0, 1, 0}, {1, 1, 0}, {1, 1, 1}, {0, 1, 1}};
  for (auto& p : corner) {
    verts.insert(verts.end(), {double(p[0]), double(p[1]), double(p[2])});
    f.push_back(float(p[0]));
  }
  std::vector<unsigned> tets = {0, 1, 3, 4, 3, 1, 2, 6, 6, 1, 5, 4, 7, 3, 6, 4, 6, 3, 1, 4};
  ConDataset* ds = quiet([&] {
    return newDatasetUnstr(2, 3, 1, 1, 8, 5, verts.data(), tets.data(), nullptr,
                           reinterpret_cast<const unsigned char*>(f.data()));
  });
  ASSERT_NE(ds, nullptr);
  Signature* sig = signatures(ds);
  ASSERT_NE(sig, nullptr);
  for (int i = 1; i + 1 < sig[0].nsamples; ++i) {
    double w = sig[0].fx[i];
    EXPECT_NEAR(sig[0].fy[i], 1.0, 1e-5);
    EXPECT_NEAR(sig[1].fy[i], 1.0, 1e-5);
    EXPECT_NEAR(sig[2].fy[i], w, 1e-5);
    EXPECT_NEAR(sig[3].fy[i], 1 - w, 1e-5);
  }
  auto s = quiet([&] { return getContour3d(ds, 0, 0, 0.5f, -1); });
  ASSERT_NE(s, nullptr);
  ctest::Mesh m;
  for (int k = 0; k < s->nvert; ++k) m.verts.push_back({s->vert[k][0], s->vert[k][1], s->vert[k][2]});
  for (int k = 0; k < s->ntri; ++k) m.tris.push_back({s->tri[k][0], s->tri[k][1], s->tri[k][2]});
  EXPECT_NEAR(ctest::area(m), 1.0, 1e-5);
  for (auto& tr : m.tris) EXPECT_LT(ctest::tri_normal(m, tr)[0], 0) << "faces lower x";
  clearDataset(ds);
}

TEST(MeshContour, propagation_through_neighbours_finds_every_crossed_triangle) {
  Terrain t = terrain(30, 5, [](double x, double y) { return std::sin(x) * std::cos(0.7 * y) + 0.1 * x; });
  // Neighbours by brute force: the triangle sharing each edge.
  std::vector<int> adj(3 * size_t(t.ncells), -1);
  for (int a = 0; a < t.ncells; ++a)
    for (int e = 0; e < 3; ++e) {
      unsigned p = t.cells[3 * a + e], q = t.cells[3 * a + (e + 1) % 3];
      for (int b = 0; b < t.ncells; ++b) {
        if (b == a) continue;
        int shared = 0;
        for (int k = 0; k < 3; ++k) shared += t.cells[3 * b + k] == p || t.cells[3 * b + k] == q;
        if (shared == 2) adj[3 * a + e] = b;
      }
    }
  ctree::CapturedMessages said;
  ConDataset* ds = newDatasetUnstr(2, 2, 1, 1, t.nverts, t.ncells, t.verts.data(), t.cells.data(), adj.data(),
                                   reinterpret_cast<const unsigned char*>(t.values.data()), said);
  ASSERT_NE(ds, nullptr);
  for (const std::string& line : said.texts(ctree::MessageKind::Note))
    EXPECT_EQ(line.find("not adj"), std::string::npos) << line;
  for (float iso : {-0.8f, -0.2f, 0.0f, 0.35f, 0.9f}) {
    int crossed = 0;
    for (int c = 0; c < t.ncells; ++c) {
      int below = 0;
      for (int k = 0; k < 3; ++k) below += t.values[t.cells[3 * c + k]] < iso;
      crossed += below == 1 || below == 2;
    }
    auto c = quiet([&] { return getContour2d(ds, 0, 0, iso); });
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->nedge, crossed) << iso;
    EXPECT_EQ(ds->plot->cellsVisited(), crossed);
  }
  clearDataset(ds);
}
