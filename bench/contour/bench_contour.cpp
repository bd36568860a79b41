// Figures of the contour library on generated grids: seed search, one
// mid-range isosurface, and the full spectrum.
//
//   bench_contour [n ...]      (default: 128 256)
//   bench_contour --file RAW N [--threads T] [--iso V]
//   bench_contour --setup RAW N [--threads T] [--rounds R]
//
// The field is a sum of Gaussian bumps over an n^3 grid of floats. With
// --file, an N^3 raw volume of little-endian floats: one line
// "seeds S spectrum S first S change S triangles N seeds_cpu S
// spectrum_cpu S" per thread count
// (1 and T, default 2), the times in seconds: seed search, spectrum at 256
// samples, first isosurface after reading (dataset, seeds, extraction),
// and one isovalue change; the surfaces and spectra of both counts are
// compared and a difference is reported.
//
// --setup times the set-up of propagation alone on 1 and T threads (default
// 2), in R alternating rounds (default 5): the seed sweep and the interval
// tree over the seeds (setup = sweep + tree), each round on a fresh dataset. One line per round
// and thread count, then per count the median and the spread (min-max) of
// setup, sweep and tree, and the median of the round-by-round ratio 1/T; a
// difference in seeds or tree between the counts is reported. Each round
// ends with a control: a fixed piece of arithmetic on one thread and twice
// as much on two, whose ratio is 1 only when two cores are free.

#include <sys/resource.h>
#include <sys/time.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "spin_control.h"
#include "contour/dataset.h"
#include "contour/grid3_data.h"
#include "contour/library.h"
#include "contour/propagation.h"
#include "contour/seed_search.h"

using namespace contour;

namespace {

// The meter of long seed searches and spectra, made before any redirection
// of standard output, so its lines stay on the console.
ctree::Progress meter(stdout);

double now() {
  timeval t;
  gettimeofday(&t, nullptr);
  return t.tv_sec + t.tv_usec * 1e-6;
}

// Processor time of the whole process (all threads), in seconds.
double cpu() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

double peak_mb() {
  rusage u;
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss / 1024.0;
}

std::vector<float> bumps(int n) {
  struct Bump {
    double x, y, z, s, h;
  };
  const Bump b[] = {{0.3, 0.3, 0.4, 0.12, 1.0}, {0.7, 0.6, 0.5, 0.18, 0.8}, {0.5, 0.8, 0.2, 0.1, 0.6},
                    {0.2, 0.7, 0.8, 0.15, 0.9}, {0.8, 0.2, 0.7, 0.09, 0.7}, {0.5, 0.5, 0.5, 0.3, 0.4}};
  std::vector<float> v(size_t(n) * n * n);
  for (int k = 0; k < n; ++k)
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i) {
        double x = double(i) / (n - 1), y = double(j) / (n - 1), z = double(k) / (n - 1), f = 0;
        for (const Bump& q : b)
          f += q.h *
               std::exp(-((x - q.x) * (x - q.x) + (y - q.y) * (y - q.y) + (z - q.z) * (z - q.z)) / (2 * q.s * q.s));
        v[(size_t(k) * n + j) * n + i] = float(f);
      }
  return v;
}

// Runs body with the library's status lines sent to /dev/null.
template <class F>
auto silent(F body) {
  std::fflush(stdout);
  FILE* saved = stdout;
  FILE* null = std::fopen("/dev/null", "w");
  stdout = null;
  auto r = body();
  std::fflush(stdout);
  stdout = saved;
  std::fclose(null);
  return r;
}

void run(int n) {
  double t0 = now();
  std::vector<float> v = bumps(n);
  std::printf("grid %d^3: field generated in %.2f s\n", n, now() - t0);
  int dim[3] = {n, n, n};
  t0 = now();
  ConDataset* ds = silent([&] { return newDatasetReg(2, 5, 1, 1, dim, reinterpret_cast<unsigned char*>(v.data())); });
  if (!ds) {
    std::fprintf(stderr, "bench_contour: dataset of %d^3 could not be built\n", n);
    std::exit(1);
  }
  ds->progress = &meter;
  std::printf("  dataset built:      %.2f s\n", now() - t0);
  t0 = now();
  auto seeds = silent([&] { return getSeedCells(ds, 0, 0); });
  if (!seeds) std::exit(1);
  double cells = double(n - 1) * (n - 1) * (n - 1);
  std::printf("  seed search:        %.2f s, %d seeds = %.4f of %.0f cells\n", now() - t0, seeds->nseeds,
              seeds->nseeds / cells, cells);
  for (float iso : {0.25f, 0.5f}) {
    t0 = now();
    auto c = silent([&] { return getContour3d(ds, 0, 0, iso, -1); });
    double dt = now() - t0;
    if (!c) std::exit(1);
    std::printf("  isosurface at %.2f: %.3f s, %d triangles, %.2f M triangles/s, %d cells visited\n", iso, dt, c->ntri,
                c->ntri / dt * 1e-6, ds->plot->cellsVisited());
  }
  t0 = now();
  Signature* sig = silent([&] { return getSignatureFunctions(ds, 0, 0); });
  if (!sig) std::exit(1);
  std::printf("  spectrum, %d samples: %.2f s\n", sig[0].nsamples, now() - t0);
  std::printf("  peak memory:        %.0f MB\n", peak_mb());
  clearDataset(ds);
}

