#pragma once
// The orrery layout of a contour tree: every branch a vertical pole at its
// own point of the plane, heights given by the field values, the hierarchy
// spread over rings around the root's pole at the origin.

#include "core/progress.h"
#include "ctree/flat_tree.h"

namespace ctree {

// Rewrites x, y, z of the tree's vertices and then its boxes; the branch
// structure and the field values stay. The first branch is the root; a
// branch whose parent does not stand before it hangs from the root.
// With scale set, heights are normalised to [0, 1] and children are
// pushed outwards so that no branch is steeper than the steepest one
// allows; aspect then stretches the heights (1 leaves them in [0, 1]).
// Every coordinate is finite: a tree of constant value lays out flat, a
// branch standing on the origin is pushed along +x.
void layout_multires_tree(FlatTree& tree, double aspect, bool scale, ProgressSink& progress = no_progress());

// The scaling pass on its own (the boxes are left to the caller).
void scale_radii(FlatTree& tree, double aspect);

}  // namespace ctree
