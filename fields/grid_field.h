#pragma once
// A scalar field on a regular three-dimensional grid.
//
// Owns one value per vertex, index = x + dimx·(y + dimy·z) (x fastest), the
// grid geometry, and once sortVertices() has run, every vertex index in sweep
// order. Invariant: values.size() == dim[0]·dim[1]·dim[2].
//
// Neighbourhood: the grid is a set of 2×2×2 cubes, corners numbered
// c = bx + 2·by + 4·bz, each cube cut into six tetrahedra around the diagonal
// 0–7. Corners 0 and 7 neighbour every corner; corner c of 1..6 also
// neighbours the two corners adj_verts[c-1].

#include <vector>

#include "core/types.h"

namespace ctree {

extern const Index adj_verts[6][2];

class ScalarField3DGrid {
 public:
  ScalarField3DGrid() = default;
  ScalarField3DGrid(const ScalarField3DGrid&) = default;  // deep copy
  ScalarField3DGrid& operator=(const ScalarField3DGrid&) = default;

  // Fills order with 0..n-1 sorted by FieldCompare3d (value, then index) and
  // sets sorted. A radix sort on (value, index); O(n) passes over n keys.
  void sortVertices();

  // Cuts the grid in two along its longest axis (z on a tie with y, y on a
  // tie with x): with n layers along it and h = n/2, this grid keeps layers
  // 0..h and upper receives layers h..n-1, so layer h belongs to both.
  // Positions stay global: upper's origin moves by h·spacing. order and
  // sorted are not touched. Needs n >= 3 along the cut axis.
  void divide(ScalarField3DGrid& upper);
  void divideX(ScalarField3DGrid& upper);
  void divideY(ScalarField3DGrid& upper);
  void divideZ(ScalarField3DGrid& upper);

  Size vertexCount() const { return Size(values.size()); }
  Index vertexIndex(Size x, Size y, Size z) const { return Index(x + dim[0] * (y + dim[1] * z)); }

  std::vector<Index> order;  // valid while sorted
  std::vector<Real> values;
  bool sorted = false;
  Size dim[3] = {0, 0, 0};
  Real spacing[3] = {1, 1, 1};
  Real origin[3] = {0, 0, 0};
};

// Strict total order of vertex indices: by value, ties by index.
struct FieldCompare3d {
  const ScalarField3DGrid& field;
  explicit FieldCompare3d(const ScalarField3DGrid& f) : field(f) {}
  bool operator()(Index a, Index b) const {
    Real va = field.values[a], vb = field.values[b];
    return va < vb || (va == vb && a < b);
  }
};

// The sweep order of values as a radix sort computes it: indices sorted by
// (value, index). Equal to std::sort with FieldCompare3d for every input
// without NaN; -0.0 and 0.0 count as equal values.
std::vector<Index> sorted_vertex_order(const std::vector<Real>& values);

}  // namespace ctree
