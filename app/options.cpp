#include "app/options.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ctree {

void printhelp(int /*argc*/, char** argv) {
  std::printf(
      "%s Arguments:\n"
      " \n"
      " --data <file name>\n"
      "     the dataset, by the name's ending:\n"
      "       .nii .nii.gz   NIfTI-1 or NIfTI-2: size, type, byte order, scl_slope/scl_inter, pixdim spacing,\n"
      "                      origin (sform, else qform); a 4-D file is a time series, --time picks its volumes\n"
      "       .nrrd .nhdr    NRRD, attached or detached, raw or gzip: sizes, type, endian, spacings or\n"
      "                      space directions (their lengths), space origin\n"
      "       _XxYxZ_TYPE.raw  raw little-endian samples whose name gives size and type\n"
      "                      (TYPE: uint8 int8 uint16 int16 uint32 int32 float32 float64)\n"
      "       .ply           a triangle mesh\n"
      "       anything else  a headerless raw grid: --dim, --datatype, --swapbyte, --spacing, --origin\n"
      "     options given beside a header must agree with it; the grid is read in index order (no rotation)\n"
      "     a printf template with one integer conversion names one file per time step\n"
      "     example: --data field3d.raw or --data field2d.ply\n"
      "     example: --data /usr/share/mricron/templates/ch2.nii.gz\n"
      "     example: --data time-dep.%%02d.bin\n"
      " [--var <x|y|z>]\n"
      "     vertex coordinate of a PLY mesh used as the scalar field (default y)\n"
      "     example: --var y\n"
      " [--dim <dimx> <dimy> <dimz>]\n"
      "     number of vertices along x, y and z of a raw grid (required for files without a header or sizes in the name)\n"
      "     example: --dim 64 64 64\n"
      " [--spacing <sx> <sy> <sz>] [--origin <x> <y> <z>]\n"
      "     distance between neighbouring vertices along x, y, z and the position of vertex (0, 0, 0)\n"
      "     of a raw grid (default 1 1 1 and 0 0 0); positions, boxes and tree files are in these units\n"
      "     example: --spacing 0.5 0.5 1.2 --origin -90 -126 -72\n"
      " [--datatype <char|uchar|short|ushort|long|ulong|float|double>]\n"
      "     element type of the raw grid file (default float; long and ulong are 32-bit)\n"
      "     example: --datatype float\n"
      " [--swapbyte <0|1>]\n"
      "     1 reverses the bytes of every raw sample (big-endian files on this machine), 0 reads them as they are (default 1)\n"
      "     example: --swapbyte 1\n"
      " [--ct <file name>]\n"
      "     contour tree file (or printf template) ending in .ply; computed and written when it does not exist\n"
      "     example: --ct field.ctree.ply\n"
      " [--ctl <file name>]\n"
      "     laid-out contour tree file (or printf template) ending in .ply; computed and written when it does not exist\n"
      "     example: --ctl field.ctreel.ply\n"
      " [--time <first> <last> <step>]\n"
      "     time steps from first to last (both included) by step, formatted into the templates\n"
      "     example: --time 0 0 1\n"
      " [--spectrum <samples>]\n"
      "     number of isovalue samples of the contour spectrum, at least 2; 0 computes none\n"
      "     example: --spectrum 256\n"
      " [--aspect <ratio>]\n"
      "     aspect ratio of the orrery layout (default 1.0)\n"
      "     example: --aspect 1.0f\n"
      " [--notscale]\n"
      "     do not scale the orrery layout by persistence\n"
      " [--scene <template>]\n"
      "     printf template of the scene file names (default scene.%%03d.txt)\n"
      "     example: --scene scene.%%03d.txt\n"
      " [--openscene]\n"
      "     opens the scene file of frame 0 (the --scene template formatted with 0) when the windows start\n"
      "     example: --openscene\n"
      " [--batch]\n"
      "     computes (or reads) the trees of every time step without windows, one summary line per step\n"
      "     example: --batch\n"
      " [--povray <prefix>]\n"
      "     with --batch: writes per time step a POV-Ray scene <prefix>.<step>.pov of the laid-out tree (--ctl),\n"
      "     else of the contour tree and the mesh (meshes), with their parts in <prefix>.<step>.tree.inc and .mesh.inc\n"
      "     example: --povray scene\n"
      " [--regions <file>]\n"
      "     with --batch and --ct: writes per time step the grid's segmentation, each voxel the number of its branch\n"
      "     in the tree file, as NIfTI for a NIfTI scan (.nii.gz added), else as <file>_XxYxZ_int32.raw\n"
      "     example: --regions brain-regions.nii.gz\n"
      " [--threads <count>]\n"
      "     threads for the grid merge trees, the seed search and the spectrum (default: every core; 1 computes on one thread)\n"
      "     example: --threads 2\n"
      " [--snapshot <folder>]\n"
      "     every window saves its first complete frame as <folder>/<window title>.png, then the program exits\n"
      "     example: --snapshot pictures\n"
      " [--help]\n"
      "     prints this text\n"
      " \n"
      "Keys in the windows: press h or ? in a window to see its keys (printed here and shown in the window);\n"
      "the README's section \"Windows\" lists them all.\n",
      argv[0]);
}

