#pragma once
// Scalar types shared by every subsystem.
//
// Vertex indices are signed 32-bit so that NULL_INDEX (-1) can mark a missing
// index; counts are unsigned 32-bit; field values are doubles.

#include <cstdint>

namespace ctree {

using Index = std::int32_t;
using Size = std::uint32_t;
using Real = double;

constexpr Index NULL_INDEX = -1;
constexpr Real NULL_REAL = 0.0;

}  // namespace ctree
