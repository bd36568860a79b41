#pragma once
// Independent oracle for grid contour trees: the persistence pairs of a grid
// field by one plain union-find sweep over all its vertices, sharing no code
// with the product.
//
// Vertices are ordered by (value, index); neighbours are the 14 of the grid
// cut into six tetrahedra per cube around the 0-7 diagonal. The sublevel sweep
// pairs every minimum but the oldest with the join saddle where its
// component dies (elder rule: of the components meeting at a vertex, the one
// with the lowest minimum lives on); the superlevel sweep does the same for
// maxima and split saddles; the global minimum pairs with the global maximum.
// On a box, these are the pairs of an elder-rule branch decomposition of the
// contour tree.

#include <algorithm>
#include <numeric>
#include <set>
#include <utility>
#include <vector>

namespace oracle {

using Pair = std::pair<double, double>;  // (lower value, upper value)

struct Sweep {
  std::vector<int> up;  // plain union-find: parent links, no ranks
  int find(int a) {
    while (up[size_t(a)] != a) {
      up[size_t(a)] = up[size_t(up[size_t(a)])];
      a = up[size_t(a)];
    }
    return a;
  }
};

inline std::vector<int> neighbours(int i, int nx, int ny, int nz) {
  static const int off[14][3] = {{1, 0, 0},  {-1, 0, 0},  {0, 1, 0},   {0, -1, 0}, {0, 0, 1},
                                 {0, 0, -1}, {1, 1, 0},   {-1, -1, 0}, {1, 0, 1},  {-1, 0, -1},
                                 {0, 1, 1},  {0, -1, -1}, {1, 1, 1},   {-1, -1, -1}};
  int x = i % nx, y = (i / nx) % ny, z = i / (nx * ny);
  std::vector<int> out;
  for (auto& o : off) {
    int a = x + o[0], b = y + o[1], c = z + o[2];
    if (a >= 0 && b >= 0 && c >= 0 && a < nx && b < ny && c < nz) out.push_back(a + nx * (b + ny * c));
  }
  return out;
}

// One sweep in the given order; "oldest" is the first vertex of a component
// in that order. Returns (extremum, saddle) index pairs and the oldest root.
template <class Neighbours>
inline std::vector<std::pair<int, int>> sweep_pairs(const std::vector<int>& order, Neighbours neighbours_of,
                                                    int& oldest) {
  const int n = int(order.size());
  std::vector<int> rank(static_cast<size_t>(n));
  for (int k = 0; k < n; ++k) rank[size_t(order[size_t(k)])] = k;
  Sweep uf;
  uf.up.resize(static_cast<size_t>(n));
  std::iota(uf.up.begin(), uf.up.end(), 0);
  std::vector<int> birth(static_cast<size_t>(n));  // at a root: the component's extremum
  std::vector<std::pair<int, int>> pairs;
  for (int k = 0; k < n; ++k) {
    int v = order[size_t(k)];
    std::vector<int> roots;
    for (int u : neighbours_of(v))
      if (rank[size_t(u)] < k) {
        int r = uf.find(u);
        if (std::find(roots.begin(), roots.end(), r) == roots.end()) roots.push_back(r);
      }
    if (roots.empty()) {
      birth[size_t(v)] = v;
      continue;
    }
    // The component whose extremum came first survives.
    int keep = roots[0];
    for (int r : roots)
      if (rank[size_t(birth[size_t(r)])] < rank[size_t(birth[size_t(keep)])]) keep = r;
    for (int r : roots)
      if (r != keep) {
        pairs.push_back({birth[size_t(r)], v});
        uf.up[size_t(r)] = keep;
      }
    uf.up[size_t(v)] = keep;
  }
  oldest = birth[size_t(uf.find(order[0]))];
  return pairs;
}

// Both sweeps over a vertex order (lowest first) and a neighbour function.
template <class Neighbours>
inline std::multiset<Pair> pairs_in_order(const std::vector<double>& f, const std::vector<int>& order,
                                          Neighbours neighbours_of) {
  std::multiset<Pair> out;
  int gmin = 0, gmax = 0;
  for (auto& p : sweep_pairs(order, neighbours_of, gmin)) out.insert({f[size_t(p.first)], f[size_t(p.second)]});
  std::vector<int> down(order.rbegin(), order.rend());
  for (auto& p : sweep_pairs(down, neighbours_of, gmax)) out.insert({f[size_t(p.second)], f[size_t(p.first)]});
  out.insert({f[size_t(gmin)], f[size_t(gmax)]});
  return out;
}

// The multiset of (lower, upper) value pairs of a field of nx·ny·nz values.
inline std::multiset<Pair> persistence_pairs(const std::vector<double>& f, int nx, int ny, int nz) {
  const int n = int(f.size());
  std::vector<int> order(static_cast<size_t>(n));
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](int a, int b) {
    return f[size_t(a)] < f[size_t(b)] || (f[size_t(a)] == f[size_t(b)] && a < b);
  });
  return pairs_in_order(f, order, [&](int v) { return neighbours(v, nx, ny, nz); });
}

// Values of the local minima and maxima (no lower, or no higher, neighbour).
inline std::multiset<double> extremum_values(const std::vector<double>& f, int nx, int ny, int nz) {
  std::multiset<double> out;
  for (int i = 0; i < int(f.size()); ++i) {
    bool lowest = true, highest = true;
    for (int u : neighbours(i, nx, ny, nz)) {
      bool below = f[size_t(u)] < f[size_t(i)] || (f[size_t(u)] == f[size_t(i)] && u < i);
      (below ? lowest : highest) = false;
    }
    if (lowest) out.insert(f[size_t(i)]);
    if (highest) out.insert(f[size_t(i)]);
  }
  return out;
}

}  // namespace oracle
