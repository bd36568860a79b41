// The marching-cubes tables, checked over all 256 cases against the cell's
// corner and edge numbering written out here independently.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <vector>

#include "contour/cube_table.h"

using namespace contour;

namespace {

// Corner positions (i, j, k offsets) of the grid cell.
const int kCorner[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}, {0, 1, 0}, {1, 1, 0}, {1, 1, 1}, {0, 1, 1}};
// Edge: axis, offset, corners.
struct E {
  int axis, di, dj, dk, a, b;
};
const E kEdge[12] = {{0, 0, 0, 0, 0, 1}, {2, 1, 0, 0, 1, 2}, {0, 0, 0, 1, 3, 2}, {2, 0, 0, 0, 0, 3},
                     {0, 0, 1, 0, 4, 5}, {2, 1, 1, 0, 5, 6}, {0, 0, 1, 1, 7, 6}, {2, 0, 1, 0, 4, 7},
                     {1, 0, 0, 0, 0, 4}, {1, 1, 0, 0, 1, 5}, {1, 0, 0, 1, 3, 7}, {1, 1, 0, 1, 2, 6}};
// Face corners and the neighbour step.
const int kFace[6][4] = {{0, 1, 2, 3}, {0, 3, 4, 7}, {4, 5, 6, 7}, {1, 2, 5, 6}, {2, 3, 6, 7}, {0, 1, 4, 5}};
const int kStep[6][3] = {{0, -1, 0}, {-1, 0, 0}, {0, 1, 0}, {1, 0, 0}, {0, 0, 1}, {0, 0, -1}};

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
// Directed boundary segments of a case: triangle sides not matched by the
// reverse side of another triangle.
std::multiset<std::pair<int, int>> boundary(int code) {
  std::multiset<std::pair<int, int>> sides;
  for (auto& t : triangles(code))
    for (int k = 0; k < 3; ++k) sides.insert({t[k], t[(k + 1) % 3]});
  std::multiset<std::pair<int, int>> out;
  for (auto& s : sides)
    if (!sides.count({s.second, s.first})) out.insert(s);
  return out;
}
int corner_at(int i, int j, int k) {
  for (int c = 0; c < 8; ++c)
    if (kCorner[c][0] == i && kCorner[c][1] == j && kCorner[c][2] == k) return c;
  return -1;
}
int edge_between(int a, int b) {
  for (int e = 0; e < 12; ++e)
    if ((kEdge[e].a == a && kEdge[e].b == b) || (kEdge[e].a == b && kEdge[e].b == a)) return e;
  return -1;
}

}  // namespace

TEST(CubeTable, numbering_matches_the_cell_layout) {
  for (int c = 0; c < 8; ++c)
    for (int a = 0; a < 3; ++a) EXPECT_EQ(cube_corner[c][a], kCorner[c][a]) << "corner " << c;
  for (int e = 0; e < 12; ++e) {
    const E& x = kEdge[e];
    EXPECT_EQ(cube_edge[e].axis, x.axis) << "edge " << e;
    EXPECT_EQ(cube_edge[e].a, x.a) << "edge " << e;
    EXPECT_EQ(cube_edge[e].b, x.b) << "edge " << e;
    int off[3] = {x.di, x.dj, x.dk};
    for (int a = 0; a < 3; ++a) {
      EXPECT_EQ(cube_edge[e].offset[a], off[a]) << "edge " << e;
      // Corner a sits at the offset, corner b one step along the axis.
      EXPECT_EQ(kCorner[x.a][a], off[a]) << "edge " << e;
      EXPECT_EQ(kCorner[x.b][a], off[a] + (a == x.axis)) << "edge " << e;
    }
  }
  for (int f = 0; f < 6; ++f) {
    for (int k = 0; k < 4; ++k) EXPECT_EQ(cube_face_corners[f][k], kFace[f][k]);
    for (int a = 0; a < 3; ++a) EXPECT_EQ(cube_face_step[f][a], kStep[f][a]);
    // The face's corners lie on the side its neighbour is on.
    int axis = kStep[f][0] ? 0 : kStep[f][1] ? 1 : 2;
    int side = (kStep[f][axis] + 1) / 2;
    for (int k = 0; k < 4; ++k) EXPECT_EQ(kCorner[kFace[f][k]][axis], side) << "face " << f;
  }
}

