// NRRD volumes, attached (.nrrd) and detached (.nhdr + data file), raw or
// gzip, through teem's nrrd, the format's reference library. Its own
// diagnostics (which name the header field) become the report's error.
#include <teem/nrrd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

#include "core/huge_pages.h"
#include "fields/volume_formats.h"

namespace ctree {

namespace {
struct NrrdOwner {
  void operator()(Nrrd* n) const { nrrdNuke(n); }
};
struct IoOwner {
  void operator()(NrrdIoState* n) const { nrrdIoStateNix(n); }
};
}  // namespace

static const char* nrrd_element(int type) {
  switch (type) {
    case nrrdTypeChar: return "int8";
    case nrrdTypeUChar: return "uint8";
    case nrrdTypeShort: return "int16";
    case nrrdTypeUShort: return "uint16";
    case nrrdTypeInt: return "int32";
    case nrrdTypeUInt: return "uint32";
    case nrrdTypeLLong: return "int64";
    case nrrdTypeULLong: return "uint64";
    case nrrdTypeFloat: return "float32";
    case nrrdTypeDouble: return "float64";
    default: return nullptr;
  }
}

// teem's message, one line: "nrrdLoad: ... [nrrd] _nrrdReadNrrdParse_sizes: ..."
static std::string library_message() {
  char* text = biffGetDone(NRRD);
  std::string s = text ? text : "no reason given";
  std::free(text);
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  for (char& c : s)
    if (c == '\n') c = ';';
  return s;
}

// Loads name (header only when skip_data), then checks what orrery needs.
// file_bytes: the size of name, bounding what an attached file can hold.
static bool load(const std::string& name, bool skip_data, std::unique_ptr<Nrrd, NrrdOwner>& nrrd, VolumeHeader& h,
                 Report& report, std::uint64_t file_bytes) {
  // Only the NRRD format: teem would otherwise try its other readers
  // (plain text numbers, PNG, VTK) on whatever the file holds.
  char magic[8] = {0};
  if (std::FILE* f = std::fopen(name.c_str(), "rb")) {
    const size_t got = std::fread(magic, 1, sizeof magic, f);
    std::fclose(f);
    if (got < 7 || std::memcmp(magic, "NRRD000", 7) != 0)
      return report.fail(name + ": not a NRRD file (it does not begin with the magic NRRD000x)");
  }
  nrrdStateVerboseIO = 0;
  std::unique_ptr<NrrdIoState, IoOwner> io(nrrdIoStateNew());
  io->skipData = skip_data ? AIR_TRUE : AIR_FALSE;
  nrrd.reset(nrrdNew());
  if (nrrdLoad(nrrd.get(), name.c_str(), io.get()))
    return report.fail(name + ": the NRRD file cannot be read: " + library_message());
  auto bad = [&](const std::string& field, const std::string& what) {
    return report.fail(name + ": NRRD header field \"" + field + "\" " + what);
  };
  if (nrrd->dim != 3)
    return bad("dimension", "is " + std::to_string(nrrd->dim) + ": orrery reads 3-D volumes");
  const char* type = nrrd_element(nrrd->type);
  if (!type)
    return bad("type", std::string("is ") + airEnumStr(nrrdType, nrrd->type) +
                           ": orrery reads int8 uint8 int16 uint16 int32 uint32 int64 uint64 float32 float64");
  h.type = type;
  h.littleEndian = io->endian != airEndianBig;
  for (unsigned a = 0; a < 3; ++a) {
    const size_t d = nrrd->axis[a].size;
    if (d < 1 || d > size_t(INT32_MAX)) return bad("sizes", "has " + std::to_string(d) + ", not a grid size");
    h.dim[a] = Size(d);
    double spacing = 1, direction[NRRD_SPACE_DIM_MAX];
    const int status = nrrdSpacingCalculate(nrrd.get(), a, &spacing, direction);
    if (status == nrrdSpacingStatusScalarNoSpace || status == nrrdSpacingStatusScalarWithSpace ||
        status == nrrdSpacingStatusDirection) {
      if (!std::isfinite(spacing) || spacing == 0)
        return bad(status == nrrdSpacingStatusDirection ? "space directions" : "spacings",
                   "gives axis " + std::to_string(a) + " no usable spacing");
      h.spacing[a] = std::fabs(spacing);
    } else {
      h.spacing[a] = 1;
    }
    // Without a space, "axis mins" place the grid.
    h.origin[a] = nrrd->spaceDim == 0 && std::isfinite(nrrd->axis[a].min) ? nrrd->axis[a].min : 0;
  }
  // Samples in this file (no "data file" field): their bytes, or a
  // compressed form of them, must fit in it. Checked on the header alone,
  // before teem allocates the samples.
  const bool attached = !io->dataFNFormat && (!io->dataFNArr || io->dataFNArr->len == 0);
  if (attached) {
    std::uint64_t bytes = 0;
    const bool fits = checked_product(h.dim[0], h.dim[1], h.dim[2], nrrdTypeSize[nrrd->type],
                                      std::numeric_limits<std::uint64_t>::max(), bytes);
    const bool raw = io->encoding == nrrdEncodingRaw;
    const bool packed = io->encoding == nrrdEncodingGzip || io->encoding == nrrdEncodingBzip2;
    if (!fits || (raw && bytes > file_bytes) || (packed && bytes / MAX_DEFLATE_RATIO > file_bytes))
      return bad("sizes", "declares " + (fits ? std::to_string(bytes) : std::string("more than 2^64")) + " bytes of samples, more than the file's " +
                              std::to_string(file_bytes) + " bytes can hold");
  }
  if (nrrd->spaceDim > 0) {
    for (unsigned a = 0; a < 3; ++a) {
      const double o = a < nrrd->spaceDim ? nrrd->spaceOrigin[a] : 0;
      if (std::isnan(o)) break;  // no origin given
      if (!std::isfinite(o)) return bad("space origin", "holds a number that is not finite");
      h.origin[a] = o;
    }
  }
  return true;
}

bool read_nrrd_header(const std::string& name, VolumeHeader& h, Report& report) {
  std::uint64_t found = 0;
  if (!regular_file_size(name, found, report)) return false;
  std::unique_ptr<Nrrd, NrrdOwner> nrrd;
  return load(name, true, nrrd, h, report, found);
}

bool read_nrrd_samples(const std::string& name, const VolumeHeader& expected, std::vector<Real>& values,
                       Report& report, ProgressSink& progress) {
  std::unique_ptr<Nrrd, NrrdOwner> nrrd;
  VolumeHeader h;
  std::uint64_t found = 0;
  if (!regular_file_size(name, found, report)) return false;
  // The header is checked on its own first: teem allocates every sample
  // the header declares before reading them.
  if (!load(name, true, nrrd, h, report, found) || !load(name, false, nrrd, h, report, found)) return false;
  if (h.type != expected.type || h.dim[0] != expected.dim[0] || h.dim[1] != expected.dim[1] ||
      h.dim[2] != expected.dim[2])
    return report.fail(name + ": the file changed while it was read");
  const std::size_t count = std::size_t(h.dim[0]) * h.dim[1] * h.dim[2];
  progress.init("\bReading field values", Size(count));
  values.clear();
  values.shrink_to_fit();
  reserve_huge(values, count);
  std::string error;
  if (!nrrd->data || !convert_native_samples(nrrd->data, h.type, count, 1, 0, values, error))
    return report.fail(name + ": " + (error.empty() ? std::string("no samples") : error));
  progress.update(Index(count - 1));
  return true;
}

}  // namespace ctree
