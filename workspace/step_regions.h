#pragma once
// The segmentation of a loaded time step: every grid vertex labelled with
// the branch of the step's contour tree (its number in the tree file)
// whose arc holds it, written as a label volume beside the tree.

#include <string>

#include "core/report.h"
#include "workspace/main_data.h"

namespace ctree {

// Writes the labels of data's current step to the label volume name
// (io/label_volume.h: NIfTI with the scan's header when the step's data
// file is NIfTI, else a named raw file); `written` receives the name
// used. Needs a grid and its contour tree (--ct). false with report's
// error naming the file.
bool write_step_regions(const MainData& data, const std::string& name, std::string& written, Report& report);

}  // namespace ctree