// A whole decimal number that fits an int, with nothing after it.
static bool parse_int(const char* text, int& out) {
  if (!text || !*text) return false;
  errno = 0;
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (errno != 0 || *end != '\0' || end == text || v < INT_MIN || v > INT_MAX) return false;
  out = int(v);
  return true;
}

// A finite real number; a trailing 'f' as in C literals ("1.0f") is allowed.
static bool parse_real(const char* text, double& out) {
  if (!text || !*text) return false;
  errno = 0;
  char* end = nullptr;
  double v = std::strtod(text, &end);
  if (end == text || errno == ERANGE || !std::isfinite(v)) return false;
  if ((*end == 'f' || *end == 'F') && end[1] == '\0') ++end;
  if (*end != '\0') return false;
  out = v;
  return true;
}

namespace {

// Walks argv, handing out the values that follow an option.
struct ArgReader {
  int argc;
  char** argv;
  int i = 1;

  // True when the option at i has n values after it; else reports.
  bool need(const char* option, int n) {
    if (i + n < argc) return true;
    std::fprintf(stderr, "Error: %s needs %d value%s\n", option, n, n == 1 ? "" : "s");
    return false;
  }
  const char* value() { return argv[++i]; }

  bool ints(const char* option, int* out, int n) {
    if (!need(option, n)) return false;
    for (int k = 0; k < n; ++k) {
      const char* v = value();
      if (!parse_int(v, out[k])) {
        std::fprintf(stderr, "Error: %s value \"%s\" is not a whole number\n", option, v);
        return false;
      }
    }
    return true;
  }
};

}  // namespace

