#pragma once
// Label volumes: one int32 per grid vertex (a segmentation), written as a
// file a scan viewer opens beside the scan it was computed from.
//   - NIfTI (.nii, .nii.gz) with the header of the scan it labels (same
//     grid, spacing and orientation), so the two overlay;
//   - raw little-endian int32 named NAME_XxYxZ_int32.raw, which the
//     program's reader takes without further options.

#include <cstdint>
#include <string>
#include <vector>

#include "core/report.h"
#include "core/types.h"

namespace ctree {

// The name a label volume of a grid of dim vertices gets from the name the
// user gave: for a NIfTI scan, name itself when it ends in .nii or .nii.gz,
// else name + ".nii.gz"; for any other scan, name when it already is
// NAME_XxYxZ_int32.raw for this grid, else name (less a ".raw") +
// "_XxYxZ_int32.raw".
std::string label_volume_name(const std::string& name, bool nifti, const Size dim[3]);

// Writes labels (dim[0]·dim[1]·dim[2] values, x fastest) to name, whole or
// not at all. A name ending in .nii or .nii.gz is NIfTI and takes its header
// from the NIfTI file scan (which must have that grid); any other name is
// raw. false with report's error naming the file.
bool write_label_volume(const std::string& name, const std::string& scan, const Size dim[3],
                        const std::vector<std::int32_t>& labels, Report& report);

}  // namespace ctree
