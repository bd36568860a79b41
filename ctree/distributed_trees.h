#pragma once
// The merge trees of a grid computed by several processes: the top levels
// of the divide and conquer are split between ranks (each computes the
// trees of one block from its own slab of the data), and the halves' trees
// are merged up a reduction tree, only the blocks' critical and boundary
// vertices travelling. The blocks and the merges are exactly those of the
// one-process recursion, so the result is identical to it.
//
// Nothing here talks to a network: the caller moves the packed bytes (MPI
// in the program, a mailbox in the tests).

#include <functional>
#include <string>
#include <vector>

#include "ctree/grid_contour_tree.h"
#include "ctree/grid_merge_trees.h"
#include "ctree/multires_tree.h"
#include "fields/grid_field.h"

namespace ctree {

struct BlockPlan {
  struct Block {
    Index start[3] = {0, 0, 0};  // first vertex of the block in the grid
    Size dim[3] = {0, 0, 0};
    unsigned level = 0;          // depth in the recursion (0: the whole grid)
    int owner = 0, ranks = 1;    // ranks owner .. owner + ranks - 1 work on it
    int lower = -1, upper = -1, parent = -1;
  };
  std::vector<Block> blocks;  // blocks[0] is the whole grid
  // The block rank computes from its data, or -1 for a rank with no work
  // (more ranks than the grid can be cut for).
  int leafOf(int rank) const;
};

// The blocks for `ranks` processes: a block with k > 1 ranks is cut like
// the recursion cuts it (longest axis, z before y before x, shared middle
// layer); its lower half gets the first ceil(k/2) ranks.
BlockPlan plan_blocks(const Size dim[3], int ranks);

// A block's vertices and join and split trees as bytes, and back. The trees
// come back with the same branch order and the same node order at every
// vertex, so later merges go exactly as they would have on the sender.
void pack_block(const std::vector<Vertex>& V, const MultiresTree& J, const MultiresTree& S, std::vector<char>& out);
bool unpack_block(const std::vector<char>& in, std::vector<Vertex>& V, MultiresTree& J, MultiresTree& S,
                  std::string& error);

// Moves packed trees between ranks. recv returns false when the data
// cannot be had (the run fails).
struct BlockLink {
  std::function<void(int to, const std::vector<char>& bytes)> send;
  std::function<bool(int from, std::vector<char>& bytes)> recv;
};

// One rank's part: the merge trees of its leaf block (grid: that block's
// data, consumed), then its merges up the plan. Rank 0 ends with the whole
// grid's trees in out (join, split and the contour tree); other ranks hand
// theirs on and leave out empty. False with out.report's error set. options: those of
// the rank's own merge trees; rank 0's contour tree reports to the same sink.
bool run_rank(const BlockPlan& plan, int rank, ScalarField3DGrid& grid, BlockLink& link, GridContourTree& out,
              const MergeTreeOptions& options);

}  // namespace ctree
