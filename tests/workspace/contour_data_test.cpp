// The bridge to the contour library and the spectrum: isosurfaces of
// distance fields against the sphere's area, the per-step cache, the scene
// record, and the spectrum's cache file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>

#include "workspace/contour_data.h"
#include "workspace/main_data.h"
#include "workspace/make_spectrum.h"
#include "contour/contour_test_util.h"
#include "test_util.h"

using namespace ctree;

namespace {

constexpr double PI = 3.14159265358979323846;

// n^3 floats, native byte order: the distance from (c, c, c) scaled by k.
void write_field(const std::string& name, int n, double c, double k) {
  auto v = ctest::sample_grid(n, n, n,
                              [&](double x, double y, double z) { return k * std::hypot(x - c, y - c, z - c); });
  std::ofstream out(name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(v.data()), std::streamsize(v.size() * sizeof(float)));
}

DatasetOptions grid_options(const std::string& data, int n, int steps) {
  DatasetOptions d;
  d.dataName = data;
  d.volume.hasDim = true;
  d.volume.dim[0] = d.volume.dim[1] = d.volume.dim[2] = Size(n);
  d.volume.swap = false;
  d.tmin = 0, d.tmax = steps - 1, d.tdelta = 1;
  return d;
}

// The isosurface is the sphere of radius r, its area within the fraction tol.
void expect_sphere(const ContourData& c, double r, double tol) {
  ASSERT_TRUE(c.contour3d);
  EXPECT_NEAR(ctest::area(ctest::weld(*c.contour3d)), 4 * PI * r * r, tol * 4 * PI * r * r);
}

}  // namespace

TEST(ContourData, isosurfaces_are_spheres_steps_keep_their_state_and_the_spectrum_follows) {
  testutil::TempDir dir;
  // Step 0: distance from the centre; step 1: twice the distance.
  write_field(dir.file("s.0.raw"), 32, 15.5, 1);
  write_field(dir.file("s.1.raw"), 32, 15.5, 2);
  CapturedMessages said;
  MainData data(grid_options(dir.file("s.%d.raw"), 32, 2), said);
  ASSERT_TRUE(data.ok());
  ContourData c(&data);
  EXPECT_EQ(c.steps.size(), 2u);
  // How often the transcript says that a step's field is handed to the library.
  auto registrations = [&] {
    const std::vector<std::string> lines = said.texts(MessageKind::Note);
    return std::count(lines.begin(), lines.end(), "registering data for isolark...");
  };

  c.setIsovalue(10, 0);
  EXPECT_EQ(registrations(), 1);
  expect_sphere(c, 10, 0.02);
  EXPECT_NEAR(c.minValue, std::sqrt(3 * 0.25), 1e-6);
  c.setIsovalue(10, 0);
  EXPECT_EQ(c.extractions(), 1);  // unchanged, not forced
  c.setIsovalue(10, 1);
  EXPECT_EQ(c.extractions(), 2);
  c.setIsovalue(1e9, 0);  // clamped to the largest value
  EXPECT_EQ(c.isovalue, c.maxValue);
  c.setIsovalue(10, 0);

  // Step 1, whose radius-5 sphere sits at isovalue 10.
  c.unregisterData();
  ASSERT_EQ(data.setTime(1), 1);
  c.registerData();
  EXPECT_NEAR(c.isovalue, (c.minValue + c.maxValue) / 2, 1e-9);
  c.setIsovalue(10, 0);
  expect_sphere(c, 5, 0.03);

  // Back to step 0: its isovalue and contour, without registering again.
  c.unregisterData();
  data.setTime(0);
  c.registerData();
  EXPECT_EQ(registrations(), 2) << "step 0 is not registered again";
  EXPECT_EQ(c.isovalue, 10);
  expect_sphere(c, 10, 0.02);

  // The scene record round trips and re-extracts at the value read.
  std::stringstream rec;
  c.isovalue = 6.5;
  rec << c;
  c.isovalue = 7.25;
  const long before = c.extractions();
  rec >> c;
  EXPECT_EQ(c.isovalue, 6.5);
  EXPECT_EQ(c.extractions(), before + 1);
  expect_sphere(c, 6.5, 0.03);
  std::istringstream bad("x1 ");
  bad >> c;
  EXPECT_TRUE(bad.fail());
  EXPECT_EQ(c.isovalue, 6.5);

  // The spectrum: signature 0, the area, follows the spheres inside the
  // grid's inscribed ball; the cache file holds the same values.
  data.dataset.signatureSamples = 64;
  const int S = 12;
  SpectrumData sp;
  ASSERT_TRUE(make_spectrum_file(c, S, sp));
  EXPECT_EQ(data.time, 0);
  ASSERT_TRUE(sp.nTimes == 2 && sp.nSamples == S && sp.nSignatures >= 1);
  EXPECT_NEAR(sp.minValue, std::sqrt(0.75), 1e-6);
  EXPECT_NEAR(sp.maxValue, 2 * std::sqrt(3 * 15.5 * 15.5), 1e-4);
  int checked = 0;
  for (int t = 0; t < 2; ++t)
    for (int s = 0; s < S; ++s) {
      const double r = sample_isovalue(sp, s) / (t + 1), expected = 4 * PI * r * r;
      if (r < 4 || r > 13) continue;
      // The library interpolates between the samples of its own 64-sample
      // grid over the step's value range, which lie 0.86 / (t + 1) apart.
      EXPECT_NEAR(sp.at(t, s, 0), expected, 0.03 * expected) << "t " << t << " s " << s;
      ++checked;
    }
  EXPECT_GE(checked, 6);
  SpectrumData back;
  std::string error;
  EXPECT_EQ(spectrum_file_name(c), dir.file("s.0.raw") + ".spectrum");
  ASSERT_TRUE(read_spectrum_file(spectrum_file_name(c), back, error)) << error;
  EXPECT_EQ(back.values, sp.values);
}

