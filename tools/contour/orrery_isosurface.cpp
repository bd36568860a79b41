// orrery_isosurface: the isosurface of a raw volume as an ASCII PLY mesh, and
// its contour spectrum as a table, for looking at and comparing results.
//
//   orrery_isosurface FILE --dim X Y Z [--datatype T] [--swapbyte]
//                     [--spacing SX SY SZ] [--iso V] [--ply OUT.ply]
//                     [--spectrum N] [--threads N] [--tetrahedra]
//
// Without --iso the isovalue is the middle of the value range. The mesh has
// shared vertices (welded by position) with unit normals towards lower
// values, and triangles facing the same way. The spectrum table has one line
// per sample: isovalue and the four signature functions, tab-separated.
// The surface comes from one pass over every cell (contour/grid_isosurface.h):
// the marching-cubes surface, or with --tetrahedra the level set over the
// grid's tetrahedral split, whose pieces are the contour tree's arcs.
// --threads: workers for the surface and the spectrum (default: every
// core); the surface and the spectrum are the same for every count.

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "contour/library.h"
#include "core/messages.h"
#include "core/progress.h"
#include "core/whole_file.h"
#include "core/threads.h"
#include "fields/grid_field.h"
#include "fields/raw_reader.h"

using namespace contour;

namespace {

void usage(std::FILE* out) {
  std::fprintf(out,
               "usage: orrery_isosurface FILE --dim X Y Z [--datatype %s] [--swapbyte]\n"
               "                         [--spacing SX SY SZ] [--iso V] [--ply OUT.ply] [--spectrum N]\n"
               "                         [--threads N] [--tetrahedra]\n",
               ctree::data_type_names());
}

bool parse_int(const char* s, long lo, long hi, long& out) {
  char* end;
  errno = 0;
  long v = std::strtol(s, &end, 10);
  if (errno || end == s || *end || v < lo || v > hi) return false;
  out = v;
  return true;
}

bool parse_real(const char* s, double& out) {
  char* end;
  errno = 0;
  double v = std::strtod(s, &end);
  if (errno || end == s || *end) return false;
  out = v;
  return true;
}

struct Options {
  std::string file, type = "float", ply;
  long dim[3] = {0, 0, 0};
  double spacing[3] = {1, 1, 1};
  bool swap = false, haveIso = false, tetrahedra = false;
  double iso = 0;
  long spectrum = 0;
  long threads = 0;  // 0: every core
};

// Returns 0 when the options are complete, else the exit status.
int parse(int argc, char** argv, Options& o) {
  for (int a = 1; a < argc; ++a) {
    std::string arg = argv[a];
    auto need = [&](int n) {
      if (a + n >= argc) {
        std::fprintf(stderr, "orrery_isosurface: %s needs %d value%s\n", arg.c_str(), n, n > 1 ? "s" : "");
        return false;
      }
      return true;
    };
    if (arg == "--dim") {
      if (!need(3)) return 2;
      for (int k = 0; k < 3; ++k)
        if (!parse_int(argv[++a], 2, 1 << 20, o.dim[k])) {
          std::fprintf(stderr, "orrery_isosurface: --dim: \"%s\" is no grid size of at least 2\n", argv[a]);
          return 2;
        }
    } else if (arg == "--spacing") {
      if (!need(3)) return 2;
      for (int k = 0; k < 3; ++k)
        if (!parse_real(argv[++a], o.spacing[k]) || !(o.spacing[k] > 0)) {
          std::fprintf(stderr, "orrery_isosurface: --spacing: \"%s\" is no positive number\n", argv[a]);
          return 2;
        }
    } else if (arg == "--datatype") {
      if (!need(1)) return 2;
      o.type = argv[++a];
    } else if (arg == "--swapbyte") {
      o.swap = true;
    } else if (arg == "--tetrahedra") {
      o.tetrahedra = true;
    } else if (arg == "--iso") {
      if (!need(1)) return 2;
      if (!parse_real(argv[++a], o.iso)) {
        std::fprintf(stderr, "orrery_isosurface: --iso: \"%s\" is no number\n", argv[a]);
        return 2;
      }
      o.haveIso = true;
    } else if (arg == "--ply") {
      if (!need(1)) return 2;
      o.ply = argv[++a];
    } else if (arg == "--spectrum") {
      if (!need(1)) return 2;
      if (!parse_int(argv[++a], 2, 1 << 20, o.spectrum)) {
        std::fprintf(stderr, "orrery_isosurface: --spectrum: \"%s\" is no sample count of at least 2\n", argv[a]);
        return 2;
      }
    } else if (arg == "--threads") {
      if (!need(1)) return 2;
      if (!parse_int(argv[++a], 1, 1024, o.threads)) {
        std::fprintf(stderr, "orrery_isosurface: --threads: \"%s\" is no thread count from 1 to 1024\n", argv[a]);
        return 2;
      }
    } else if (arg == "-h" || arg == "--help") {
      usage(stdout);
      return -1;
    } else if (!arg.empty() && arg[0] == '-') {
      std::fprintf(stderr, "orrery_isosurface: unknown option %s\n", arg.c_str());
      usage(stderr);
      return 2;
    } else if (o.file.empty()) {
      o.file = arg;
    } else {
      std::fprintf(stderr, "orrery_isosurface: a second input file %s\n", arg.c_str());
      return 2;
    }
  }
  if (o.file.empty() || o.dim[0] == 0) {
    usage(stderr);
    return 2;
  }
  if (o.ply.empty() && o.spectrum == 0) {
    std::fprintf(stderr, "orrery_isosurface: nothing to do: give --ply OUT.ply, --spectrum N or both\n");
    return 2;
  }
  return 0;
}

// Writes the surface with vertices welded by exact position. The file is
// written beside its final name and renamed once complete.
bool write_ply(const std::string& path, const Contour3dData& c) {
  struct Key {
    std::uint32_t x, y, z;
    bool operator==(const Key& k) const { return x == k.x && y == k.y && z == k.z; }
  };
  struct Hash {
    size_t operator()(const Key& k) const {
      return (size_t(k.x) * 73856093u) ^ (size_t(k.y) * 19349663u) ^ (size_t(k.z) * 83492791u);
    }
  };
  std::unordered_map<Key, int, Hash> index;
  std::vector<int> remap(c.nvert), first;
  for (int v = 0; v < c.nvert; ++v) {
    Key k;
    std::memcpy(&k.x, &c.vert[v][0], 4);
    std::memcpy(&k.y, &c.vert[v][1], 4);
    std::memcpy(&k.z, &c.vert[v][2], 4);
    auto it = index.emplace(k, int(first.size()));
    if (it.second) first.push_back(v);
    remap[v] = it.first->second;
  }
  std::vector<int> tris;
  for (int t = 0; t < c.ntri; ++t) {
    int a = remap[c.tri[t][0]], b = remap[c.tri[t][1]], d = remap[c.tri[t][2]];
    if (a == b || b == d || a == d) continue;  // collapsed where the surface touches a sample
    tris.insert(tris.end(), {a, b, d});
  }
  ctree::WholeFile file;
  std::string reason;
  if (!file.open(path, reason)) {
    std::fprintf(stderr, "orrery_isosurface: cannot create %s: %s\n", path.c_str(), reason.c_str());
    return false;
  }
  std::FILE* out = file.stream();
  std::fprintf(out,
               "ply\nformat ascii 1.0\ncomment isosurface written by orrery_isosurface\n"
               "element vertex %zu\nproperty float x\nproperty float y\nproperty float z\n"
               "property float nx\nproperty float ny\nproperty float nz\n"
               "element face %zu\nproperty list uchar int vertex_indices\nend_header\n",
               first.size(), tris.size() / 3);
  for (int v : first)
    std::fprintf(out, "%.9g %.9g %.9g %.6g %.6g %.6g\n", c.vert[v][0], c.vert[v][1], c.vert[v][2], c.vnorm[v][0],
                 c.vnorm[v][1], c.vnorm[v][2]);
  for (size_t t = 0; t < tris.size(); t += 3) std::fprintf(out, "3 %d %d %d\n", tris[t], tris[t + 1], tris[t + 2]);
  if (!file.commit(reason)) {
    std::fprintf(stderr, "orrery_isosurface: cannot write %s: %s\n", path.c_str(), reason.c_str());
    return false;
  }
  std::printf("wrote %s: %zu vertices, %zu triangles\n", path.c_str(), first.size(), tris.size() / 3);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  int st = parse(argc, argv, o);
  if (st == -1) return 0;
  if (st) return st;

  ctree::ScalarField3DGrid field;
  const ctree::Index start[3] = {0, 0, 0};
  const ctree::Size size[3] = {ctree::Size(o.dim[0]), ctree::Size(o.dim[1]), ctree::Size(o.dim[2])};
  const ctree::Real origin[3] = {0, 0, 0};
  // The console: the meter on standard output, the libraries' messages as lines.
  ctree::set_progress_console(stdout);
  ctree::ConsoleMessages console(stdout, stderr);
  ctree::Progress meter(stdout);
  ctree::Report report;
  const bool read = ctree::read_raw_field(o.file, o.type, start, size, size, origin, o.spacing, o.swap, field, report,
                                          meter);
  if (!ctree::print_report(report, console) || !read) return 1;

  std::vector<float> values(field.values.begin(), field.values.end());
  int dim[3] = {int(o.dim[0]), int(o.dim[1]), int(o.dim[2])};
  float span[3] = {float(o.spacing[0]), float(o.spacing[1]), float(o.spacing[2])};
  ConDataset* ds = newDatasetReg(CONTOUR_FLOAT, CONTOUR_REG_3D, 1, 1, dim,
                                 reinterpret_cast<const unsigned char*>(values.data()), nullptr, span, console);
  if (!ds) {
    std::fprintf(stderr, "orrery_isosurface: %s: the contour library refused the grid\n", o.file.c_str());
    return 1;
  }
  ds->threads = int(ctree::worker_count(unsigned(o.threads)));
  ds->progress = &meter;
  int status = 0;
  if (!o.ply.empty()) {
    float lo = *std::min_element(values.begin(), values.end()), hi = *std::max_element(values.begin(), values.end());
    float iso = o.haveIso ? float(o.iso) : 0.5f * (lo + hi);
    ctree::Report surfaceReport;
    auto c = getWholeContour3d(ds, 0, 0, iso, -1, o.tetrahedra ? CellSplit::tetrahedra : CellSplit::cubes,
                               &surfaceReport);
    if (!c) std::fprintf(stderr, "orrery_isosurface: %s: %s\n", o.file.c_str(), surfaceReport.error.c_str());
    if (!c || !write_ply(o.ply, *c)) status = 1;
  }
  if (status == 0 && o.spectrum > 0) {
    ds->samples = int(o.spectrum);
    Signature* sig = getSignatureFunctions(ds, 0, 0);
    if (!sig) {
      status = 1;
    } else {
      std::printf("isovalue");
      for (int fn = 0; fn < ds->nsignatures; ++fn) std::printf("\t%s", sig[fn].name.c_str());
      std::printf("\n");
      for (int i = 0; i < sig[0].nsamples; ++i) {
        std::printf("%.9g", sig[0].fx[i]);
        for (int fn = 0; fn < ds->nsignatures; ++fn) std::printf("\t%.9g", sig[fn].fy[i]);
        std::printf("\n");
      }
    }
  }
  clearDataset(ds);
  return status;
}
