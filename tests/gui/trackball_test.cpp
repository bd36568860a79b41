#include "gui/trackball.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace ctree;

namespace {

void expect_orthonormal(const float m[4][4]) {
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      float dot = 0;
      for (int k = 0; k < 3; ++k) dot += m[i][k] * m[j][k];
      EXPECT_NEAR(dot, i == j ? 1.0f : 0.0f, 1e-5f) << i << "," << j;
    }
}

}  // namespace

TEST(Trackball, no_drag_is_no_rotation_and_a_horizontal_drag_turns_about_the_vertical_axis) {
  float q[4], m[4][4], id[4][4];
  trackball(q, 0.3f, -0.2f, 0.3f, -0.2f);
  EXPECT_EQ(q[3], 1);
  build_rotmatrix(m, q);
  matident(id);
  EXPECT_EQ(std::memcmp(m, id, sizeof m), 0);

  trackball(q, 0, 0, 0.5f, 0);
  EXPECT_NEAR(q[0], 0, 1e-7);
  EXPECT_NEAR(q[2], 0, 1e-7);
  EXPECT_GT(std::fabs(q[1]), 0.1f);
  build_rotmatrix(m, q);
  expect_orthonormal(m);
  // The y axis is fixed by the rotation.
  float y[3] = {0, 1, 0}, r[3];
  matmult(y, r, m);
  EXPECT_NEAR(r[1], 1, 1e-6);
  // Across the sphere/hyperbola boundary the drag stays smooth.
  float a[4], b[4];
  trackball(a, 0.5656f, 0, 0.5658f, 0);
  trackball(b, 0.5657f, 0, 0.5659f, 0);
  EXPECT_NEAR(a[3], b[3], 1e-6);
}

TEST(Matrices, inverses_products_and_singular_inputs) {
  float m[4][4] = {{2, 1, 0, 0}, {1, 3, 1, 0}, {0, 1, 4, 0}, {0, 0, 0, 1}}, inv[4][4], p[4][4];
  matcopy(inv, m);
  matinv4x4(inv);
  matxmat(p, m, inv);
  for (int a = 0; a < 4; ++a)
    for (int b = 0; b < 4; ++b) EXPECT_NEAR(p[a][b], a == b ? 1 : 0, 1e-5) << a << b;
  float m3[4][4];
  matcopy(m3, m);
  EXPECT_TRUE(matinvert(m3));
  for (int a = 0; a < 3; ++a)
    for (int b = 0; b < 3; ++b) EXPECT_NEAR(m3[a][b], inv[a][b], 1e-5);

  float s[4][4] = {{1, 2, 3, 0}, {2, 4, 6, 0}, {0, 0, 1, 0}, {0, 0, 0, 0}}, keep[4][4];
  matcopy(keep, s);
  matinv4x4(s);
  EXPECT_EQ(std::memcmp(s, keep, sizeof s), 0);
  EXPECT_FALSE(matinvert(s)) << "a singular block";
  EXPECT_EQ(std::memcmp(s, keep, sizeof s), 0) << "left as it was";
}
