// The whole-grid isosurface pass against contour propagation from the seeds
// (the same triangles, vertices, normals and colours, for every thread
// count), and its tetrahedral surface against the contour tree: as many
// connected pieces at an isovalue as the tree has arcs crossing it.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <random>
#include <vector>

#include "contour/grid_isosurface.h"
#include "contour/library.h"
#include "contour_test_util.h"
#include "ctree/flat_tree.h"
#include "ctree/grid_contour_tree.h"
#include "fields/grid_field.h"
#include "fields/volume_file.h"

using namespace contour;

namespace {

std::uint32_t bits_of(float x) {
  x += 0.0f;  // -0 is 0
  std::uint32_t b;
  std::memcpy(&b, &x, 4);
  return b;
}

std::uint64_t mix(std::uint64_t h, std::uint64_t x) {
  h = (h ^ x) * 0x9e3779b97f4a7c15ull;
  return h ^ (h >> 29);
}

// Every triangle as a 64-bit hash of its corners (position, normal and
// colour value, as bits) from the corner of smallest hash on, in its own
// turning order; sorted. Two lists compare equal when the surfaces hold the
// same oriented triangles at the same places with the same normals and
// colours (up to a hash collision, at odds of about n^2 / 2^64).
std::vector<std::uint64_t> keys_of(const Contour3dData& s) {
  std::vector<std::uint64_t> keys;
  keys.reserve(size_t(s.ntri));
  for (int t = 0; t < s.ntri; ++t) {
    std::uint64_t c[3];
    for (int k = 0; k < 3; ++k) {
      const int p = s.tri[t][k];
      std::uint64_t h = 0x243f6a8885a308d3ull;
      for (int a = 0; a < 3; ++a) h = mix(mix(h, bits_of(s.vert[p][a])), bits_of(s.vnorm[p][a]));
      c[k] = mix(h, bits_of(s.vfun[p]));
    }
    const int first = c[0] <= c[1] && c[0] <= c[2] ? 0 : c[1] <= c[2] ? 1 : 2;
    keys.push_back(mix(mix(mix(1, c[first]), c[(first + 1) % 3]), c[(first + 2) % 3]));
  }
  std::sort(keys.begin(), keys.end());
  return keys;
}

size_t distinct_places(const Contour3dData& c) {
  std::vector<std::array<float, 3>> p(size_t(c.nvert));
  for (int v = 0; v < c.nvert; ++v) p[size_t(v)] = {c.vert[v][0], c.vert[v][1], c.vert[v][2]};
  std::sort(p.begin(), p.end());
  return size_t(std::unique(p.begin(), p.end()) - p.begin());
}

// Compares the whole pass of the library with propagation at iso.
void expect_same_as_propagation(const std::vector<float>& v, int nx, int ny, int nz, float iso, int threads) {
  SCOPED_TRACE(testing::Message() << nx << " x " << ny << " x " << nz << " at " << iso);
  DatasetHandle ds(ctest::float_grid(v, nx, ny, nz));
  ASSERT_TRUE(ds);
  auto propagated = getContour3d(ds.get(), 0, 0, iso, 0);
  ASSERT_TRUE(propagated);
  const std::vector<std::uint64_t> expected = keys_of(*propagated);
  const size_t welded = distinct_places(*propagated);
  // A handle of its own: a query replaces the arrays of the last one.
  DatasetHandle other(ctest::float_grid(v, nx, ny, nz));
  other->threads = threads;
  ctree::Report report;
  auto whole = getWholeContour3d(other.get(), 0, 0, iso, 0, CellSplit::cubes, &report);
  ASSERT_TRUE(whole) << report.error;
  EXPECT_EQ(whole->ntri, propagated->ntri);
  EXPECT_TRUE(keys_of(*whole) == expected);
  // Welded: every vertex used, and one vertex per place except where
  // several edges meet at a sample the isovalue equals.
  std::vector<char> used(size_t(whole->nvert), 0);
  for (int t = 0; t < whole->ntri; ++t)
    for (int c = 0; c < 3; ++c) used[size_t(whole->tri[t][c])] = 1;
  EXPECT_EQ(std::count(used.begin(), used.end(), 1), whole->nvert);
  const size_t places = distinct_places(*whole);
  if (std::find(v.begin(), v.end(), iso) == v.end()) {
    EXPECT_EQ(int(places), whole->nvert);
  }
  EXPECT_EQ(places, welded);
}

std::vector<float> noise(int n, unsigned seed, int levels) {
  std::mt19937 rng(seed);
  std::vector<float> v(static_cast<size_t>(n));
  for (float& x : v) x = levels ? float(rng() % unsigned(levels)) : std::uniform_real_distribution<float>(0, 1)(rng);
  return v;
}

// Unit Gaussian bumps at random places plus uniform noise of the given size.
std::vector<float> bumps(int nx, int ny, int nz, unsigned seed, double amplitude) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(0, 1);
  struct Bump {
    double x, y, z, s, h;
  };
  std::vector<Bump> b;
  for (int q = 0; q < 6; ++q)
    b.push_back({u(rng) * nx, u(rng) * ny, u(rng) * nz, 1.5 + 3 * u(rng), (u(rng) < 0.5 ? -1 : 1) * (0.5 + u(rng))});
  return ctest::sample_grid(nx, ny, nz, [&](double x, double y, double z) {
    double f = 0;
    for (const Bump& q : b)
      f += q.h * std::exp(-((x - q.x) * (x - q.x) + (y - q.y) * (y - q.y) + (z - q.z) * (z - q.z)) / (2 * q.s * q.s));
    return f + amplitude * (u(rng) - 0.5);
  });
}

}  // namespace

