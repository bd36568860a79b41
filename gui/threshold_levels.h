#pragma once
// The levels the threshold filter moves between, chosen from the
// persistences a tree has: the threshold at the persistence of the k-th
// most persistent branch shows the k branches at least that persistent
// (ties shown together). Steps are geometric in k, about 40 from the root
// alone to every branch, so any level is a few dozen key presses away
// whatever the tree's size; and the first view of a big tree starts at the
// level that leaves a readable number of branches.

#include <cstddef>
#include <vector>

#include "ctree/flat_tree.h"

namespace ctree {

class ThresholdLevels {
 public:
  ThresholdLevels() = default;
  // Sorts the persistences of tree's branches: O(n log n), 8 bytes a branch.
  explicit ThresholdLevels(const FlatTree& tree);

  size_t branches() const { return sorted.size(); }
  // Branches whose persistence is at least t (what the threshold shows).
  size_t shownAt(double t) const;
  // The next level above t (Up: fewer branches) or below it (Down: more);
  // t itself when there is none. Below the lowest level comes 0, where
  // every branch is shown.
  double stepUp(double t) const;
  double stepDown(double t) const;
  // The lowest persistence at which at most most branches remain (at least
  // the root; ties with that persistence are counted in).
  double levelForAtMost(size_t most) const;
  // The levels, highest first.
  const std::vector<double>& levels() const { return steps; }

 private:
  std::vector<double> sorted;  // persistences, highest first
  std::vector<double> steps;   // distinct levels, highest first, ending at 0
};

// Branch counts above which the first view starts with the threshold on,
// and how many branches it then shows at most.
constexpr size_t FIRST_VIEW_BRANCHES = 300;

}  // namespace ctree
