#include "ctree/leaf_block_trees.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "ctree/parent_forest.h"
#include "fields/sort_keys.h"

namespace ctree {

GridFrame frame_of(const ScalarField3DGrid& grid) {
  GridFrame f;
  for (int a = 0; a < 3; ++a) f.origin[a] = grid.origin[a], f.spacing[a] = grid.spacing[a];
  return f;
}

bool leaf_blocks_exact(const ScalarField3DGrid& grid, const GridFrame& frame) {
  for (int a = 0; a < 3; ++a) {
    const Real o = frame.origin[a], s = frame.spacing[a];
    if (!(s >= 1) || std::floor(s) != s || std::floor(o) != o) return false;
    if (std::fabs(o) + s * Real(grid.dim[a]) > 0x1p50) return false;
  }
  for (Real v : grid.values)
    if (std::isnan(v)) return false;
  return true;
}

namespace {

// The 14 neighbours of a vertex: the edges of the cubes' tetrahedra.
const int OFFSET[14][3] = {{1, 0, 0},   {-1, 0, 0}, {0, 1, 0},   {0, -1, 0}, {0, 0, 1},   {0, 0, -1}, {1, 1, 0},
                           {-1, -1, 0}, {1, 0, 1},  {-1, 0, -1}, {0, 1, 1},  {0, -1, -1}, {1, 1, 1},  {-1, -1, -1}};

// Side bits of a vertex on the block's boundary: low and high face per axis.
enum : std::uint8_t { X_LO = 1, X_HI = 2, Y_LO = 4, Y_HI = 8, Z_LO = 16, Z_HI = 32 };
// Why a vertex is kept.
enum : std::uint8_t { KEEP_BOUNDARY = 1, KEEP_JOIN = 2, KEEP_SPLIT = 4 };

using KeyItem = KeyedIndex<std::uint64_t>;

// Per-thread scratch, sized for the largest block seen and reused.
struct Scratch {
  std::vector<KeyItem> items, other;
  std::vector<Index> order;          // sweep position -> local vertex
  std::vector<Index> rank;           // local vertex -> sweep position
  std::vector<Index> parent;         // union-find over local vertices, by rank
  std::vector<std::uint8_t> height;  // rank of a root: a bound on its tree's height
  std::vector<Index> last;           // at a root: the component's latest kept vertex
  std::vector<std::uint8_t> side, keep;
  std::vector<Index> kept;                       // kept vertices, increasing
  std::vector<Index> slot;                       // local vertex -> position in V
  std::vector<Index> arcs[2], arcStart[2];       // per tree, per kept vertex in sweep order
  std::vector<Index> augmented, augmentedStart;  // the split sweep's, per vertex
};

thread_local Scratch scratch;

// The block's shape in local indices (x fastest).
struct Shape {
  Size d[3];
  Index offset[14];
  std::uint8_t forbid[14];  // side bits that rule out each neighbour offset

  explicit Shape(const Size dim[3]) {
    for (int a = 0; a < 3; ++a) d[a] = dim[a];
    for (int k = 0; k < 14; ++k) {
      const int* o = OFFSET[k];
      offset[k] = Index(o[0] + int(d[0]) * (o[1] + int(d[1]) * o[2]));
      forbid[k] = std::uint8_t((o[0] < 0 ? X_LO : 0) | (o[0] > 0 ? X_HI : 0) | (o[1] < 0 ? Y_LO : 0) |
                               (o[1] > 0 ? Y_HI : 0) | (o[2] < 0 ? Z_LO : 0) | (o[2] > 0 ? Z_HI : 0));
    }
  }
  void coords(Index v, Size c[3]) const {
    c[0] = Size(v) % d[0];
    c[1] = (Size(v) / d[0]) % d[1];
    c[2] = Size(v) / (d[0] * d[1]);
  }
  Index local(Size x, Size y, Size z) const { return Index(x + d[0] * (y + d[1] * z)); }
};

// The order in which the recursion finishes the cubes of a block of the
// given dims (the block cut like ScalarField3DGrid::divide cuts it, lower
// half first): rank[cube] for cube = cx + (dx-1)·(cy + (dy-1)·cz). Blocks of
// one run mostly share their dims, so the table is kept per thread.
struct CubeOrder {
  Size dim[3] = {0, 0, 0};
  std::vector<Index> rank;

