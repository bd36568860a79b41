#pragma once
// A point of the field with its value: plain data, 32 bytes.
//
// Vertex vectors that trees point into are sorted by (field, z, y, x); a
// vertex is identified in a tree by its address, so comparing addresses of
// one vector compares values, ties broken by position.

#include "core/types.h"

namespace ctree {

struct Vertex {
  Real x = 0, y = 0, z = 0;
  Real field = 0;
};

}  // namespace ctree
