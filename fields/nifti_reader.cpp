// NIfTI-1 and NIfTI-2 volumes (.nii, .nii.gz) through the format's reference
// library. The header is checked here field by field, so that a broken file
// is refused with the field at fault; the library then reads the samples
// (gunzip and byte order included).
#include <nifti2_io.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>

#include "core/huge_pages.h"
#include "fields/volume_formats.h"

namespace ctree {

static const char* nifti_element(int datatype) {
  switch (datatype) {
    case DT_INT8: return "int8";
    case DT_UINT8: return "uint8";
    case DT_INT16: return "int16";
    case DT_UINT16: return "uint16";
    case DT_INT32: return "int32";
    case DT_UINT32: return "uint32";
    case DT_INT64: return "int64";
    case DT_UINT64: return "uint64";
    case DT_FLOAT32: return "float32";
    case DT_FLOAT64: return "float64";
    default: return nullptr;
  }
}

// Quiet library: its diagnostics would bypass the report.
static void quiet_library() {
  static const bool once = [] {
    nifti_set_debug_level(0);
    return true;
  }();
  (void)once;
}

namespace {
struct FreeHeader {
  void operator()(void* p) const { std::free(p); }
};
}  // namespace

// The directions of the index axes in the world the header maps them to:
// the sform's columns, else the qform's rotation (quaternion b, c, d with
// a = sqrt(1 - b² - c² - d²), the third column flipped by qfac =
// pixdim[0] < 0). Neither: no orientation.
template <class H>
static void read_orientation(const H& hd, VolumeHeader& h) {
  double m[3][3] = {};
  if (hd.sform_code > 0) {
    for (int a = 0; a < 3; ++a) m[0][a] = hd.srow_x[a], m[1][a] = hd.srow_y[a], m[2][a] = hd.srow_z[a];
  } else if (hd.qform_code > 0) {
    const double b = hd.quatern_b, c = hd.quatern_c, d = hd.quatern_d;
    const double aa = 1.0 - (b * b + c * c + d * d);
    const double a = aa > 0 ? std::sqrt(aa) : 0;
    const double qfac = hd.pixdim[0] < 0 ? -1 : 1;
    const double r[3][3] = {{a * a + b * b - c * c - d * d, 2 * (b * c - a * d), 2 * (b * d + a * c)},
                            {2 * (b * c + a * d), a * a + c * c - b * b - d * d, 2 * (c * d - a * b)},
                            {2 * (b * d - a * c), 2 * (c * d + a * b), a * a + d * d - c * c - b * b}};
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) m[i][j] = r[i][j] * (j == 2 ? qfac : 1);
  } else {
    return;
  }
  for (int a = 0; a < 3; ++a) {
    const double l = std::sqrt(m[0][a] * m[0][a] + m[1][a] * m[1][a] + m[2][a] * m[2][a]);
    if (!(l > 0) || !std::isfinite(l)) return;  // a degenerate matrix labels nothing
  }
  for (int a = 0; a < 3; ++a) {
    const double l = std::sqrt(m[0][a] * m[0][a] + m[1][a] * m[1][a] + m[2][a] * m[2][a]);
    for (int k = 0; k < 3; ++k) h.axes[a][k] = m[k][a] / l;
  }
  h.oriented = true;
}