// Accuracy on the distance field |p - c|: extracted area against 4 pi r^2,
// and the spectrum's "Surface Area" and "Min Volume" near r against the
// sphere and the ball.
void sphere(int n) {
  const double pi = 3.14159265358979323846, c = n / 2.0 - 0.37, r = 0.3 * n;
  std::vector<float> v(size_t(n) * n * n);
  for (int k = 0; k < n; ++k)
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i)
        v[(size_t(k) * n + j) * n + i] = float(std::sqrt((i - c) * (i - c) + (j - c) * (j - c) + (k - c) * (k - c)));
  int dim[3] = {n, n, n};
  ConDataset* ds = silent([&] { return newDatasetReg(2, 5, 1, 1, dim, reinterpret_cast<unsigned char*>(v.data())); });
  if (!ds) std::exit(1);
  ds->progress = &meter;
  Signature* sig = silent([&] { return getSignatureFunctions(ds, 0, 0); });
  if (!sig) std::exit(1);
  int best = 0;
  for (int i = 0; i < sig[0].nsamples; ++i)
    if (std::fabs(sig[0].fx[i] - r) < std::fabs(sig[0].fx[best] - r)) best = i;
  double w = sig[0].fx[best];
  auto s = silent([&] { return getContour3d(ds, 0, 0, float(w), -1); });
  if (!s) std::exit(1);
  double area = 0;
  for (int t = 0; t < s->ntri; ++t) {
    const float *a = s->vert[s->tri[t][0]], *b = s->vert[s->tri[t][1]], *d = s->vert[s->tri[t][2]];
    double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]}, q[3] = {d[0] - a[0], d[1] - a[1], d[2] - a[2]};
    double x = u[1] * q[2] - u[2] * q[1], y = u[2] * q[0] - u[0] * q[2], z = u[0] * q[1] - u[1] * q[0];
    area += 0.5 * std::sqrt(x * x + y * y + z * z);
  }
  double sa = 4 * pi * w * w, vol = 4.0 / 3 * pi * w * w * w;
  std::printf(
      "sphere %d^3, r = %.3f: extracted area / 4 pi r^2 = %.5f, Surface Area / 4 pi r^2 = %.5f, "
      "Min Volume / (4/3) pi r^3 = %.5f, Max Volume at last sample = %g\n",
      n, w, area / sa, sig[0].fy[best] / sa, sig[1].fy[best] / vol, sig[2].fy[sig[2].nsamples - 1]);
  clearDataset(ds);
}

struct FileRun {
  double seeds = 0, spectrum = 0, first = 0, change = 0;
  double seedsCpu = 0, spectrumCpu = 0;  // processor seconds, all threads
  std::vector<float> tri, signatures;    // vertices of the triangles in order; the four functions
  int ntri = 0;
};

// The triangles of c as their vertex coordinates in order.
std::vector<float> triangle_list(const Contour3dData& c) {
  std::vector<float> out;
  out.reserve(size_t(c.ntri) * 9);
  for (int t = 0; t < c.ntri; ++t)
    for (int m = 0; m < 3; ++m) out.insert(out.end(), c.vert[c.tri[t][m]], c.vert[c.tri[t][m]] + 3);
  return out;
}