TEST(WholeSurface, same_triangles_as_propagation_on_random_fields) {
  // Sizes across the 64-sample words of a row, on both sides of a border.
  const int sizes[][3] = {{2, 2, 2}, {5, 4, 3}, {17, 9, 11}, {64, 3, 4}, {65, 5, 3}, {70, 6, 5}, {129, 3, 3}};
  unsigned seed = 1;
  for (const auto& d : sizes) {
    const int n = d[0] * d[1] * d[2];
    const std::vector<float> v = noise(n, seed++, 0);
    for (float iso : {0.13f, 0.5f, 0.87f}) expect_same_as_propagation(v, d[0], d[1], d[2], iso, 2);
  }
}

TEST(WholeSurface, same_triangles_as_propagation_where_the_isovalue_is_a_sample) {
  // Few levels: many samples equal to the isovalue, plateaus, surfaces
  // through samples and collapsed triangles.
  unsigned seed = 11;
  for (const auto& d : {std::array<int, 3>{12, 10, 9}, std::array<int, 3>{67, 4, 5}}) {
    const std::vector<float> v = noise(d[0] * d[1] * d[2], seed++, 4);
    for (float iso : {0.0f, 1.0f, 1.5f, 2.0f, 3.0f}) expect_same_as_propagation(v, d[0], d[1], d[2], iso, 3);
  }
}

TEST(WholeSurface, same_triangles_as_propagation_on_smooth_fields) {
  for (unsigned seed : {3u, 4u}) {
    const std::vector<float> v = bumps(30, 26, 22, seed, 0.0);
    for (float iso : {-0.3f, 0.05f, 0.4f}) expect_same_as_propagation(v, 30, 26, 22, iso, 2);
  }
}

TEST(WholeSurface, output_is_the_same_for_every_thread_count) {
  for (CellSplit split : {CellSplit::cubes, CellSplit::tetrahedra}) {
    const std::vector<float> v = bumps(40, 33, 29, 7, 0.05);
    const std::vector<float> colour = noise(40 * 33 * 29, 8, 0);
    GridSamples g;
    g.values = v.data();
    g.dim[0] = 40, g.dim[1] = 33, g.dim[2] = 29;
    g.origin[0] = -3, g.span[2] = 0.5f;
    Isosurface one;
    ctree::Report report;
    IsosurfaceOptions o;
    o.colour = colour.data();
    ASSERT_TRUE(grid_isosurface(g, 0.2f, split, o, one, report));
    ASSERT_GT(one.triangleCount(), 300);
    for (int threads : {2, 3, 7, 64}) {
      o.threads = threads;
      Isosurface many;
      ASSERT_TRUE(grid_isosurface(g, 0.2f, split, o, many, report));
      EXPECT_TRUE(many.vertices == one.vertices) << threads;
      EXPECT_TRUE(many.normals == one.normals) << threads;
      EXPECT_TRUE(many.colours == one.colours) << threads;
      EXPECT_TRUE(many.triangles == one.triangles) << threads;
    }
  }
}