TEST(CubeTable, edge_and_face_lists_are_the_crossed_ones) {
  const CubeTables& t = cube_tables();
  for (int code = 0; code < 256; ++code) {
    std::vector<int> edges, faces;
    for (int e = 0; e < 12; ++e)
      if (crossed(code, e)) edges.push_back(e);
    for (int f = 0; f < 6; ++f) {
      int below = 0;
      for (int c : kFace[f]) below += (code >> c) & 1;
      if (below != 0 && below != 4) faces.push_back(f);
    }
    EXPECT_EQ(std::vector<int>(t.cubeedges[code] + 1, t.cubeedges[code] + 1 + t.cubeedges[code][0]), edges)
        << "case " << code;
    std::vector<int> got(t.adjfaces[code] + 1, t.adjfaces[code] + 1 + t.adjfaces[code][0]);
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, faces) << "case " << code;
  }
  EXPECT_EQ(std::vector<int>(t.adjfaces[1] + 1, t.adjfaces[1] + 4), (std::vector<int>{0, 1, 5}));
}

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
    for (int e = 0; e < 12; ++e) {
      if (crossed(code, e)) {
        EXPECT_TRUE(used.count(e)) << "case " << code << " misses edge " << e;
      }
    }
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
    // Each crossed edge ends exactly two boundary segments (one per face).
    auto b = boundary(code);
    for (int e = 0; e < 12; ++e) {
      int ends = 0;
      for (auto& s : b) ends += (s.first == e) + (s.second == e);
      EXPECT_EQ(ends, crossed(code, e) ? 2 : 0) << "case " << code << " edge " << e;
    }
  }
  EXPECT_LE(most, 5);
}

TEST(CubeTable, neighbouring_cells_agree_on_every_shared_face) {
  for (int f = 0; f < 6; ++f) {
    // Our corner c on face f is the neighbour's corner at c's offset - step.
    int map[8];
    for (int c = 0; c < 8; ++c) {
      map[c] = corner_at(kCorner[c][0] - kStep[f][0], kCorner[c][1] - kStep[f][1], kCorner[c][2] - kStep[f][2]);
    }
    int opposite = -1;
    for (int g = 0; g < 6; ++g)
      if (kStep[g][0] == -kStep[f][0] && kStep[g][1] == -kStep[f][1] && kStep[g][2] == -kStep[f][2]) opposite = g;
    ASSERT_GE(opposite, 0);
    for (int code = 0; code < 256; ++code) {
      std::set<std::pair<int, int>> mine;  // mapped into the neighbour's edge numbers
      for (auto& s : boundary(code))
        if (on_face(s.first, f) && on_face(s.second, f))
          mine.insert({edge_between(map[kEdge[s.first].a], map[kEdge[s.first].b]),
                       edge_between(map[kEdge[s.second].a], map[kEdge[s.second].b])});
      // Every neighbour case with the same corners on the shared face.
      for (int other = 0; other < 256; ++other) {
        bool same = true;
        for (int c : kFace[f]) same &= ((code >> c) & 1) == ((other >> map[c]) & 1);
        if (!same) continue;
        std::set<std::pair<int, int>> theirs;
        for (auto& s : boundary(other))
          if (on_face(s.first, opposite) && on_face(s.second, opposite)) theirs.insert({s.second, s.first});
        ASSERT_EQ(mine, theirs) << "face " << f << " case " << code << " against " << other;
      }
    }
  }
}

TEST(CubeTable, triangles_face_the_corners_below) {
  for (int code = 1; code < 255; ++code)
    for (auto& tr : triangles(code)) {
      double p[3][3];
      for (int k = 0; k < 3; ++k)
        for (int a = 0; a < 3; ++a) p[k][a] = 0.5 * (kCorner[kEdge[tr[k]].a][a] + kCorner[kEdge[tr[k]].b][a]);
      double u[3], v[3];
      for (int a = 0; a < 3; ++a) {
        u[a] = p[1][a] - p[0][a];
        v[a] = p[2][a] - p[0][a];
      }
      double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
      // Summed over its three edges, the step from the corner not below to
      // the corner below points along the normal.
      double s = 0;
      for (int e : tr) {
        int lo = (code >> kEdge[e].a) & 1 ? kEdge[e].a : kEdge[e].b;
        int hi = lo == kEdge[e].a ? kEdge[e].b : kEdge[e].a;
        for (int a = 0; a < 3; ++a) s += n[a] * (kCorner[lo][a] - kCorner[hi][a]);
      }
      EXPECT_GT(s, 0) << "case " << code;
    }
  // The published orientation of the first cases, up to rotation.
  auto rot = [](std::array<int, 3> t) {
    std::rotate(t.begin(), std::min_element(t.begin(), t.end()), t.end());
    return t;
  };
  auto t1 = triangles(1);
  ASSERT_EQ(t1.size(), 1u);
  EXPECT_EQ(rot(t1[0]), (std::array<int, 3>{0, 3, 8}));
  auto t3 = triangles(3);
  ASSERT_EQ(t3.size(), 2u);
  std::set<std::array<int, 3>> got = {rot(t3[0]), rot(t3[1])};
  EXPECT_EQ(got, (std::set<std::array<int, 3>>{{1, 3, 8}, {1, 8, 9}}));
}