// A grid with its own spacing and origin: the isosurface, the model box and
// the tree's positions are all in the grid's units, so they overlap.
TEST(ContourData, spacing_and_origin_place_isosurface_box_and_tree_alike) {
  testutil::TempDir dir;
  write_field(dir.file("s.raw"), 32, 15.5, 1);
  DatasetOptions d = grid_options(dir.file("s.raw"), 32, 1);
  d.ctName = dir.file("s.ctree.ply");
  const double spacing[3] = {2, 1, 0.5}, origin[3] = {10, -5, 3};
  d.volume.hasSpacing = d.volume.hasOrigin = true;
  for (int a = 0; a < 3; ++a) d.volume.spacing[a] = spacing[a], d.volume.origin[a] = origin[a];
  MainData data(d);
  ContourData c(&data);
  c.setIsovalue(10, 0);
  ASSERT_TRUE(data.ok() && data.ctree);
  EXPECT_TRUE(data.modelBox.x == 10 && data.modelBox.dx == 64 && data.modelBox.z == 3 && data.modelBox.dz == 16);
  // The tree's minimum is the centre, (15.5, 15.5, 15.5) in indices: one of
  // the vertices beside it. The sphere of radius 10 about the centre is
  // stretched by the spacing.
  const Vertex& low = data.ctree->vertices[size_t(data.ctree->lowerEnd(data.ctree->root()))];
  ASSERT_TRUE(c.contour3d && c.contour3d->nvert > 0);
  for (int a = 0; a < 3; ++a) {
    const double p = a == 0 ? low.x : a == 1 ? low.y : low.z;
    EXPECT_TRUE(p == origin[a] + 15 * spacing[a] || p == origin[a] + 16 * spacing[a]) << a << ": " << p;
    float lo = 1e30f, hi = -1e30f;
    for (int i = 0; i < c.contour3d->nvert; ++i)
      lo = std::min(lo, c.contour3d->vert[i][a]), hi = std::max(hi, c.contour3d->vert[i][a]);
    EXPECT_NEAR(lo, origin[a] + (15.5 - 10) * spacing[a], 0.05 * spacing[a]) << a;
    EXPECT_NEAR(hi, origin[a] + (15.5 + 10) * spacing[a], 0.05 * spacing[a]) << a;
  }
}
