#pragma once
// Join and split trees of one grid cube of 2×2×2 vertices: the leaves of the
// divide-and-conquer merge-tree computation.
//
// Both trees hold all eight vertices and seven branches, one per arc, over
// one vertex vector of eight records in increasing (field, z, y, x) order.
// In the join tree a branch's ends[0] is its lower end, in the split tree its
// upper end. Nothing is simplified here.

#include <vector>

#include "ctree/multires_tree.h"
#include "fields/grid_field.h"

namespace ctree {

class CellTrees3DGrid {
 public:
  // cube: dim (2, 2, 2), sorted first if it is not; vertices: resized to 8;
  // tree: fresh, its vertices set to the vector and its branches replaced.
  void joinTree(ScalarField3DGrid& cube, std::vector<Vertex>& vertices, MultiresTree& tree) const;
  void splitTree(ScalarField3DGrid& cube, std::vector<Vertex>& vertices, MultiresTree& tree) const;
};

}  // namespace ctree
