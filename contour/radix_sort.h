#pragma once
// Least-significant-digit radix sorts on 32-bit keys, for the seed ranges
// of the interval tree: three stable passes of 11 bits.
//
// float_key maps finite floats to keys in the same order, -0 and 0 to one
// key; keys are unsigned and compare as integers.

#include <cstdint>
#include <cstring>
#include <vector>

namespace contour {

inline std::uint32_t float_key(float x) {
  x += 0.0f;  // -0 is 0
  std::uint32_t b;
  std::memcpy(&b, &x, 4);
  return (b & 0x80000000u) ? ~b : b | 0x80000000u;
}

inline float key_float(std::uint32_t k) {
  const std::uint32_t b = (k & 0x80000000u) ? k & 0x7fffffffu : ~k;
  float x;
  std::memcpy(&x, &b, 4);
  return x;
}

// Reorders items stably by key(item), ascending. key returns uint32.
template <class T, class Key>
void radix_sort_by(std::vector<T>& items, Key key) {
  std::vector<T> other(items.size());
  for (int shift = 0; shift < 32; shift += 11) {
    std::uint32_t count[2049] = {0};
    for (const T& x : items) ++count[((key(x) >> shift) & 2047u) + 1];
    for (int d = 0; d < 2048; ++d) count[d + 1] += count[d];
    for (const T& x : items) other[count[(key(x) >> shift) & 2047u]++] = x;
    items.swap(other);
  }
}

}  // namespace contour
