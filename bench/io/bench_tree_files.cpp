// Writing and reading a contour-tree file of 10^6 branches in each format.
//
//   bench_tree_files [BRANCHES]
//
// Prints seconds and MB/s per format and direction, and the peak memory.

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "io/tree_files.h"

using namespace ctree;
using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
  const size_t n = argc > 1 ? size_t(std::atol(argv[1])) : 1000000;
  FlatTree t;
  t.vertices.resize(2 * n);
  for (size_t i = 0; i < t.vertices.size(); ++i)
    t.vertices[i] = Vertex{double(i % 977), double(i % 13), double(i % 101), double(i) * 0.5};
  for (size_t i = 0; i < n; ++i) {
    FlatBranch x;
    x.ends[0] = Index(2 * i);
    x.ends[1] = Index(2 * i + 1);
    x.persistence = 0.5;
    x.parent = i ? Index(i / 2) : NULL_INDEX;
    t.branches.push_back(x);
  }
  t.finish();
  const std::string dir = std::filesystem::temp_directory_path().string();
  const char* names[3] = {"ascii", "binary big-endian", "binary little-endian"};
  for (int f = 0; f < 3; ++f) {
    const std::string path = dir + "/orrery-bench-" + std::to_string(getpid()) + "-" + std::to_string(f) + ".ply";
    auto t0 = Clock::now();
    Report report;
    if (!write_multires_tree(path, WriteFormat(f), t, report)) return 1;
    const double tw = std::chrono::duration<double>(Clock::now() - t0).count();
    const double mb = double(std::filesystem::file_size(path)) / 1e6;
    FlatTree back;
    std::FILE* saved = stdout;
    stdout = std::fopen("/dev/null", "w");  // the reader's header lines
    t0 = Clock::now();
    const bool ok = read_multires_tree(path, back, true, report);
    const double tr = std::chrono::duration<double>(Clock::now() - t0).count();
    std::fclose(stdout);
    stdout = saved;
    if (!std::getenv("KEEP")) std::filesystem::remove(path);
    if (!ok || back.branches.size() != n) return 1;
    std::printf("%-21s %7.1f MB  write %6.3f s (%6.1f MB/s)  read %6.3f s (%6.1f MB/s)\n", names[f], mb, tw, mb / tw, tr,
                mb / tr);
  }
  rusage u;
  getrusage(RUSAGE_SELF, &u);
  std::printf("%zu branches, peak memory %ld MiB\n", n, u.ru_maxrss / 1024);
  return 0;
}
