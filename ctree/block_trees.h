#pragma once
// A block's join and split trees in the compact form the grid recursion
// hands upwards between its leaves and its top.
//
// A merge of two blocks reads, of each half, only its vertex records and,
// at every vertex, the arcs that end there (their far end swept first) in
// the order in which they were closed. That is all this holds: sorted
// vertex records and, per tree, the far ends of those arcs in compressed
// rows, about 48 bytes per vertex instead of a few hundred for two
// MultiresTree objects. The merge and the removal of regular vertices
// strictly inside the block give exactly the arcs and the order that
// merge_join_trees, merge_split_trees and remove_regular_interior_vertices
// give on the same trees.

#include <vector>

#include "ctree/merge_tree_arrays.h"
#include "ctree/multires_tree.h"

namespace ctree {

struct BlockTrees {
  // Sorted by (field, z, y, x), each vertex once.
  std::vector<Vertex> V;
  // Tree 0 is the join tree, swept by increasing position in V; tree 1 the
  // split tree, swept by decreasing position. The vertex swept t-th closes
  // the arcs from far[k][first[k][t]] .. far[k][first[k][t + 1] - 1]
  // (positions in V), in that order. first[k] has |V| + 1 entries.
  std::vector<Index> first[2], far[2];

  size_t size() const { return V.size(); }
};

// out = the trees of the block made of halves a (lower) and b (upper), whose
// vertex vectors share the vertices of the plane between them. With a box
// the vertices strictly inside it that are regular in both trees are
// removed; without one (null: the top) none is.
void merge_block_trees(const BlockTrees& a, const BlockTrees& b, const Box* box, BlockTrees& out);

// The top of the recursion: the trees of the whole grid from its halves, as
// merge_join_trees and merge_split_trees followed by remove_regular_vertices
// give them (the same branch order, the same node order at every vertex),
// without building the trees of the vertices that go.
void merge_top_block_trees(const BlockTrees& a, const BlockTrees& b, std::vector<Vertex>& V, MultiresTree& J,
                           MultiresTree& S);

// The same trees in index form (branch list and node lists in the same
// orders), without building the pointer model. a and b are taken over and
// freed as soon as they are merged.
void merge_top_block_tree_arrays(BlockTrees&& a, BlockTrees&& b, std::vector<Vertex>& V, MergeTreeArrays& J,
                                 MergeTreeArrays& S);

// The trees as MultiresTree objects over V (which takes over in's vertex
// records): one branch per arc, started in sweep order; at every vertex
// the branch starting there first, then the arcs closed there in order.
void block_trees_to_multires(BlockTrees&& in, std::vector<Vertex>& V, MultiresTree& J, MultiresTree& S);

}  // namespace ctree
