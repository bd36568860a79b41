#include "gui/axis_labels.h"

#include <cmath>

namespace ctree {

AxisLabels plain_axis_labels() {
  AxisLabels l;
  l.high[0] = "+x", l.high[1] = "+y", l.high[2] = "+z";
  return l;
}

AxisLabels axis_labels(const VolumeHeader& h) {
  if (!h.oriented) return plain_axis_labels();
  static const char* const POSITIVE[3] = {"R", "A", "S"};
  static const char* const NEGATIVE[3] = {"L", "P", "I"};
  AxisLabels l;
  for (int a = 0; a < 3; ++a) {
    int k = 0;
    for (int j = 1; j < 3; ++j)
      if (std::fabs(h.axes[a][j]) > std::fabs(h.axes[a][k])) k = j;
    const bool up = h.axes[a][k] > 0;
    l.high[a] = up ? POSITIVE[k] : NEGATIVE[k];
    l.low[a] = up ? NEGATIVE[k] : POSITIVE[k];
  }
  return l;
}

}  // namespace ctree