FileRun run_file(const std::vector<float>& v, int n, int threads, float iso) {
  FileRun r;
  int dim[3] = {n, n, n};
  double t0 = now();
  ConDataset* ds = silent(
      [&] { return newDatasetReg(2, 5, 1, 1, dim, reinterpret_cast<const unsigned char*>(v.data())); });
  if (!ds) std::exit(1);
  ds->threads = threads;
  ds->progress = &meter;
  double t1 = now(), c1 = cpu();
  auto seeds = silent([&] { return getSeedCells(ds, 0, 0); });
  if (!seeds) std::exit(1);
  double t2 = now();
  r.seedsCpu = cpu() - c1;
  auto c = silent([&] { return getContour3d(ds, 0, 0, iso, -1); });
  if (!c) std::exit(1);
  double t3 = now();
  r.seeds = t2 - t1;
  r.first = t3 - t0;
  r.tri = triangle_list(*c);
  r.ntri = c->ntri;
  t0 = now();
  c = silent([&] { return getContour3d(ds, 0, 0, iso * 0.9f, -1); });
  if (!c) std::exit(1);
  r.change = now() - t0;
  t0 = now();
  double c0 = cpu();
  Signature* sig = silent([&] { return getSignatureFunctions(ds, 0, 0); });
  if (!sig) std::exit(1);
  r.spectrum = now() - t0;
  r.spectrumCpu = cpu() - c0;
  for (int fn = 0; fn < ds->nsignatures; ++fn)
    r.signatures.insert(r.signatures.end(), sig[fn].fy.begin(), sig[fn].fy.end());
  clearDataset(ds);
  return r;
}

int file_main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: bench_contour --file RAW N [--threads T] [--iso V]\n");
    return 2;
  }
  const char* path = argv[2];
  const int n = std::atoi(argv[3]);
  int threads = 2;
  float iso = 0;
  bool haveIso = false;
  for (int a = 4; a + 1 < argc; a += 2) {
    if (!std::strcmp(argv[a], "--threads")) threads = std::atoi(argv[a + 1]);
    if (!std::strcmp(argv[a], "--iso")) iso = float(std::atof(argv[a + 1])), haveIso = true;
  }
  if (n < 2 || threads < 1) {
    std::fprintf(stderr, "bench_contour: grid size %d and %d threads; need at least 2 and 1\n", n, threads);
    return 2;
  }
  std::vector<float> v(size_t(n) * n * n);
  double t0 = now();
  FILE* in = std::fopen(path, "rb");
  if (!in || std::fread(v.data(), sizeof(float), v.size(), in) != v.size()) {
    std::fprintf(stderr, "bench_contour: %s: cannot read %zu floats\n", path, v.size());
    return 1;
  }
  std::fclose(in);
  const double read = now() - t0;
  if (!haveIso) {
    float lo = v[0], hi = v[0];
    for (float x : v) lo = x < lo ? x : lo, hi = x > hi ? x : hi;
    iso = 0.5f * (lo + hi);
  }
  std::printf("file %s, %d^3, read %.2f s, isovalue %g\n", path, n, read, iso);
  FileRun one;
  for (int t : {1, threads}) {
    FileRun r = run_file(v, n, t, iso);
    std::printf(
        "threads %d seeds %.3f spectrum %.3f first %.3f change %.3f triangles %d seeds_cpu %.3f spectrum_cpu %.3f\n", t,
        r.seeds, r.spectrum, r.first + read, r.change, r.ntri, r.seedsCpu, r.spectrumCpu);
    if (t == 1) {
      one = std::move(r);
    } else {
      if (r.tri != one.tri) std::printf("DIFFERENT triangles with %d threads\n", t);
      if (r.signatures != one.signatures) std::printf("DIFFERENT spectrum with %d threads\n", t);
    }
    if (t == threads) break;
  }
  std::fflush(stdout);
  return 0;
}

struct SetupRun {
  double setup = 0, sweep = 0, tree = 0;
  std::vector<Seed> seeds;
  std::string info;  // the tree's summary line
};

// One set-up on a fresh dataset, as Preprocess does it: the sweep, then the
// interval tree over its seeds, each timed.
SetupRun run_setup(const std::vector<float>& v, int n, int threads) {
  SetupRun r;
  int dim[3] = {n, n, n};
  ConDataset* ds = silent(
      [&] { return newDatasetReg(2, 5, 1, 1, dim, reinterpret_cast<const unsigned char*>(v.data())); });
  if (!ds) std::exit(1);
  SeedCells& seeds = ds->plot->getSeeds(0);
  seeds.Clear();
  double t0 = now();
  regProp(static_cast<const Datareg3&>(*ds->data->getData(0)), seeds, threads, ctree::no_progress());
  double t1 = now();
  ds->plot->BuildSegTree(0, threads);
  double t2 = now();
  r.sweep = t1 - t0;
  r.tree = t2 - t1;
  r.setup = t2 - t0;
  r.seeds.assign(seeds.getCellPointer(), seeds.getCellPointer() + seeds.getNCells());
  r.info = ds->plot->getTree(0).Info();
  clearDataset(ds);
  return r;
}

