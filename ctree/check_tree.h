#pragma once
// The checker of the tree model's invariants (multires_tree.h), which the
// tests run on every tree they build.

#include <string>

#include "ctree/multires_tree.h"

namespace ctree {

// Every broken invariant of tree, one line each; empty when it is sound.
// orientation: 0 none, +1 join tree (ends[0] lower), -1 split tree (ends[0] upper).
// One pass over branches and node lists, O(nodes) with hash sets.
std::string check_tree(const MultiresTree& tree, int orientation = 0);

}  // namespace ctree
