#pragma once
// The minima and maxima of a field in sweep order: the vertices with no
// lower, or no higher, neighbour. They are the free ends of its contour
// tree (a tree of B branches has B + 1), so counting them tells whether a
// stored tree can be the field's whole tree.

#include <cstdint>

#include "fields/grid_field.h"
#include "fields/mesh_field.h"

namespace ctree {

// Neighbours as grid_field.h's tetrahedra give them (14 inside the grid),
// ties broken by index. Cost: one pass, 14 comparisons a vertex.
std::uint64_t count_extrema(const ScalarField3DGrid& grid);

// Neighbours along the triangles' edges, ties as ScalarField2D::less.
// Vertices in no triangle count as neither.
std::uint64_t count_extrema(const ScalarField2D& mesh);

}  // namespace ctree