// The checks common to both versions, on a header in this machine's order.
template <class H>
static bool check_header(const std::string& name, const H& hd, Size header_bytes, VolumeHeader& h, Report& report) {
  auto bad = [&](const std::string& field, const std::string& what) {
    return report.fail(name + ": NIfTI header field " + field + " " + what);
  };
  const long long rank = (long long)hd.dim[0];
  if (rank < 1 || rank > 7) return bad("dim[0]", "is " + std::to_string(rank) + ", not 1 to 7");
  if (rank > 4)
    for (int i = 5; i <= rank; ++i)
      if (hd.dim[i] != 1)
        return bad("dim[" + std::to_string(i) + "]",
                   "is " + std::to_string((long long)hd.dim[i]) + ": only 3-D volumes and 4-D time series are read");
  Size full[4] = {1, 1, 1, 1};
  for (int i = 1; i <= 4 && i <= rank; ++i) {
    const long long d = (long long)hd.dim[i];
    if (d < 1 || d > (long long)INT32_MAX)
      return bad("dim[" + std::to_string(i) + "]", "is " + std::to_string(d) + ", not a size");
    full[i - 1] = Size(d);
  }
  const char* type = nifti_element(hd.datatype);
  if (!type)
    return bad("datatype", "is " + std::to_string(int(hd.datatype)) + " (" + nifti_datatype_string(hd.datatype) +
                               "): orrery reads int8 uint8 int16 uint16 int32 uint32 int64 uint64 float32 float64");
  const int width = element_width(type);
  if (hd.bitpix != 8 * width)
    return bad("bitpix",
               "is " + std::to_string(int(hd.bitpix)) + ", datatype " + type + " has " + std::to_string(8 * width));
  const double offset = double(hd.vox_offset);
  if (!(offset >= double(header_bytes)) || offset != std::floor(offset) || offset > 1e15)
    return bad("vox_offset", "is " + std::to_string(offset) + ": the samples start after the " +
                                 std::to_string(header_bytes) + " bytes of header and extensions flag");
  for (int a = 1; a <= 3; ++a) {
    const double s = double(hd.pixdim[a]);
    if (a <= rank && (!std::isfinite(s) || s == 0))
      return bad("pixdim[" + std::to_string(a) + "]", "is " + std::to_string(s) + ", not a voxel spacing");
    h.spacing[a - 1] = a <= rank ? std::fabs(s) : 1.0;
  }
  double slope = double(hd.scl_slope), inter = double(hd.scl_inter);
  // A slope of 0 means the samples are the values.
  if (slope == 0 || !std::isfinite(slope)) {
    if (!std::isfinite(slope)) return bad("scl_slope", "is not a finite number");
    slope = 1, inter = 0;
  }
  if (!std::isfinite(inter)) return bad("scl_inter", "is not a finite number");
  // The position of voxel (0, 0, 0): the sform's, else the qform's offset.
  double origin[3] = {0, 0, 0};
  if (hd.sform_code > 0) {
    origin[0] = double(hd.srow_x[3]), origin[1] = double(hd.srow_y[3]), origin[2] = double(hd.srow_z[3]);
  } else if (hd.qform_code > 0) {
    origin[0] = double(hd.qoffset_x), origin[1] = double(hd.qoffset_y), origin[2] = double(hd.qoffset_z);
  }
  for (int a = 0; a < 3; ++a) {
    if (!std::isfinite(origin[a]))
      return bad(hd.sform_code > 0 ? "srow" : "qoffset", "holds a number that is not finite");
    h.origin[a] = origin[a];
    h.dim[a] = full[a];
  }
  read_orientation(hd, h);
  h.volumes = full[3];
  h.type = type;
  h.slope = slope;
  h.inter = inter;
  std::uint64_t bytes = 0;
  if (!checked_product(full[0], full[1], full[2], std::uint64_t(full[3]) * width,
                       std::numeric_limits<std::int64_t>::max() / 2, bytes))
    return bad("dim", "gives more samples than a file can hold");
  // An uncompressed file must hold every sample its header declares, and a
  // compressed one can hold at most what deflate's largest ratio gives:
  // checked before the library allocates the samples.
  std::uint64_t found = 0;
  if (!regular_file_size(name, found, report)) return false;
  const std::uint64_t declared = std::uint64_t(offset) + bytes;
  const bool plain = name.size() > 4 && name.compare(name.size() - 4, 4, ".nii") == 0;
  if (plain && found < declared)
    return report.fail(name + ": the file holds " + std::to_string(found) +
                       " bytes, its header (dim, datatype, "
                       "vox_offset " +
                       std::to_string(std::uint64_t(offset)) + ") needs " + std::to_string(declared));
  if (!plain && declared / MAX_DEFLATE_RATIO > found)
    return report.fail(name + ": its header (dim, datatype, vox_offset) declares " + std::to_string(declared) +
                       " bytes, more than a compressed file of " + std::to_string(found) + " bytes can hold");
  return true;
}

