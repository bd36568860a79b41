#pragma once
// An axis-aligned box of field positions: the one box type of the tree code
// (a branch's bounds, a grid block's bounds, a finished tree's subtree
// bounds). Scenes store it as their single-precision TBox (tbox_of).

#include <algorithm>

#include "core/types.h"

namespace ctree {

struct Box {
  Real min[3] = {0, 0, 0};
  Real max[3] = {0, 0, 0};

  // The box of one point.
  static Box at(Real x, Real y, Real z) { return Box{{x, y, z}, {x, y, z}}; }
  // Grows the box to hold (x, y, z).
  void add(Real x, Real y, Real z) {
    const Real p[3] = {x, y, z};
    for (int a = 0; a < 3; ++a) min[a] = std::min(min[a], p[a]), max[a] = std::max(max[a], p[a]);
  }
  // Grows the box to hold b.
  void add(const Box& b) {
    for (int a = 0; a < 3; ++a) min[a] = std::min(min[a], b.min[a]), max[a] = std::max(max[a], b.max[a]);
  }
  // (x, y, z) lies strictly inside: not on a face, edge or corner.
  bool holdsInside(Real x, Real y, Real z) const {
    return min[0] < x && x < max[0] && min[1] < y && y < max[1] && min[2] < z && z < max[2];
  }
};

}  // namespace ctree
