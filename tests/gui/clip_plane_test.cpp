// The clip plane's geometry against answers found another way: the eye
// direction through OpenGL's reading of the rotation, the cut of a cube
// known by hand (a face-sized square, a regular hexagon), and the area of
// random cuts against a count of grid points on the plane inside the box.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "gui/clip_plane.h"
#include "gui/trackball.h"

using namespace ctree;

namespace {

const TBox CUBE{-1, -1, -1, 2, 2, 2};
const TBox SLAB{10, 20, 30, 4, 2, 1};

double dot3(const float* a, const double* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

bool inside(const TBox& b, const double p[3], double eps) {
  return p[0] >= b.x - eps && p[0] <= b.x + b.dx + eps && p[1] >= b.y - eps && p[1] <= b.y + b.dy + eps &&
         p[2] >= b.z - eps && p[2] <= b.z + b.dz + eps;
}

ClipPlane plane(double x, double y, double z, float offset) {
  const double l = std::sqrt(x * x + y * y + z * z);
  ClipPlane p;
  p.on = 1;
  p.normal[0] = float(x / l), p.normal[1] = float(y / l), p.normal[2] = float(z / l);
  p.offset = offset;
  return p;
}

// Area of a planar polygon given corner by corner (x, y, z).
double polygon_area(const std::vector<float>& c) {
  double s[3] = {0, 0, 0};
  const size_t k = c.size() / 3;
  for (size_t i = 0; i < k; ++i) {
    const float* a = &c[3 * i];
    const float* b = &c[3 * ((i + 1) % k)];
    s[0] += double(a[1]) * b[2] - double(a[2]) * b[1];
    s[1] += double(a[2]) * b[0] - double(a[0]) * b[2];
    s[2] += double(a[0]) * b[1] - double(a[1]) * b[0];
  }
  return 0.5 * std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
}

}  // namespace

TEST(ClipPlane, the_plane_facing_the_viewer_has_the_eye_direction_as_its_normal) {
  // OpenGL multiplies positions by the transpose of the stored rows; the
  // normal must come out as the eye's +z axis, for several turned views.
  float r[4][4];
  matident(r);
  for (int turn = 0; turn < 5; ++turn) {
    float q[4], m[4][4];
    trackball(q, 0.1f * turn, -0.2f, -0.3f + 0.05f * turn, 0.4f);
    build_rotmatrix(m, q);
    matxmat(r, r, m);
    const ClipPlane p = clip_plane_facing_viewer(r);
    EXPECT_EQ(p.on, 1);
    double eye[3];
    for (int i = 0; i < 3; ++i) eye[i] = r[0][i] * p.normal[0] + r[1][i] * p.normal[1] + r[2][i] * p.normal[2];
    EXPECT_NEAR(eye[0], 0, 1e-5);
    EXPECT_NEAR(eye[1], 0, 1e-5);
    EXPECT_NEAR(eye[2], 1, 1e-5);
  }
}

TEST(ClipPlane, the_equation_keeps_the_side_away_from_the_normal_up_to_the_offset) {
  const ClipPlane p = plane(1, 2, -0.5, 0.75f);
  double e[4];
  clip_plane_equation(p, SLAB, e);
  const double c[3] = {12, 21, 30.5};
  for (double t : {-3.0, 0.0, 0.7, 0.8, 2.0}) {
    const double q[3] = {c[0] + t * p.normal[0], c[1] + t * p.normal[1], c[2] + t * p.normal[2]};
    const bool kept = e[0] * q[0] + e[1] * q[1] + e[2] * q[2] + e[3] >= 0;
    EXPECT_EQ(kept, t <= 0.75) << t;
  }
}

TEST(ClipPlane, moves_step_a_fiftieth_of_the_diagonal_and_stop_beyond_the_box) {
  ClipPlane p = plane(0, 0, 1, 0);
  const double d = std::sqrt(4.0 * 4 + 2 * 2 + 1);
  move_clip_plane(p, SLAB, 3);
  EXPECT_NEAR(p.offset, 3 * d / 50, 1e-6);
  move_clip_plane(p, SLAB, -1000);
  EXPECT_NEAR(p.offset, -d / 2, 1e-6);
  move_clip_plane(p, SLAB, 1000);
  EXPECT_NEAR(p.offset, d / 2, 1e-6);
}

TEST(ClipPlane, turns_are_right_handed_and_twenty_four_of_fifteen_degrees_come_back) {
  ClipPlane p = plane(1, 0, 0, 0);
  const float z[3] = {0, 0, 2};  // any length
  turn_clip_plane(p, z, float(M_PI / 2));
  EXPECT_NEAR(p.normal[0], 0, 1e-6);
  EXPECT_NEAR(p.normal[1], 1, 1e-6);
  EXPECT_NEAR(p.normal[2], 0, 1e-6);
  ClipPlane q = plane(0.3, -0.5, 0.8, 0.1f);
  const ClipPlane start = q;
  const float axis[3] = {1, 1, 0};
  for (int i = 0; i < 24; ++i) turn_clip_plane(q, axis, float(M_PI / 12));
  for (int a = 0; a < 3; ++a) EXPECT_NEAR(q.normal[a], start.normal[a], 1e-5);
  EXPECT_NEAR(std::sqrt(double(q.normal[0]) * q.normal[0] + double(q.normal[1]) * q.normal[1] +
                        double(q.normal[2]) * q.normal[2]),
              1, 1e-6);
}

TEST(ClipPlane, an_axis_plane_cuts_a_face_sized_rectangle_and_the_diagonal_one_a_regular_hexagon) {
  const std::vector<float> square = clip_plane_outline(plane(0, 0, 1, 0.25f), SLAB);
  ASSERT_EQ(square.size(), 12u);
  for (size_t i = 0; i < 4; ++i) EXPECT_NEAR(square[3 * i + 2], 30.75, 1e-5);
  EXPECT_NEAR(polygon_area(square), 4 * 2, 1e-4);

  const std::vector<float> hexagon = clip_plane_outline(plane(1, 1, 1, 0), CUBE);
  ASSERT_EQ(hexagon.size(), 18u);
  // Corners at the midpoints of six edges, neighbours sqrt(2) apart.
  for (size_t i = 0; i < 6; ++i) {
    const float* a = &hexagon[3 * i];
    const float* b = &hexagon[3 * ((i + 1) % 6)];
    EXPECT_NEAR(std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]), std::sqrt(2.0), 1e-5) << i;
    int zeros = 0;
    for (int k = 0; k < 3; ++k) zeros += std::fabs(a[k]) < 1e-6;
    EXPECT_EQ(zeros, 1) << i;
  }
  EXPECT_NEAR(polygon_area(hexagon), 3 * std::sqrt(3.0), 1e-4);
  // Through a corner only, or beside the box: nothing to draw.
  EXPECT_TRUE(clip_plane_outline(plane(1, 1, 1, float(std::sqrt(3.0))), CUBE).empty());
  EXPECT_TRUE(clip_plane_outline(plane(0, 1, 0, 5), CUBE).empty());
}

