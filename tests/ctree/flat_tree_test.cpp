// The finished tree against the pointer model it comes from: children,
// attachments, incidences and boxes of real contour trees, each rebuilt
// here by a plain scan, and the boxes by the pointer model's own walk.
#include "ctree/flat_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <unordered_map>

#include "ctree/grid_contour_tree.h"

using namespace ctree;

namespace {

std::vector<Index> as_vector(IndexRange r) { return std::vector<Index>(r.begin(), r.end()); }

// Children of b by a scan of every branch, sorted by the vertex they hang
// at and then by number.
std::vector<Index> scanned_children(const FlatTree& t, Index b) {
  std::vector<Index> out;
  for (size_t i = 1; i < t.branches.size(); ++i)
    if (t.branches[i].parent == b) out.push_back(Index(i));
  std::stable_sort(out.begin(), out.end(),
                   [&](Index x, Index y) { return t.branches[size_t(x)].ends[1] < t.branches[size_t(y)].ends[1]; });
  return out;
}

}  // namespace

TEST(FlatTree, real_trees_keep_the_pointer_model_shape_and_boxes) {
  std::mt19937 rng(3);
  for (int round = 0; round < 6; ++round) {
    ScalarField3DGrid g;
    g.dim[0] = 7 + round, g.dim[1] = 6, g.dim[2] = 5 + round % 3;
    const int levels = round % 2 ? 4 : 0;  // plateaus on odd rounds
    for (Size i = 0; i < g.dim[0] * g.dim[1] * g.dim[2]; ++i)
      g.values.push_back(levels ? double(rng() % levels) : std::uniform_real_distribution<double>(0, 1)(rng));
    GridContourTree c;
    ASSERT_TRUE(compute_grid_contour_tree(g, c, MergeTreeOptions{}));
    c.contour.computeBbox();
    const FlatTree t = flatten(c.contour);
    ASSERT_EQ(t.branches.size(), c.contour.branches.size());
    EXPECT_EQ(check_flat_tree(t), "");

    std::unordered_map<const Branch*, Index> number;
    for (const Branch& b : c.contour.branches) number[&b] = Index(number.size());
    size_t i = 0;
    for (const Branch& b : c.contour.branches) {
      const FlatBranch& f = t.branches[i];
      EXPECT_EQ(f.ends[0], c.contour.indexOf(b.ends[0]->vertex));
      EXPECT_EQ(f.ends[1], c.contour.indexOf(b.ends[1]->vertex));
      EXPECT_EQ(f.parent, b.parent == BranchI() ? NULL_INDEX : number[&*b.parent]);
      EXPECT_EQ(f.persistence, b.persistence);
      for (int a = 0; a < 3; ++a) {
        EXPECT_EQ(f.box.min[a], b.bbox.min[a]) << "branch " << i << " axis " << a;
        EXPECT_EQ(f.box.max[a], b.bbox.max[a]) << "branch " << i << " axis " << a;
      }
      const std::vector<Index> kids = scanned_children(t, Index(i));
      EXPECT_EQ(as_vector(t.children(Index(i))), kids) << "branch " << i;
      std::vector<Index> hangs;
      for (Index k : kids)
        if (hangs.empty() || hangs.back() != t.branches[size_t(k)].ends[1]) hangs.push_back(t.branches[size_t(k)].ends[1]);
      EXPECT_EQ(as_vector(t.attachments(Index(i))), hangs) << "branch " << i;
      // The lower end is the one first in the sorted vertex vector.
      EXPECT_EQ(t.lowerEnd(f), std::min(f.ends[0], f.ends[1]));
      ++i;
    }
    for (size_t v = 0; v < t.vertices.size(); ++v) {
      std::vector<Index> ends;
      for (size_t b = 0; b < t.branches.size(); ++b)
        for (int e = 0; e < 2; ++e)
          if (t.branches[b].ends[e] == Index(v)) ends.push_back(Index(2 * b + size_t(e)));
      ASSERT_EQ(as_vector(t.endsAt(Index(v))), ends) << "vertex " << v;
    }
  }
}

TEST(FlatTree, broken_rules_are_named) {
  FlatTree t;
  t.vertices = {Vertex{0, 0, 0, 0}, Vertex{0, 0, 0, 10}, Vertex{0, 0, 0, 20}, Vertex{0, 0, 0, 5}};
  t.branches = {FlatBranch{{0, 1}, NULL_INDEX, 10, {}}, FlatBranch{{3, 2}, 0, 11, {}}};
  t.finish();
  const std::string problems = check_flat_tree(t);
  EXPECT_NE(problems.find("branch 1: hangs at a value outside"), std::string::npos) << problems;
  EXPECT_NE(problems.find("branch 1: more persistent"), std::string::npos) << problems;
  t.branches[1].parent = 1;
  EXPECT_NE(check_flat_tree(t).find("does not stand before it"), std::string::npos);
}
