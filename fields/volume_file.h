#pragma once
// Volume files in the formats scans come in, read into a grid field:
// - NIfTI-1 and NIfTI-2 (.nii, .nii.gz), through the NIfTI reference library;
// - NRRD, attached (.nrrd) or detached (.nhdr + data file), raw or gzip,
//   through teem's nrrd;
// - raw files named NAME_XxYxZ_TYPE.raw (little-endian, TYPE one of
//   uint8 int8 uint16 int16 uint32 int32 float32 float64);
// - any other name: a headerless raw file whose size and type the command
//   line gives.
// A header gives size, element type, byte order, spacing and origin; what
// the command line says beside it must agree, and a disagreement is
// refused naming both. The grid stays in index order and axis-aligned:
// spacing is the length of each axis step, origin the position of voxel
// (0, 0, 0); rotations and flips of a header's orientation are not applied.

#include <cstdint>
#include <string>

#include "core/progress.h"
#include "core/report.h"
#include "core/types.h"
#include "fields/element_types.h"
#include "fields/file_sizes.h"
#include "fields/grid_field.h"

namespace ctree {

enum class VolumeFormat { Raw, NamedRaw, Nifti, Nrrd };

// The format by the name's ending (.nii, .nii.gz, .nrrd, .nhdr,
// _XxYxZ_TYPE.raw); Raw for any other name.
VolumeFormat volume_format_of(const std::string& name);

// "raw", "named raw", "NIfTI", "NRRD".
const char* volume_format_name(VolumeFormat format);

// What the command line says about a volume. The has* flags tell what was
// given; a header supplies the rest.
struct VolumeOptions {
  bool hasDim = false;
  Size dim[3] = {0, 0, 0};
  bool hasType = false;
  std::string type = "float";  // one of data_type_names()
  bool hasSwap = false;
  bool swap = true;  // reverse every sample's bytes (plain raw)
  bool hasSpacing = false;
  Real spacing[3] = {1, 1, 1};
  bool hasOrigin = false;
  Real origin[3] = {0, 0, 0};
};

// What a volume file holds: from its header, its name, or the options.
struct VolumeHeader {
  VolumeFormat format = VolumeFormat::Raw;
  Size dim[3] = {0, 0, 0};
  Size volumes = 1;  // volumes in the file: the fourth size of a NIfTI time series
  std::string type;  // element type as files name it ("uint8", "float32", ...)
  bool littleEndian = true;
  Real spacing[3] = {1, 1, 1};
  Real origin[3] = {0, 0, 0};
  Real slope = 1, inter = 0;  // NIfTI scaling: value = slope * stored + inter
  // Anatomical orientation, when the header gives one (a NIfTI sform or
  // qform): axes[a] is the direction of index axis a in the scanner's
  // world, whose +x, +y, +z point right, anterior and superior. Only
  // labels the axes; the grid stays in index order.
  bool oriented = false;
  Real axes[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
};

// Reads the header of name (the name alone for raw files) and checks the
// options against it. Reads no samples. false with report's error naming
// the file and the field at fault, or the option and the header value
// that disagree.
bool read_volume_header(const std::string& name, const VolumeOptions& options, VolumeHeader& header, Report& report);

// Reads volume `volume` (0 for a 3-D file) of name, whose header was read
// by read_volume_header (the header of a raw file holds its byte order),
// into field, as the overload below does; reads no header.
bool read_volume(const std::string& name, const VolumeHeader& header, Size volume, ScalarField3DGrid& field,
                 Report& report, ProgressSink& progress);

// Reads volume `volume` (0 for a 3-D file) of name into field: dim, values
// (NIfTI scaling applied), spacing and origin; sorted is untouched. Notes
// "Scalar field value <min> <max>" in report. false with report's error
// naming the file when anything is wrong; field is then unusable.
// Cost: one pass over the file (gunzip included), one over the samples.
bool read_volume(const std::string& name, const VolumeOptions& options, Size volume, ScalarField3DGrid& field,
                 Report& report, ProgressSink& progress);

}  // namespace ctree
