#pragma once
// Marching-cubes tables of the grid cell: corner offsets, the twelve edges,
// the six faces, and per case code (bit c set when corner c lies below the
// isovalue) the crossed edges, the crossed faces and the triangles.
//
// The triangles are generated, not typed in: on every face the crossed edges
// are joined into segments (an ambiguous face, two diagonal corners below,
// cuts each of its below corners off on its own), the segments of the six
// faces close into loops, and each loop is fanned into triangles whose
// right-hand normal points to the side below the isovalue. Because a face's
// segments depend on the face's four corners only, the two cells that share a
// face always agree on it, and isosurfaces built from the table are closed.

namespace contour {

// Corner c sits at offset cube_corner[c] = (di, dj, dk) from the cell's
// lowest corner.
extern const int cube_corner[8][3];

// Edge e runs along axis (0 = x, 1 = y, 2 = z) from corner a, at offset
// (di, dj, dk), to corner b one step further along that axis.
struct CubeEdge {
  int axis;
  int offset[3];
  int a, b;
};
extern const CubeEdge cube_edge[12];

// Face f: its four corners, and the step (di, dj, dk) to the neighbour cell
// across it.
extern const int cube_face_corners[6][4];
extern const int cube_face_step[6][3];

constexpr int CUBE_MAX_TRIANGLES = 12;

struct CubeTables {
  // cubeedges[code] = {n, e1 .. en}: the crossed edges in increasing order.
  int cubeedges[256][13];
  // adjfaces[code] = {n, f1 .. fn}: the faces whose corners disagree.
  int adjfaces[256][7];
  // triCases[code] = edge triples, ended by -1.
  int triCases[256][3 * CUBE_MAX_TRIANGLES + 1];
  int ntriangles[256];
};

// The tables, built on first use (a few microseconds) and then constant.
const CubeTables& cube_tables();

}  // namespace contour
