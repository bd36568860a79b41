#include "contour/cube_table.h"

#include <cassert>
#include <cmath>
#include <vector>

namespace contour {

const int cube_corner[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1},
                               {0, 1, 0}, {1, 1, 0}, {1, 1, 1}, {0, 1, 1}};

const CubeEdge cube_edge[12] = {
    {0, {0, 0, 0}, 0, 1}, {2, {1, 0, 0}, 1, 2}, {0, {0, 0, 1}, 3, 2}, {2, {0, 0, 0}, 0, 3},
    {0, {0, 1, 0}, 4, 5}, {2, {1, 1, 0}, 5, 6}, {0, {0, 1, 1}, 7, 6}, {2, {0, 1, 0}, 4, 7},
    {1, {0, 0, 0}, 0, 4}, {1, {1, 0, 0}, 1, 5}, {1, {0, 0, 1}, 3, 7}, {1, {1, 0, 1}, 2, 6}};

const int cube_face_corners[6][4] = {{0, 1, 2, 3}, {0, 3, 4, 7}, {4, 5, 6, 7},
                                     {1, 2, 5, 6}, {2, 3, 6, 7}, {0, 1, 4, 5}};
const int cube_face_step[6][3] = {{0, -1, 0}, {-1, 0, 0}, {0, 1, 0}, {1, 0, 0}, {0, 0, 1}, {0, 0, -1}};

namespace {

bool corner_on_face(int c, int f) {
  for (int k = 0; k < 4; ++k)
    if (cube_face_corners[f][k] == c) return true;
  return false;
}

bool edge_on_face(int e, int f) { return corner_on_face(cube_edge[e].a, f) && corner_on_face(cube_edge[e].b, f); }

// True when the three edges lie on one common face: a triangle over them
// would lie flat in that face.
bool edges_share_face(int e1, int e2, int e3) {
  for (int f = 0; f < 6; ++f)
    if (edge_on_face(e1, f) && edge_on_face(e2, f) && edge_on_face(e3, f)) return true;
  return false;
}

struct Vec {
  double x, y, z;
};
Vec sub(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec cross(Vec a, Vec b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec corner_pos(int c) { return {double(cube_corner[c][0]), double(cube_corner[c][1]), double(cube_corner[c][2])}; }
Vec edge_mid(int e) {
  Vec a = corner_pos(cube_edge[e].a), b = corner_pos(cube_edge[e].b);
  return {(a.x + b.x) / 2, (a.y + b.y) / 2, (a.z + b.z) / 2};
}

// How well triangle (e1, e2, e3) faces the below side: its unit normal dotted
// with the sum of its three edges' directions towards their below corners.
double facing(int code, const int e[3]) {
  Vec p[3] = {edge_mid(e[0]), edge_mid(e[1]), edge_mid(e[2])};
  Vec n = cross(sub(p[1], p[0]), sub(p[2], p[0]));
  double len = std::sqrt(dot(n, n));
  if (len == 0) return -1;
  Vec d = {0, 0, 0};
  for (int k = 0; k < 3; ++k) {
    const CubeEdge& ed = cube_edge[e[k]];
    bool a_below = (code >> ed.a & 1) != 0;
    Vec to = sub(corner_pos(a_below ? ed.a : ed.b), corner_pos(a_below ? ed.b : ed.a));
    d = {d.x + to.x, d.y + to.y, d.z + to.z};
  }
  return dot(n, d) / len;
}

// Fans one loop of crossed edges into triangles, choosing the fan apex and the
// direction so that no triangle lies in a face and all face the below side as
// well as possible.
void fan_loop(int code, const std::vector<int>& loop, std::vector<int>& tris) {
  const int n = int(loop.size());
  assert(n >= 3);
  double best_score = -1e30;
  std::vector<int> best;
  for (int dir = 0; dir < 2; ++dir) {
    for (int apex = 0; apex < n; ++apex) {
      std::vector<int> cand;
      double score = 1e30;
      bool flat = false;
      for (int k = 1; k + 1 < n; ++k) {
        int i1 = (apex + (dir ? n - k : k)) % n;
        int i2 = (apex + (dir ? n - k - 1 : k + 1)) % n;
        int e[3] = {loop[apex], loop[i1], loop[i2]};
        if (edges_share_face(e[0], e[1], e[2])) flat = true;
        score = std::fmin(score, facing(code, e));
        cand.insert(cand.end(), e, e + 3);
      }
      if (flat) score -= 1e6;
      if (score > best_score) {
        best_score = score;
        best = cand;
      }
    }
  }
  assert(best_score > 0 && "a loop could not be fanned facing the below side");
  tris.insert(tris.end(), best.begin(), best.end());
}

void build_case(int code, CubeTables& t) {
  auto below = [code](int c) { return (code >> c & 1) != 0; };

  int ne = 0;
  for (int e = 0; e < 12; ++e)
    if (below(cube_edge[e].a) != below(cube_edge[e].b)) t.cubeedges[code][1 + ne++] = e;
  t.cubeedges[code][0] = ne;

  int nf = 0;
  for (int f = 0; f < 6; ++f) {
    int nb = 0;
    for (int k = 0; k < 4; ++k) nb += below(cube_face_corners[f][k]);
    if (nb != 0 && nb != 4) t.adjfaces[code][1 + nf++] = f;
  }
  t.adjfaces[code][0] = nf;

  // Segments per face; link[e] holds the (up to two) crossed edges that e is
  // joined to, one through each of the two faces that contain e.
  int link[12][2];
  int nlink[12] = {0};
  for (int f = 0; f < 6; ++f) {
    int crossed[4], nc = 0;
    for (int e = 0; e < 12; ++e)
      if (edge_on_face(e, f) && below(cube_edge[e].a) != below(cube_edge[e].b)) crossed[nc++] = e;
    if (nc == 0) continue;
    auto join = [&](int a, int b) {
      link[a][nlink[a]++] = b;
      link[b][nlink[b]++] = a;
    };
    if (nc == 2) {
      join(crossed[0], crossed[1]);
      continue;
    }
    assert(nc == 4);
    // Ambiguous face: cut each below corner off by the two edges at it.
    for (int k = 0; k < 4; ++k) {
      int c = cube_face_corners[f][k];
      if (!below(c)) continue;
      int at[2], na = 0;
      for (int m = 0; m < nc; ++m)
        if (cube_edge[crossed[m]].a == c || cube_edge[crossed[m]].b == c) at[na++] = crossed[m];
      assert(na == 2);
      join(at[0], at[1]);
    }
  }

  std::vector<int> tris;
  bool used[12] = {false};
  for (int m = 1; m <= ne; ++m) {
    int start = t.cubeedges[code][m];
    if (used[start]) continue;
    assert(nlink[start] == 2);
    std::vector<int> loop;
    int prev = -1, cur = start;
    do {
      loop.push_back(cur);
      used[cur] = true;
      int next = link[cur][0] != prev ? link[cur][0] : link[cur][1];
      prev = cur;
      cur = next;
    } while (cur != start);
    fan_loop(code, loop, tris);
  }

  int ntri = int(tris.size() / 3);
  assert(ntri <= CUBE_MAX_TRIANGLES);
  t.ntriangles[code] = ntri;
  for (int k = 0; k < ntri * 3; ++k) t.triCases[code][k] = tris[k];
  t.triCases[code][ntri * 3] = -1;
}

CubeTables make_tables() {
  CubeTables t{};
  for (int code = 0; code < 256; ++code) build_case(code, t);
  return t;
}

}  // namespace

const CubeTables& cube_tables() {
  static const CubeTables tables = make_tables();
  return tables;
}

}  // namespace contour
