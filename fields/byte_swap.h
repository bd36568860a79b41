#pragma once
// Byte-order utilities shared by the raw volume reader and the PLY readers.

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace ctree {

// Holds one value of T; swapBytes() reverses its sizeof(T) bytes in place.
// One-byte types are left alone.
template <class T>
struct ByteSwap {
  T value;

  void swapBytes() {
    unsigned char* b = reinterpret_cast<unsigned char*>(&value);
    for (std::size_t i = 0, j = sizeof(T) - 1; i < j; ++i, --j) {
      unsigned char t = b[i];
      b[i] = b[j];
      b[j] = t;
    }
  }
};

// Value 1 in 16 bits: its first byte is 1 on a little-endian machine and 0 on
// a big-endian one. Readers of files with a declared byte order swap exactly
// when the file's order differs from the one this tells.
extern const std::uint16_t endian;

inline bool machine_is_little_endian() {
  unsigned char first;
  std::memcpy(&first, &endian, 1);
  return first == 1;
}

// Reverses the bytes of each of n samples of width bytes, in place.
inline void swap_samples(unsigned char* data, std::size_t n, std::size_t width) {
  if (width < 2) return;
  for (std::size_t s = 0; s < n; ++s, data += width)
    for (std::size_t i = 0, j = width - 1; i < j; ++i, --j) {
      unsigned char t = data[i];
      data[i] = data[j];
      data[j] = t;
    }
}

}  // namespace ctree
