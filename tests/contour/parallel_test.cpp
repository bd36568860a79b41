// The seed search, the interval tree and the spectrum on several threads
// against one thread: the same seeds in the same order, the same tree, the
// same triangles bit for bit, and the same spectrum; the tree's answers
// against a plain filter of the seeds; propagation over grids of several
// slabs of layers against the whole-grid pass; and the spectrum against a
// plain sum over every tetrahedron written here in cell order.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "contour/cube_table.h"
#include "contour/dataset.h"
#include "contour/grid_isosurface.h"
#include "contour/propagation.h"
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
  out.push_back(
      {"bumps and noise 41x37x29", 41, 37, 29, ctest::sample_grid(41, 37, 29, [&](double x, double y, double z) {
         return bumps(0.5 * x, 0.5 * y, 0.5 * z) + 0.2 * u(rng);
       })});
  out.push_back(
      {"noise 9x11x7", 9, 11, 7, ctest::sample_grid(9, 11, 7, [&](double, double, double) { return u(rng); })});
  out.push_back({"plateaus 12x10x15", 12, 10, 15, ctest::sample_grid(12, 10, 15, [&](double x, double y, double z) {
                   return std::floor(3 * std::sin(0.5 * x) + 2 * std::cos(0.4 * y) + z * 0.3 + 0.7 * u(rng));
                 })});
  out.push_back(
      {"two layers 8x9x3", 8, 9, 3, ctest::sample_grid(8, 9, 3, [&](double, double, double) { return u(rng); })});
  out.push_back({"one cell 2x2x2", 2, 2, 2, {0, 1, 2, 3, 4, 5, 6, 7}});
  // Taller than one slab of the seed sweep, by less than a slab and by
  // more than two.
  out.push_back(
      {"tall noise 7x6x40", 7, 6, 40, ctest::sample_grid(7, 6, 40, [&](double, double, double) { return u(rng); })});
  out.push_back({"tall bumps 13x11x75", 13, 11, 75, ctest::sample_grid(13, 11, 75, [&](double x, double y, double z) {
                   return std::sin(0.4 * x) * std::cos(0.3 * y) + std::sin(0.15 * z) + 0.05 * u(rng);
                 })});
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

// Every node of the interval tree with its seeds, as its dump writes them.
std::string tree_text(const IntTree& tree) {
  std::FILE* f = std::tmpfile();
  if (!f) return "no temporary file";
  tree.Dump(f);
  std::string text(size_t(std::ftell(f)), '\0');
  std::rewind(f);
  const size_t got = std::fread(&text[0], 1, text.size(), f);
  std::fclose(f);
  text.resize(got);
  return text + tree.Info();
}

// The triangles of a surface by their corners' positions, each from its
// least corner on in its own turning order; sorted.
std::vector<std::array<float, 9>> triangle_places(const Contour3dData& c) {
  std::vector<std::array<float, 9>> out;
  for (int t = 0; t < c.ntri; ++t) {
    std::array<std::array<float, 3>, 3> p;
    for (int m = 0; m < 3; ++m)
      for (int a = 0; a < 3; ++a) p[size_t(m)][size_t(a)] = c.vert[c.tri[t][m]][a] + 0.0f;
    const size_t first = std::min_element(p.begin(), p.end()) - p.begin();
    std::array<float, 9> key;
    for (size_t m = 0; m < 3; ++m)
      for (size_t a = 0; a < 3; ++a) key[3 * m + a] = p[(first + m) % 3][a];
    out.push_back(key);
  }
  std::sort(out.begin(), out.end());
  return out;
}

const int thread_counts[] = {1, 2, 3, 7};

template <class T>
bool same_bytes(const T* a, const T* b, size_t n) {
  return n == 0 || std::memcmp(a, b, n * sizeof(T)) == 0;
}

}  // namespace

