// The marching-cubes tables, checked over all 256 cases against the cell's
// edge and face numbering written out here independently. How the cases of
// neighbouring cells fit together and which way the triangles face is left
// to the closed, oriented isosurfaces of the grid tests.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <vector>

#include "contour/cube_table.h"

using namespace contour;

namespace {

// Edge: its two corners.
struct E {
  int a, b;
};
const E kEdge[12] = {{0, 1}, {1, 2}, {3, 2}, {0, 3}, {4, 5}, {5, 6}, {7, 6}, {4, 7}, {0, 4}, {1, 5}, {3, 7}, {2, 6}};
const int kFace[6][4] = {{0, 1, 2, 3}, {0, 3, 4, 7}, {4, 5, 6, 7}, {1, 2, 5, 6}, {2, 3, 6, 7}, {0, 1, 4, 5}};

bool crossed(int code, int e) { return ((code >> kEdge[e].a) & 1) != ((code >> kEdge[e].b) & 1); }
bool on_face(int e, int f) {
  auto in = [f](int c) { return std::count(kFace[f], kFace[f] + 4, c) > 0; };
  return in(kEdge[e].a) && in(kEdge[e].b);
}
std::vector<std::array<int, 3>> triangles(int code) {
  std::vector<std::array<int, 3>> out;
  for (const int* t = cube_tables().triCases[code]; *t >= 0; t += 3) out.push_back({t[0], t[1], t[2]});
  return out;
}
}  // namespace

TEST(CubeTable, triangles_use_exactly_the_crossed_edges_and_close_on_the_faces) {
  int most = 0;
  for (int code = 0; code < 256; ++code) {
    auto tris = triangles(code);
    most = std::max(most, int(tris.size()));
    EXPECT_EQ(int(tris.size()), cube_tables().ntriangles[code]);
    std::set<int> used;
    for (auto& tr : tris) {
      for (int e : tr) {
        EXPECT_TRUE(crossed(code, e)) << "case " << code << " uses uncrossed edge " << e;
        used.insert(e);
      }
      // No triangle lies flat in a face of the cell.
      for (int f = 0; f < 6; ++f)
        EXPECT_FALSE(on_face(tr[0], f) && on_face(tr[1], f) && on_face(tr[2], f)) << "case " << code;
    }
    for (int e = 0; e < 12; ++e) EXPECT_TRUE(!crossed(code, e) || used.count(e)) << "case " << code << " misses edge " << e;
    // Every side is shared by two triangles in opposite directions, or is a
    // boundary segment inside one face.
    std::map<std::pair<int, int>, int> sides;
    for (auto& tr : tris)
      for (int k = 0; k < 3; ++k) ++sides[{tr[k], tr[(k + 1) % 3]}];
    for (auto& [s, n] : sides) {
      EXPECT_EQ(n, 1) << "case " << code << " repeats side " << s.first << "-" << s.second;
      if (sides.count({s.second, s.first})) continue;
      bool inFace = false;
      for (int f = 0; f < 6; ++f) inFace |= on_face(s.first, f) && on_face(s.second, f);
      EXPECT_TRUE(inFace) << "case " << code << " has a boundary side off the faces";
    }
  }
  EXPECT_LE(most, 5);
}
