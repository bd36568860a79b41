// The radial and orrery layouts: positions that follow from the geometry,
// degenerate trees, finiteness for trees of every shape, repeatability.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>

#include "ctree/grid_contour_tree.h"
#include "ctree/grid_merge_trees.h"
#include "io/tree_files.h"
#include "layout/orrery_layout.h"
#include "layout/rooted_tree.h"
#include "test_util.h"

using namespace ctree;

namespace {

// A rooted tree from a parent list (parent[0] is ignored).
RootedTree make_rooted(const std::vector<int>& parent) {
  RootedTree t(parent.size());
  for (size_t i = 1; i < parent.size(); ++i) {
    RTNode* p = &t[size_t(parent[i])];
    t[i].parent = p;
    t[i].depth = p->depth + 1;
    p->children.push_back(&t[i]);
  }
  return t;
}

// A contour-tree-like tree built by hand: branch i runs from extremum
// vertex 2i+1 to attachment vertex 2i+2 on its parent (the root from 1 to 0).
struct HandTree {
  FlatTree t;
  HandTree(const std::vector<int>& parent, const std::vector<double>& ranges) {
    t.vertices.resize(2 * parent.size() + 2);
    for (size_t i = 0; i < parent.size(); ++i) {
      FlatBranch x;
      x.ends[0] = Index(2 * i + 1);
      x.ends[1] = Index(i == 0 ? 0 : 2 * i + 2);
      t.vertices[size_t(x.ends[0])].field = i == 0 ? 0 : ranges[i];
      t.vertices[size_t(x.ends[1])].field = i == 0 ? ranges[0] : 0.5 * ranges[i];
      x.parent = i == 0 ? NULL_INDEX : Index(parent[i]);
      x.persistence = std::fabs(ranges[i]);
      t.branches.push_back(x);
    }
    t.finish();
  }
  const Vertex& end(size_t branch, int e) const { return t.vertices[size_t(t.branches[branch].ends[e])]; }
};

// A hand-built tree laid out (heights rescaled or not).
HandTree laid(const std::vector<int>& parent, const std::vector<double>& ranges, bool rescale = true) {
  HandTree h(parent, ranges);
  layout_multires_tree(h.t, 1.0, rescale);
  return h;
}

// Every vertex finite; the heights of used ones within [lo, hi].
void expect_finite(const FlatTree& t, double lo = -1e300, double hi = 1e300) {
  for (size_t i = 0; i < t.vertices.size(); ++i) {
    const Vertex& v = t.vertices[i];
    ASSERT_TRUE(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z)) << "vertex " << i;
    ASSERT_TRUE(!t.used(Index(i)) || (v.z >= lo && v.z <= hi)) << "vertex " << i << ": " << v.z;
  }
}

}  // namespace

TEST(RootedLayout, rings_grow_by_root_two) {
  std::vector<double> xy;
  auto lay = [&](const std::vector<int>& parent) {
    RootedTree t = make_rooted(parent);
    layout_rooted_tree(t, 1.0, xy);
  };
  lay({0});
  EXPECT_EQ(xy, (std::vector<double>{0, 0}));
  lay({0, 0});
  EXPECT_NEAR(xy[2], -1, 1e-12);  // capped at pi/2, the spare 3pi/2 puts it at angle pi
  EXPECT_NEAR(xy[3], 0, 1e-12);

  lay({0, 0, 0, 0, 0});
  for (int k = 1; k <= 4; ++k) {
    double angle = std::atan2(xy[size_t(2 * k + 1)], xy[size_t(2 * k)]);
    if (angle < 0) angle += 2 * M_PI;
    EXPECT_NEAR(std::fmod(angle - M_PI / 4 + 2 * M_PI, M_PI / 2), 0, 1e-9) << k;
    EXPECT_NEAR(std::hypot(xy[size_t(2 * k)], xy[size_t(2 * k + 1)]), 1, 1e-12);
  }

  lay({0, 0, 1, 2});
  EXPECT_NEAR(std::hypot(xy[4], xy[5]), std::sqrt(2.0), 1e-12);
  EXPECT_NEAR(std::hypot(xy[6], xy[7]), 2.0, 1e-12);
}