  void prepare(const Size d[3]) {
    if (d[0] == dim[0] && d[1] == dim[1] && d[2] == dim[2]) return;
    for (int a = 0; a < 3; ++a) dim[a] = d[a];
    rank.assign(size_t(d[0] - 1) * (d[1] - 1) * (d[2] - 1), 0);
    Index next = 0;
    const Size lo[3] = {0, 0, 0};
    fill(lo, d, next);
  }
  Index of(const Size q[3]) const { return rank[q[0] + size_t(dim[0] - 1) * (q[1] + size_t(dim[1] - 1) * q[2])]; }

 private:
  void fill(const Size lo[3], const Size n[3], Index& next) {
    if (n[0] <= 2 && n[1] <= 2 && n[2] <= 2) {
      rank[lo[0] + size_t(dim[0] - 1) * (lo[1] + size_t(dim[1] - 1) * lo[2])] = next++;
      return;
    }
    const Size m = std::max(n[0], std::max(n[1], n[2]));
    const int a = n[2] == m ? 2 : n[1] == m ? 1 : 0;
    const Size h = n[a] / 2;
    Size lower[3] = {n[0], n[1], n[2]}, upper[3] = {n[0], n[1], n[2]}, ulo[3] = {lo[0], lo[1], lo[2]};
    lower[a] = h + 1;
    upper[a] = n[a] - h;
    ulo[a] += h;
    fill(lo, lower, next);
    fill(ulo, upper, next);
  }
};

thread_local CubeOrder cube_order;

// The distinct components swept before v that touch it, in the order in
// which the recursion's merges close their arcs at v: cubes around v in
// recursion order, and in each cube v's neighbours in the order the cube
// sweep visits them (corners 1..6 and the other diagonal for a diagonal
// corner, else its two adj_verts neighbours and then the diagonal corners).
int ordered_roots(const Shape& S, Scratch& s, Index v, Index r, bool join, Index* roots) {
  Size c[3];
  S.coords(v, c);
  struct Cube {
    Index rank;
    Size q[3];
    int corner;
  } cubes[8];
  int nc = 0;
  for (int oz = -1; oz <= 0; ++oz)
    for (int oy = -1; oy <= 0; ++oy)
      for (int ox = -1; ox <= 0; ++ox) {
        const long q0 = long(c[0]) + ox, q1 = long(c[1]) + oy, q2 = long(c[2]) + oz;
        if (q0 < 0 || q1 < 0 || q2 < 0 || q0 > long(S.d[0]) - 2 || q1 > long(S.d[1]) - 2 || q2 > long(S.d[2]) - 2)
          continue;
        Cube& k = cubes[nc++];
        k.q[0] = Size(q0), k.q[1] = Size(q1), k.q[2] = Size(q2);
        k.corner = (ox < 0 ? 1 : 0) | (oy < 0 ? 2 : 0) | (oz < 0 ? 4 : 0);
        k.rank = cube_order.of(k.q);
      }
  for (int i = 1; i < nc; ++i)
    for (int j = i; j > 0 && cubes[j].rank < cubes[j - 1].rank; --j) std::swap(cubes[j], cubes[j - 1]);
  int n = 0;
  Index* parent = s.parent.data();
  for (int i = 0; i < nc; ++i) {
    const Cube& k = cubes[i];
    int corners[7], nu = 0;
    if (k.corner == 0 || k.corner == 7) {
      for (int u = 1; u <= 6; ++u) corners[nu++] = u;
      corners[nu++] = 7 - k.corner;
    } else {
      corners[nu++] = adj_verts[k.corner - 1][0];
      corners[nu++] = adj_verts[k.corner - 1][1];
      corners[nu++] = 0;
      corners[nu++] = 7;
    }
    for (int j = 0; j < nu; ++j) {
      const int u = corners[j];
      const Index l = S.local(k.q[0] + Size(u & 1), k.q[1] + Size((u >> 1) & 1), k.q[2] + Size((u >> 2) & 1));
      const Index ru = s.rank[size_t(l)];
      if (join ? ru >= r : ru <= r) continue;
      const Index root = find_root(parent, l);
      bool seen = false;
      for (int t = 0; t < n; ++t) seen = seen || roots[t] == root;
      if (!seen) roots[n++] = root;
    }
  }
  return n;
}

// One sweep, upwards (join) or downwards (split), that marks the vertices
// critical in its tree and records, vertex by vertex in sweep order, the far
// ends of the arcs that end there (the latest recorded vertex of each
// component the vertex joins), in the order the recursion closes them.
// The split sweep comes first and records every vertex (the augmented
// tree: which vertices are kept is known only after the join sweep); the
// join sweep then records the kept vertices only.
template <bool JOIN>
void sweep(const Shape& S, Scratch& s) {
  const Index m = Index(s.order.size());
  Index* parent = s.parent.data();
  const Index* rank = s.rank.data();
  const std::uint8_t* side = s.side.data();
  std::uint8_t* keep = s.keep.data();
  std::uint8_t* height = s.height.data();
  Index* last = s.last.data();
  std::vector<Index>& arcs = JOIN ? s.arcs[0] : s.augmented;
  std::vector<Index>& arcStart = JOIN ? s.arcStart[0] : s.augmentedStart;
  arcs.clear();
  arcStart.clear();
  if (JOIN) s.kept.clear();
  for (Index step = 0; step < m; ++step) {
    const Index r = JOIN ? step : m - 1 - step;
    const Index v = s.order[size_t(r)];
    parent[v] = v;
    height[v] = 0;
    Index roots[14];
    int nr = 0;
    const std::uint8_t sv = side[v];
    for (int k = 0; k < 14; ++k) {
      if (sv & S.forbid[k]) continue;
      const Index u = v + S.offset[k];
      if (JOIN ? rank[u] >= r : rank[u] <= r) continue;
      const Index ru = find_root(parent, u);
      bool seen = false;
      for (int t = 0; t < nr; ++t) seen = seen || roots[t] == ru;
      if (!seen) roots[nr++] = ru;
    }
    if (nr != 1) keep[v] |= JOIN ? KEEP_JOIN : KEEP_SPLIT;
    const bool recorded = !JOIN || keep[v];
    if (recorded) {
      if (nr >= 2) {
        const int n = ordered_roots(S, s, v, r, JOIN, roots);
        assert(n == nr);
        (void)n;
      }
      arcStart.push_back(Index(arcs.size()));
      for (int t = 0; t < nr; ++t) arcs.push_back(last[roots[t]]);
    }
    // Union by rank of v and the components it touches; the joined set's
    // latest recorded vertex is v if v is recorded, else the one of its
    // only component.
    Index root = v;
    for (int t = 0; t < nr; ++t)
      if (height[roots[t]] > height[root]) root = roots[t];
    if (root == v && nr > 0) root = roots[0];
    bool tie = root != v && height[root] == 0;
    for (int t = 0; t < nr; ++t)
      if (roots[t] != root) {
        tie = tie || height[roots[t]] == height[root];
        parent[roots[t]] = root;
      }
    if (root != v) parent[v] = root;
    if (tie) ++height[root];
    if (recorded) {
      last[root] = v;
      if (JOIN) s.kept.push_back(v);
    }
  }
  arcStart.push_back(Index(arcs.size()));
}

// The split tree's arcs between kept vertices from the augmented split
// tree: a vertex that is not kept has exactly one arc ending at it, and an
// arc that reached it reaches that arc's far end instead.
void contract_split_tree(Scratch& s) {
  const Index m = Index(s.order.size());
  Index* redirect = s.last.data();  // the union-find's latest vertices are done with
  s.arcs[1].clear();
  s.arcStart[1].clear();
  for (Index t = 0; t < m; ++t) {
    const Index v = s.order[size_t(m - 1 - t)];
    const Index* far = &s.augmented[size_t(s.augmentedStart[size_t(t)])];
    const Index n = s.augmentedStart[size_t(t) + 1] - s.augmentedStart[size_t(t)];
    if (!s.keep[size_t(v)]) {
      redirect[v] = redirect[far[0]];
      continue;
    }
    redirect[v] = v;
    s.arcStart[1].push_back(Index(s.arcs[1].size()));
    for (Index e = 0; e < n; ++e) s.arcs[1].push_back(redirect[far[e]]);
  }
  s.arcStart[1].push_back(Index(s.arcs[1].size()));
}

}  // namespace

void solve_leaf_block(const ScalarField3DGrid& grid, const GridFrame& frame, const GridBlock& block, BlockTrees& out) {
  Scratch& s = scratch;
  const Shape shape(block.dim);
  cube_order.prepare(block.dim);
  const Size m = block.vertexCount();
  const Size gx = grid.dim[0], gxy = grid.dim[0] * grid.dim[1];

  // Values in local order, with the side bits of the boundary vertices.
  s.items.resize(m);
  s.side.resize(m);
  s.keep.resize(m);
  Index l = 0;
  for (Size z = 0; z < block.dim[2]; ++z)
    for (Size y = 0; y < block.dim[1]; ++y) {
      const Real* row =
          &grid.values[size_t(block.start[0]) + size_t(gx) * (block.start[1] + y) + size_t(gxy) * (block.start[2] + z)];
      const std::uint8_t yz = std::uint8_t((y == 0 ? Y_LO : 0) | (y + 1 == block.dim[1] ? Y_HI : 0) |
                                           (z == 0 ? Z_LO : 0) | (z + 1 == block.dim[2] ? Z_HI : 0));
      for (Size x = 0; x < block.dim[0]; ++x, ++l) {
        s.items[size_t(l)] = KeyItem{order_key64(row[x]), l};
        const std::uint8_t sv = std::uint8_t(yz | (x == 0 ? X_LO : 0) | (x + 1 == block.dim[0] ? X_HI : 0));
        s.side[size_t(l)] = sv;
        s.keep[size_t(l)] = sv ? KEEP_BOUNDARY : 0;
      }
    }
  radix_sort(s.items, s.other);
  s.order.resize(m);
  s.rank.resize(m);
  for (Size r = 0; r < m; ++r) {
    s.order[r] = s.items[r].index;
    s.rank[size_t(s.items[r].index)] = Index(r);
  }
  s.parent.resize(m);
  s.height.resize(m);
  s.last.resize(m);

  // The augmented split tree, then the join tree's arcs (every kept vertex
  // is known when it is swept), then the split tree's arcs between kept
  // vertices.
  sweep<false>(shape, s);
  sweep<true>(shape, s);
  contract_split_tree(s);

  // The kept vertices' records and the arcs between them.
  const Index N = Index(s.kept.size());
  out.V.clear();
  out.V.resize(size_t(N));
  s.slot.resize(m);
  for (Index k = 0; k < N; ++k) {
    const Index v = s.kept[size_t(k)];
    Size c[3];
    shape.coords(v, c);
    s.slot[size_t(v)] = k;
    const Size x = block.start[0] + c[0], y = block.start[1] + c[1], z = block.start[2] + c[2];
    out.V[size_t(k)] = Vertex{
        frame.origin[0] + frame.spacing[0] * Real(x), frame.origin[1] + frame.spacing[1] * Real(y),
        frame.origin[2] + frame.spacing[2] * Real(z), grid.values[x + size_t(gx) * y + size_t(gxy) * z]};
  }
  for (int k = 0; k < 2; ++k) {
    out.first[k].assign(s.arcStart[k].begin(), s.arcStart[k].end());
    out.far[k].resize(s.arcs[k].size());
    for (size_t e = 0; e < s.arcs[k].size(); ++e) out.far[k][e] = s.slot[size_t(s.arcs[k][e])];
  }
}

}  // namespace ctree