ParseResult parse_options(int argc, char** argv, Options& o) {
  if (argc <= 1) {
    printhelp(argc, argv);
    return ParseResult::ExitOk;
  }
  ArgReader r{argc, argv};
  for (; r.i < argc; ++r.i) {
    const char* a = argv[r.i];
    if (!std::strcmp(a, "--help")) {
      printhelp(argc, argv);
      return ParseResult::ExitOk;
    } else if (!std::strcmp(a, "--swapbyte")) {
      if (!r.ints(a, &o.swapbyte, 1)) return ParseResult::ExitError;
      o.has_swapbyte = true;
    } else if (!std::strcmp(a, "--data")) {
      if (!r.need(a, 1)) return ParseResult::ExitError;
      o.data = r.value();
      o.has_data = true;
    } else if (!std::strcmp(a, "--datatype")) {
      if (!r.need(a, 1)) return ParseResult::ExitError;
      o.datatype = r.value();
      o.has_datatype = true;
    } else if (!std::strcmp(a, "--notscale")) {
      o.notscale = true;
    } else if (!std::strcmp(a, "--openscene")) {
      o.openscene = true;
    } else if (!std::strcmp(a, "--aspect")) {
      if (!r.need(a, 1)) return ParseResult::ExitError;
      const char* v = r.value();
      if (!parse_real(v, o.aspect)) {
        std::fprintf(stderr, "Error: --aspect value \"%s\" is not a finite number\n", v);
        return ParseResult::ExitError;
      }
    } else if (!std::strcmp(a, "--var")) {
      if (!r.need(a, 1)) return ParseResult::ExitError;
      o.var = r.value();
    } else if (!std::strcmp(a, "--spectrum")) {
      if (!r.ints(a, &o.spectrum, 1)) return ParseResult::ExitError;
      // A spectrum of one sample has no spacing between isovalues.
      if (o.spectrum < 0 || o.spectrum == 1) {
        std::fprintf(stderr, "Error: --spectrum needs a sample count of at least 2 (or 0 for none), not %d\n",
                     o.spectrum);
        return ParseResult::ExitError;
      }
    } else if (!std::strcmp(a, "--ct")) {
      if (!r.need(a, 1)) return ParseResult::ExitError;
      o.ct = r.value();
    } else if (!std::strcmp(a, "--ctl")) {
      if (!r.need(a, 1)) return ParseResult::ExitError;
      o.ctl = r.value();
    } else if (!std::strcmp(a, "--dim")) {
      if (!r.ints(a, o.dim, 3)) return ParseResult::ExitError;
      o.has_dim = true;
      for (int d : o.dim)
        if (d < 0) {
          std::fprintf(stderr, "Error: --dim sizes must not be negative, got %d %d %d\n", o.dim[0], o.dim[1], o.dim[2]);
          return ParseResult::ExitError;
        }
    } else if (!std::strcmp(a, "--time")) {
      if (!r.ints(a, o.time, 3)) return ParseResult::ExitError;
      if (o.time[2] <= 0 || o.time[1] < o.time[0]) {
        std::fprintf(stderr,
                     "Error: --time %d %d %d: the step must be positive and the first step not after the last\n",
                     o.time[0], o.time[1], o.time[2]);
        return ParseResult::ExitError;
      }
      // Every step number, and one step before the first and after the
      // last (where stepping stops), must be an int.
      const long long first = o.time[0], last = o.time[1], step = o.time[2];
      const long long steps = (last - first) / step + 1;
      if (first - step < INT_MIN || last + step > INT_MAX || last - first > INT_MAX || steps > MAX_TIME_STEPS) {
        std::fprintf(stderr,
                     "Error: --time %d %d %d: %lld steps; a range holds at most %lld steps, and its ends plus or "
                     "minus the step must stay within %d..%d\n",
                     o.time[0], o.time[1], o.time[2], steps, MAX_TIME_STEPS, INT_MIN, INT_MAX);
        return ParseResult::ExitError;
      }
    } else if (!std::strcmp(a, "--spacing") || !std::strcmp(a, "--origin")) {
      const bool spacing = a[2] == 's';
      if (!r.need(a, 3)) return ParseResult::ExitError;
      double* out = spacing ? o.spacing : o.origin;
      for (int k = 0; k < 3; ++k) {
        const char* v = r.value();
        // Positions are stored as doubles and drawn as floats.
        if (!parse_real(v, out[k]) || std::fabs(out[k]) > 1e30 || (spacing && !(out[k] > 0))) {
          std::fprintf(stderr, "Error: %s value \"%s\" is not a %s\n", a, v,
                       spacing ? "positive finite distance" : "finite position");
          return ParseResult::ExitError;
        }
      }
      (spacing ? o.has_spacing : o.has_origin) = true;
    } else if (!std::strcmp(a, "--batch")) {
      o.batch = true;
    } else if (!std::strcmp(a, "--povray")) {
      if (!r.need(a, 1)) return ParseResult::ExitError;
      o.povray = r.value();
    } else if (!std::strcmp(a, "--regions")) {
      if (!r.need(a, 1)) return ParseResult::ExitError;
      o.regions = r.value();
    } else if (!std::strcmp(a, "--snapshot")) {
      if (!r.need(a, 1)) return ParseResult::ExitError;
      o.snapshot = r.value();
    } else if (!std::strcmp(a, "--threads")) {
      if (!r.ints(a, &o.threads, 1)) return ParseResult::ExitError;
      if (o.threads < 1) {
        std::fprintf(stderr, "Error: --threads needs a count of 1 or more, not %d\n", o.threads);
        return ParseResult::ExitError;
      }
    } else if (!std::strcmp(a, "--scene")) {
      if (!r.need(a, 1)) return ParseResult::ExitError;
      o.scene = r.value();
    } else {
      std::printf("Unknown parameter %s\n", a);
    }
  }
  if (!o.has_data) {
    std::puts("Error: --data not specified");
    printhelp(argc, argv);
    return ParseResult::ExitError;
  }
  return ParseResult::Run;
}

}  // namespace ctree
