// Fitting a box into an orthographic view, checked by projecting the
// box's corners as OpenGL does (column-major matrix times point).
#include "gui/view_fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace ctree;

namespace {

// A rotation from a unit quaternion, laid out as the windows keep theirs.
void rotation_from(float q0, float q1, float q2, float q3, float m[4][4]) {
  const float n = std::sqrt(q0 * q0 + q1 * q1 + q2 * q2 + q3 * q3);
  const float w = q0 / n, x = q1 / n, y = q2 / n, z = q3 / n;
  const float r[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)},
                         {2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)},
                         {2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)}};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) m[i][j] = i < 3 && j < 3 ? r[i][j] : float(i == j);
}

// Eye coordinates of p through glMultMatrixf(&m[0][0]), glScalef(s),
// glTranslatef(-c): element (row i, column j) of the GL matrix is m[j][i].
void to_eye(const float m[4][4], float s, const float c[3], const float p[3], float out[3]) {
  for (int i = 0; i < 3; ++i) {
    out[i] = 0;
    for (int j = 0; j < 3; ++j) out[i] += m[j][i] * s * (p[j] - c[j]);
  }
}

}  // namespace

TEST(ViewFit, every_corner_lies_inside_and_one_touches_the_margin) {
  std::mt19937 rng(4);
  std::uniform_real_distribution<float> u(-1, 1);
  for (int trial = 0; trial < 500; ++trial) {
    float m[4][4];
    trial == 0 ? rotation_from(1, 0, 0, 0, m) : rotation_from(u(rng), u(rng), u(rng), u(rng), m);
    float lo[3], hi[3];
    for (int a = 0; a < 3; ++a) {
      lo[a] = 100 * u(rng);
      hi[a] = lo[a] + std::pow(10.0f, 2 * u(rng)) * (trial % 7 == a ? 20.0f : 1.0f);  // tall, wide or deep
    }
    const float aspect = trial % 3 == 0 ? 1.0f : trial % 3 == 1 ? 0.6f : 1.7f;
    const float ortho[6] = {-std::max(1.0f, aspect),
                            std::max(1.0f, aspect),
                            -std::max(1.0f, 1 / aspect),
                            std::max(1.0f, 1 / aspect),
                            -10,
                            10};
    const float margin = 0.05f;
    const ViewFit fit = fit_box_to_view(lo, hi, m, ortho, margin);
    for (int a = 0; a < 3; ++a) EXPECT_FLOAT_EQ(fit.centre[a], (lo[a] + hi[a]) / 2);
    float worst = 0;  // the largest share of the free room a corner uses
    for (int k = 0; k < 8; ++k) {
      const float p[3] = {k & 1 ? hi[0] : lo[0], k & 2 ? hi[1] : lo[1], k & 4 ? hi[2] : lo[2]};
      float e[3];
      to_eye(m, fit.scale, fit.centre, p, e);
      const float room[3] = {ortho[1] * (1 - 2 * margin), ortho[3] * (1 - 2 * margin), ortho[5] * (1 - 2 * margin)};
      for (int i = 0; i < 3; ++i) {
        EXPECT_LE(std::fabs(e[i]), room[i] * 1.001f) << "trial " << trial << " corner " << k << " axis " << i;
        worst = std::max(worst, std::fabs(e[i]) / room[i]);
      }
    }
    EXPECT_NEAR(worst, 1.0f, 2e-3f) << "trial " << trial << ": the fit is tight on some axis";
  }
}

// A box standing upright (a tall tree) in the unturned view: its height
// fills 90 % of the window's height, and the aspect is kept (the width is
// scaled alike).
TEST(ViewFit, a_tall_box_fills_the_height_and_keeps_its_aspect) {
  float m[4][4];
  rotation_from(1, 0, 0, 0, m);
  const float lo[3] = {-0.1f, 2, 0}, hi[3] = {0.3f, 6, 0.2f};
  const float ortho[6] = {-1, 1, -1.5f, 1.5f, -10, 10};  // a window higher than wide
  const ViewFit fit = fit_box_to_view(lo, hi, m, ortho, 0.05f);
  EXPECT_FLOAT_EQ(fit.scale, 1.5f * 0.9f / 2.0f);
  EXPECT_FLOAT_EQ(fit.centre[1], 4.0f);
  EXPECT_FLOAT_EQ(fit.centre[0], 0.1f);

  const float flat[3] = {1, 1, 1};
  const ViewFit none = fit_box_to_view(flat, flat, m, ortho, 0.05f);
  EXPECT_EQ(none.scale, 1.0f) << "a box of no extent";
}

// The box a drawing covers: scaled corners (a negative scale mirrors),
// grown by the spheres' radius.
TEST(ViewFit, drawn_box_scales_mirrors_and_grows_by_the_reach) {
  const TBox b{1, -2, 0, 2, 4, 0.5f};
  const float scale[3] = {3, -1, 10};
  float lo[3], hi[3];
  drawn_box(b, scale, 0.25f, lo, hi);
  EXPECT_FLOAT_EQ(lo[0], 3 - 0.25f);
  EXPECT_FLOAT_EQ(hi[0], 9 + 0.25f);
  EXPECT_FLOAT_EQ(lo[1], -2 - 0.25f);  // y in -2..2 mirrored: -2..2
  EXPECT_FLOAT_EQ(hi[1], 2 + 0.25f);
  EXPECT_FLOAT_EQ(lo[2], -0.25f);
  EXPECT_FLOAT_EQ(hi[2], 5 + 0.25f);
}

