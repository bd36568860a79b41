// Figures of the whole-grid isosurface pass on one volume: per round, the
// extraction time of the cube surface on 1 and on T threads, of the
// tetrahedral surface on T threads, and of the windows' first surface
// (library dataset made from the samples, then the whole pass).
//
//   bench_isosurface VOLUME --iso V [--threads T] [--rounds N] [--dump PREFIX]
//
// VOLUME: any file the volume reader takes (.nii.gz, NAME_XxYxZ_TYPE.raw);
// a plain raw file needs --dim X Y Z (float32, little-endian). One line per
// round: "round R cube1 S cubeT S tetT S window S cpuT S spin1 S spin2 S"
// (seconds; cpuT: processor time of all threads during cubeT; spin1: a
// fixed piece of arithmetic on one thread, spin2: twice as much on two,
// which take as long as spin1 only when two cores are free), the cases in
// alternating order from round to round; then one line of counts per
// surface. --dump writes PREFIX.samples.f32 (the samples as float32, x
// fastest), PREFIX.cube.f32/.i32 and PREFIX.tet.f32/.i32 (vertices and
// triangles) for a script to compare with other programs.

#include <algorithm>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "spin_control.h"
#include "contour/grid_isosurface.h"
#include "contour/library.h"
#include "fields/volume_file.h"

using namespace contour;

namespace {

double cpu_seconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + t.tv_nsec * 1e-9;
}

double seconds(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

bool dump(const std::string& path, const void* data, size_t bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(data, 1, bytes, f) == bytes;
  return (std::fclose(f) == 0) && ok;
}

}  // namespace

int main(int argc, char** argv) {
  std::string file, prefix;
  double iso = 0;
  bool haveIso = false;
  int threads = 2, rounds = 3;
  ctree::VolumeOptions vo;
  for (int a = 1; a < argc; ++a) {
    std::string arg = argv[a];
    if (arg == "--iso" && a + 1 < argc) {
      iso = std::atof(argv[++a]);
      haveIso = true;
    } else if (arg == "--threads" && a + 1 < argc) {
      threads = std::max(1, std::atoi(argv[++a]));
    } else if (arg == "--rounds" && a + 1 < argc) {
      rounds = std::max(1, std::atoi(argv[++a]));
    } else if (arg == "--dump" && a + 1 < argc) {
      prefix = argv[++a];
    } else if (arg == "--dim" && a + 3 < argc) {
      vo.hasDim = vo.hasType = vo.hasSwap = true;
      vo.type = "float";
      for (int k = 0; k < 3; ++k) vo.dim[k] = ctree::Size(std::atol(argv[++a]));
    } else if (file.empty() && arg[0] != '-') {
      file = arg;
    } else {
      std::fprintf(stderr,
                   "usage: bench_isosurface VOLUME --iso V [--dim X Y Z] [--threads T] [--rounds N] [--dump PREFIX]\n");
      return 2;
    }
  }
  if (file.empty() || !haveIso) {
    std::fprintf(stderr, "bench_isosurface: give a volume and --iso\n");
    return 2;
  }
  ctree::ScalarField3DGrid field;
  ctree::Report report;
  vo.swap = false;
  if (!ctree::read_volume(file, vo, 0, field, report, ctree::no_progress())) {
    std::fprintf(stderr, "bench_isosurface: %s\n", report.error.c_str());
    return 1;
  }
  const std::vector<float> values(field.values.begin(), field.values.end());
  GridSamples g;
  g.values = values.data();
  for (int a = 0; a < 3; ++a) g.dim[a] = int(field.dim[a]);
  std::printf("volume %s: %d x %d x %d, isovalue %g, %d threads\n", file.c_str(), g.dim[0], g.dim[1], g.dim[2], iso,
              threads);

  Isosurface cube, tet;
  auto run = [&](int which) {
    const auto t0 = std::chrono::steady_clock::now();
    IsosurfaceOptions o;
    o.threads = which == 0 ? 1 : threads;
    if (which == 3) {
      // The windows' first surface: the dataset from the field's samples,
      // then the whole pass at the isovalue (colour variable 0).
      DatasetHandle ds(newDatasetReg(CONTOUR_FLOAT, CONTOUR_REG_3D, 1, 1, g.dim,
                                     reinterpret_cast<const unsigned char*>(values.data())));
      ds->threads = threads;
      auto c = getWholeContour3d(ds.get(), 0, 0, float(iso), 0);
      if (!c) std::exit(1);
      return seconds(t0);
    }
    Isosurface s;
    ctree::Report r;
    if (!grid_isosurface(g, float(iso), which == 2 ? CellSplit::tetrahedra : CellSplit::cubes, o, s, r)) {
      std::fprintf(stderr, "bench_isosurface: %s\n", r.error.c_str());
      std::exit(1);
    }
    const double t = seconds(t0);
    if (which == 2)
      tet = std::move(s);
    else
      cube = std::move(s);
    return t;
  };
  const char* names[4] = {"cube1", "cubeT", "tetT", "window"};
  for (int r = 0; r < rounds; ++r) {
    double t[4], cpu = 0;
    for (int k = 0; k < 4; ++k) {
      const int which = r % 2 == 0 ? k : 3 - k;
      const double c0 = cpu_seconds();
      t[which] = run(which);
      if (which == 1) cpu = cpu_seconds() - c0;
    }
    std::printf("round %d", r + 1);
    for (int k = 0; k < 4; ++k) std::printf(" %s %.4f", names[k], t[k]);
    const double s1 = spin_control(1), s2 = spin_control(2);
    std::printf(" cpuT %.4f spin1 %.4f spin2 %.4f\n", cpu, s1, s2);
  }
  std::printf("cube surface: %d vertices, %d triangles\n", cube.vertexCount(), cube.triangleCount());
  std::printf("tetrahedral surface: %d vertices, %d triangles\n", tet.vertexCount(), tet.triangleCount());
  if (!prefix.empty()) {
    bool ok = dump(prefix + ".samples.f32", values.data(), values.size() * 4) &&
              dump(prefix + ".cube.f32", cube.vertices.data(), cube.vertices.size() * 4) &&
              dump(prefix + ".cube.i32", cube.triangles.data(), cube.triangles.size() * 4) &&
              dump(prefix + ".tet.f32", tet.vertices.data(), tet.vertices.size() * 4) &&
              dump(prefix + ".tet.i32", tet.triangles.data(), tet.triangles.size() * 4);
    if (!ok) {
      std::fprintf(stderr, "bench_isosurface: cannot write %s.*\n", prefix.c_str());
      return 1;
    }
  }
  return 0;
}
