#include "workspace/step_regions.h"

#include "ctree/branch_regions.h"
#include "io/label_volume.h"
#include "workspace/step_names.h"

namespace ctree {

bool write_step_regions(const MainData& data, const std::string& name, std::string& written, Report& report) {
  if (!data.field3d || !data.ctree) return report.fail(name + ": regions need a grid and its contour tree (--ct)");
  const ScalarField3DGrid& grid = *data.field3d;
  const std::string scan = step_filename(data.dataset.dataName, data.time);
  const bool nifti = volume_format_of(scan) == VolumeFormat::Nifti;
  written = label_volume_name(name, nifti, grid.dim);
  const std::vector<Index> at = tree_grid_indices(*data.ctree, grid);
  for (size_t v = 0; v < at.size(); ++v)
    if (data.ctree->used(Index(v)) && at[v] == NULL_INDEX)
      return report.fail(written + ": the contour tree has a vertex off the grid of " + scan);
  const std::vector<std::int32_t> labels = branch_segmentation(grid, *data.ctree, at);
  return write_label_volume(written, scan, grid.dim, labels, report);
}

}  // namespace ctree
