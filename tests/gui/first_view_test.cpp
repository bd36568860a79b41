// The first view of a big tree and the threshold's steps, against counts
// made by brute force over the persistences; the default isovalue against
// the variance split computed directly over the samples; the drawing
// arrays against the paths they come from.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "gui/default_isovalue.h"
#include "gui/threshold_levels.h"
#include "gui/tree_drawing.h"
#include "hand_tree.h"

using namespace ctree;

namespace {

// A star: the root and n - 1 children hanging from it, each with the
// given persistence (the root's is the largest).
FlatTree star(const std::vector<double>& persistence) {
  FlatTree t = HandTree(std::vector<int>(persistence.size(), 0), persistence).t;
  for (Vertex& v : t.vertices) v.z = 0;  // flat: the drawing's heights come from the scale alone
  return t;
}

size_t brute_shown(const std::vector<double>& p, double t) {
  return size_t(std::count_if(p.begin(), p.end(), [&](double x) { return x >= t; }));
}

}  // namespace

TEST(ThresholdLevels, counts_and_steps_agree_with_brute_force_on_trees_with_ties) {
  std::mt19937 rng(5);
  for (int trial = 0; trial < 30; ++trial) {
    const size_t n = 1 + rng() % (trial < 10 ? 50 : 20000);
    // Integer persistences give many ties (as a uchar volume does).
    const int distinct = 1 + int(rng() % (trial % 2 ? 256 : 100000));
    std::vector<double> p(n);
    for (double& x : p) x = double(1 + rng() % unsigned(distinct));
    p[0] = distinct + 1;  // the root
    const FlatTree t = star(p);
    const ThresholdLevels l(t);
    ASSERT_EQ(l.branches(), n);
    const std::vector<double>& steps = l.levels();
    ASSERT_FALSE(steps.empty());
    EXPECT_EQ(steps.front(), p[0]) << "the first level shows the root alone";
    EXPECT_EQ(steps.back(), 0.0) << "the last shows everything";
    EXPECT_LE(steps.size(), 45u) << "a few dozen presses reach every level";
    for (size_t i = 0; i + 1 < steps.size(); ++i) {
      ASSERT_GT(steps[i], steps[i + 1]);
      // Each press shows at most about 1.4 times as many branches (more
      // only when ties of one persistence come in together).
      const size_t a = brute_shown(p, steps[i]), b = brute_shown(p, steps[i + 1]);
      const size_t tie = brute_shown(p, steps[i + 1]) - brute_shown(p, std::nextafter(steps[i + 1], 1e300));
      EXPECT_LE(double(b), 1.5 * double(a) + double(tie) + 1) << n << " " << steps[i + 1];
      EXPECT_EQ(l.shownAt(steps[i]), a);
      EXPECT_EQ(l.stepDown(steps[i]), steps[i + 1]);
      EXPECT_EQ(l.stepUp(steps[i + 1]), steps[i]);
    }
    EXPECT_EQ(l.stepUp(steps.front()), steps.front());
    EXPECT_EQ(l.stepDown(0), 0.0);
    // From a value between levels (a scene's), one press reaches a level.
    const double between = (steps.front() + steps.back()) / 2 + 0.25;
    EXPECT_GT(l.stepUp(between), between);
    EXPECT_LT(l.stepDown(between), between);
    // The first view: at most the limit, and the next lower persistence
    // present would exceed it.
    const double first = l.levelForAtMost(FIRST_VIEW_BRANCHES);
    const size_t shown = brute_shown(p, first);
    EXPECT_EQ(l.shownAt(first), shown);
    EXPECT_GE(shown, 1u);
    if (shown > 1) {
      EXPECT_LE(shown, FIRST_VIEW_BRANCHES);
    }
    double next = -1;
    for (double x : p)
      if (x < first) next = std::max(next, x);
    if (next >= 0) {
      EXPECT_GT(brute_shown(p, next), FIRST_VIEW_BRANCHES) << "the lowest level that fits";
    }
  }
}

