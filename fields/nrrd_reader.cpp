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
#include <string>
#include <vector>

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

// The header's text: the lines up to the first empty one (at most 1 MB).
static std::vector<std::string> header_lines(const std::string& name) {
  std::vector<std::string> lines;
  std::FILE* f = std::fopen(name.c_str(), "rb");
  if (!f) return lines;
  std::string line;
  size_t total = 0;
  for (int c; (c = std::fgetc(f)) != EOF && total < (1u << 20); ++total) {
    if (c != '\n') {
      line += char(c);
      continue;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) break;
    lines.push_back(line);
    line.clear();
  }
  std::fclose(f);
  return lines;
}

// The data files a detached header names in its "data file" field: one
// name, a printf template with its range ("d%03d.raw 1 30 1"), or LIST
// and the names on the lines after it. Relative names are taken from the
// header's folder. Empty for an attached file.
static std::vector<std::string> detached_data_files(const std::string& name) {
  const std::vector<std::string> lines = header_lines(name);
  const size_t slash = name.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : name.substr(0, slash + 1);
  auto beside = [&](const std::string& file) { return file.empty() || file[0] == '/' ? file : folder + file; };
  std::vector<std::string> files;
  for (size_t k = 0; k < lines.size(); ++k) {
    const std::string& l = lines[k];
    size_t value = std::string::npos;
    for (const char* field : {"data file:", "datafile:"})
      if (l.compare(0, std::strlen(field), field) == 0) value = std::strlen(field);
    if (value == std::string::npos) continue;
    std::string v = l.substr(value);
    v.erase(0, v.find_first_not_of(" \t"));
    while (!v.empty() && (v.back() == ' ' || v.back() == '\t')) v.pop_back();
    if (v.compare(0, 4, "LIST") == 0) {
      for (size_t j = k + 1; j < lines.size(); ++j) files.push_back(beside(lines[j]));
      // The names run to the end of the file, past the empty line, if any.
      std::FILE* f = std::fopen(name.c_str(), "rb");
      if (f) {
        std::string all;
        char buf[4096];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0 && all.size() < (1u << 20);) all.append(buf, n);
        std::fclose(f);
        const size_t at = all.find("\n\n");
        if (at != std::string::npos) {
          size_t from = at + 2;
          while (from < all.size()) {
            size_t end = all.find('\n', from);
            if (end == std::string::npos) end = all.size();
            std::string item = all.substr(from, end - from);
            if (!item.empty() && item.back() == '\r') item.pop_back();
            if (!item.empty()) files.push_back(beside(item));
            from = end + 1;
          }
        }
      }
      return files;
    }
    const size_t space = v.find(' ');
    long long first = 0, last = 0, step = 0;
    if (space != std::string::npos && v.find('%') != std::string::npos &&
        std::sscanf(v.c_str() + space, "%lld %lld %lld", &first, &last, &step) == 3 && step != 0) {
      const std::string format = v.substr(0, space);
      for (long long i = first; (step > 0 ? i <= last : i >= last) && files.size() < 100000; i += step) {
        char buf[4096];
        std::snprintf(buf, sizeof buf, format.c_str(), int(i));
        files.push_back(beside(buf));
      }
    } else {
      files.push_back(beside(v));
    }
    return files;
  }
  return files;
}

