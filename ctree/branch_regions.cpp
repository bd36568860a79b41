#include "ctree/branch_regions.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <array>
#include <set>
#include <utility>

namespace ctree {

const std::vector<GridStep>& grid_neighbour_steps() {
  static const std::vector<GridStep> steps = [] {
    // The edges of a cube's tetrahedra: 0 and 7 with every corner, each
    // corner 1..6 with its two adj_verts.
    std::set<std::pair<int, int>> edges;
    for (int c = 1; c < 8; ++c) edges.insert({0, c});
    for (int c = 1; c < 7; ++c) {
      edges.insert({c, 7});
      for (int k = 0; k < 2; ++k)
        edges.insert({std::min(c, int(adj_verts[c - 1][k])), std::max(c, int(adj_verts[c - 1][k]))});
    }
    std::set<std::array<int, 3>> unique;
    for (const auto& e : edges)
      for (int sign : {1, -1}) {
        std::array<int, 3> d;
        for (int a = 0; a < 3; ++a) d[a] = sign * (((e.second >> a) & 1) - ((e.first >> a) & 1));
        unique.insert(d);
      }
    std::vector<GridStep> out;
    for (const auto& d : unique) out.push_back(GridStep{{d[0], d[1], d[2]}});
    assert(out.size() == 14);
    return out;
  }();
  return steps;
}

std::vector<Index> tree_grid_indices(const FlatTree& tree, const ScalarField3DGrid& grid) {
  std::vector<Index> out(tree.vertices.size(), NULL_INDEX);
  for (size_t v = 0; v < tree.vertices.size(); ++v) {
    const Real p[3] = {tree.vertices[v].x, tree.vertices[v].y, tree.vertices[v].z};
    long k[3];
    bool inside = true;
    for (int a = 0; a < 3; ++a) {
      k[a] = std::lround((p[a] - grid.origin[a]) / grid.spacing[a]);
      inside = inside && k[a] >= 0 && k[a] < long(grid.dim[a]);
    }
    if (inside) out[v] = grid.vertexIndex(Size(k[0]), Size(k[1]), Size(k[2]));
  }
  return out;
}

namespace {

// Open-addressing set of vertex indices, grown by doubling: the memory of
// a region follows the region, not the grid.
class IndexSet {
 public:
  IndexSet() : slots_(64, NULL_INDEX) {}
  // true when v was not in the set yet.
  bool insert(Index v) {
    if (2 * (count_ + 1) > slots_.size()) grow();
    return place(slots_, v);
  }

 private:
  static size_t slot(Index v, size_t mask) { return (std::uint32_t(v) * 2654435761u) & mask; }
  bool place(std::vector<Index>& slots, Index v) {
    const size_t mask = slots.size() - 1;
    for (size_t s = slot(v, mask);; s = (s + 1) & mask) {
      if (slots[s] == v) return false;
      if (slots[s] == NULL_INDEX) {
        slots[s] = v;
        ++count_;
        return true;
      }
    }
  }
  void grow() {
    std::vector<Index> bigger(slots_.size() * 2, NULL_INDEX);
    count_ = 0;
    for (Index v : slots_)
      if (v != NULL_INDEX) place(bigger, v);
    slots_.swap(bigger);
  }
  std::vector<Index> slots_;
  size_t count_ = 0;
};

// Flood fill from end over the vertices beyond hang on end's side; mark(v)
// is true the first time v is met. visit(v) is called once per vertex of
// the region.
template <class Mark, class Visit>
void flood(const ScalarField3DGrid& grid, Index end, Index hang, Mark mark, Visit visit) {
  const std::vector<Real>& f = grid.values;
  const Real h = f[size_t(hang)];
  // Strictly beyond hang in (value, index) order.
  auto after = [&](Index v) { return f[size_t(v)] > h || (f[size_t(v)] == h && v > hang); };
  const bool up = after(end);
  auto beyond = [&](Index v) { return v != hang && after(v) == up; };
  assert(beyond(end));
  const std::vector<GridStep>& steps = grid_neighbour_steps();
  const long nx = grid.dim[0], ny = grid.dim[1], nz = grid.dim[2];
  std::vector<Index> stack{end};
  mark(end);
  while (!stack.empty()) {
    const Index v = stack.back();
    stack.pop_back();
    visit(v);
    const long x = v % nx, y = (v / nx) % ny, z = v / (nx * ny);
    for (const GridStep& s : steps) {
      const long a = x + s.d[0], b = y + s.d[1], c = z + s.d[2];
      if (a < 0 || b < 0 || c < 0 || a >= nx || b >= ny || c >= nz) continue;
      const Index w = Index(a + nx * (b + ny * c));
      if (beyond(w) && mark(w)) stack.push_back(w);
    }
  }
}

}  // namespace

std::vector<Index> branch_region(const ScalarField3DGrid& grid, Index end, Index hang) {
  std::vector<Index> out;
  if (hang == NULL_INDEX) {
    out.resize(grid.values.size());
    for (size_t i = 0; i < out.size(); ++i) out[i] = Index(i);
    return out;
  }
  IndexSet seen;
  flood(
      grid, end, hang, [&](Index v) { return seen.insert(v); }, [&](Index v) { out.push_back(v); });
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<std::int32_t> branch_segmentation(const ScalarField3DGrid& grid, const FlatTree& tree,
                                              const std::vector<Index>& gridIndex) {
  std::vector<std::int32_t> labels(grid.values.size(), 0);
  // Each branch is painted once, so labels[v] == b tells that b's fill has
  // met v already.
  for (size_t b = 1; b < tree.branches.size(); ++b) {
    const FlatBranch& br = tree.branches[b];
    const Index end = gridIndex[size_t(br.ends[0])], hang = gridIndex[size_t(br.ends[1])];
    assert(end != NULL_INDEX && hang != NULL_INDEX);
    const std::int32_t label = std::int32_t(b);
    flood(
        grid, end, hang,
        [&](Index v) {
          if (labels[size_t(v)] == label) return false;
          labels[size_t(v)] = label;
          return true;
        },
        [](Index) {});
  }
  return labels;
}

}  // namespace ctree
