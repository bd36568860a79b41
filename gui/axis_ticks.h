#pragma once
// Tick marks of a value axis: round values ("nice numbers", steps of 1, 2
// or 5 times a power of ten) inside a range, and their labels written as
// short as the step allows. Used by the colour bars and the plot axes;
// nothing here draws.

#include <string>
#include <vector>

namespace ctree {

struct AxisTicks {
  std::vector<double> values;  // increasing, every one inside [lo, hi]
  double step = 0;             // between neighbours (linear ticks); 0 for one tick or log ticks
  bool log = false;
};

// Round values in [lo, hi] (the bounds in either order), as many as
// fit under at most maxTicks (at least 2 are asked for) and at least one
// for a range of positive width: step = 1, 2 or 5 times a power of ten,
// the smallest for which the count stays at most maxTicks. A range of no
// width gives its one value; a bound that is not finite gives none. O(ticks).
AxisTicks linear_ticks(double lo, double hi, int maxTicks);

// Ticks of a logarithmic axis over [lo, hi] (0 < lo < hi): the powers of
// ten inside, every k-th of them when there are more than maxTicks; where
// fewer than three powers fall inside, 2 and 5 times the powers as well
// (and the linear ticks where even those are fewer than two).
AxisTicks log_ticks(double lo, double hi, int maxTicks);

// The label of tick value v of ticks: as many decimals as the step needs
// (none for whole steps), "-" only for negative values, exponent notation
// ("2e5", "1.5e-6") where plain digits would take more than 7 characters.
std::string tick_label(double v, const AxisTicks& ticks);

}  // namespace ctree
