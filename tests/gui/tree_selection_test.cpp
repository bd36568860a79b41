// Which branches are drawn and along which paths: the filters against a
// plain recursive reading of their rules, ties of equal branches, paths of
// any length and the isovalue markers.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "gui/tree_selection.h"
#include "hand_tree.h"

using namespace ctree;

namespace {

std::vector<size_t> select(const HandTree& h, const TreeFilters& f) {
  DrawSet s;
  select_branches(f, h.t, h.t, false, s);
  return h.drawn(s);
}

// The rules read plainly, recursively, with the group expansion done by
// repeated linear scans for the best open branch.
struct Oracle {
  const TreeFilters& f;
  std::vector<char> drawn;
  std::vector<std::vector<size_t>> children;
  std::vector<double> pers;
  std::vector<int> depth;
  const HandTree& h;
  Oracle(const HandTree& h_, const TreeFilters& f_) : f(f_), h(h_) {
    // Children from the parent column, in the order of the vertex where
    // they hang (2i + 2: the order of their numbers).
    const size_t n = h.size();
    drawn.assign(n, 0);
    children.resize(n);
    depth.assign(n, 0);
    for (size_t i = 0; i < n; ++i) pers.push_back(h.t.branches[i].persistence);
    for (size_t i = 1; i < n; ++i) {
      const size_t p = size_t(h.t.branches[i].parent);
      children[p].push_back(i);
      depth[i] = depth[p] + 1;
    }
  }
  bool box(size_t i) const { return !f.boxFilter || passes_box(f, h.t.branches[i]); }
  bool minoo(size_t i) const { return !f.minooOn || pers[i] >= f.minoo; }
  void group(size_t start) {
    std::vector<size_t> open{start};
    long budget = long(f.maxchild);
    while (!open.empty() && budget >= 1) {
      size_t best = 0;
      for (size_t k = 1; k < open.size(); ++k) {
        const size_t a = open[k], c = open[best];
        if (pers[a] > pers[c] || (pers[a] == pers[c] && depth[a] < depth[c])) best = k;
      }
      const size_t x = open[best];
      open.erase(open.begin() + long(best));
      --budget;
      drawn[x] = 1;
      for (size_t ch : children[x]) {
        if (!box(ch) || !minoo(ch)) continue;
        if (!f.thresholdOn || pers[ch] < f.threshold)
          open.push_back(ch);
        else
          group(ch);
      }
    }
  }
  void walk(size_t i) {
    if (!box(i) || !minoo(i)) return;
    const bool maxooFails = f.maxooOn && pers[i] > f.maxoo;
    const bool thrFails = f.thresholdOn && pers[i] < f.threshold;
    if (f.maxchildOn && !maxooFails && !thrFails) return group(i);
    if (!f.maxchildOn && !maxooFails && !thrFails) drawn[i] = 1;
    for (size_t ch : children[i]) walk(ch);
  }
  std::vector<size_t> result() {
    walk(0);
    std::vector<size_t> out;
    for (size_t i = 0; i < drawn.size(); ++i)
      if (drawn[i]) out.push_back(i);
    return out;
  }
};

}  // namespace

TEST(TreeSelection, random_trees_and_filters_agree_with_the_plain_rules) {
  std::mt19937 rng(7);
  for (int round = 0; round < 400; ++round) {
    const int n = 1 + int(rng() % 60);
    std::vector<int> parent(size_t(n), 0);
    std::vector<double> pers(static_cast<size_t>(n));
    pers[0] = 100;
    for (int i = 1; i < n; ++i) {
      parent[size_t(i)] = int(rng() % unsigned(i));
      pers[size_t(i)] = double(rng() % 40);  // ties are common
    }
    HandTree h(parent, pers);
    TreeFilters f;
    f.boxFilter = rng() % 3 == 0;
    f.filterBox = TBox{float(rng() % 30), float(rng() % 30), float(rng() % 30), 20, 20, 20};
    f.minooOn = rng() % 2, f.minoo = double(rng() % 30);
    f.maxooOn = rng() % 2, f.maxoo = double(rng() % 50);
    f.thresholdOn = rng() % 2, f.threshold = double(rng() % 40);
    f.maxchildOn = rng() % 2, f.maxchild = double(rng() % 12) / 2;  // halves are truncated
    Oracle o(h, f);
    ASSERT_EQ(select(h, f), o.result()) << "round " << round;
  }
}

TEST(TreeSelection, the_shown_tree_supplies_the_keys) {
  HandTree a({0, 0, 1}, {10, 5, 2});
  HandTree c({0, 0, 1}, {0, 0, 0});  // same shape, no persistence of its own
  TreeFilters f;
  f.thresholdOn = true;
  f.threshold = 4;
  DrawSet s;
  select_branches(f, a.t, c.t, true, s);
  EXPECT_EQ(c.drawn(s), (std::vector<size_t>{0, 1}));
}

