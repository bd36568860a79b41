#pragma once
// Operations on a pair of merge trees (a join tree and a split tree over one
// sorted vertex vector V, whose nodes lists run in step with V).

#include <vector>

#include "ctree/multires_tree.h"

namespace ctree {

// Removes every vertex that is regular in both trees (down- and up-degree 1
// in each): its arcs below and above become one branch (the join tree keeps
// the upper branch, the split tree the lower one). Compacts V and both trees'
// nodes lists so they stay in step; V is never reallocated. One pass.
void remove_regular_vertices(std::vector<Vertex>& V, MultiresTree& join, MultiresTree& split);

// The same, sparing every vertex that is not strictly inside blockBox: a
// block's boundary vertices are still needed when it is merged with its
// neighbour.
void remove_regular_interior_vertices(const Box& blockBox, std::vector<Vertex>& V, MultiresTree& join,
                                      MultiresTree& split);

// out = the sorted union of the sorted vectors a and b, a vertex present in
// both (all four values equal) once, taken from a. out must be a third vector.
void merge_critical_points(const std::vector<Vertex>& a, const std::vector<Vertex>& b, std::vector<Vertex>& out);

}  // namespace ctree
