#pragma once
// The orrery layout of a contour tree: every branch a vertical pole at its
// own point of the plane, heights given by the field values, the hierarchy
// spread over rings around the root's pole at the origin.

#include "ctree/multires_tree.h"

namespace ctree {

// Rewrites x, y, z of the tree's vertices; the branch structure and the
// field values stay. The first branch of the list is the root and every
// parent stands before its children (trees read from files are so).
// With scale set, heights are normalised to [0, 1] and children are
// pushed outwards so that no branch is steeper than the steepest one
// allows; aspect then stretches the heights (1 leaves them in [0, 1]).
// Every coordinate is finite: a tree of constant value lays out flat, a
// branch standing on the origin is pushed along +x.
void layout_multires_tree(MultiresTree& tree, double aspect, bool scale);

// The scaling pass on its own.
void scale_radii(MultiresTree& tree, double aspect);

}  // namespace ctree
