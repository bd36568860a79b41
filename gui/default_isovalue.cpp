#include "gui/default_isovalue.h"

#include <algorithm>
#include <vector>

namespace ctree {

double default_isovalue(const double* values, size_t n) {
  if (n == 0) return 0;
  const auto [lo, hi] = std::minmax_element(values, values + n);
  const double a = *lo, b = *hi;
  if (!(b > a)) return a;
  constexpr int BINS = 256;
  std::vector<double> count(BINS, 0.0);
  const double scale = BINS / (b - a);
  for (size_t i = 0; i < n; ++i) count[size_t(std::min(BINS - 1, int((values[i] - a) * scale)))] += 1;
  // Bin k stands for its centre; the split after bin k puts 0..k below.
  double sumAll = 0;
  for (int k = 0; k < BINS; ++k) sumAll += k * count[size_t(k)];
  double below = 0, sumBelow = 0, bestScore = -1;
  int best = BINS / 2 - 1;
  for (int k = 0; k + 1 < BINS; ++k) {
    below += count[size_t(k)];
    sumBelow += k * count[size_t(k)];
    const double above = double(n) - below;
    if (below == 0 || above == 0) continue;
    const double d = sumBelow / below - (sumAll - sumBelow) / above;
    const double score = below * above * d * d;
    if (score > bestScore) bestScore = score, best = k;
  }
  return a + (best + 1) / scale;
}

}  // namespace ctree
