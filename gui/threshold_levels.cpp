#include "gui/threshold_levels.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace ctree {

namespace {
// Presses from the root alone to every branch.
constexpr double STEPS = 40;
}  // namespace

ThresholdLevels::ThresholdLevels(const FlatTree& tree) {
  sorted.reserve(tree.branches.size());
  for (const FlatBranch& b : tree.branches) sorted.push_back(b.persistence);
  std::sort(sorted.begin(), sorted.end(), std::greater<double>());
  if (sorted.empty()) return;
  // The persistence of the k-th branch for k growing by a constant factor;
  // a factor under 1.05 would repeat levels on small trees, so small trees
  // step one branch at a time.
  const double n = double(sorted.size());
  const double factor = std::max(1.0 + 1e-9, std::pow(n, 1.0 / STEPS));
  for (double k = 1; ; k = std::max(k + 1, std::floor(k * factor))) {
    const double level = sorted[size_t(std::min(k, n)) - 1];
    if (steps.empty() || level < steps.back()) steps.push_back(level);
    if (k >= n) break;
  }
  if (steps.back() > 0) steps.push_back(0);
}

size_t ThresholdLevels::shownAt(double t) const {
  // sorted is descending: the values not below t come first.
  return size_t(std::upper_bound(sorted.begin(), sorted.end(), t, std::greater<double>()) - sorted.begin());
}

double ThresholdLevels::stepUp(double t) const {
  // The lowest level above t.
  for (size_t i = steps.size(); i-- > 0;)
    if (steps[i] > t) return steps[i];
  return t;
}

double ThresholdLevels::stepDown(double t) const {
  for (double level : steps)
    if (level < t) return level;
  return t;
}

double ThresholdLevels::levelForAtMost(size_t most) const {
  if (sorted.empty()) return 0;
  // Walk down the distinct values while the count stays within most.
  double best = sorted.front();
  size_t i = 0;
  while (i < sorted.size()) {
    size_t j = i;
    while (j < sorted.size() && sorted[j] == sorted[i]) ++j;
    if (j > std::max<size_t>(most, 1) && i > 0) break;
    best = sorted[i];
    i = j;
  }
  return best;
}

}  // namespace ctree