TEST(ThresholdLevels, a_tree_of_a_hundred_thousand_distinct_persistences_first_shows_a_few_hundred) {
  std::vector<double> p(100000);
  std::mt19937 rng(9);
  std::uniform_real_distribution<double> u(0, 1);
  for (double& x : p) x = u(rng);
  p[0] = 2;
  const ThresholdLevels l(star(p));
  const size_t shown = l.shownAt(l.levelForAtMost(FIRST_VIEW_BRANCHES));
  EXPECT_EQ(shown, FIRST_VIEW_BRANCHES);
  // Every level is a bounded number of presses from the first view.
  double t = l.levelForAtMost(FIRST_VIEW_BRANCHES);
  int presses = 0;
  while (l.stepDown(t) != t) t = l.stepDown(t), ++presses;
  EXPECT_EQ(t, 0.0);
  EXPECT_LE(presses, 30);
  EXPECT_GE(presses, 10);
}

namespace {
// Otsu's split, the slow way: every cut between bin centres tried, the
// variance between the two classes computed from the samples themselves.
double brute_otsu(const std::vector<double>& v) {
  const double a = *std::min_element(v.begin(), v.end()), b = *std::max_element(v.begin(), v.end());
  double best = -1, at = 0;
  for (int k = 1; k < 256; ++k) {
    const double cut = a + (b - a) * k / 256;
    double n0 = 0, n1 = 0, s0 = 0, s1 = 0;
    for (double x : v) {
      // The bin of x, as the histogram counts it.
      const int bin = std::min(255, int((x - a) * (256 / (b - a))));
      if (bin < k)
        n0 += 1, s0 += bin;
      else
        n1 += 1, s1 += bin;
    }
    if (n0 == 0 || n1 == 0) continue;
    const double d = s0 / n0 - s1 / n1, score = n0 * n1 * d * d;
    if (score > best) best = score, at = cut;
  }
  return at;
}
}  // namespace

TEST(DefaultIsovalue, splits_two_populations_between_them_and_matches_the_brute_force_split) {
  std::mt19937 rng(3);
  std::normal_distribution<double> background(10, 3), object(100, 10);
  std::vector<double> v;
  for (int i = 0; i < 20000; ++i) v.push_back(i % 3 ? background(rng) : object(rng));
  const double iso = default_isovalue(v.data(), v.size());
  // Between the populations (beyond three deviations of either).
  EXPECT_GT(iso, 19);
  EXPECT_LT(iso, 70);
  EXPECT_NEAR(iso, brute_otsu(v), 1e-9);
  std::uniform_real_distribution<double> u(-5, 7);
  std::vector<double> w(3000);
  for (double& x : w) x = u(rng);
  EXPECT_NEAR(default_isovalue(w.data(), w.size()), brute_otsu(w), 1e-9);
  // Every sample equal: that value; one sample: itself.
  const std::vector<double> flat(10, 4.5);
  EXPECT_EQ(default_isovalue(flat.data(), flat.size()), 4.5);
  EXPECT_EQ(default_isovalue(w.data(), 1), w[0]);
}

TEST(TreeDrawing, arrays_hold_every_segment_and_end_of_the_paths_drawn) {
  std::mt19937 rng(11);
  std::vector<double> p(500);
  for (double& x : p) x = double(rng() % 1000) / 10;
  p[0] = 200;
  const FlatTree t = star(p);
  DrawSet drawn;
  TreeFilters f;
  f.thresholdOn = true;
  f.threshold = 50;
  select_branches(f, t, t, false, drawn);
  std::vector<Index> order;
  drawing_order(t, drawn, order);
  PathStyle style;
  style.scale[2] = 2;
  TreeDrawing d;
  build_tree_drawing(t, order, drawn, style, true, 0.5, d);
  EXPECT_EQ(d.branches, order.size());
  EXPECT_EQ(d.branches, brute_shown(p, 50));
  // One point per branch, two for the root; red for the lower end.
  EXPECT_EQ(d.points.size(), 3 * (order.size() + 1));
  EXPECT_EQ(d.colours.size(), d.points.size());
  // Segments: the paths' distinct consecutive positions, scaled.
  size_t segments = 0;
  BranchPath path;
  for (Index b : order) {
    build_branch_path(t, b, b == 0, style, drawn, path);
    for (size_t i = 1; i + 2 < path.size(); ++i)
      segments += !std::equal(&path.points[3 * i], &path.points[3 * i + 3], &path.points[3 * i + 3]);
  }
  EXPECT_EQ(d.lines.size(), 6 * segments);
  for (size_t i = 2; i < d.points.size(); i += 3) EXPECT_EQ(d.points[i], 0.0f);
  EXPECT_LT(d.bytes(), 200 * order.size() + 1024) << "a few dozen bytes per branch";
}
