// Picking without a display: window positions against hand-computed
// projections, the branch nearest a click on a hand tree, the pairing of
// a tree with a reordered copy, and the branch behind a point of the
// isosurface, on a field of two bumps (answers by hand) and on noise
// (checked against a flood fill of the isosurface's side).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "ctree/branch_regions.h"
#include "ctree/grid_contour_tree.h"
#include "gui/branch_pick.h"
#include "hand_tree.h"

using namespace ctree;

namespace {

// glOrtho(l, r, b, t, n, f) as OpenGL builds it, column-major.
Camera ortho_camera(double l, double r, double b, double t, double n, double f, int w, int h) {
  Camera c;
  std::fill(c.projection, c.projection + 16, 0.0);
  c.projection[0] = 2 / (r - l);
  c.projection[5] = 2 / (t - b);
  c.projection[10] = -2 / (f - n);
  c.projection[12] = -(r + l) / (r - l);
  c.projection[13] = -(t + b) / (t - b);
  c.projection[14] = -(f + n) / (f - n);
  c.projection[15] = 1;
  c.viewport[0] = 0, c.viewport[1] = 0, c.viewport[2] = w, c.viewport[3] = h;
  return c;
}

TEST(BranchPick, points_project_where_a_hand_computation_puts_them) {
  Camera c = ortho_camera(0, 10, 0, 10, -1, 1, 100, 200);
  // The model moved by (1, 2, 0.5).
  c.modelview[12] = 1, c.modelview[13] = 2, c.modelview[14] = 0.5;
  const double p[3] = {3, 4, 0};
  double w[3];
  ASSERT_TRUE(project_point(c, p, w));
  EXPECT_NEAR(w[0], 40, 1e-9);    // x 4 of 0..10 over 100 pixels
  EXPECT_NEAR(w[1], 120, 1e-9);   // y 6 of 0..10 over 200 pixels
  EXPECT_NEAR(w[2], 0.25, 1e-9);  // eye z 0.5 of -1..1, looking down -z: depth (1 - 0.5) / 2
}

// Hand tree seen from above (x right, y up), 10 pixels a unit with the
// origin at pixel (10, 10): branch i (i > 0) runs from (i, 1) to (i, 2),
// the root's from (0, 1) to (1, 2), then along y = 2 through its
// children's attachments.
struct TopView {
  HandTree h{{-1, 0, 0, 0, 0}, {9, 5, 4, 3, 1}};
  Camera camera = ortho_camera(-1, 11, -1, 11, -100, 100, 120, 120);
  DrawSet all = h.all();
  std::vector<Index> order;
  PathStyle style;
  TopView() {
    drawing_order(h.t, all, order);
    style.shortcut = false;
  }
  Index at(double x, double y, double radius) const {
    return pick_branch(h.t, order, all, style, camera, 10 * (x + 1), 10 * (y + 1), radius);
  }
};

TEST(BranchPick, a_click_takes_the_branch_drawn_under_it_or_within_the_radius_and_nothing_far_away) {
  const TopView v;
  for (Index b = 1; b < 5; ++b) {
    EXPECT_EQ(v.at(double(b), 1.5, 3), b) << "on the branch";
    EXPECT_EQ(v.at(double(b) + 0.2, 1.3, 3), b) << "2 pixels beside it";
    EXPECT_EQ(v.at(double(b) + 0.45, 1.2, 3), NULL_INDEX) << "4.5 pixels beside it";
  }
  // The free end of a branch, a little below it.
  EXPECT_EQ(v.at(3, 0.8, 3), 3);
  // Far from everything.
  EXPECT_EQ(v.at(8, 8, 7), NULL_INDEX);
  // Between branches 1 and 2, nearer 2.
  EXPECT_EQ(v.at(1.6, 1.5, 7), 2);
  // Only drawn branches are taken.
  DrawSet some = v.h.set({0, 1, 2, 4});
  std::vector<Index> order;
  drawing_order(v.h.t, some, order);
  EXPECT_EQ(pick_branch(v.h.t, order, some, v.style, v.camera, 40, 25, 3), NULL_INDEX);
}

TEST(BranchPick, of_two_branches_drawn_on_one_spot_the_one_nearer_the_viewer_is_taken) {
  // Seen along y: branches 1 and 2 of a tree whose ends differ only in y.
  HandTree h({-1, 0, 0}, {5, 3, 2});
  for (Index v : {3, 4}) h.t.vertices[size_t(v)].x = 1, h.t.vertices[size_t(v)].z = 7;
  for (Index v : {5, 6}) h.t.vertices[size_t(v)].x = 1, h.t.vertices[size_t(v)].z = 7;
  // Free ends at y 3 and 5, hanging at y 0 and 0.5 on the root.
  h.t.vertices[3].y = 3, h.t.vertices[4].y = 0;
  h.t.vertices[5].y = 5, h.t.vertices[6].y = 0.5;
  Camera c = ortho_camera(-10, 10, -10, 10, -10, 10, 200, 200);
  // Eye coordinates (x, z, y): the eye looks down -z, so larger y is nearer.
  std::fill(c.modelview, c.modelview + 16, 0.0);
  c.modelview[0] = 1, c.modelview[6] = 1, c.modelview[9] = 1, c.modelview[15] = 1;
  const DrawSet all = h.all();
  std::vector<Index> order;
  drawing_order(h.t, all, order);
  PathStyle style;
  style.shortcut = false;
  double depth = -1;
  EXPECT_EQ(pick_branch(h.t, order, all, style, c, 110, 170, 2, &depth), 2);
  EXPECT_NEAR(depth, 0.25, 1e-9);  // eye z 5 of the box's -10..10
}

TEST(BranchPick, a_reordered_copy_pairs_each_branch_with_the_one_in_its_place) {
  const HandTree a({-1, 0, 0, 1, 1, 2}, {9, 7, 6, 3, 2, 1});
  // The same tree with its branches listed in another order (parents
  // still first): c's k-th branch is a's perm[k].
  const std::vector<int> perm = {0, 2, 1, 5, 4, 3};
  FlatTree c;
  c.vertices = a.t.vertices;
  std::vector<int> inverse(perm.size());
  for (size_t k = 0; k < perm.size(); ++k) inverse[size_t(perm[k])] = int(k);
  for (int k : perm) {
    FlatBranch b = a.t.branches[size_t(k)];
    b.parent = b.parent == NULL_INDEX ? NULL_INDEX : Index(inverse[size_t(b.parent)]);
    c.branches.push_back(b);
  }
  c.finish();
  const std::vector<Index> pairs = paired_branches(c, a.t);
  ASSERT_EQ(pairs.size(), perm.size());
  for (size_t k = 0; k < perm.size(); ++k) EXPECT_EQ(pairs[k], perm[k]) << "branch " << k;
}

ScalarField3DGrid grid_of(int nx, int ny, int nz, const std::vector<double>& v) {
  ScalarField3DGrid g;
  g.dim[0] = Size(nx), g.dim[1] = Size(ny), g.dim[2] = Size(nz);
  g.values = v;
  return g;
}

FlatTree tree_of(const ScalarField3DGrid& g) {
  GridContourTree ct;
  EXPECT_TRUE(compute_grid_contour_tree(g, ct, MergeTreeOptions{}));
  return ct.finished.empty() ? flatten(ct.contour) : ct.finished;
}

TEST(BranchPick, on_two_bumps_a_surface_point_gives_the_bump_s_branch_above_the_saddle_and_the_joint_one_below) {
  // Two round bumps, of 10 at (3.5, 3.5, 3.5) and of 8 at (11.5, 3.5, 3.5)
  // (grid units), joined by a saddle of about 2.4 between them, falling
  // towards the borders (the samples nearest the tops hold 9.1 and 7.3).
  // Spacing 0.5, origin (-4, 0, 0).
  const int nx = 16, ny = 8, nz = 8;
  std::vector<double> v;
  for (int z = 0; z < nz; ++z)
    for (int y = 0; y < ny; ++y)
      for (int x = 0; x < nx; ++x) {
        const double r = (y - 3.5) * (y - 3.5) + (z - 3.5) * (z - 3.5);
        v.push_back(10 * std::exp(-((x - 3.5) * (x - 3.5) + r) / 8) + 8 * std::exp(-((x - 11.5) * (x - 11.5) + r) / 8) +
                    1e-4 * (x + 2 * y + 3 * z));
      }
  ScalarField3DGrid g = grid_of(nx, ny, nz, v);
  g.spacing[0] = g.spacing[1] = g.spacing[2] = 0.5;
  g.origin[0] = -4;
  const FlatTree t = tree_of(g);
  FreeEnds ends;
  ends.build(t, g);
  auto at = [&](double gx, double iso) {
    const double p[3] = {-4 + 0.5 * gx, 0.5 * 3.5, 0.5 * 3.5};
    return branch_at_surface_point(g, t, ends, p, iso);
  };
  // The branch that ends at the second bump's top (grid x 11 or 12).
  const Index bump2 = at(11.5, 6.5);
  ASSERT_NE(bump2, NULL_INDEX);
  const Index top = ends.gridIndex[size_t(t.branches[size_t(bump2)].ends[0])];
  ASSERT_NE(top, NULL_INDEX);
  EXPECT_TRUE(top % nx == 11 || top % nx == 12) << top;
  // Above the saddle the bumps are apart: the second's own branch at
  // either side of its top, another one at the first bump.
  EXPECT_EQ(at(9.6, 5), bump2);
  EXPECT_EQ(at(13.2, 5), bump2);
  const Index bump1 = at(3.5, 5);
  EXPECT_NE(bump1, bump2);
  // Below the saddle they are one piece, of one branch.
  EXPECT_EQ(at(11.5, 1.5), at(3.5, 1.5));
  EXPECT_NE(at(11.5, 1.5), bump2);
  // Outside the grid: nothing.
  EXPECT_EQ(at(40, 5), NULL_INDEX);
}

TEST(BranchPick, on_noise_the_branch_at_a_surface_point_spans_the_isovalue_and_its_region_holds_the_piece) {
  const int nx = 9, ny = 8, nz = 7;
  std::mt19937 rng(11);
  std::vector<double> v(size_t(nx * ny * nz));
  for (double& x : v) x = std::uniform_real_distribution<double>(0, 100)(rng);
  const ScalarField3DGrid g = grid_of(nx, ny, nz, v);
  const FlatTree t = tree_of(g);
  FreeEnds ends;
  ends.build(t, g);
  const std::vector<GridStep>& steps = grid_neighbour_steps();
  int checked = 0;
  for (int k = 0; k < 300; ++k) {
    const double p[3] = {std::uniform_real_distribution<double>(0, nx - 1)(rng),
                         std::uniform_real_distribution<double>(0, ny - 1)(rng),
                         std::uniform_real_distribution<double>(0, nz - 1)(rng)};
    const double iso = std::uniform_real_distribution<double>(10, 90)(rng);
    const Index r = branch_at_surface_point(g, t, ends, p, iso);
    ASSERT_NE(r, NULL_INDEX);
    const FlatBranch& br = t.branches[size_t(r)];
    const double f0 = t.vertices[size_t(br.ends[0])].field, f1 = t.vertices[size_t(br.ends[1])].field;
    // The cell's largest corner, and the piece of {f > iso} holding it.
    int hi = -1;
    for (int c = 0; c < 8; ++c) {
      const int x = std::min(int(p[0]) + (c & 1), nx - 1), y = std::min(int(p[1]) + ((c >> 1) & 1), ny - 1),
                z = std::min(int(p[2]) + ((c >> 2) & 1), nz - 1);
      const int i = x + nx * (y + ny * z);
      if (hi < 0 || v[size_t(i)] > v[size_t(hi)]) hi = i;
    }
    if (v[size_t(hi)] <= iso) continue;  // the lower side: not checked here
    EXPECT_LT(std::min(f0, f1), iso) << "branch " << r << " must reach below the isovalue";
    EXPECT_GT(std::max(f0, f1), iso) << "branch " << r << " must reach above the isovalue";
    std::vector<char> piece(v.size(), 0);
    std::vector<int> stack{hi};
    piece[size_t(hi)] = 1;
    while (!stack.empty()) {
      const int i = stack.back();
      stack.pop_back();
      const int x = i % nx, y = (i / nx) % ny, z = i / (nx * ny);
      for (const GridStep& s : steps) {
        const int X = x + s.d[0], Y = y + s.d[1], Z = z + s.d[2];
        if (X < 0 || Y < 0 || Z < 0 || X >= nx || Y >= ny || Z >= nz) continue;
        const int j = X + nx * (Y + ny * Z);
        if (!piece[size_t(j)] && v[size_t(j)] > iso) piece[size_t(j)] = 1, stack.push_back(j);
      }
    }
    // A branch whose free end is its maximum: its region (above where it
    // hangs) holds the whole piece.
    if (r > 0 && f0 > f1) {
      std::vector<char> region(v.size(), 0);
      for (Index i : branch_region(g, ends.gridIndex[size_t(br.ends[0])], ends.gridIndex[size_t(br.ends[1])]))
        region[size_t(i)] = 1;
      for (size_t i = 0; i < v.size(); ++i)
        if (piece[i]) {
          ASSERT_TRUE(region[i]) << "vertex " << i << " of the piece outside branch " << r;
        }
      ++checked;
    }
  }
  EXPECT_GT(checked, 20);
}

}  // namespace
