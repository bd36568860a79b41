#pragma once
// A contour tree pruned by persistence, as the tree viewer's threshold
// prunes it: a branch stays when its persistence is at least the threshold
// and its parent stays (the root always stays).

#include <vector>

#include "core/types.h"
#include "ctree/flat_tree.h"

namespace ctree {

// The branches of tree that stay for minPersistence, then the first
// maxBranches of them (0: all), in tree order, parents renumbered; the
// vertices are those the kept branches end at, in tree's order, renumbered
// (so the result is stored and read as any whole tree is). kept (if given)
// receives for each branch of the result its index in tree, vertices (if
// given) for each vertex its index in tree. One pass over the branches and
// one over the vertices.
FlatTree simplified_tree(const FlatTree& tree, Real minPersistence, Size maxBranches,
                         std::vector<Index>* kept = nullptr, std::vector<Index>* vertices = nullptr);

}  // namespace ctree