TEST(WholeSurface, linear_field_gives_the_plane_facing_down_the_gradient) {
  // f = x + 2y + 3z on a 9 x 7 x 6 grid of span (1, 0.5, 2): both splits
  // interpolate it exactly, so every vertex lies on the plane, every
  // triangle's right-hand normal points against the gradient, and the
  // triangles add up to the plane's area inside the box.
  const std::vector<float> v = ctest::sample_grid(
      9, 7, 6, [](double i, double j, double k) { return i * 1.0 + 2 * (j * 0.5) + 3 * (k * 2.0); });
  GridSamples g;
  g.values = v.data();
  g.dim[0] = 9, g.dim[1] = 7, g.dim[2] = 6;
  g.span[1] = 0.5f, g.span[2] = 2.0f;
  const float iso = 17.3f;
  for (CellSplit split : {CellSplit::cubes, CellSplit::tetrahedra}) {
    Isosurface s;
    ctree::Report report;
    ASSERT_TRUE(grid_isosurface(g, iso, split, IsosurfaceOptions(), s, report));
    ASSERT_GT(s.triangleCount(), 0);
    for (int p = 0; p < s.vertexCount(); ++p) {
      const float* x = &s.vertices[3 * size_t(p)];
      EXPECT_NEAR(x[0] + 2 * x[1] + 3 * x[2], iso, 1e-4);
      const float* n = &s.normals[3 * size_t(p)];
      // Normals come from differences of samples, in index units: the
      // gradient (1, 1, 6).
      EXPECT_NEAR(n[0], -1 / std::sqrt(38.0), 1e-5);
      EXPECT_NEAR(n[1], -1 / std::sqrt(38.0), 1e-5);
      EXPECT_NEAR(n[2], -6 / std::sqrt(38.0), 1e-5);
    }
    double area = 0;
    for (int t = 0; t < s.triangleCount(); ++t) {
      const float* a = &s.vertices[3 * size_t(s.triangles[3 * t])];
      const float* b = &s.vertices[3 * size_t(s.triangles[3 * t + 1])];
      const float* c = &s.vertices[3 * size_t(s.triangles[3 * t + 2])];
      double u[3], w[3];
      for (int k = 0; k < 3; ++k) u[k] = b[k] - a[k], w[k] = c[k] - a[k];
      const double n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
      EXPECT_LT(n[0] + 2 * n[1] + 3 * n[2], 0);
      area += 0.5 * std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    }
    // The plane crosses the box through all four sides along z (x + 2y
    // stays within 0 .. 14 while 3z = iso - x - 2y stays within 0 .. 30):
    // its area is that of the 8 x 3 base times |grad f| / |df/dz|.
    const double projected = 8.0 * 3.0;
    EXPECT_NEAR(area, projected * std::sqrt(14.0) / 3, 1e-2 * area);
  }
}

TEST(WholeSurface, tetrahedral_surface_is_closed_inside_the_grid) {
  // Every edge of the welded surface borders two triangles, except on the
  // faces of the grid box. Rows of 67 samples: edges on both sides of a
  // word border.
  const std::vector<float> v = bumps(67, 18, 16, 21, 0.2);
  GridSamples g;
  g.values = v.data();
  g.dim[0] = 67, g.dim[1] = 18, g.dim[2] = 16;
  Isosurface s;
  ctree::Report report;
  ASSERT_TRUE(grid_isosurface(g, 0.11f, CellSplit::tetrahedra, IsosurfaceOptions(), s, report));
  std::map<std::pair<int, int>, int> uses;  // directed edges
  for (int t = 0; t < s.triangleCount(); ++t)
    for (int c = 0; c < 3; ++c) ++uses[{s.triangles[3 * t + c], s.triangles[3 * t + (c + 1) % 3]}];
  auto on_box = [&](int p) {
    const float* x = &s.vertices[3 * size_t(p)];
    for (int a = 0; a < 3; ++a)
      if (x[a] == 0 || x[a] == float(g.dim[a] - 1)) return true;
    return false;
  };
  int open = 0;
  for (const auto& e : uses) {
    EXPECT_EQ(e.second, 1) << "an edge walked twice the same way: a triangle turned the wrong way";
    if (!uses.count({e.first.second, e.first.first})) {
      ++open;
      EXPECT_TRUE(on_box(e.first.first) && on_box(e.first.second));
    }
  }
  EXPECT_GT(open, 0);
}

