// The seed search and the spectrum on several threads against one thread:
// the same seeds in the same order, the same triangles bit for bit, and the
// same spectrum; and the spectrum against a plain sum over every
// tetrahedron written here in cell order.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "contour/cube_table.h"
#include "contour/dataset.h"
#include "contour/signature_integrals.h"
#include "contour_test_util.h"

using namespace contour;
using ctest::quiet;

namespace {

struct Field {
  std::string name;
  int nx, ny, nz;
  std::vector<float> v;
};

// Smooth bumps, bumps with noise, pure noise, small integers with
// plateaus, on odd sizes and on grids thinner than the thread count.
std::vector<Field> fields() {
  std::vector<Field> out;
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> u(-1, 1);
  auto bumps = [](double x, double y, double z) {
    return std::exp(-((x - 5) * (x - 5) + (y - 7) * (y - 7) + (z - 4) * (z - 4)) / 18) -
           0.8 * std::exp(-((x - 14) * (x - 14) + (y - 9) * (y - 9) + (z - 9) * (z - 9)) / 12);
  };
  out.push_back({"smooth 21x17x13", 21, 17, 13, ctest::sample_grid(21, 17, 13, bumps)});
  out.push_back({"bumps and noise 41x37x29", 41, 37, 29, ctest::sample_grid(41, 37, 29, [&](double x, double y, double z) {
                   return bumps(0.5 * x, 0.5 * y, 0.5 * z) + 0.2 * u(rng);
                 })});
  out.push_back({"noise 9x11x7", 9, 11, 7, ctest::sample_grid(9, 11, 7, [&](double, double, double) { return u(rng); })});
  out.push_back({"plateaus 12x10x15", 12, 10, 15, ctest::sample_grid(12, 10, 15, [&](double x, double y, double z) {
                   return std::floor(3 * std::sin(0.5 * x) + 2 * std::cos(0.4 * y) + z * 0.3 + 0.7 * u(rng));
                 })});
  out.push_back({"two layers 8x9x3", 8, 9, 3, ctest::sample_grid(8, 9, 3, [&](double, double, double) { return u(rng); })});
  out.push_back({"one cell 2x2x2", 2, 2, 2, {0, 1, 2, 3, 4, 5, 6, 7}});
  return out;
}

std::vector<float> isovalues(const Field& f) {
  float lo = *std::min_element(f.v.begin(), f.v.end()), hi = *std::max_element(f.v.begin(), f.v.end());
  std::vector<float> iso;
  for (int k = 1; k < 8; ++k) iso.push_back(lo + (hi - lo) * float(k) / 8);
  // Sample values themselves: ties count as not below.
  iso.push_back(f.v[f.v.size() / 2]);
  iso.push_back(f.v[f.v.size() / 3]);
  return iso;
}

template <class T>
bool same_bytes(const T* a, const T* b, size_t n) {
  return n == 0 || std::memcmp(a, b, n * sizeof(T)) == 0;
}

}  // namespace

// The seeds of two and three threads against those of one, one seed after
// the other, then the surfaces and the spectrum bit for bit.
TEST(ParallelGrid, seeds_surfaces_and_spectrum_are_the_same_for_one_two_and_three_threads) {
  for (const Field& f : fields()) {
    ConDataset* ds[3];
    for (int t = 0; t < 3; ++t) {
      ds[t] = quiet([&] { return ctest::float_grid(f.v, f.nx, f.ny, f.nz); });
      ASSERT_NE(ds[t], nullptr) << f.name;
      ds[t]->threads = t + 1;
    }
    auto s1 = quiet([&] { return getSeedCells(ds[0], 0, 0); });
    ASSERT_NE(s1, nullptr);
    ASSERT_GT(s1->nseeds, 0) << f.name;
    for (int t = 1; t < 3; ++t) {
      auto s = quiet([&] { return getSeedCells(ds[t], 0, 0); });
      ASSERT_NE(s, nullptr);
      ASSERT_EQ(s->nseeds, s1->nseeds) << f.name << ", " << t + 1 << " threads";
      for (int k = 0; k < s->nseeds; ++k) {
        EXPECT_TRUE(s->seeds[k].cell == s1->seeds[k].cell && s->seeds[k].min == s1->seeds[k].min &&
                    s->seeds[k].max == s1->seeds[k].max)
            << f.name << " seed " << k;
      }
    }
    for (float iso : isovalues(f)) {
      std::unique_ptr<Contour3dData> c[3];
      for (int t = 0; t < 3; ++t) {
        c[t] = quiet([&] { return getContour3d(ds[t], 0, 0, iso, -1); });
        ASSERT_NE(c[t], nullptr);
      }
      for (int t = 1; t < 3; ++t) {
        SCOPED_TRACE(f.name + ", isovalue " + std::to_string(iso) + ", " + std::to_string(t + 1) + " threads");
        ASSERT_EQ(c[t]->nvert, c[0]->nvert);
        ASSERT_EQ(c[t]->ntri, c[0]->ntri);
        EXPECT_TRUE(same_bytes(&c[t]->vert[0][0], &c[0]->vert[0][0], 3 * size_t(c[0]->nvert)));
        EXPECT_TRUE(same_bytes(&c[t]->vnorm[0][0], &c[0]->vnorm[0][0], 3 * size_t(c[0]->nvert)));
        EXPECT_TRUE(same_bytes(&c[t]->tri[0][0], &c[0]->tri[0][0], 3 * size_t(c[0]->ntri)));
      }
    }
    // The spectrum's per-thread sums are kept per slab of layers and added
    // in slab order: the one-thread values exactly, not merely to rounding.
    std::vector<float> first[4];
    for (int t = 0; t < 3; ++t) {
      ds[t]->samples = 64;
      Signature* sig = quiet([&] { return getSignatureFunctions(ds[t], 0, 0); });
      ASSERT_NE(sig, nullptr);
      for (int fn = 0; fn < 4; ++fn) {
        if (t == 0)
          first[fn] = sig[fn].fy;
        else
          EXPECT_EQ(sig[fn].fy, first[fn]) << f.name << " function " << fn << ", " << t + 1 << " threads";
      }
    }
    for (ConDataset* d : ds) clearDataset(d);
  }
}

