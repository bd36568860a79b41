#include "fields/grid_field.h"

#include "core/huge_pages.h"
#include "fields/sort_keys.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace ctree {

const Index adj_verts[6][2] = {{3, 5}, {3, 6}, {1, 2}, {5, 6}, {1, 4}, {2, 4}};

template <class Key, class MakeKey>
static std::vector<Index> sort_by_key(const std::vector<Real>& values, MakeKey make_key) {
  std::vector<KeyedIndex<Key>> items;
  reserve_huge(items, values.size());
  for (std::size_t i = 0; i < values.size(); ++i) items.push_back({make_key(values[i]), Index(i)});
  {
    std::vector<KeyedIndex<Key>> other;
    reserve_huge(other, values.size());
    radix_sort(items, other);
  }
  std::vector<Index> order;
  reserve_huge(order, values.size());
  for (const auto& it : items) order.push_back(it.index);
  return order;
}

std::vector<Index> sorted_vertex_order(const std::vector<Real>& values) {
  const std::size_t n = values.size();
  if (n < 2048) {
    std::vector<Index> idx(n);
    for (std::size_t i = 0; i < n; ++i) idx[i] = Index(i);
    std::sort(idx.begin(), idx.end(), [&](Index a, Index b) {
      return values[a] < values[b] || (values[a] == values[b] && a < b);
    });
    return idx;
  }
  // Fields read from float or narrower samples hold only float values: their
  // 32-bit keys order them exactly and halve the memory traffic.
  bool all_float = true;
  for (Real v : values)
    if (Real(float(v)) != v) {
      all_float = false;
      break;
    }
  if (all_float) return sort_by_key<std::uint32_t>(values, [](Real v) { return order_key32(float(v)); });
  return sort_by_key<std::uint64_t>(values, order_key64);
}

void ScalarField3DGrid::sortVertices() {
  order = sorted_vertex_order(values);
  assert(order.size() == values.size());
  sorted = true;
}

void ScalarField3DGrid::divide(ScalarField3DGrid& upper) {
  const Size m = std::max(dim[0], std::max(dim[1], dim[2]));
  if (dim[2] == m)
    divideZ(upper);
  else if (dim[1] == m)
    divideY(upper);
  else
    divideX(upper);
}

// The upper half's geometry: this grid's, with axis a starting at layer h.
static void set_upper_geometry(const ScalarField3DGrid& g, int a, Size h, ScalarField3DGrid& upper) {
  for (int k = 0; k < 3; ++k) {
    upper.dim[k] = g.dim[k];
    upper.spacing[k] = g.spacing[k];
    upper.origin[k] = g.origin[k];
  }
  upper.dim[a] = g.dim[a] - h;
  upper.origin[a] = g.origin[a] + h * g.spacing[a];
  upper.sorted = false;
  upper.order.clear();
  upper.values.resize(std::size_t(upper.dim[0]) * upper.dim[1] * upper.dim[2]);
}

void ScalarField3DGrid::divideX(ScalarField3DGrid& upper) {
  const Size n = dim[0], h = n / 2, rows = dim[1] * dim[2];
  assert(n >= 3);
  set_upper_geometry(*this, 0, h, upper);
  const Size lo = h + 1, hi = n - h;
  for (Size r = 0; r < rows; ++r) {
    const Real* row = &values[std::size_t(r) * n];
    std::copy(row + h, row + n, &upper.values[std::size_t(r) * hi]);
    // In place: the row's new start is never after its old start.
    std::copy(row, row + lo, &values[std::size_t(r) * lo]);
  }
  dim[0] = lo;
  values.resize(std::size_t(rows) * lo);
  values.shrink_to_fit();
}

void ScalarField3DGrid::divideY(ScalarField3DGrid& upper) {
  const Size nx = dim[0], n = dim[1], h = n / 2, nz = dim[2];
  assert(n >= 3);
  set_upper_geometry(*this, 1, h, upper);
  const Size lo = h + 1, hi = n - h;
  for (Size z = 0; z < nz; ++z) {
    const Real* slab = &values[std::size_t(z) * n * nx];
    std::copy(slab + std::size_t(h) * nx, slab + std::size_t(n) * nx, &upper.values[std::size_t(z) * hi * nx]);
    std::copy(slab, slab + std::size_t(lo) * nx, &values[std::size_t(z) * lo * nx]);
  }
  dim[1] = lo;
  values.resize(std::size_t(nz) * lo * nx);
  values.shrink_to_fit();
}

void ScalarField3DGrid::divideZ(ScalarField3DGrid& upper) {
  const Size n = dim[2], h = n / 2;
  const std::size_t slab = std::size_t(dim[0]) * dim[1];
  assert(n >= 3);
  set_upper_geometry(*this, 2, h, upper);
  std::copy(values.begin() + std::ptrdiff_t(slab * h), values.end(), upper.values.begin());
  dim[2] = h + 1;
  values.resize(slab * (h + 1));
  values.shrink_to_fit();
}

}  // namespace ctree
