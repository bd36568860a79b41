#include "contour/cell_cases.h"

#include <cassert>
#include <utility>

#include "contour/cube_table.h"

namespace contour {

namespace {

int corner_of(const int p[3]) { return p[0] + 2 * p[1] + 4 * p[2]; }

CellCases make_cube_cases() {
  const CubeTables& t = cube_tables();
  CellCases c;
  c.ndirs = 3;
  for (int d = 0; d < 3; ++d) c.dirs[d][d] = 1;
  c.nedges = 12;
  for (int e = 0; e < 12; ++e) {
    c.edges[e].dir = cube_edge[e].axis;
    for (int a = 0; a < 3; ++a) c.edges[e].offset[a] = cube_edge[e].offset[a];
  }
  // Bit m of a cube table code is corner cube_corner[m].
  int natural[8];
  for (int m = 0; m < 8; ++m) natural[m] = corner_of(cube_corner[m]);
  for (int code = 0; code < 256; ++code) {
    int cube = 0;
    for (int m = 0; m < 8; ++m)
      if (code >> natural[m] & 1) cube |= 1 << m;
    c.ntriangles[code] = std::uint8_t(t.ntriangles[cube]);
    for (int k = 0; k < 3 * t.ntriangles[cube]; ++k) c.triangles[code][k] = std::uint8_t(t.triCases[cube][k]);
  }
  return c;
}

double dot3(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

CellCases make_tetra_cases() {
  CellCases c;
  c.ndirs = 7;
  // +x, +y, +z, then the face diagonals and the cell's diagonal.
  const int dirs[7][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}, {1, 0, 1}, {0, 1, 1}, {1, 1, 1}};
  for (int d = 0; d < 7; ++d)
    for (int a = 0; a < 3; ++a) c.dirs[d][a] = dirs[d][a];
  // The six tetrahedra 0-a-b-7: a one axis step from 0, b one more.
  int tets[6][4], nt = 0;
  for (int a : {1, 2, 4})
    for (int s : {1, 2, 4})
      if (s != a) tets[nt++][0] = 0, tets[nt - 1][1] = a, tets[nt - 1][2] = a | s, tets[nt - 1][3] = 7;
  assert(nt == 6);
  // Edge index of corner pair (p, q), p < q, when it is an edge of the split.
  int edge_of[8][8];
  for (auto& row : edge_of)
    for (int& e : row) e = -1;
  for (const auto& t : tets)
    for (int m = 0; m < 4; ++m)
      for (int n = m + 1; n < 4; ++n) {
        int p = t[m], q = t[n];  // p < q: the paths climb
        assert(p < q && (p & q) == p);
        if (edge_of[p][q] >= 0) continue;
        CellEdgeRef& e = c.edges[c.nedges];
        const int step[3] = {(q & 1) - (p & 1), (q >> 1 & 1) - (p >> 1 & 1), (q >> 2 & 1) - (p >> 2 & 1)};
        e.dir = -1;
        for (int d = 0; d < 7; ++d)
          if (dirs[d][0] == step[0] && dirs[d][1] == step[1] && dirs[d][2] == step[2]) e.dir = d;
        assert(e.dir >= 0);
        e.offset[0] = p & 1, e.offset[1] = p >> 1 & 1, e.offset[2] = p >> 2 & 1;
        edge_of[p][q] = c.nedges++;
      }
  assert(c.nedges == CELL_MAX_EDGES);
  auto pos = [](int corner, int a) { return double(corner >> a & 1); };
  auto edge = [&](int p, int q) { return p < q ? edge_of[p][q] : edge_of[q][p]; };

  for (int code = 0; code < 256; ++code) {
    int n = 0;
    auto below = [code](int corner) { return (code >> corner & 1) != 0; };
    // Appends triangle over edges (p0 q0), (p1 q1), (p2 q2), turned to face
    // the below corners: its normal (through the edges' midpoints) points
    // from the above ends towards the below ends.
    auto add = [&](const int pq[3][2]) {
      double m[3][3], towards[3] = {0, 0, 0};
      for (int v = 0; v < 3; ++v) {
        int p = pq[v][0], q = pq[v][1];
        int lo = below(p) ? p : q, hi = below(p) ? q : p;
        for (int a = 0; a < 3; ++a) {
          m[v][a] = 0.5 * (pos(p, a) + pos(q, a));
          towards[a] += pos(lo, a) - pos(hi, a);
        }
      }
      double u[3], w[3];
      for (int a = 0; a < 3; ++a) u[a] = m[1][a] - m[0][a], w[a] = m[2][a] - m[0][a];
      const double nrm[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
      const double facing = dot3(nrm, towards);
      assert(facing != 0);
      int e[3] = {edge(pq[0][0], pq[0][1]), edge(pq[1][0], pq[1][1]), edge(pq[2][0], pq[2][1])};
      if (facing < 0) std::swap(e[1], e[2]);
      for (int v = 0; v < 3; ++v) c.triangles[code][3 * n + v] = std::uint8_t(e[v]);
      ++n;
    };
    for (const auto& t : tets) {
      int in[4], out[4], ni = 0, no = 0;
      for (int corner : t) (below(corner) ? in[ni++] : out[no++]) = corner;
      if (ni == 0 || no == 0) continue;
      if (ni == 1 || no == 1) {
        // One corner alone: the triangle across its three edges.
        const int alone = ni == 1 ? in[0] : out[0];
        const int* rest = ni == 1 ? out : in;
        const int pq[3][2] = {{alone, rest[0]}, {alone, rest[1]}, {alone, rest[2]}};
        add(pq);
      } else {
        // Two against two: the quadrilateral a0b0, a0b1, a1b1, a1b0 in two
        // triangles.
        const int a0 = in[0], a1 = in[1], b0 = out[0], b1 = out[1];
        const int t1[3][2] = {{a0, b0}, {a0, b1}, {a1, b1}};
        const int t2[3][2] = {{a0, b0}, {a1, b1}, {a1, b0}};
        add(t1);
        add(t2);
      }
    }
    assert(n <= CELL_MAX_TRIANGLES);
    c.ntriangles[code] = std::uint8_t(n);
  }
  return c;
}

}  // namespace

const CellCases& cube_cell_cases() {
  static const CellCases cases = make_cube_cases();
  return cases;
}

const CellCases& tetra_cell_cases() {
  static const CellCases cases = make_tetra_cases();
  return cases;
}

}  // namespace contour