// Every data file a detached header names is a regular file (a pipe or a
// device would be waited on or read for ever); their total size.
static bool check_data_files(const std::string& name, const std::vector<std::string>& files, std::uint64_t& total,
                             Report& report) {
  total = 0;
  for (const std::string& file : files) {
    Report why;
    std::uint64_t bytes = 0;
    if (!regular_file_size(file, bytes, why))
      return report.fail(name + ": its data file " + file + " cannot be read: " + why.error);
    total += bytes;
  }
  return true;
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
  // The data files of a detached header are checked before teem opens them.
  const std::vector<std::string> data_files = detached_data_files(name);
  std::uint64_t data_bytes = 0;
  if (!check_data_files(name, data_files, data_bytes, report)) return false;
  nrrdStateVerboseIO = 0;
  std::unique_ptr<NrrdIoState, IoOwner> io(nrrdIoStateNew());
  io->skipData = skip_data ? AIR_TRUE : AIR_FALSE;
  nrrd.reset(nrrdNew());
  if (nrrdLoad(nrrd.get(), name.c_str(), io.get())) {
    std::string files;
    for (const std::string& f : data_files)
      files += (files.empty() ? std::string(data_files.size() > 1 ? " (its data files " : " (its data file ") : ", ") +
               f;
    if (!files.empty()) files += ")";
    return report.fail(name + files + ": the NRRD file cannot be read: " + library_message());
  }
  auto bad = [&](const std::string& field, const std::string& what) {
    return report.fail(name + ": NRRD header field \"" + field + "\" " + what);
  };
  if (nrrd->dim != 3) return bad("dimension", "is " + std::to_string(nrrd->dim) + ": orrery reads 3-D volumes");
  const char* type = nrrd_element(nrrd->type);
  if (!type)
    return bad("type", std::string("is ") + airEnumStr(nrrdType, nrrd->type) +
                           ": orrery reads int8 uint8 int16 uint16 int32 uint32 int64 uint64 float32 float64");
  h.type = type;
  h.littleEndian = io->endian != airEndianBig;
  // An anatomical space turns the axes' space directions into the
  // right-anterior-superior world that labels them: the signs by which
  // each of its axes differs from it.
  double toRas[3] = {0, 0, 0};
  switch (nrrd->space) {
    case nrrdSpaceRightAnteriorSuperior:
    case nrrdSpaceRightAnteriorSuperiorTime: toRas[0] = 1, toRas[1] = 1, toRas[2] = 1; break;
    case nrrdSpaceLeftAnteriorSuperior:
    case nrrdSpaceLeftAnteriorSuperiorTime: toRas[0] = -1, toRas[1] = 1, toRas[2] = 1; break;
    case nrrdSpaceLeftPosteriorSuperior:
    case nrrdSpaceLeftPosteriorSuperiorTime: toRas[0] = -1, toRas[1] = -1, toRas[2] = 1; break;
    default: break;
  }
  int oriented = toRas[0] != 0 && nrrd->spaceDim >= 3 ? 0 : -1;  // axes with a direction, -1: none
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
      if (oriented >= 0 && status == nrrdSpacingStatusDirection) {
        double length = 0;
        for (int k = 0; k < 3; ++k) length += direction[k] * direction[k];
        length = std::sqrt(length);
        if (length > 0 && std::isfinite(length)) {
          for (int k = 0; k < 3; ++k) h.axes[a][k] = toRas[k] * direction[k] / length;
          ++oriented;
        }
      }
    } else {
      h.spacing[a] = 1;
    }
    // Without a space, "axis mins" place the grid.
    h.origin[a] = nrrd->spaceDim == 0 && std::isfinite(nrrd->axis[a].min) ? nrrd->axis[a].min : 0;
  }
  h.oriented = oriented == 3;
  if (!h.oriented)
    for (int a = 0; a < 3; ++a)
      for (int k = 0; k < 3; ++k) h.axes[a][k] = a == k;
  // Samples in this file (no "data file" field): their bytes, or a
  // compressed form of them, must fit in it. Checked on the header alone,
  // before teem allocates the samples.
  // So must the bytes of the data files of a detached header.
  const bool attached = !io->dataFNFormat && (!io->dataFNArr || io->dataFNArr->len == 0);
  {
    std::uint64_t bytes = 0;
    const bool fits = checked_product(h.dim[0], h.dim[1], h.dim[2], nrrdTypeSize[nrrd->type],
                                      std::numeric_limits<std::uint64_t>::max(), bytes);
    const bool raw = io->encoding == nrrdEncodingRaw;
    const bool packed = io->encoding == nrrdEncodingGzip || io->encoding == nrrdEncodingBzip2;
    const std::uint64_t room = attached ? file_bytes : data_bytes;
    if (!fits || (raw && bytes > room) || (packed && bytes / MAX_DEFLATE_RATIO > room)) {
      const std::string declared = fits ? std::to_string(bytes) : std::string("more than 2^64");
      if (attached)
        return bad("sizes", "declares " + declared + " bytes of samples, more than the file's " +
                                std::to_string(file_bytes) + " bytes can hold");
      std::string named = data_files.empty() ? std::string("its data file") : data_files.front();
      if (data_files.size() > 1) named += " and " + std::to_string(data_files.size() - 1) + " more";
      return bad("sizes", "declares " + declared + " bytes of samples, more than the " + std::to_string(room) +
                              " bytes of its data file" + (data_files.size() > 1 ? "s " : " ") + named + " can hold");
    }
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

bool read_nrrd_samples(const std::string& name, const VolumeHeader& expected, std::vector<Real>& values, Report& report,
                       ProgressSink& progress) {
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
