// Merge trees computed block by block, as separate processes would, with
// the trees travelling as bytes: the same trees as the one-process
// recursion, branch for branch, for every number of ranks.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "ctree/check_tree.h"
#include "ctree/distributed_trees.h"
#include "ctree/grid_contour_tree.h"
#include "ctree/grid_merge_trees.h"
#include "ctree/pointer_contour_tree.h"
#include "ctree/regular_vertices.h"

using namespace ctree;

namespace {

// The block of g at start with size dim, positioned in g's frame.
ScalarField3DGrid sub_grid(const ScalarField3DGrid& g, const Index start[3], const Size dim[3]) {
  ScalarField3DGrid s;
  for (int a = 0; a < 3; ++a) s.dim[a] = dim[a], s.origin[a] = Real(start[a]);
  for (Size z = 0; z < dim[2]; ++z)
    for (Size y = 0; y < dim[1]; ++y)
      for (Size x = 0; x < dim[0]; ++x)
        s.values.push_back(g.values[g.vertexIndex(start[0] + x, start[1] + y, start[2] + z)]);
  return s;
}

MergeTreeOptions with_leaf(Size leaf) {
  MergeTreeOptions o;
  o.leafVertices = leaf;
  return o;
}

// Every rank in this process, the last first (a rank only waits for
// higher ones), bytes passed through a mailbox.
std::string distributed_dump(const ScalarField3DGrid& g, int ranks, size_t* bytesMoved = nullptr,
                             const MergeTreeOptions& options = {}) {
  const BlockPlan plan = plan_blocks(g.dim, ranks);
  std::map<std::pair<int, int>, std::vector<char>> mailbox;
  GridContourTree out;
  for (int r = ranks - 1; r >= 0; --r) {
    BlockLink link;
    link.send = [&, r](int to, const std::vector<char>& b) {
      mailbox[{r, to}] = b;
      if (bytesMoved) *bytesMoved += b.size();
    };
    link.recv = [&, r](int from, std::vector<char>& b) {
      auto it = mailbox.find({from, r});
      if (it == mailbox.end()) return false;
      b = it->second;
      return true;
    };
    const int leaf = plan.leafOf(r);
    ScalarField3DGrid block;
    if (leaf >= 0) block = sub_grid(g, plan.blocks[size_t(leaf)].start, plan.blocks[size_t(leaf)].dim);
    GridContourTree mine;
    EXPECT_TRUE(run_rank(plan, r, block, link, r == 0 ? out : mine, options)) << "rank " << r;
  }
  return out.contour.dump();
}

std::string single_dump(const ScalarField3DGrid& g, const MergeTreeOptions& options = {}) {
  GridContourTree t;
  EXPECT_TRUE(compute_grid_contour_tree(g, t, options));
  return t.contour.dump();
}

// The contour tree of g's merge trees by the pointer construction.
std::string reference_dump(const ScalarField3DGrid& g) {
  std::vector<Vertex> V;
  MultiresTree jt, st, ct;
  EXPECT_TRUE(compute_merge_trees_of(g, V, jt, st, with_leaf(8)));
  if (g.vertexCount() == 8) remove_regular_vertices(V, jt, st);
  Report report;
  EXPECT_TRUE(compute_multires_contour_tree_by_pointers(jt, st, ct, report, no_progress())) << report.error;
  return ct.dump();
}

ScalarField3DGrid random_grid(std::mt19937& rng, Size nx, Size ny, Size nz, int levels) {
  ScalarField3DGrid g;
  g.dim[0] = nx, g.dim[1] = ny, g.dim[2] = nz;
  for (Size i = 0; i < nx * ny * nz; ++i) g.values.push_back(double(rng() % unsigned(levels)));
  return g;
}

}  // namespace