// A wide, flat tree (the laid-out tree with every branch: rings far out,
// heights 0..1) in each axis view: the fitted drawing lies inside the
// window and fills it along the axis that is widest on the screen.
TEST(ViewFit, a_wide_flat_tree_is_framed_in_every_axis_view) {
  const TBox tree{-40, -30, 0, 80, 60, 1};
  const float scale[3] = {1, 1, 1};
  float lo[3], hi[3];
  drawn_box(tree, scale, 0.4f, lo, hi);
  const float ortho[6] = {-1, 1, -1.56f, 1.56f, -10, 10};  // a tall window
  for (int view = 0; view < 3; ++view) {
    // The rotations of the keys 1, 2, 3 (row j: model axis j's screen axes).
    float m[4][4] = {};
    m[3][3] = 1;
    for (int j = 0; j < 3; ++j) m[j][(j + 3 - view) % 3] = 1;
    const ViewFit fit = fit_box_to_view(lo, hi, m, ortho, 0.05f);
    float widest = 0;
    for (int s = 0; s < 2; ++s) {
      float half = 0;
      for (int a = 0; a < 3; ++a) half += m[a][s] * (hi[a] - lo[a]) / 2 * fit.scale;
      const float room = s == 0 ? ortho[1] : ortho[3];
      EXPECT_LE(half, room * 0.9f * 1.001f) << "view " << view << " screen axis " << s;
      widest = std::max(widest, half / (room * 0.9f));
    }
    EXPECT_NEAR(widest, 1.0f, 1e-3f) << "view " << view;
  }
}

// Points fitted about a given centre: every point, grown by the reach,
// lies inside the room and one touches it; the fit is never looser than
// the fit of the points' box (about the box's centre), and much tighter
// for two arms into opposite corners of their box, seen turned.
TEST(ViewFit, points_fit_tightly_inside_and_never_looser_than_their_box) {
  std::mt19937 rng(8);
  std::uniform_real_distribution<float> u(-1, 1);
  const float margin = 0.05f, reach = 0.3f;
  for (int trial = 0; trial < 300; ++trial) {
    float m[4][4];
    rotation_from(u(rng), u(rng), u(rng), u(rng), m);
    const int n = 1 + int(rng() % 50);
    std::vector<float> p(3 * size_t(n));
    for (int i = 0; i < n; ++i)
      for (int a = 0; a < 3; ++a) p[3 * size_t(i) + size_t(a)] = 10 * u(rng) * (a == trial % 3 ? 5.0f : 1.0f);
    float lo[3], hi[3];
    for (int a = 0; a < 3; ++a) {
      lo[a] = hi[a] = p[size_t(a)];
      for (int i = 1; i < n; ++i)
        lo[a] = std::min(lo[a], p[3 * size_t(i) + size_t(a)]), hi[a] = std::max(hi[a], p[3 * size_t(i) + size_t(a)]);
      lo[a] -= reach, hi[a] += reach;
    }
    const float c[3] = {(lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, (lo[2] + hi[2]) / 2};
    const float ortho[6] = {-1, 1, -1.5f, 1.5f, -10, 10};
    const ViewFit fit = fit_points_to_view(p.data(), size_t(n), c, reach, m, ortho, margin);
    if (n == 1) continue;  // one point at the centre: no extent
    float worst = 0;
    for (int i = 0; i < n; ++i) {
      float e[3];
      to_eye(m, fit.scale, c, &p[3 * size_t(i)], e);
      for (int s = 0; s < 3; ++s) {
        const float room = (s == 0 ? 1.0f : s == 1 ? 1.5f : 10.0f) * (1 - 2 * margin);
        const float far = std::fabs(e[s]) + reach * fit.scale;
        EXPECT_LE(far, room * 1.001f) << trial;
        worst = std::max(worst, far / room);
      }
    }
    EXPECT_NEAR(worst, 1.0f, 2e-3f) << trial;
    EXPECT_GE(fit.scale, fit_box_to_view(lo, hi, m, ortho, margin).scale * 0.999f) << trial;
  }
  // Two thin arms into opposite corners of a 10x10x10 box, turned by the
  // windows' start rotation: the outline is far narrower than the box's.
  const float arms[12] = {0, 0, 0, 10, 10, 10, 5, 5, 5, 2, 2, 2};
  const float lo[3] = {0, 0, 0}, hi[3] = {10, 10, 10}, c[3] = {5, 5, 5};
  float m[4][4] = {{-0.641165316f, -0.439792305f, 0.628879786f, 0},
                   {0.767399728f, -0.365080714f, 0.527080774f, 0},
                   {-0.00221440196f, 0.820547879f, 0.571573198f, 0},
                   {0, 0, 0, 1}};
  const float ortho[6] = {-1, 1, -1, 1, -10, 10};
  EXPECT_GT(fit_points_to_view(arms, 4, c, 0, m, ortho, margin).scale,
            1.3f * fit_box_to_view(lo, hi, m, ortho, margin).scale);
  EXPECT_EQ(fit_points_to_view(arms, 0, c, 0, m, ortho, margin).scale, 1.0f) << "no points";
}
