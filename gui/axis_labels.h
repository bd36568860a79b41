#pragma once
// Names for the two ends of each axis of the model box: anatomical
// directions for a scan whose header orients it (R/L, A/P, S/I), else the
// axes' own names (+x, +y, +z at the far ends, nothing at the near ones).

#include <string>

#include "fields/volume_file.h"

namespace ctree {

struct AxisLabels {
  std::string low[3], high[3];  // at the lower and upper end of index axes x, y, z
};

// For an oriented header each index axis takes the world direction it runs
// closest to (the largest component of header.axes[a]; on a tie the first):
// its upper end the letter that direction points to (R, A or S when the
// component is positive, L, P or I when negative), its lower end the
// opposite letter.
AxisLabels axis_labels(const VolumeHeader& header);

// +x, +y, +z at the upper ends: a mesh, or a grid without orientation.
AxisLabels plain_axis_labels();

}  // namespace ctree