bool read_nifti_header(const std::string& name, VolumeHeader& h, Report& report) {
  quiet_library();
  std::uint64_t found = 0;
  if (!regular_file_size(name, found, report)) return false;
  int version = 0;
  std::unique_ptr<void, FreeHeader> raw(nifti_read_header(name.c_str(), &version, 0));
  if (!raw)
    return report.fail(name +
                       ": not a NIfTI file (NIfTI header field sizeof_hdr is neither 348 nor 540, "
                       "or the file is shorter than a header)");
  // Read unchecked, the header keeps the file's byte order: sizeof_hdr
  // tells which it is.
  const std::int32_t size_field = *static_cast<const std::int32_t*>(raw.get());
  if (size_field != 348 && size_field != 540) swap_nifti_header(raw.get(), version);
  if (version == 1) {
    const auto& hd = *static_cast<const nifti_1_header*>(raw.get());
    if (std::string(hd.magic, 3) != "n+1")
      return report.fail(name + ": NIfTI header field magic is not \"n+1\" (a one-file NIfTI-1 volume)");
    if (!check_header(name, hd, 352, h, report)) return false;
  } else if (version == 2) {
    const auto& hd = *static_cast<const nifti_2_header*>(raw.get());
    if (std::string(hd.magic, 3) != "n+2")
      return report.fail(name + ": NIfTI header field magic is not \"n+2\" (a one-file NIfTI-2 volume)");
    if (!check_header(name, hd, 544, h, report)) return false;
  } else {
    return report.fail(name + ": NIfTI header field sizeof_hdr names no known version");
  }
  // The byte order of the file, as sizeof_hdr told above: the machine's,
  // or swapped.
  const std::uint16_t one = 1;
  const bool machine_little = *reinterpret_cast<const unsigned char*>(&one) == 1;
  const bool swapped = size_field != 348 && size_field != 540;
  h.littleEndian = machine_little != swapped;
  return true;
}

bool read_nifti_samples(const std::string& name, const VolumeHeader& h, Size volume, std::vector<Real>& values,
                        Report& report, ProgressSink& progress) {
  quiet_library();
  const std::size_t count = std::size_t(h.dim[0]) * h.dim[1] * h.dim[2];
  progress.init("\bReading field values", Size(count));
  std::unique_ptr<nifti_image, void (*)(nifti_image*)> image(nifti_image_read(name.c_str(), 0), nifti_image_free);
  if (!image) return report.fail(name + ": the NIfTI library refused the header");
  const void* samples = nullptr;
  nifti_brick_list bricks{};
  std::unique_ptr<nifti_brick_list, void (*)(nifti_brick_list*)> bricks_owner(nullptr, nifti_free_NBL);
  if (h.volumes > 1) {
    const int64_t which = volume;
    if (nifti_image_load_bricks(image.get(), 1, &which, &bricks) < 0 || bricks.nbricks != 1 || !bricks.bricks)
      return report.fail(name + ": the data ends before the samples of volume " + std::to_string(volume) +
                         " (dim, datatype, vox_offset)");
    bricks_owner.reset(&bricks);
    samples = bricks.bricks[0];
  } else {
    if (nifti_image_load(image.get()) < 0 || !image->data)
      return report.fail(name + ": the data ends before the " + std::to_string(count) +
                         " samples its header declares (dim, datatype, vox_offset)");
    samples = image->data;
  }
  values.clear();
  values.shrink_to_fit();
  reserve_huge(values, count);
  std::string error;
  if (!convert_native_samples(samples, h.type, count, h.slope, h.inter, values, error))
    return report.fail(name + ": " + error);
  progress.update(Index(count - 1));
  return true;
}

}  // namespace ctree
