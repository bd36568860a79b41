#include "fields/volume_file.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

#include "core/huge_pages.h"
#include "fields/raw_reader.h"
#include "fields/value_limits.h"
#include "fields/volume_formats.h"

namespace ctree {

static bool ends_with(const std::string& s, const char* tail) {
  const size_t n = std::strlen(tail);
  return s.size() > n && s.compare(s.size() - n, n, tail) == 0;
}

namespace {
// The parts of a name NAME_XxYxZ_TYPE.raw, as text.
struct NamedRaw {
  std::string sizes[3], type;
};
}  // namespace

// Splits off _XxYxZ_TYPE.raw; false when the name does not have that shape.
static bool split_named_raw(const std::string& name, NamedRaw& parts) {
  if (!ends_with(name, ".raw")) return false;
  const std::string stem = name.substr(0, name.size() - 4);
  const size_t type_at = stem.rfind('_');
  if (type_at == std::string::npos || type_at == 0) return false;
  parts.type = stem.substr(type_at + 1);
  const size_t sizes_at = stem.rfind('_', type_at - 1);
  if (sizes_at == std::string::npos || parts.type.empty()) return false;
  const std::string sizes = stem.substr(sizes_at + 1, type_at - sizes_at - 1);
  size_t from = 0;
  for (int a = 0; a < 3; ++a) {
    const size_t x = a < 2 ? sizes.find('x', from) : sizes.size();
    if (x == std::string::npos) return false;
    parts.sizes[a] = sizes.substr(from, x - from);
    if (parts.sizes[a].empty() || parts.sizes[a].find_first_not_of("0123456789") != std::string::npos) return false;
    from = x + 1;
  }
  return true;
}

VolumeFormat volume_format_of(const std::string& name) {
  if (ends_with(name, ".nii") || ends_with(name, ".nii.gz")) return VolumeFormat::Nifti;
  if (ends_with(name, ".nrrd") || ends_with(name, ".nhdr")) return VolumeFormat::Nrrd;
  NamedRaw parts;
  if (split_named_raw(name, parts)) return VolumeFormat::NamedRaw;
  return VolumeFormat::Raw;
}

const char* volume_format_name(VolumeFormat format) {
  switch (format) {
    case VolumeFormat::NamedRaw: return "named raw";
    case VolumeFormat::Nifti: return "NIfTI";
    case VolumeFormat::Nrrd: return "NRRD";
    default: return "raw";
  }
}

static std::string numbers(const Real* v, int n) {
  std::string s;
  for (int a = 0; a < n; ++a) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s%.9g", a ? " " : "", double(v[a]));
    s += buf;
  }
  return s;
}

static std::string sizes(const Size* d) {
  return std::to_string(d[0]) + " " + std::to_string(d[1]) + " " + std::to_string(d[2]);
}

static bool close_to(Real a, Real b) {
  return std::fabs(a - b) <= 1e-6 * std::max<Real>(1, std::fabs(a) + std::fabs(b));
}

// The header of a raw file named NAME_XxYxZ_TYPE.raw: the name's sizes and type.
static bool named_raw_header(const std::string& name, VolumeHeader& h, Report& report) {
  NamedRaw parts;
  split_named_raw(name, parts);
  for (int a = 0; a < 3; ++a) {
    const std::string& s = parts.sizes[a];
    if (s.size() > 10 || std::stoull(s) == 0 || std::stoull(s) > std::numeric_limits<Size>::max())
      return report.fail(name + ": the size " + s + " in the name is not a grid size");
    h.dim[a] = Size(std::stoull(s));
  }
  if (element_width(parts.type) == 0 || command_line_type(parts.type).empty())
    return report.fail(name + ": the type \"" + parts.type +
                       "\" in the name is not one of uint8 int8 uint16 int16 uint32 int32 float32 float64");
  h.type = parts.type;
  h.littleEndian = true;
  return true;
}

