#pragma once
// The contour tree made from the cuts of leaf_cutting.h, in either of its
// two forms: the editable tree model or the finished flat tree. Both hang
// every branch from the branch cut later with an interior node at one of
// its ends, and order the branches by persistence (root first).

#include "ctree/flat_tree.h"
#include "ctree/leaf_cutting.h"
#include "ctree/multires_tree.h"

namespace ctree {

// ct (empty, its vertices and nodes set up) built from the cuts: per cut
// branch new end and interior nodes, every branch hung from the branch cut
// later at its end, then persistence and boxes.
void contour_tree_of_cuts(const CutBranches& cuts, MultiresTree& ct);

// What flatten() gives of that tree, made straight from the cuts: the same
// parents, persistence, order and vertex records, without the tree model.
FlatTree finished_tree_of_cuts(const Vertex* vertices, const CutBranches& cuts);

}  // namespace ctree
