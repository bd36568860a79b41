#pragma once
// Disjoint sets kept as a bare parent array (a root is its own parent), for
// sweeps that keep their own payloads beside it: the root of x, halving the
// path on the way. Compression never changes set membership.

#include "core/types.h"

namespace ctree {

inline Index find_root(Index* parent, Index x) {
  while (parent[x] != x) {
    parent[x] = parent[parent[x]];
    x = parent[x];
  }
  return x;
}

}  // namespace ctree