// Positions origin + spacing * index must tell every grid point apart
// where they are stored and compared (tree files, the box): within the
// coordinates the isosurfaces take, and with a step far above the rounding
// of the largest position.
static bool check_grid_geometry(const std::string& name, const VolumeHeader& h, Report& report) {
  static const char* const axis = "xyz";
  for (int a = 0; a < 3; ++a) {
    const double lo = h.origin[a], step = h.spacing[a];
    const double hi = lo + step * double(h.dim[a] > 0 ? h.dim[a] - 1 : 0);
    const double reach = std::max(std::fabs(lo), std::fabs(hi));
    const std::string where = name + ": origin " + numbers(h.origin, 3) + " and spacing " + numbers(h.spacing, 3) +
                              " place the grid's " + axis[a] + " positions ";
    if (!std::isfinite(reach) || reach > MAX_MESH_COORDINATE)
      return report.fail(where + "beyond +-1e15, where isosurfaces and tree files cannot place them");
    if (!(step > 0) || step < reach * 1e-9)
      return report.fail(where + "up to " + numbers(&reach, 1) + " in steps of " + numbers(&step, 1) +
                         ", too fine for double precision to tell neighbouring points apart (a step must be at "
                         "least 1e-9 of the largest position; move the origin nearer 0)");
  }
  return true;
}

static const bool machine_little = [] {
  const std::uint16_t one = 1;
  unsigned char first;
  std::memcpy(&first, &one, 1);
  return first == 1;
}();

bool read_volume_header(const std::string& name, const VolumeOptions& o, VolumeHeader& h, Report& report) {
  h = VolumeHeader();
  h.format = volume_format_of(name);
  const char* says = h.format == VolumeFormat::NamedRaw ? "its name says" : "its header says";
  switch (h.format) {
    case VolumeFormat::Raw: {
      if (!o.hasDim) return report.fail(name + ": a raw file without a header needs its grid size (--dim)");
      const DataType t = type_from_string(o.type);
      if (t == TYPE_UNKNOWN)
        return report.fail(name + ": unknown data type \"" + o.type + "\" (accepted: " + data_type_names() + ")");
      h.type = file_type_name(t);
      for (int a = 0; a < 3; ++a) h.dim[a] = o.dim[a];
      h.littleEndian = machine_little != o.swap;
      break;
    }
    case VolumeFormat::NamedRaw:
      if (!named_raw_header(name, h, report)) return false;
      break;
    case VolumeFormat::Nifti:
      if (!read_nifti_header(name, h, report)) return false;
      break;
    case VolumeFormat::Nrrd:
      if (!read_nrrd_header(name, h, report)) return false;
      break;
  }
  if (h.format == VolumeFormat::Raw || h.format == VolumeFormat::NamedRaw) {
    // Raw files carry no geometry: the command line's, or unit cubes at 0.
    for (int a = 0; a < 3; ++a) {
      h.spacing[a] = o.spacing[a];
      h.origin[a] = o.origin[a];
    }
  }
  if (!check_grid_geometry(name, h, report)) return false;
  if (h.format == VolumeFormat::Raw) return true;

  // What the command line says beside a header must agree with it.
  const std::string where = " disagrees with " + name + ": " + says + " ";
  if (o.hasDim && (o.dim[0] != h.dim[0] || o.dim[1] != h.dim[1] || o.dim[2] != h.dim[2]))
    return report.fail("--dim " + sizes(o.dim) + where + sizes(h.dim));
  if (o.hasType && command_line_type(h.type) != o.type) {
    const std::string ours = command_line_type(h.type);
    return report.fail("--datatype " + o.type + where + h.type +
                       (ours.empty() ? " (no --datatype names it)" : " (--datatype " + ours + ")"));
  }
  if (o.hasSwap && element_width(h.type) > 1 && o.swap != (h.littleEndian != machine_little))
    return report.fail(std::string("--swapbyte ") + (o.swap ? "1" : "0") + where + (h.littleEndian ? "little" : "big") +
                       "-endian samples (--swapbyte " + (h.littleEndian != machine_little ? "1" : "0") +
                       " on this machine)");
  if (h.format != VolumeFormat::NamedRaw) {
    for (int a = 0; a < 3; ++a) {
      if (o.hasSpacing && !close_to(o.spacing[a], h.spacing[a]))
        return report.fail("--spacing " + numbers(o.spacing, 3) + where + "spacing " + numbers(h.spacing, 3));
      if (o.hasOrigin && !close_to(o.origin[a], h.origin[a]))
        return report.fail("--origin " + numbers(o.origin, 3) + where + "origin " + numbers(h.origin, 3));
    }
  }
  return true;
}

