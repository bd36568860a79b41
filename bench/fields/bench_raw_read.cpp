// Reading a raw volume and sorting its vertices: the first steps of every run.
//
//   bench_raw_read [N]   (default 256: an N³ float volume, 64 MiB at 256)
//
// Writes the volume to the temporary folder (so it sits in the page cache),
// then prints seconds and MB/s for read_raw_field, seconds for sortVertices,
// seconds for a comparison sort of the same order, and the peak memory.

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fields/raw_reader.h"

using namespace ctree;

static double seconds_since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

static long peak_mib() {
  rusage u;
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss / 1024;
}

int main(int argc, char** argv) {
  const Size n = argc > 1 ? Size(std::atoi(argv[1])) : 256;
  const std::string path =
      (std::filesystem::temp_directory_path() / ("orrery-bench-" + std::to_string(getpid()) + ".raw")).string();
  {
    // A smooth field with a little noise, big-endian floats.
    std::vector<unsigned char> row(size_t(n) * 4);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 1;
    unsigned seed = 1;
    for (Size z = 0; z < n; ++z)
      for (Size y = 0; y < n; ++y) {
        for (Size x = 0; x < n; ++x) {
          seed = seed * 1103515245u + 12345u;
          float v = float(std::sin(x * 0.05) * std::cos(y * 0.07) + std::sin(z * 0.03) + (seed >> 16) * 1e-7);
          unsigned char b[4];
          std::memcpy(b, &v, 4);
          for (int k = 0; k < 4; ++k) row[size_t(x) * 4 + k] = b[3 - k];
        }
        std::fwrite(row.data(), 1, row.size(), f);
      }
    std::fclose(f);
  }
  const double mib = double(n) * n * n * 4 / (1024.0 * 1024.0);

  ScalarField3DGrid field;
  const Size dim[3] = {n, n, n};
  const Index start[3] = {0, 0, 0};
  const Real origin[3] = {0, 0, 0}, spacing[3] = {1, 1, 1};
  auto t0 = std::chrono::steady_clock::now();
  Progress meter(stdout);
  Report report;
  bool ok = read_raw_field(path, "float", start, dim, dim, origin, spacing, true, field, report, meter);
  double t_read = seconds_since(t0);
  std::filesystem::remove(path);
  if (!ok) return 1;

  t0 = std::chrono::steady_clock::now();
  field.sortVertices();
  double t_sort = seconds_since(t0);

  t0 = std::chrono::steady_clock::now();
  std::vector<Index> check(field.values.size());
  for (size_t i = 0; i < check.size(); ++i) check[i] = Index(i);
  std::sort(check.begin(), check.end(), FieldCompare3d(field));
  double t_cmp = seconds_since(t0);

  std::printf("\nvolume %u^3 float (%.1f MiB)\n", n, mib);
  std::printf("read_raw_field      %8.3f s  %8.1f MiB/s\n", t_read, mib / t_read);
  std::printf("sortVertices        %8.3f s  (%u vertices)\n", t_sort, field.vertexCount());
  std::printf("std::sort (compare) %8.3f s  same order: %s\n", t_cmp, check == field.order ? "yes" : "NO");
  std::printf("peak memory         %8ld MiB\n", peak_mib());
  return check == field.order ? 0 : 1;
}