TEST(OrreryLayout, one_branch_heights_without_scaling_and_a_child_pushed_out_by_its_height) {
  const HandTree one = laid({0}, {4});
  EXPECT_EQ(one.t.vertices[1].x, 0);
  EXPECT_EQ(one.t.vertices[0].y, 0);
  EXPECT_EQ(one.t.vertices[1].z, 0);  // the lower end (field 0)
  EXPECT_EQ(one.t.vertices[0].z, 1);  // the upper end (field 4)

  const HandTree star = laid({0, 0, 0, 0}, {10, 2, 3, 4}, false);
  for (size_t i = 0; i < star.t.vertices.size(); ++i)
    EXPECT_TRUE(!star.t.used(Index(i)) || star.t.vertices[i].z == star.t.vertices[i].field) << i;
  // Children of the root hang from its pole at the origin, on the unit ring.
  for (size_t i = 1; i < 4; ++i) {
    EXPECT_EQ(star.end(i, 1).x, 0);
    EXPECT_NEAR(std::hypot(star.end(i, 0).x, star.end(i, 0).y), 1, 1e-12);
  }

  // A child of the root is pushed out by its height.
  const HandTree t = laid({0, 0}, {10, 4});
  // Rescaled heights: the child runs from 4/10 to 2/10 of the range, a
  // difference of 0.2; pushed from radius 1 to 1.2, then everything is
  // divided by the ratio (the child's d/h = 1/2 before scaling: ratio 1).
  const Vertex& e = t.end(1, 0);
  EXPECT_NEAR(std::hypot(e.x, e.y), 1.2, 1e-9);
  EXPECT_NEAR(e.z, 0.4, 1e-12);
  expect_finite(t.t);
}

TEST(OrreryLayout, degenerate_trees_and_trees_of_every_shape_lay_out_finitely) {
  expect_finite(laid({0, 0, 1}, {0, 0, 0}).t, 0, 0);  // every value equal

  FlatTree empty;  // nothing to do, nothing breaks
  layout_multires_tree(empty, 1.0, true);

  // A grandchild whose parent moved onto the root pole (equal heights) has
  // its first end standing at the origin.
  HandTree on_pole({0, 0, 1}, {10, 4, 6});
  on_pole.t.vertices[3].field = on_pole.t.vertices[4].field;
  layout_multires_tree(on_pole.t, 1.0, true);
  expect_finite(on_pole.t);

  // Trees of every shape: one branch, wide, deep, random.
  std::mt19937 rng(2);
  std::vector<int> wide(1000, 0), deep{0}, random{0};
  for (int i = 1; i < 3000; ++i) deep.push_back(i - 1);
  for (int i = 1; i < 10000; ++i) random.push_back(int(rng() % unsigned(i)));
  for (const auto& parent : {std::vector<int>{0}, wide, deep, random}) {
    std::vector<double> ranges(parent.size());
    ranges[0] = 1e4;
    for (size_t i = 1; i < ranges.size(); ++i) ranges[i] = 1 + double(rng() % 1000);
    expect_finite(laid(parent, ranges).t);
  }
}

// The files a run writes for a grid: the contour tree in each format and the
// laid-out tree (finite, within the unit height), byte for byte the same
// whether blocks are solved by sweeps or the recursion goes down to single
// cubes, on one thread or several.
TEST(TreeFiles, of_a_grid_are_the_same_for_every_leaf_size_and_thread_count) {
  std::mt19937 rng(8);
  testutil::TempDir dir;
  auto files = [&](const ScalarField3DGrid& g, const std::string& tag, Size leaf, unsigned threads) {
    MergeTreeOptions options;
    options.leafVertices = leaf;
    options.threads = threads;
    GridContourTree c;
    EXPECT_TRUE(compute_grid_contour_tree(g, c, options));
    const FlatTree flat = flatten(c.contour);
    FlatTree out = flat;
    layout_multires_tree(out, 1.0, true);
    expect_finite(out, -1e-12, 1 + 1e-12);  // a real tree has nodes along its branches, hand-built ones lack
    std::string all;
    int k = 0;
    for (auto [f, tree] : {std::pair{WRITE_ASCII, &flat}, {WRITE_BINARY_BIG_ENDIAN, &flat},
                           {WRITE_BINARY_LITTLE_ENDIAN, &flat}, {WRITE_ASCII, &out}}) {
      const std::string name = dir.file(tag + std::to_string(k++) + ".ply");
      Report report;
      EXPECT_TRUE(write_multires_tree(name, f, *tree, report)) << report.error;
      all += testutil::read_file(name);
    }
    return all;
  };
  // Dimensions and the number of distinct values (0: real numbers).
  for (auto [x, y, z, levels] : {std::array<Size, 4>{23, 19, 17, 0}, {30, 7, 12, 5}, {2, 40, 9, 3}, {16, 16, 16, 256}}) {
    ScalarField3DGrid g;
    g.dim[0] = x, g.dim[1] = y, g.dim[2] = z;
    for (Size i = 0; i < x * y * z; ++i)
      g.values.push_back(levels ? double(rng() % levels) : std::uniform_real_distribution<double>(0, 1)(rng));
    testing::internal::CaptureStdout();
    const std::string expected = files(g, "cube", 8, 1);
    for (Size l : {Size(64), Size(729), DEFAULT_LEAF_VERTICES})
      for (unsigned t : {1u, 2u})
        EXPECT_TRUE(files(g, "leaf", l, t) == expected) << x << "x" << y << "x" << z << ", leaf " << l << ", " << t;
    testing::internal::GetCapturedStdout();
  }
}
