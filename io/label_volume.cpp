#include "io/label_volume.h"

#include <nifti2_io.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>

#include "core/replace_file.h"

namespace ctree {

static bool ends_with(const std::string& s, const std::string& end) {
  return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

static bool is_nifti_name(const std::string& name) { return ends_with(name, ".nii") || ends_with(name, ".nii.gz"); }

static std::string size_suffix(const Size dim[3]) {
  return "_" + std::to_string(dim[0]) + "x" + std::to_string(dim[1]) + "x" + std::to_string(dim[2]) + "_int32.raw";
}

std::string label_volume_name(const std::string& name, bool nifti, const Size dim[3]) {
  if (nifti) return is_nifti_name(name) ? name : name + ".nii.gz";
  if (ends_with(name, size_suffix(dim))) return name;
  const std::string stem = ends_with(name, ".raw") ? name.substr(0, name.size() - 4) : name;
  return stem + size_suffix(dim);
}

static bool write_raw(const std::string& name, const std::vector<std::int32_t>& labels, Report& report) {
  std::string bytes(labels.size() * 4, '\0');
  for (size_t i = 0; i < labels.size(); ++i) {
    const std::uint32_t v = std::uint32_t(labels[i]);
    for (int k = 0; k < 4; ++k) bytes[4 * i + size_t(k)] = char((v >> (8 * k)) & 0xff);
  }
  std::string reason;
  if (!write_file_whole(name, bytes, reason)) return report.fail(name + ": cannot write the label volume: " + reason);
  return true;
}

static bool write_nifti(const std::string& name, const std::string& scan, const Size dim[3],
                        const std::vector<std::int32_t>& labels, Report& report) {
  nifti_set_debug_level(0);
  std::unique_ptr<nifti_image, void (*)(nifti_image*)> image(nifti_image_read(scan.c_str(), 0), nifti_image_free);
  if (!image) return report.fail(name + ": cannot take the header of " + scan + ": it does not read as NIfTI");
  if (image->nx != dim[0] || image->ny != dim[1] || image->nz != dim[2])
    return report.fail(name + ": " + scan + " is not a grid of " + std::to_string(dim[0]) + " x " +
                       std::to_string(dim[1]) + " x " + std::to_string(dim[2]) + " voxels");
  // One volume of int32 labels on the scan's grid and orientation.
  nifti_image& h = *image;
  h.ndim = h.dim[0] = 3;
  h.nt = h.nu = h.nv = h.nw = 1;
  for (int d = 4; d < 8; ++d) h.dim[d] = 1;
  h.nvox = int64_t(dim[0]) * dim[1] * dim[2];
  h.datatype = NIFTI_TYPE_INT32;
  h.nbyper = 4;
  h.swapsize = 4;
  h.byteorder = nifti_short_order();
  h.scl_slope = 1, h.scl_inter = 0;
  h.cal_min = 0, h.cal_max = 0;
  h.intent_code = NIFTI_INTENT_LABEL;
  std::strncpy(h.descrip, "orrery branch labels", sizeof h.descrip - 1);
  nifti_free_extensions(image.get());
  // Written beside the name under a temporary one of the same ending, then
  // renamed over it.
  const std::string ending = ends_with(name, ".nii.gz") ? ".nii.gz" : ".nii";
  const std::string temp = name.substr(0, name.size() - ending.size()) + ".tmp" + std::to_string(getpid()) + ending;
  if (nifti_set_filenames(image.get(), temp.c_str(), 0, 1) != 0)
    return report.fail(name + ": cannot name the label volume");
  h.nifti_type = NIFTI_FTYPE_NIFTI1_1;
  h.data = const_cast<std::int32_t*>(labels.data());
  nifti_image_write(image.get());
  h.data = nullptr;  // the labels are the caller's
  FILE* written = std::fopen(temp.c_str(), "rb");
  if (!written) return report.fail(name + ": cannot write the label volume");
  std::fclose(written);
  std::string reason;
  if (!replace_file(temp, name, reason)) return report.fail(name + ": cannot write the label volume: " + reason);
  return true;
}

bool write_label_volume(const std::string& name, const std::string& scan, const Size dim[3],
                        const std::vector<std::int32_t>& labels, Report& report) {
  if (labels.size() != size_t(dim[0]) * dim[1] * dim[2])
    return report.fail(name + ": " + std::to_string(labels.size()) + " labels for a grid of " +
                       std::to_string(size_t(dim[0]) * dim[1] * dim[2]) + " vertices");
  return is_nifti_name(name) ? write_nifti(name, scan, dim, labels, report) : write_raw(name, labels, report);
}

}  // namespace ctree
