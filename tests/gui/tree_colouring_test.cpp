// The colour ramp at its ends and middle, the scales of persistence and of
// value, and the drawing arrays coloured by them, against values worked
// out by hand on small trees.
#include "gui/tree_colouring.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "gui/tree_drawing.h"
#include "hand_tree.h"

using namespace ctree;

namespace {

using Rgb = std::array<int, 3>;
Rgb ramp(double t) {
  unsigned char c[3];
  ramp_colour(t, c);
  return {c[0], c[1], c[2]};
}
double luminance(Rgb c) { return 0.299 * c[0] + 0.587 * c[1] + 0.114 * c[2]; }
double distance(Rgb a, Rgb b) {
  return std::sqrt(
      double((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2])));
}

}  // namespace

TEST(TreeColouring, the_ramp_at_its_ends_and_middle) {
  EXPECT_EQ(ramp(0), (Rgb{22, 11, 57}));     // dark purple
  EXPECT_EQ(ramp(1), (Rgb{252, 165, 10}));   // amber
  EXPECT_EQ(ramp(0.5), (Rgb{168, 47, 94}));  // halfway between crimson (147,38,103) and red (188,55,84)
  EXPECT_EQ(ramp(-3), ramp(0));
  EXPECT_EQ(ramp(7), ramp(1));
  EXPECT_EQ(ramp(NAN), ramp(0));
  // Darker to lighter all the way, far from the marker green and from the
  // tree window's background at both of its ends.
  const Rgb marker = {MARKER_RGB[0], MARKER_RGB[1], MARKER_RGB[2]};
  for (int i = 0; i <= 100; ++i) {
    const Rgb c = ramp(i / 100.0);
    if (i) {
      EXPECT_GT(luminance(c), luminance(ramp((i - 1) / 100.0))) << i;
    }
    EXPECT_GT(distance(c, marker), 150) << i;
    EXPECT_GT(distance(c, {255, 242, 125}), 100) << i;
    EXPECT_GT(distance(c, {144, 144, 255}), 100) << i;
  }
  EXPECT_GT(distance(marker, {255, 242, 125}), 150);
  EXPECT_GT(distance(marker, {144, 144, 255}), 150);
}

TEST(TreeColouring, scales_place_values_linearly_or_by_their_logarithm) {
  ColourScale s{10, 30, false};
  EXPECT_EQ(s.position(10), 0);
  EXPECT_EQ(s.position(30), 1);
  EXPECT_EQ(s.position(20), 0.5);
  EXPECT_EQ(s.position(-5), 0);
  EXPECT_EQ(s.position(1e9), 1);
  ColourScale g{1, 100, true};
  EXPECT_NEAR(g.position(10), 0.5, 1e-12);
  EXPECT_EQ(g.position(0), 0);
  EXPECT_EQ(g.position(-1), 0);
  EXPECT_EQ((ColourScale{4, 4, false}).position(4), 0.5) << "a range of no width";

  // Persistences 5, 1, 2, 0 and 50 (root): 50 is ten times the smallest
  // positive one, so the scale is logarithmic from 1.
  HandTree h({0, 0, 0, 0, 0}, {50, 1, 2, 0, 5});
  ColourScale p = persistence_scale(h.t, {0, 1, 2, 3, 4});
  EXPECT_TRUE(p.log);
  EXPECT_EQ(p.lo, 1);
  EXPECT_EQ(p.hi, 50);
  // 5..50: ten times, logarithmic; 2..5: linear.
  p = persistence_scale(h.t, {0, 4});
  EXPECT_TRUE(p.log);
  EXPECT_EQ(p.lo, 5);
  p = persistence_scale(h.t, {4, 2});
  EXPECT_FALSE(p.log);
  EXPECT_EQ(p.lo, 2);
  EXPECT_EQ(p.hi, 5);
  EXPECT_EQ(persistence_scale(h.t, {}).hi, 1);
  // Values: HandTree puts persistence into the extremum's field, 0 at the other end.
  const ColourScale v = value_scale(h.t);
  EXPECT_EQ(v.lo, 0);
  EXPECT_EQ(v.hi, 50);
  EXPECT_FALSE(v.log);
}