double median(std::vector<double> x) {
  std::sort(x.begin(), x.end());
  return x.empty() ? 0 : x.size() % 2 ? x[x.size() / 2] : 0.5 * (x[x.size() / 2 - 1] + x[x.size() / 2]);
}

int setup_main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: bench_contour --setup RAW N [--threads T] [--rounds R]\n");
    return 2;
  }
  const char* path = argv[2];
  const int n = std::atoi(argv[3]);
  int threads = 2, rounds = 5;
  for (int a = 4; a + 1 < argc; a += 2) {
    if (!std::strcmp(argv[a], "--threads")) threads = std::atoi(argv[a + 1]);
    if (!std::strcmp(argv[a], "--rounds")) rounds = std::atoi(argv[a + 1]);
  }
  if (n < 2 || threads < 1 || rounds < 1) {
    std::fprintf(stderr, "bench_contour: grid size %d, %d threads, %d rounds; need at least 2, 1, 1\n", n, threads,
                 rounds);
    return 2;
  }
  std::vector<float> v(size_t(n) * n * n);
  FILE* in = std::fopen(path, "rb");
  if (!in || std::fread(v.data(), sizeof(float), v.size(), in) != v.size()) {
    std::fprintf(stderr, "bench_contour: %s: cannot read %zu floats\n", path, v.size());
    return 1;
  }
  std::fclose(in);
  const int counts[2] = {1, threads};
  std::vector<double> setup[2], sweep[2], tree[2], ratio, control;
  SetupRun first;
  bool same = true;
  for (int r = 0; r < rounds; ++r) {
    double t[2] = {0, 0};
    for (int q = 0; q < 2; ++q) {
      const int c = (r % 2) ? 1 - q : q;  // alternate which count runs first
      SetupRun run = run_setup(v, n, counts[c]);
      std::printf("round %d threads %d setup %.3f sweep %.3f tree %.3f seeds %zu\n", r, counts[c], run.setup, run.sweep,
                  run.tree, run.seeds.size());
      setup[c].push_back(run.setup);
      sweep[c].push_back(run.sweep);
      tree[c].push_back(run.tree);
      t[c] = run.setup;
      if (r == 0 && q == 0) {
        first = std::move(run);
      } else {
        bool eq = run.info == first.info && run.seeds.size() == first.seeds.size();
        for (size_t k = 0; eq && k < run.seeds.size(); ++k)
          eq = run.seeds[k].cell == first.seeds[k].cell && run.seeds[k].min == first.seeds[k].min &&
               run.seeds[k].max == first.seeds[k].max;
        same = same && eq;
      }
    }
    ratio.push_back(t[0] / t[1]);
    const double s1 = spin_control(1), s2 = spin_control(2);
    control.push_back(s2 / s1);
    std::printf("round %d spin1 %.4f spin2 %.4f\n", r, s1, s2);
  }
  for (int c = 0; c < 2; ++c) {
    auto mn = [](const std::vector<double>& x) { return *std::min_element(x.begin(), x.end()); };
    auto mx = [](const std::vector<double>& x) { return *std::max_element(x.begin(), x.end()); };
    std::printf("threads %d setup %.3f (%.3f-%.3f) sweep %.3f (%.3f-%.3f) tree %.3f (%.3f-%.3f)\n", counts[c],
                median(setup[c]), mn(setup[c]), mx(setup[c]), median(sweep[c]), mn(sweep[c]), mx(sweep[c]),
                median(tree[c]), mn(tree[c]), mx(tree[c]));
  }
  std::printf("setup 1/%d threads: %.2f (%.2f-%.2f)\n", threads, median(ratio),
              *std::min_element(ratio.begin(), ratio.end()), *std::max_element(ratio.begin(), ratio.end()));
  std::printf("control: 2 threads twice the work / 1: %.2f (%.2f-%.2f) (1: two free cores)\n", median(control),
              *std::min_element(control.begin(), control.end()), *std::max_element(control.begin(), control.end()));
  if (!same) std::printf("DIFFERENT seeds or tree with %d threads\n", threads);
  std::fflush(stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && !std::strcmp(argv[1], "--file")) return file_main(argc, argv);
  if (argc > 1 && !std::strcmp(argv[1], "--setup")) return setup_main(argc, argv);
  std::vector<int> sizes;
  for (int a = 1; a < argc; ++a) sizes.push_back(std::atoi(argv[a]));
  if (sizes.empty()) {
    for (int n : {32, 64, 128}) sphere(n);
    sizes = {128, 256};
  }
  for (int n : sizes) {
    if (n < 2) {
      std::fprintf(stderr, "bench_contour: grid size %d; need at least 2\n", n);
      return 1;
    }
    run(n);
  }
  return 0;
}
