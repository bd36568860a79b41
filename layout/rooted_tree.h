#pragma once
// Radial layout of a rooted tree: the root at the origin, generation k on
// the circle of radius √2^(k-1), every subtree owning an angular sector in
// proportion to its number of leaves.

#include <vector>

#include "core/progress.h"
#include "core/types.h"

namespace ctree {

struct RTNode {
  RTNode* parent = nullptr;
  Index depth = 0;
  std::vector<RTNode*> children;  // reordered by the layout
  Size leaves = 0;                // cached leaf count; 0 until computed

  // Leaf count of the subtree, computed once and cached.
  Size nleaves();
  // Sorts the children by leaf count, then spreads large and small ones
  // around the circle (recursive_shuffle).
  void shuffleChildren();
};

// Element 0 is the root. Nodes point at each other: reserve before linking.
using RootedTree = std::vector<RTNode>;

// Even positions first, then odd ones, each part shuffled the same way.
void recursive_shuffle(std::vector<RTNode*>& nodes);

// Two doubles (x, y) per node, in node order. unused: kept for callers
// that pass a scale; it does not change the layout. Linear in the nodes;
// no recursion, so any depth is fine.
void layout_rooted_tree(RootedTree& tree, double unused, std::vector<double>& out,
                        ProgressSink& progress = no_progress());

}  // namespace ctree
