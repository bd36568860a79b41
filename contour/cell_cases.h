#pragma once
// Per-cell triangle cases of a grid isosurface, in the form the whole-grid
// pass reads: the edge directions a grid vertex owns, the cell edges as
// (direction, offset of the edge's lower end), and per corner code the
// triangles as triples of cell edges.
//
// Corner c of a cell sits at offset (c & 1, c >> 1 & 1, c >> 2 & 1) from the
// cell's lowest corner (x bit first), and bit c of a code is set when that
// corner's value lies below the isovalue. Every edge runs from its lower end
// to its upper end; triangles face (right-hand normal) the side below the
// isovalue. Directions 0, 1 and 2 are always +x, +y and +z.

#include <cstdint>

namespace contour {

constexpr int CELL_MAX_DIRECTIONS = 7;
constexpr int CELL_MAX_EDGES = 19;
constexpr int CELL_MAX_TRIANGLES = 12;

struct CellEdgeRef {
  int dir;
  int offset[3];
};

struct CellCases {
  int ndirs = 0;
  int dirs[CELL_MAX_DIRECTIONS][3] = {};
  int nedges = 0;
  CellEdgeRef edges[CELL_MAX_EDGES] = {};
  std::uint8_t ntriangles[256] = {};
  std::uint8_t triangles[256][3 * CELL_MAX_TRIANGLES] = {};
};

// The marching-cubes cases of cube_table.h, re-indexed: the same triangles,
// with the same orientation, for every cell.
const CellCases& cube_cell_cases();

// The grid's own tetrahedral split (fields/grid_field.h: six tetrahedra
// around the diagonal from corner 0 to corner 7, paths 0-a-b-7), cut
// linearly: a triangle where one corner of a tetrahedron is on its own side,
// two where two are. 19 edges: the 12 of the cube, one diagonal per face
// from the face's lowest corner, and the cell's diagonal 0-7.
const CellCases& tetra_cell_cases();

}  // namespace contour