TEST(TreePaths, contour_tree_paths_pass_through_drawn_children) {
  HandTree h({0, 0, 1, 1}, {10, 5, 2, 1});
  const DrawSet all = h.all();
  PathStyle style;
  BranchPath p;
  build_branch_path(h.t, 1, false, style, all, p);
  // p1 twice, the two attachment nodes, p2 twice.
  ASSERT_EQ(p.size(), 6u);
  EXPECT_EQ(p.points[0], p.points[3]);
  EXPECT_EQ(p.points[6], h.t.vertices[6].x);  // branch 2's attachment
  EXPECT_EQ(p.points[9], h.t.vertices[8].x);  // branch 3's
  // Hidden parent: the path stops at the last drawn child, repeated once.
  const DrawSet noParent = h.set({1, 2});
  build_branch_path(h.t, 1, false, style, noParent, p);
  ASSERT_EQ(p.size(), 4u);
  EXPECT_EQ(p.values[2], p.values[3]);
  EXPECT_EQ(p.points[6], h.t.vertices[6].x);
  // Without shortcut every child node is on the path.
  style.shortcut = false;
  build_branch_path(h.t, 1, false, style, noParent, p);
  EXPECT_EQ(p.size(), 6u);
}

TEST(TreePaths, laid_out_paths_bend_at_an_elbow_and_grow_past_any_length) {
  HandTree h({0, 0}, {10, 5});
  h.t.vertices[3].x = 7, h.t.vertices[3].y = 8, h.t.vertices[3].z = 9;  // branch 1's extremum
  h.t.vertices[4].z = -2;                                               // its attachment
  PathStyle style;
  style.useCtreel = true;
  style.scale[0] = 2;
  const DrawSet all = h.all();
  BranchPath p;
  build_branch_path(h.t, 1, false, style, all, p);
  ASSERT_EQ(p.size(), 5u);
  EXPECT_EQ(p.points[6], 14);  // elbow: x and y of the extremum, z of the attachment
  EXPECT_EQ(p.points[7], 8);
  EXPECT_EQ(p.points[8], -2);
  build_branch_path(h.t, 0, true, style, all, p);
  EXPECT_EQ(p.size(), 4u);

  // A branch with 20000 children: the path holds all of them.
  std::vector<int> parent(20001, 0);
  HandTree star(parent, std::vector<double>(20001, 1.0));
  build_branch_path(star.t, 0, true, PathStyle{}, star.all(), p);
  EXPECT_EQ(p.size(), 20004u);
}

TEST(TreePaths, markers_sit_where_the_isovalue_crosses) {
  BranchPath p;
  p.add(0, 0, 0, 1);
  p.add(0, 0, 0, 1);
  p.add(0, 0, 10, 3);
  p.add(0, 0, 10, 3);
  std::vector<double> m;
  isovalue_markers(p, 2, m);
  ASSERT_EQ(m.size(), 3u);
  EXPECT_DOUBLE_EQ(m[2], 5);
  // At a node's value: markers at that node, the flat control segment
  // giving its start instead of a division by zero.
  isovalue_markers(p, 1, m);
  ASSERT_EQ(m.size(), 6u);
  for (double c : m) EXPECT_EQ(c, 0);
  isovalue_markers(p, 4, m);
  EXPECT_TRUE(m.empty());
}

TEST(TreePaths, drawing_order_walks_deep_trees_without_recursion) {
  const size_t n = 100000;
  std::vector<int> parent(n);
  for (size_t i = 1; i < n; ++i) parent[i] = int(i - 1);
  HandTree h(parent, std::vector<double>(n, 1.0));
  std::vector<Index> order;
  drawing_order(h.t, h.all(), order);
  ASSERT_EQ(order.size(), n);
  EXPECT_EQ(order.back(), Index(n - 1));
  TreeFilters f;
  DrawSet s;
  select_branches(f, h.t, h.t, false, s);
  EXPECT_EQ(s.size(), n);
}

TEST(TreeSelection, children_that_hang_at_one_vertex_are_all_drawn) {
  HandTree h({0, 0, 0}, {10, 5, 4});
  h.t.branches[2].ends[1] = h.t.branches[1].ends[1];  // branch 2 hangs where branch 1 does
  h.t.finish();
  DrawSet s;
  select_branches(TreeFilters{}, h.t, h.t, false, s);
  EXPECT_EQ(h.drawn(s), (std::vector<size_t>{0, 1, 2}));
  // The root's path passes the shared vertex once: p1 twice, it, p2 twice;
  // with only the second child there drawn, the vertex stays on the path.
  BranchPath p;
  build_branch_path(h.t, 0, true, PathStyle{}, s, p);
  EXPECT_EQ(p.size(), 5u);
  build_branch_path(h.t, 0, true, PathStyle{}, h.set({0, 2}), p);
  EXPECT_EQ(p.size(), 5u);
}