// Notes the stored range as the raw reader does.
static void note_range(const std::vector<Real>& values, Report& report) {
  Real lo = values[0], hi = values[0];
  for (Real v : values) {
    lo = v < lo ? v : lo;
    hi = v > hi ? v : hi;
  }
  char range[96];
  std::snprintf(range, sizeof range, "Scalar field value %e %e", double(float(lo)), double(float(hi)));
  report.note(range);
}

static bool read_checked_volume(const std::string& name, const VolumeHeader& h, Size volume, ScalarField3DGrid& field,
                                Report& report, ProgressSink& progress);

bool read_volume(const std::string& name, const VolumeOptions& o, Size volume, ScalarField3DGrid& field, Report& report,
                 ProgressSink& progress) {
  VolumeHeader h;
  if (!read_volume_header(name, o, h, report)) return false;
  return read_volume(name, h, volume, field, report, progress);
}

bool read_volume(const std::string& name, const VolumeHeader& h, Size volume, ScalarField3DGrid& field, Report& report,
                 ProgressSink& progress) {
  // A grid the header allows may still need more memory than there is.
  try {
    return read_checked_volume(name, h, volume, field, report, progress);
  } catch (const std::bad_alloc&) {
    field.values.clear();
    field.values.shrink_to_fit();
    const std::uint64_t bytes = std::uint64_t(h.dim[0]) * h.dim[1] * h.dim[2] * sizeof(Real);
    return report.fail(name + ": a grid of " + sizes(h.dim) + " samples needs " + std::to_string(bytes) +
                       " bytes of memory for its values (and the file's samples besides), more than can be had");
  }
}

static bool read_checked_volume(const std::string& name, const VolumeHeader& h, Size volume, ScalarField3DGrid& field,
                                Report& report, ProgressSink& progress) {
  if (volume >= h.volumes)
    return report.fail(name + ": volume " + std::to_string(volume) + " asked for, the file holds " +
                       std::to_string(h.volumes));
  std::uint64_t count = 0;
  if (!checked_product(h.dim[0], h.dim[1], h.dim[2], 1, std::uint64_t(INT32_MAX), count))
    return report.fail(name + ": a grid of " + sizes(h.dim) + " vertices is more than 32-bit indices address");
  if (h.format == VolumeFormat::Raw || h.format == VolumeFormat::NamedRaw) {
    const Index start[3] = {0, 0, 0};
    // The header holds the byte order: the command line's for plain raw
    // files, little-endian for named ones.
    const bool swap = h.littleEndian != machine_little;
    return read_raw_field(name, command_line_type(h.type), start, h.dim, h.dim, h.origin, h.spacing, swap, field,
                          report, progress);
  }
  std::vector<Real> values;
  const bool read = h.format == VolumeFormat::Nifti ? read_nifti_samples(name, h, volume, values, report, progress)
                                                    : read_nrrd_samples(name, h, values, report, progress);
  if (!read) return false;
  assert(values.size() == count);
  for (int a = 0; a < 3; ++a) {
    field.dim[a] = h.dim[a];
    field.spacing[a] = h.spacing[a];
    field.origin[a] = h.origin[a];
  }
  field.values = std::move(values);
  note_range(field.values, report);
  return true;
}

}  // namespace ctree