// The reference adds every tetrahedron of every cell, in cell order, into
// one sum per sample. Both sums are of the same terms in double, in another
// order (and the library takes a tetrahedron's volume as a sixth or a third
// of the cell's rather than from its determinant): in double the sums then
// differ by some 1e-13 of the largest, far below the one rounding to float
// that both make, half an ulp (6e-8) of a value. Max Volume is a difference
// of two floats as large as the total volume and carries an ulp of that.
// Allowed: 4 float ulps of the function's largest value.
TEST(ParallelGrid, spectrum_matches_a_sum_over_every_tetrahedron_in_cell_order) {
  static const int tets[5][4] = {{0, 1, 3, 4}, {3, 1, 2, 6}, {6, 1, 5, 4}, {7, 3, 6, 4}, {6, 3, 1, 4}};
  for (const Field& f : fields()) {
    // Flat tetrahedra at a sample's value are counted by the library's
    // shortcut for cells without a sample inside; the reference leaves them
    // out there. Plateaus of integers meet the first and last samples.
    if (f.name.rfind("plateaus", 0) == 0) continue;
    ConDataset* ds = quiet([&] { return ctest::float_grid(f.v, f.nx, f.ny, f.nz); });
    ASSERT_NE(ds, nullptr);
    ds->threads = 2;
    ds->samples = 48;
    Signature* sig = quiet([&] { return getSignatureFunctions(ds, 0, 0); });
    ASSERT_NE(sig, nullptr);
    const int n = sig[0].nsamples;
    const std::vector<float>& fx = sig[0].fx;
    std::vector<double> area(n, 0), grad(n, 0), vol(n, 0);
    auto at = [&](int i, int j, int k) { return double(f.v[(size_t(k) * f.ny + j) * f.nx + i]); };
    for (int k = 0; k + 1 < f.nz; ++k)
      for (int j = 0; j + 1 < f.ny; ++j)
        for (int i = 0; i + 1 < f.nx; ++i) {
          double c[8][3], v[8];
          for (int m = 0; m < 8; ++m) {
            c[m][0] = i + cube_corner[m][0];
            c[m][1] = j + cube_corner[m][1];
            c[m][2] = k + cube_corner[m][2];
            v[m] = at(int(c[m][0]), int(c[m][1]), int(c[m][2]));
          }
          double gx = 0.25 * ((v[1] + v[2] + v[5] + v[6]) - (v[0] + v[3] + v[4] + v[7]));
          double gy = 0.25 * ((v[4] + v[5] + v[6] + v[7]) - (v[0] + v[1] + v[2] + v[3]));
          double gz = 0.25 * ((v[2] + v[3] + v[6] + v[7]) - (v[0] + v[1] + v[4] + v[5]));
          for (const int* t : tets) {
            double p[4][3], fv[4];
            for (int m = 0; m < 4; ++m) {
              std::copy(c[t[m]], c[t[m]] + 3, p[m]);
              fv[m] = v[t[m]];
            }
            TetProfile tp = tet_profile(p, fv);
            for (int s = 0; s < n; ++s) {
              double w = fx[s];
              // Below w: the part under w of a sloped tetrahedron, all of a
              // flat one strictly below w.
              vol[s] += tp.flat ? (tp.f[3] < w ? tp.volume : 0) : tp.below(w);
              if (!tp.flat && w >= tp.f[0] && w < tp.f[3]) {
                area[s] += tp.area(w);
                grad[s] += (gx * gx + gy * gy + gz * gz) * tp.area(w);
              }
            }
          }
        }
    std::vector<double> ref[4] = {area, vol, vol, grad};
    for (int s = 0; s < n; ++s) ref[2][s] = vol[n - 1] - vol[s];
    for (int fn = 0; fn < 4; ++fn) {
      double big = 0;
      for (double y : ref[fn]) big = std::max(big, std::fabs(y));
      const double tol = 4 * big * std::ldexp(1.0, -23);
      for (int s = 0; s < n; ++s)
        EXPECT_NEAR(sig[fn].fy[s], ref[fn][s], tol) << f.name << " function " << fn << " sample " << s;
    }
    clearDataset(ds);
  }
}
