#include "io/label_volume.h"

#include <nifti2_io.h>

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "core/whole_file.h"

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
  h.nifti_type = NIFTI_FTYPE_NIFTI1_1;
  h.iname_offset = 352;
  // The file is made in memory (header, an empty extension flag, the
  // labels; gzip for .nii.gz) and written whole, so that a write that
  // fails on the way leaves nothing under the name.
  nifti_1_header header;
  if (nifti_convert_nim2n1hdr(image.get(), &header) != 0)
    return report.fail(name + ": cannot make a NIfTI-1 header from the one of " + scan);
  header.vox_offset = 352;
  std::memcpy(header.magic, "n+1\0", 4);
  std::string bytes(352 + labels.size() * 4, '\0');
  std::memcpy(&bytes[0], &header, sizeof header);
  std::memcpy(&bytes[352], labels.data(), labels.size() * 4);
  if (ends_with(name, ".gz")) {
    z_stream z{};
    if (deflateInit2(&z, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
      return report.fail(name + ": cannot start gzip");
    // In pieces below 4 GiB: zlib counts in 32 bits.
    std::string packed;
    const size_t piece = size_t(1) << 30;
    size_t at = 0;
    int done = Z_OK;
    while (done == Z_OK) {
      const size_t in = std::min(piece, bytes.size() - at);
      z.next_in = reinterpret_cast<Bytef*>(&bytes[at]);
      z.avail_in = uInt(in);
      at += in;
      const int flush = at == bytes.size() ? Z_FINISH : Z_NO_FLUSH;
      do {
        const size_t had = packed.size();
        packed.resize(had + deflateBound(&z, uLong(z.avail_in)) + 64);
        z.next_out = reinterpret_cast<Bytef*>(&packed[had]);
        z.avail_out = uInt(packed.size() - had);
        done = deflate(&z, flush);
        packed.resize(packed.size() - z.avail_out);
      } while (done == Z_OK && (z.avail_in > 0 || flush == Z_FINISH));
      if (done == Z_BUF_ERROR && z.avail_in == 0 && flush == Z_NO_FLUSH) done = Z_OK;
    }
    deflateEnd(&z);
    if (done != Z_STREAM_END) return report.fail(name + ": gzip could not pack the label volume");
    bytes.swap(packed);
  }
  std::string reason;
  if (!write_file_whole(name, bytes, reason)) return report.fail(name + ": cannot write the label volume: " + reason);
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
