#pragma once
// Sorting vertices by (value, index) with a radix sort on keys whose
// unsigned order is the numeric order of the values.

#include <cstdint>
#include <cstring>
#include <vector>

#include "core/types.h"

namespace ctree {

// Negative zero becomes positive zero so that the two compare equal, as under <.
inline std::uint64_t order_key64(Real v) {
  if (v == 0.0) v = 0.0;
  std::uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return (bits >> 63) ? ~bits : (bits | (std::uint64_t(1) << 63));
}

inline std::uint32_t order_key32(float v) {
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
// Digits that all keys share are skipped. other is scratch (resized here).
template <class Key>
void radix_sort(std::vector<KeyedIndex<Key>>& items, std::vector<KeyedIndex<Key>>& other) {
  constexpr int BITS = 11, BUCKETS = 1 << BITS;
  constexpr int DIGITS = (int(sizeof(Key)) * 8 + BITS - 1) / BITS;
  const std::size_t n = items.size();
  if (n == 0) return;
  std::vector<std::size_t> hist(std::size_t(DIGITS) * BUCKETS, 0);
  for (const auto& it : items)
    for (int d = 0; d < DIGITS; ++d) ++hist[std::size_t(d) * BUCKETS + ((it.key >> (d * BITS)) & (BUCKETS - 1))];
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

}  // namespace ctree
