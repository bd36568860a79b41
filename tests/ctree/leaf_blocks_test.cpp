// Blocks solved by one sorted sweep against the recursion down to single
// cubes: the same vertices and arcs handed upwards, the same node order at
// every vertex, and in the end the same contour trees, bit for bit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <sstream>

#include "ctree/check_tree.h"
#include "ctree/grid_contour_tree.h"
#include "ctree/grid_merge_trees.h"
#include "ctree/leaf_block_trees.h"
#include "ctree/multires_tree.h"

using namespace ctree;

namespace {

// A silent computation with the given leaf size and thread count.
MergeTreeOptions options(Size leaf, unsigned threads) {
  MergeTreeOptions o;
  o.leafVertices = leaf;
  o.threads = threads;
  return o;
}

ScalarField3DGrid make_grid(Size nx, Size ny, Size nz, std::vector<double> values) {
  ScalarField3DGrid g;
  g.dim[0] = nx, g.dim[1] = ny, g.dim[2] = nz;
  g.values = std::move(values);
  return g;
}

// Kinds of field that stress different parts of the sweeps.
std::vector<double> field(int kind, Size nx, Size ny, Size nz, std::mt19937& rng) {
  const size_t n = size_t(nx) * ny * nz;
  std::vector<double> v(n);
  std::uniform_real_distribution<double> u(0, 1);
  for (size_t i = 0; i < n; ++i) {
    const double x = double(i % nx), y = double((i / nx) % ny), z = double(i / (size_t(nx) * ny));
    switch (kind) {
      case 0: v[i] = u(rng); break;                      // noise, no ties
      case 1: v[i] = double(rng() % 4); break;           // plateaus everywhere
      case 2: v[i] = 1.5; break;                         // constant
      case 3: v[i] = std::floor(8 * u(rng)) - 4; break;  // 8-bit-like ties, negative and zero
      case 4: {                                          // two bumps and a little noise
        const double a = (x - nx * 0.3) * (x - nx * 0.3) + (y - ny * 0.4) * (y - ny * 0.4) +
                         (z - nz * 0.5) * (z - nz * 0.5);
        const double b = (x - nx * 0.7) * (x - nx * 0.7) + (y - ny * 0.6) * (y - ny * 0.6) +
                         (z - nz * 0.3) * (z - nz * 0.3);
        v[i] = std::exp(-a / 8) - 0.8 * std::exp(-b / 6) + 0.01 * u(rng);
        break;
      }
      default: v[i] = std::round(4 * std::sin(x * 0.9) * std::cos(y * 0.7 + z)) + (i % 7 == 0 ? -0.0 : 0.0);
    }
  }
  return v;
}

// For each vertex of a tree, its arcs that end there (far end swept first),
// in node-list order, then its arcs that start there: what a later merge
// reads of a block's trees.
std::string arcs_at_vertices(const MultiresTree& t, bool join) {
  std::ostringstream out;
  for (size_t i = 0; i < t.nodes.size(); ++i) {
    std::ostringstream closing, opening;
    for (const Node* n : t.nodes[i]) {
      if (n->type != 0) {
        out << "interior@" << i << " ";
        continue;
      }
      const Branch& b = *n->branch;
      const Node* other = b.ends[0] == n ? b.ends[1] : b.ends[0];
      if (!other) {
        out << "open@" << i << " ";
        continue;
      }
      const bool otherFirst = join ? other->vertex < n->vertex : other->vertex > n->vertex;
      (otherFirst ? closing : opening) << t.indexOf(other->vertex) << ",";
    }
    out << i << ": in " << closing.str() << " out " << opening.str() << "\n";
  }
  return out.str();
}

bool same_vertices(const std::vector<Vertex>& a, const std::vector<Vertex>& b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(Vertex)) == 0);
}

// Everything of a finished contour tree: vertex records bit for bit, the
// branch list (ends, parents, children), persistences and boxes bit for bit.
std::string whole_tree(const GridContourTree& t) {
  std::ostringstream out;
  out << t.critical_points << "\n" << t.contour.dump();
  for (const Branch& b : t.contour.branches) {
    std::uint64_t bits;
    std::memcpy(&bits, &b.persistence, 8);
    out << bits;
    for (Real r : {b.bbox.min[0], b.bbox.max[0], b.bbox.min[1], b.bbox.max[1], b.bbox.min[2], b.bbox.max[2]}) {
      std::memcpy(&bits, &r, 8);
      out << " " << bits;
    }
    out << "\n";
  }
  return out.str();
}

// The whole grid's join and split trees as the contour tree construction
// takes them: branch lists in order, and the nodes at every vertex.
std::string merge_trees_of(const ScalarField3DGrid& grid, const MergeTreeOptions& o) {
  ScalarField3DGrid g(grid);
  std::vector<Vertex> V;
  MultiresTree J, S;
  CellTrees3DGrid cells;
  if (!compute_merge_trees(g, V, J, S, cells, 0, o)) return "failed";
  std::ostringstream out;
  out << V.size() << "\n" << J.dump() << S.dump() << arcs_at_vertices(J, true) << arcs_at_vertices(S, false);
  return out.str();
}

}  // namespace

