// The surface drawn while the view turns, against what it must be: the
// field's own samples at every factor-th place, and for a sphere (the
// distance from a centre) a closed surface at the radius with the sphere's
// area, about 1/factor² of the full surface's triangles.
#include "gui/coarse_surface.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace ctree;

namespace {

// Distance from c, sampled on a grid of dims n, spacing s and origin o.
ScalarField3DGrid sphere_field(const int n[3], const double s[3], const double o[3], const double c[3]) {
  ScalarField3DGrid f;
  for (int a = 0; a < 3; ++a) f.dim[a] = Size(n[a]), f.spacing[a] = s[a], f.origin[a] = o[a];
  for (int z = 0; z < n[2]; ++z)
    for (int y = 0; y < n[1]; ++y)
      for (int x = 0; x < n[0]; ++x) {
        const double p[3] = {o[0] + x * s[0] - c[0], o[1] + y * s[1] - c[1], o[2] + z * s[2] - c[2]};
        f.values.push_back(std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]));
      }
  return f;
}

double area(const contour::Isosurface& s) {
  double total = 0;
  for (int t = 0; t < s.triangleCount(); ++t) {
    const float* a = &s.vertices[3 * size_t(s.triangles[3 * size_t(t)])];
    const float* b = &s.vertices[3 * size_t(s.triangles[3 * size_t(t) + 1])];
    const float* c = &s.vertices[3 * size_t(s.triangles[3 * size_t(t) + 2])];
    const double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]}, v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    const double w[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    total += 0.5 * std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
  }
  return total;
}

}  // namespace

TEST(CoarseSurface, factor_brings_the_triangles_under_the_limit) {
  EXPECT_EQ(coarse_factor(1000, 150000), 2);
  EXPECT_EQ(coarse_factor(600000, 150000), 2);  // 600000 / 4 = 150000
  EXPECT_EQ(coarse_factor(600001, 150000), 4);
  EXPECT_EQ(coarse_factor(1400000, 150000), 4);
  EXPECT_EQ(coarse_factor(10000000, 150000), 16);
  EXPECT_EQ(coarse_factor(long(1) << 50, 1), 64);
}

TEST(CoarseSurface, coarse_samples_are_the_fields_own_and_span_its_box) {
  const int n[3] = {61, 50, 7};
  const double s[3] = {0.5, 1, 2}, o[3] = {-3, 4, 10}, c[3] = {10, 30, 15};
  const ScalarField3DGrid f = sphere_field(n, s, o, c);
  CoarseGrid g;
  coarsen_grid(f, 4, g);
  // 61 = 15 steps of 4 + 1; 50: 13 samples (0, 4, ..., 48, 49); 7: 0 4 6.
  EXPECT_EQ(g.samples.dim[0], 16);
  EXPECT_EQ(g.samples.dim[1], 14);
  EXPECT_EQ(g.samples.dim[2], 3);
  ASSERT_EQ(g.values.size(), size_t(16 * 14 * 3));
  EXPECT_EQ(g.fieldIndex(1, 13), 49);
  EXPECT_EQ(g.fieldIndex(2, 1), 4);
  EXPECT_EQ(g.fieldIndex(2, 2), 6);
  for (int z = 0; z < 3; ++z)
    for (int y = 0; y < 14; ++y)
      for (int x = 0; x < 16; ++x) {
        const int fx = std::min(4 * x, 60), fy = std::min(4 * y, 49), fz = std::min(4 * z, 6);
        ASSERT_EQ(g.values[size_t((z * 14 + y) * 16 + x)], float(f.values[size_t((fz * 50 + fy) * 61 + fx)]))
            << x << " " << y << " " << z;
      }
  // The box: first and last coarse samples where the field's are.
  for (int a = 0; a < 3; ++a) {
    EXPECT_FLOAT_EQ(g.samples.origin[a], float(o[a]));
    EXPECT_NEAR(g.samples.origin[a] + g.samples.span[a] * float(g.samples.dim[a] - 1), o[a] + s[a] * (n[a] - 1), 1e-4);
  }
  EXPECT_FLOAT_EQ(g.samples.span[0], 2.0f);  // 4 steps of 0.5, exactly
}

TEST(CoarseSurface, a_sphere_stays_a_sphere_with_a_quarter_or_less_of_the_triangles) {
  const int n[3] = {81, 73, 65};
  const double s[3] = {0.5, 0.5, 0.5}, o[3] = {0, 0, 0}, c[3] = {20, 18, 16};
  const ScalarField3DGrid f = sphere_field(n, s, o, c);
  const double r = 12;
  contour::Isosurface full;
  Report report;
  contour::IsosurfaceOptions options;
  ASSERT_TRUE(contour::grid_isosurface(f, float(r), contour::CellSplit::cubes, options, full, report));
  for (int factor : {2, 4}) {
    CoarseGrid g;
    coarsen_grid(f, factor, g);
    contour::Isosurface coarse;
    ASSERT_TRUE(coarse_isosurface(g, float(r), coarse, report)) << factor;
    const double ratio = double(coarse.triangleCount()) / full.triangleCount();
    EXPECT_GT(ratio, 0.6 / (factor * factor)) << factor;
    EXPECT_LT(ratio, 1.6 / (factor * factor)) << factor;
    // Every vertex on the sphere, within the chord error of a coarse cell.
    const double step = factor * 0.5;
    for (int v = 0; v < coarse.vertexCount(); ++v) {
      const float* p = &coarse.vertices[3 * size_t(v)];
      const double d = std::sqrt((p[0] - c[0]) * (p[0] - c[0]) + (p[1] - c[1]) * (p[1] - c[1]) +
                                 (p[2] - c[2]) * (p[2] - c[2]));
      ASSERT_NEAR(d, r, step * step / r) << factor << " vertex " << v;
    }
    EXPECT_NEAR(area(coarse), 4 * M_PI * r * r, 0.05 * 4 * M_PI * r * r) << factor;
    // Normals of unit length pointing to lower values: towards the centre.
    ASSERT_EQ(coarse.normals.size(), coarse.vertices.size());
    for (int v = 0; v < coarse.vertexCount(); v += 7) {
      const float* p = &coarse.vertices[3 * size_t(v)];
      const float* nn = &coarse.normals[3 * size_t(v)];
      const double dot = nn[0] * (c[0] - p[0]) + nn[1] * (c[1] - p[1]) + nn[2] * (c[2] - p[2]);
      EXPECT_GT(dot / r, 0.9) << factor << " vertex " << v;
    }
  }
}