TEST(DistributedTrees, plans_cut_like_the_recursion_and_cover_every_rank) {
  const Size dim[3] = {17, 9, 5};
  const BlockPlan p = plan_blocks(dim, 3);
  ASSERT_EQ(p.blocks.size(), 5u);
  EXPECT_EQ(p.blocks[2].start[0], 8);  // x is longest: layers 0..8 and 8..16
  EXPECT_EQ(p.blocks[2].owner, 2);
  for (int r = 0; r < 3; ++r) EXPECT_GE(p.leafOf(r), 0);
  // More ranks than cubes: the extra ones have nothing to do.
  const Size cube[3] = {2, 2, 3};
  const BlockPlan q = plan_blocks(cube, 5);
  EXPECT_GE(q.leafOf(0), 0);  // lower cube: ranks 0..2
  EXPECT_GE(q.leafOf(3), 0);  // upper cube: ranks 3..4
  EXPECT_EQ(q.leafOf(1), -1);
  EXPECT_EQ(q.leafOf(4), -1);
}

TEST(DistributedTrees, every_rank_count_gives_the_reference_trees) {
  std::mt19937 rng(21);
  const Size sizes[][3] = {{2, 2, 2}, {3, 2, 2}, {9, 7, 5}, {17, 9, 5}, {6, 6, 6}, {12, 10, 8}};
  for (const auto& d : sizes)
    for (int levels : {4, 1000}) {
      const ScalarField3DGrid g = random_grid(rng, d[0], d[1], d[2], levels);
      const std::string expected = reference_dump(g);
      EXPECT_EQ(single_dump(g, with_leaf(8)), expected);
      for (Size l : {Size(8), Size(27), DEFAULT_LEAF_VERTICES}) {
        for (int ranks : {1, 2, 3, 4, 7}) {
          EXPECT_EQ(distributed_dump(g, ranks, nullptr, with_leaf(l)), expected)
              << d[0] << "x" << d[1] << "x" << d[2] << " with " << ranks << " ranks, " << levels
              << " levels, leaf size " << l;
        }
      }
    }
}

TEST(DistributedTrees, what_travels_grows_with_the_cut_not_the_volume) {
  // A smooth field of n^3 vertices for two sizes: the bytes sent between two
  // ranks grow with the cut face (x4), not the volume (x8).
  auto moved_for = [](Size n) {
    ScalarField3DGrid g;
    g.dim[0] = g.dim[1] = g.dim[2] = n;
    for (Size z = 0; z < n; ++z)
      for (Size y = 0; y < n; ++y)
        for (Size x = 0; x < n; ++x) g.values.push_back(double(x * x + 2 * y * y + 3 * z * z) + 1e-3 * double(x));
    size_t moved = 0;
    EXPECT_EQ(distributed_dump(g, 2, &moved), single_dump(g));
    return double(moved);
  };
  const double small = moved_for(24), big = moved_for(48);
  EXPECT_GT(small, 0);
  EXPECT_LT(big / small, 5.0);
}

TEST(DistributedTrees, packed_trees_round_trip_and_damage_is_refused) {
  std::mt19937 rng(5);
  ScalarField3DGrid g = random_grid(rng, 5, 4, 3, 50);
  std::vector<Vertex> V;
  MultiresTree J, S;
  CellTrees3DGrid cells;
  ASSERT_TRUE(compute_block_merge_trees(g, V, J, S, cells, 1, MergeTreeOptions{}));
  std::vector<char> a, b;
  pack_block(V, J, S, a);
  std::vector<Vertex> V2;
  MultiresTree J2, S2;
  std::string error;
  ASSERT_TRUE(unpack_block(a, V2, J2, S2, error)) << error;
  pack_block(V2, J2, S2, b);
  EXPECT_EQ(a, b);
  EXPECT_EQ(J2.dump(), J.dump());
  EXPECT_EQ(check_tree(J2, 1), "");
  EXPECT_EQ(check_tree(S2, -1), "");
  for (size_t cut : {size_t(0), size_t(7), a.size() / 2, a.size() - 1}) {
    std::vector<char> shortened(a.begin(), a.begin() + long(cut));
    EXPECT_FALSE(unpack_block(shortened, V2, J2, S2, error)) << cut;
  }
  std::vector<char> longer = a;
  longer.push_back(0);
  EXPECT_FALSE(unpack_block(longer, V2, J2, S2, error));
}