// One block below the top: what the cube recursion hands upwards from it
// (trees merged up from its cubes, regular vertices strictly inside it
// removed) against the block solved by sweeps.
TEST(LeafBlocks, hand_up_what_the_cube_recursion_hands_up) {
  std::mt19937 rng(11);
  int cases = 0;
  for (int round = 0; round < 300; ++round) {
    const Size nx = 2 + rng() % 9, ny = 2 + rng() % 9, nz = 2 + rng() % 9;
    const int kind = int(round % 6);
    ScalarField3DGrid g = make_grid(nx, ny, nz, field(kind, nx, ny, nz, rng));
    SCOPED_TRACE("kind " + std::to_string(kind) + " " + std::to_string(nx) + "x" + std::to_string(ny) + "x" +
                 std::to_string(nz));
    // A block at some inner level with an offset origin: positions global.
    g.origin[0] = 4, g.origin[1] = -3, g.origin[2] = 10;
    g.spacing[2] = 2;

    std::vector<Vertex> V1, V2;
    MultiresTree J1, S1, J2, S2;
    ScalarField3DGrid copy(g);
    CellTrees3DGrid cells;
    ASSERT_TRUE(compute_block_merge_trees(copy, V1, J1, S1, cells, 3, options(8, 1)));

    GridBlock block;
    for (int a = 0; a < 3; ++a) block.dim[a] = g.dim[a];
    BlockTrees solved;
    solve_leaf_block(g, frame_of(g), block, solved);
    block_trees_to_multires(std::move(solved), V2, J2, S2);

    ASSERT_TRUE(same_vertices(V1, V2)) << V1.size() << " vertices against " << V2.size();
    EXPECT_EQ(check_tree(J2, +1), "");
    EXPECT_EQ(check_tree(S2, -1), "");
    const std::string join = arcs_at_vertices(J1, true), split = arcs_at_vertices(S1, false);
    EXPECT_EQ(join, arcs_at_vertices(J2, true));
    EXPECT_EQ(split, arcs_at_vertices(S2, false));

    // The same block from smaller leaves merged in the compact form.
    for (Size leaf : {12u, 27u, 64u}) {
      std::vector<Vertex> V3;
      MultiresTree J3, S3;
      ScalarField3DGrid again(g);
      ASSERT_TRUE(compute_block_merge_trees(again, V3, J3, S3, cells, 3, options(leaf, 1)));
      ASSERT_TRUE(same_vertices(V1, V3)) << "leaf " << leaf;
      EXPECT_EQ(join, arcs_at_vertices(J3, true)) << "leaf " << leaf;
      EXPECT_EQ(split, arcs_at_vertices(S3, false)) << "leaf " << leaf;
    }
    ++cases;
  }
  EXPECT_EQ(cases, 300);
}

// The whole computation at several leaf sizes and thread counts against the
// recursion down to single cubes on one thread.
TEST(LeafBlocks, give_the_same_contour_trees_at_every_leaf_size_and_thread_count) {
  std::mt19937 rng(3);
  struct Dims {
    Size x, y, z;
  };
  std::vector<Dims> dims = {{2, 2, 2}, {3, 2, 2},   {2, 2, 40},   {2, 17, 3},  {5, 5, 5},  {8, 8, 8},
                            {9, 7, 5}, {16, 3, 11}, {17, 17, 17}, {12, 31, 4}, {33, 9, 2}, {20, 20, 21}};
  for (int extra = 0; extra < 24; ++extra)
    dims.push_back({2 + Size(rng() % 14), 2 + Size(rng() % 14), 2 + Size(rng() % 14)});
  const Size leaves[] = {27, 64, 100, 1000, 4096, 32768};
  for (size_t c = 0; c < dims.size(); ++c) {
    const Dims d = dims[c];
    const int kind = int(c % 6);
    const std::vector<double> values = field(kind, d.x, d.y, d.z, rng);
    SCOPED_TRACE("kind " + std::to_string(kind) + " " + std::to_string(d.x) + "x" + std::to_string(d.y) + "x" +
                 std::to_string(d.z));
    GridContourTree reference;
    ASSERT_TRUE(compute_grid_contour_tree(make_grid(d.x, d.y, d.z, values), reference, options(8, 1)));
    const std::string expected = whole_tree(reference);
    const std::string expectedMerge = merge_trees_of(make_grid(d.x, d.y, d.z, values), options(8, 1));
    for (Size leaf : leaves)
      for (unsigned threads : {1u, 2u, 3u, 7u}) {
        if (threads > 1 && leaf != 64 && leaf != 4096) continue;
        GridContourTree t;
        ASSERT_TRUE(compute_grid_contour_tree(make_grid(d.x, d.y, d.z, values), t, options(leaf, threads)));
        ASSERT_TRUE(same_vertices(reference.vertices, t.vertices)) << "leaf " << leaf << ", " << threads << " threads";
        ASSERT_EQ(expected, whole_tree(t)) << "leaf " << leaf << ", " << threads << " threads";
        if (threads == 1) {
          ASSERT_EQ(expectedMerge, merge_trees_of(make_grid(d.x, d.y, d.z, values), options(leaf, 1)))
              << "leaf " << leaf;
        }
      }
  }
}