namespace {

// Connected pieces of a welded triangle surface.
int pieces(const Isosurface& s) {
  std::vector<int> parent(size_t(s.vertexCount()));
  std::iota(parent.begin(), parent.end(), 0);
  auto find = [&](int x) {
    while (parent[x] != x) x = parent[x] = parent[parent[x]];
    return x;
  };
  for (int t = 0; t < s.triangleCount(); ++t)
    for (int c = 1; c < 3; ++c) parent[find(s.triangles[3 * t])] = find(s.triangles[3 * t + c]);
  int n = 0;
  for (int p = 0; p < s.vertexCount(); ++p) n += find(p) == p;
  return n;
}

// Branches of the tree whose value range holds w: each branch is a
// monotone path of arcs, so it crosses w once when w lies strictly between
// its ends' values.
int arcs_crossing(const ctree::FlatTree& tree, double w) {
  int n = 0;
  for (const ctree::FlatBranch& b : tree.branches) {
    const double f0 = tree.vertices[size_t(b.ends[0])].field, f1 = tree.vertices[size_t(b.ends[1])].field;
    n += std::min(f0, f1) < w && w < std::max(f0, f1);
  }
  return n;
}

void expect_pieces_are_arcs(const std::vector<float>& v, int nx, int ny, int nz, unsigned seed, int& compared) {
  ctree::ScalarField3DGrid field;
  field.dim[0] = ctree::Size(nx), field.dim[1] = ctree::Size(ny), field.dim[2] = ctree::Size(nz);
  field.values.assign(v.begin(), v.end());
  ctree::GridContourTree ct;
  ASSERT_TRUE(ctree::compute_grid_contour_tree(field, ct, ctree::MergeTreeOptions{}));
  const ctree::FlatTree tree = ctree::flatten(ct.contour);
  std::vector<float> sorted(v);
  std::sort(sorted.begin(), sorted.end());
  sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
  std::mt19937 rng(seed);
  for (int q = 0; q < 30; ++q) {
    // Halfway between two neighbouring sample values: a value no sample takes.
    const size_t at = rng() % (sorted.size() - 1);
    const float w = float(0.5 * (double(sorted[at]) + sorted[at + 1]));
    if (!(sorted[at] < w && w < sorted[at + 1])) continue;
    Isosurface s;
    ctree::Report report;
    IsosurfaceOptions o;
    o.threads = 2;
    o.normals = false;
    ASSERT_TRUE(grid_isosurface(field, w, CellSplit::tetrahedra, o, s, report));
    EXPECT_EQ(pieces(s), arcs_crossing(tree, w)) << "at " << w;
    ++compared;
  }
}

}  // namespace

TEST(TetrahedralSurface, pieces_are_the_contour_tree_arcs_on_smooth_fields) {
  int compared = 0;
  for (unsigned seed : {31u, 32u}) expect_pieces_are_arcs(bumps(24, 24, 24, seed, 0.0), 24, 24, 24, seed, compared);
  EXPECT_GT(compared, 50);
}

TEST(TetrahedralSurface, pieces_are_the_contour_tree_arcs_on_noisy_fields) {
  int compared = 0;
  for (double amplitude : {0.0005, 0.02, 0.5})
    expect_pieces_are_arcs(bumps(24, 24, 24, 41, amplitude), 24, 24, 24, 41, compared);
  expect_pieces_are_arcs(noise(14 * 14 * 14, 42, 0), 14, 14, 14, 42, compared);
  // Rows longer than one 64-sample word: the diagonal edges across the
  // border of two words.
  expect_pieces_are_arcs(noise(70 * 5 * 4, 43, 0), 70, 5, 4, 43, compared);
  expect_pieces_are_arcs(bumps(130, 6, 5, 44, 0.05), 130, 6, 5, 44, compared);
  EXPECT_GT(compared, 100);
}