TEST(TreeColouring, drawing_arrays_take_the_colouring) {
  // Root (persistence 8) with two children of persistence 2 and 4.
  HandTree h({0, 0, 0}, {8, 2, 4});
  const DrawSet all = h.all();
  std::vector<Index> order;
  drawing_order(h.t, all, order);
  PathStyle style;
  style.useCtreel = true;

  TreeDrawing ends;
  build_tree_drawing(h.t, order, all, style, false, 0, ends);
  EXPECT_TRUE(ends.lineColours.empty()) << "grey paths";
  for (size_t i = 0; i < ends.colours.size(); i += 3) {
    const Rgb c = {ends.colours[i], ends.colours[i + 1], ends.colours[i + 2]};
    EXPECT_TRUE(c == (Rgb{255, 0, 0}) || c == (Rgb{0, 0, 255})) << i;
  }

  TreeColouring byPersistence;
  byPersistence.mode = COLOUR_PERSISTENCE;
  byPersistence.scale = ColourScale{2, 8, false};
  TreeDrawing p;
  build_tree_drawing(h.t, order, all, style, false, 0, p, byPersistence);
  ASSERT_EQ(p.lineColours.size(), p.lines.size());
  // Points: the root's two ends, then one per child, in drawing order.
  ASSERT_EQ(p.colours.size(), 3u * 4);
  auto point = [&](const TreeDrawing& d, size_t k) {
    return Rgb{d.colours[3 * k], d.colours[3 * k + 1], d.colours[3 * k + 2]};
  };
  EXPECT_EQ(point(p, 0), ramp(1));
  EXPECT_EQ(point(p, 1), ramp(1));
  for (size_t k = 2; k < 4; ++k) {
    // Which child comes first is the drawing order's business: look it up.
    const Index b = order[k - 1];
    EXPECT_EQ(point(p, k), ramp((h.t.branches[size_t(b)].persistence - 2) / 6)) << b;
  }
  // Every segment of one branch in one colour: the segments' colours are
  // all among the three branches' colours.
  for (size_t i = 0; i < p.lineColours.size(); i += 3) {
    const Rgb c = {p.lineColours[i], p.lineColours[i + 1], p.lineColours[i + 2]};
    EXPECT_TRUE(c == ramp(1) || c == ramp(0) || c == ramp(1.0 / 3)) << i;
  }

  TreeColouring byValue;
  byValue.mode = COLOUR_VALUE;
  byValue.scale = value_scale(h.t);  // 0..8
  TreeDrawing v;
  build_tree_drawing(h.t, order, all, style, false, 0, v, byValue);
  // Each end by its own field value.
  size_t k = 0;
  for (Index b : order) {
    const FlatBranch& br = h.t.branches[size_t(b)];
    for (int e = 0; e < (b == 0 ? 2 : 1); ++e, ++k)
      EXPECT_EQ(point(v, k), ramp(h.t.vertices[size_t(br.ends[e])].field / 8)) << b << " " << e;
  }
  // The solid drawing colours its spheres alike: the first corner is the
  // root's first end.
  SolidDrawing solid;
  build_solid_drawing(h.t, order, all, style, 0.1f, 0.02f, true, false, 0, solid, byValue);
  ASSERT_FALSE(solid.colours.empty());
  EXPECT_EQ((Rgb{solid.colours[0], solid.colours[1], solid.colours[2]}),
            ramp(h.t.vertices[size_t(h.t.branches[0].ends[0])].field / 8));
}

// The laid-out tree's heights against the values they come from: read off
// the root, the map puts every vertex of a tree laid out by one linear map
// at its own height.
TEST(TreeColouring, height_of_value_is_read_off_the_root_and_holds_for_every_vertex) {
  HandTree h({0, 0, 1, 1}, {9, 3, 2, 1});
  // The layout's heights: z = 0.25 * (value - 1), for values 0..9.
  for (Vertex& v : h.t.vertices) v.z = 0.25 * (v.field - 1);
  const HeightOfValue z = height_of_value(h.t);
  ASSERT_TRUE(z.valid);
  EXPECT_DOUBLE_EQ(z.a, 0.25);
  EXPECT_DOUBLE_EQ(z.b, -0.25);
  for (const Vertex& v : h.t.vertices) EXPECT_DOUBLE_EQ(z(v.field), v.z);
  // A root whose ends have one value says nothing about the map.
  HandTree flat({0}, {0});
  EXPECT_FALSE(height_of_value(flat.t).valid);
  EXPECT_FALSE(height_of_value(FlatTree()).valid);
}
