#include "fields/grid_field.h"

#include "app/huge_pages.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace ctree {

const Index adj_verts[6][2] = {{3, 5}, {3, 6}, {1, 2}, {5, 6}, {1, 4}, {2, 4}};

// Keys whose unsigned order is the numeric order of the values. Negative
// zero becomes positive zero so that the two compare equal, as under <.
static inline std::uint64_t order_key64(Real v) {
  if (v == 0.0) v = 0.0;
  std::uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return (bits >> 63) ? ~bits : (bits | (std::uint64_t(1) << 63));
}

static inline std::uint32_t order_key32(float v) {
  if (v == 0.0f) v = 0.0f;
  std::uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return (bits >> 31) ? ~bits : (bits | (std::uint32_t(1) << 31));
}

template <class Key>
struct KeyedIndex {
  Key key;
  Index index;
};

// LSD radix sort on 11-bit digits. Every pass is stable and the items start
// in index order, so equal keys end in index order: the (value, index) order.
// Digits that all keys share are skipped.
template <class Key>
static void radix_sort(std::vector<KeyedIndex<Key>>& items) {
  constexpr int BITS = 11, BUCKETS = 1 << BITS;
  constexpr int DIGITS = (int(sizeof(Key)) * 8 + BITS - 1) / BITS;
  const std::size_t n = items.size();
  std::vector<std::size_t> hist(std::size_t(DIGITS) * BUCKETS, 0);
  for (const auto& it : items)
    for (int d = 0; d < DIGITS; ++d) ++hist[std::size_t(d) * BUCKETS + ((it.key >> (d * BITS)) & (BUCKETS - 1))];
  std::vector<KeyedIndex<Key>> other;
  reserve_huge(other, n);
  other.resize(n);
  for (int d = 0; d < DIGITS; ++d) {
    std::size_t* h = &hist[std::size_t(d) * BUCKETS];
    const int shift = d * BITS;
    if (h[(items[0].key >> shift) & (BUCKETS - 1)] == n) continue;
    std::size_t sum = 0;
    for (int b = 0; b < BUCKETS; ++b) {
      std::size_t c = h[b];
      h[b] = sum;
      sum += c;
    }
    for (const auto& it : items) other[h[(it.key >> shift) & (BUCKETS - 1)]++] = it;
    items.swap(other);
  }
}

template <class Key, class MakeKey>
static std::vector<Index> sort_by_key(const std::vector<Real>& values, MakeKey make_key) {
  std::vector<KeyedIndex<Key>> items;
  reserve_huge(items, values.size());
  for (std::size_t i = 0; i < values.size(); ++i) items.push_back({make_key(values[i]), Index(i)});
  radix_sort(items);
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

}  // namespace ctree