TEST(WholeSurface, colours_from_another_variable_match_propagation) {
  // Two variables, variable after variable: the surface of the second
  // coloured by the first.
  const int nx = 21, ny = 13, nz = 9, n = nx * ny * nz;
  std::vector<float> both = noise(n, 51, 0);
  const std::vector<float> second = bumps(nx, ny, nz, 52, 0.1);
  both.insert(both.end(), second.begin(), second.end());
  const int dim[3] = {nx, ny, nz};
  auto make = [&] {
    return DatasetHandle(
        newDatasetReg(CONTOUR_FLOAT, CONTOUR_REG_3D, 2, 1, dim, reinterpret_cast<const unsigned char*>(both.data())));
  };
  DatasetHandle a = make(), b = make();
  auto propagated = getContour3d(a.get(), 1, 0, 0.3f, 0);
  ASSERT_TRUE(propagated);
  ASSERT_GT(propagated->ntri, 100);
  auto whole = getWholeContour3d(b.get(), 1, 0, 0.3f, 0);
  ASSERT_TRUE(whole);
  EXPECT_TRUE(keys_of(*whole) == keys_of(*propagated));
  EXPECT_EQ(whole->colormin, propagated->colormin);
  EXPECT_EQ(whole->colormax, propagated->colormax);
  // Without colour every value is 0, as propagation leaves it.
  auto plain = getWholeContour3d(b.get(), 1, 0, 0.3f, -1);
  ASSERT_TRUE(plain);
  EXPECT_EQ(std::count(plain->vfun, plain->vfun + plain->nvert, 0.0f), plain->nvert);
}

TEST(WholeSurface, the_library_entry_refuses_what_it_cannot_contour) {
  const std::vector<float> v = noise(4 * 4 * 4, 61, 0);
  DatasetHandle grid(ctest::float_grid(v, 4, 4, 4));
  ctree::Report r1, r2, r3;
  EXPECT_FALSE(getWholeContour3d(grid.get(), 1, 0, 0.5f, 0, CellSplit::cubes, &r1));
  EXPECT_NE(r1.error.find("variable"), std::string::npos) << r1.error;
  EXPECT_FALSE(getWholeContour3d(grid.get(), 0, 0, 0.5f, 3, CellSplit::cubes, &r2));
  EXPECT_NE(r2.error.find("color variable"), std::string::npos) << r2.error;
  const int dim[2] = {8, 8};
  DatasetHandle flat(
      newDatasetReg(CONTOUR_FLOAT, CONTOUR_REG_2D, 1, 1, dim, reinterpret_cast<const unsigned char*>(v.data())));
  ASSERT_TRUE(flat);
  EXPECT_FALSE(getWholeContour3d(flat.get(), 0, 0, 0.5f, -1, CellSplit::cubes, &r3));
  EXPECT_NE(r3.error.find("3D grid"), std::string::npos) << r3.error;
  EXPECT_FALSE(getWholeContour3d(nullptr, 0, 0, 0.5f, -1));
}

TEST(WholeSurface, refuses_grids_it_cannot_contour) {
  std::vector<float> v(8, 0.0f);
  GridSamples g;
  g.values = v.data();
  g.dim[0] = 1, g.dim[1] = 2, g.dim[2] = 4;
  Isosurface s;
  ctree::Report report;
  EXPECT_FALSE(grid_isosurface(g, 0.5f, CellSplit::cubes, IsosurfaceOptions(), s, report));
  EXPECT_NE(report.error.find("axis x"), std::string::npos) << report.error;
  g.values = nullptr;
  ctree::Report second;
  EXPECT_FALSE(grid_isosurface(g, 0.5f, CellSplit::cubes, IsosurfaceOptions(), s, second));
  EXPECT_FALSE(second.error.empty());
}

// The brain scan of the figures, where it is installed.
TEST(WholeSurface, same_triangles_as_propagation_on_the_brain_scan) {
  const char* path = "/usr/share/mricron/templates/ch2.nii.gz";
  std::uint64_t bytes;
  ctree::Report probe;
  if (!ctree::regular_file_size(path, bytes, probe)) GTEST_SKIP() << path << " is not installed";
  ctree::ScalarField3DGrid field;
  ctree::Report report;
  ASSERT_TRUE(ctree::read_volume(path, ctree::VolumeOptions(), 0, field, report, ctree::no_progress())) << report.error;
  const std::vector<float> v(field.values.begin(), field.values.end());
  for (float iso : {49.6f, 80.0f})
    expect_same_as_propagation(v, int(field.dim[0]), int(field.dim[1]), int(field.dim[2]), iso, 2);
}