// The seeds of 2, 3 and 7 threads against those of one, one seed after the
// other, then the interval trees node by node, the surfaces and the
// spectrum bit for bit.
TEST(ParallelGrid, seeds_tree_surfaces_and_spectrum_are_the_same_for_1_2_3_and_7_threads) {
  const int N = int(std::size(thread_counts));
  for (const Field& f : fields()) {
    std::vector<ConDataset*> ds(static_cast<size_t>(N));
    for (int t = 0; t < N; ++t) {
      ds[t] = quiet([&] { return ctest::float_grid(f.v, f.nx, f.ny, f.nz); });
      ASSERT_NE(ds[t], nullptr) << f.name;
      ds[t]->threads = thread_counts[t];
    }
    auto s1 = quiet([&] { return getSeedCells(ds[0], 0, 0); });
    ASSERT_NE(s1, nullptr);
    ASSERT_GT(s1->nseeds, 0) << f.name;
    const std::string tree1 = tree_text(ds[0]->plot->getTree(0));
    for (int t = 1; t < N; ++t) {
      auto s = quiet([&] { return getSeedCells(ds[t], 0, 0); });
      ASSERT_NE(s, nullptr);
      ASSERT_EQ(s->nseeds, s1->nseeds) << f.name << ", " << thread_counts[t] << " threads";
      for (int k = 0; k < s->nseeds; ++k) {
        EXPECT_TRUE(s->seeds[k].cell == s1->seeds[k].cell && s->seeds[k].min == s1->seeds[k].min &&
                    s->seeds[k].max == s1->seeds[k].max)
            << f.name << " seed " << k;
      }
      EXPECT_EQ(tree_text(ds[t]->plot->getTree(0)), tree1) << f.name << ", " << thread_counts[t] << " threads";
    }
    for (float iso : isovalues(f)) {
      std::vector<std::unique_ptr<Contour3dData>> c(static_cast<size_t>(N));
      for (int t = 0; t < N; ++t) {
        c[t] = quiet([&] { return getContour3d(ds[t], 0, 0, iso, -1); });
        ASSERT_NE(c[t], nullptr);
      }
      for (int t = 1; t < N; ++t) {
        SCOPED_TRACE(f.name + ", isovalue " + std::to_string(iso) + ", " + std::to_string(thread_counts[t]) +
                     " threads");
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
    for (int t = 0; t < N; ++t) {
      ds[t]->samples = 64;
      Signature* sig = quiet([&] { return getSignatureFunctions(ds[t], 0, 0); });
      ASSERT_NE(sig, nullptr);
      for (int fn = 0; fn < 4; ++fn) {
        if (t == 0)
          first[fn] = sig[fn].fy;
        else
          EXPECT_EQ(sig[fn].fy, first[fn]) << f.name << " function " << fn << ", " << thread_counts[t] << " threads";
      }
    }
    for (ConDataset* d : ds) clearDataset(d);
  }
}

// The tree built on 7 threads answers every isovalue, sample values and
// the values between them included, with exactly the seeds whose range
// (min, max] holds it, found here by looking at every seed.
TEST(ParallelGrid, tree_built_on_several_threads_finds_exactly_the_seeds_holding_a_value) {
  for (const Field& f : fields()) {
    ConDataset* ds = quiet([&] { return ctest::float_grid(f.v, f.nx, f.ny, f.nz); });
    ASSERT_NE(ds, nullptr);
    ds->threads = 7;
    auto s = quiet([&] { return getSeedCells(ds, 0, 0); });
    ASSERT_NE(s, nullptr);
    const IntTree& tree = ds->plot->getTree(0);
    ASSERT_EQ(tree.numSeeds(), s->nseeds);
    std::vector<float> probes = isovalues(f);
    for (int k = 0; k < s->nseeds; k += std::max(1, s->nseeds / 40)) {
      probes.push_back(s->seeds[k].min);
      probes.push_back(s->seeds[k].max);
      probes.push_back(0.5f * (s->seeds[k].min + s->seeds[k].max));
    }
    std::vector<unsigned> buffer(static_cast<size_t>(s->nseeds));
    for (float w : probes) {
      std::vector<unsigned> want;
      for (int k = 0; k < s->nseeds; ++k)
        if (s->seeds[k].min < w && w <= s->seeds[k].max) want.push_back(s->seeds[k].cell);
      const int n = tree.getCells(w, buffer.data());
      std::vector<unsigned> got(buffer.begin(), buffer.begin() + n);
      std::sort(want.begin(), want.end());
      std::sort(got.begin(), got.end());
      EXPECT_EQ(got, want) << f.name << " at " << w;
    }
    clearDataset(ds);
  }
}

// Each slab of the seed sweep covers its own layers: propagation from the
// seeds finds the same triangles as the whole-grid pass, which visits every
// cell without seeds.
TEST(ParallelGrid, propagation_over_several_slabs_finds_the_whole_surface) {
  for (const Field& f : fields()) {
    for (float iso : isovalues(f)) {
      ConDataset* a = quiet([&] { return ctest::float_grid(f.v, f.nx, f.ny, f.nz); });
      ConDataset* b = quiet([&] { return ctest::float_grid(f.v, f.nx, f.ny, f.nz); });
      ASSERT_TRUE(a && b);
      a->threads = 3;
      auto propagated = quiet([&] { return getContour3d(a, 0, 0, iso, -1); });
      ctree::Report report;
      auto whole = quiet([&] { return getWholeContour3d(b, 0, 0, iso, -1, CellSplit::cubes, &report); });
      ASSERT_TRUE(propagated && whole) << report.error;
      EXPECT_EQ(propagated->ntri, whole->ntri) << f.name << " at " << iso;
      EXPECT_TRUE(triangle_places(*propagated) == triangle_places(*whole)) << f.name << " at " << iso;
      clearDataset(a);
      clearDataset(b);
    }
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