TEST(ClipPlane, random_cuts_have_corners_on_plane_and_box_and_the_area_grid_points_give) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(-1, 1);
  for (int trial = 0; trial < 200; ++trial) {
    const ClipPlane p = plane(u(rng), u(rng), u(rng), float(u(rng) * 2.2));
    const std::vector<float> c = clip_plane_outline(p, SLAB);
    const double centre[3] = {12, 21, 30.5};
    for (size_t i = 0; i < c.size(); i += 3) {
      const double q[3] = {c[i], c[i + 1], c[i + 2]};
      const double r[3] = {q[0] - centre[0], q[1] - centre[1], q[2] - centre[2]};
      EXPECT_NEAR(dot3(p.normal, r), p.offset, 1e-4);
      EXPECT_TRUE(inside(SLAB, q, 1e-4));
    }
    // Convex and in order: every turn the same way round the normal.
    const size_t k = c.size() / 3;
    for (size_t i = 0; i < k; ++i) {
      const float *a = &c[3 * i], *b = &c[3 * ((i + 1) % k)], *d = &c[3 * ((i + 2) % k)];
      const double e1[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]}, e2[3] = {d[0] - b[0], d[1] - b[1], d[2] - b[2]};
      const double x[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
      EXPECT_GT(dot3(p.normal, x), -1e-6) << trial;
    }
    // Grid points on the plane that lie in the box, each standing for a
    // cell of h²: the cut's area.
    const float* n = p.normal;
    const int least = std::fabs(n[0]) <= std::fabs(n[1]) && std::fabs(n[0]) <= std::fabs(n[2]) ? 0
                      : std::fabs(n[1]) <= std::fabs(n[2])                                     ? 1
                                                                                               : 2;
    double e[3] = {0, 0, 0};
    e[least] = 1;
    double v1[3] = {n[1] * e[2] - n[2] * e[1], n[2] * e[0] - n[0] * e[2], n[0] * e[1] - n[1] * e[0]};
    const double l1 = std::sqrt(v1[0] * v1[0] + v1[1] * v1[1] + v1[2] * v1[2]);
    for (double& x : v1) x /= l1;
    const double v2[3] = {n[1] * v1[2] - n[2] * v1[1], n[2] * v1[0] - n[0] * v1[2], n[0] * v1[1] - n[1] * v1[0]};
    const double h = 0.02;
    long count = 0;
    for (int i = -150; i <= 150; ++i)
      for (int j = -150; j <= 150; ++j) {
        double q[3];
        for (int a = 0; a < 3; ++a) q[a] = centre[a] + p.offset * n[a] + (i * v1[a] + j * v2[a]) * h;
        count += inside(SLAB, q, 0);
      }
    const double area = count * h * h;
    if (c.empty()) {
      EXPECT_LT(area, 0.01) << trial;
    } else {
      EXPECT_NEAR(polygon_area(c), area, 0.03 + 0.03 * area) << trial;
    }
  }
}
