// The whole mesh path on a terrain of N×N vertices (2(N-1)² triangles):
// reading (ASCII and binary), checks, critical points, merge trees and the
// multiresolution contour tree.
//
//   bench_mesh [N]   (default 1000)

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "ctree/mesh_merge_trees.h"
#include "ctree/multires_contour_tree.h"
#include "fields/mesh_checks.h"
#include "io/ply_mesh.h"

using namespace ctree;
using Clock = std::chrono::steady_clock;

static double since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// A terrain file written directly: heights from a few sine waves plus noise.
static void write_terrain(const std::string& path, long n, bool binary) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fprintf(f,
               "ply\nformat %s 1.0\nelement vertex %ld\nproperty float x\nproperty float y\nproperty float z\n"
               "element face %ld\nproperty list uchar int vertex_indices\nend_header\n",
               binary ? "binary_little_endian" : "ascii", n * n, 2 * (n - 1) * (n - 1));
  unsigned s = 1;
  for (long j = 0; j < n; ++j)
    for (long i = 0; i < n; ++i) {
      s = s * 1103515245u + 12345u;
      float p[3] = {float(i), float(std::sin(i * 0.02) * std::cos(j * 0.03) * 20 + (s >> 16) * 1e-5), float(j)};
      if (binary)
        std::fwrite(p, 4, 3, f);
      else
        std::fprintf(f, "%.9g %.9g %.9g\n", p[0], p[1], p[2]);
    }
  for (long j = 0; j + 1 < n; ++j)
    for (long i = 0; i + 1 < n; ++i) {
      int a = int(i + n * j), b = a + 1, c = a + int(n), d = c + 1;
      int tri[2][3] = {{a, c, d}, {a, d, b}};
      for (auto& t : tri) {
        if (binary) {
          unsigned char three = 3;
          std::fwrite(&three, 1, 1, f);
          std::fwrite(t, 4, 3, f);
        } else {
          std::fprintf(f, "3 %d %d %d\n", t[0], t[1], t[2]);
        }
      }
    }
  std::fclose(f);
}

int main(int argc, char** argv) {
  const long n = argc > 1 ? std::atol(argv[1]) : 1000;
  const std::string base = std::filesystem::temp_directory_path().string() + "/orrery-mesh-" + std::to_string(getpid());
  std::FILE* saved = stdout;
  // Made before standard output goes to /dev/null: the meter stays on the console.
  Progress meter(stdout);
  for (bool binary : {false, true}) {
    const std::string path = base + (binary ? "-bin.ply" : "-ascii.ply");
    write_terrain(path, n, binary);
    stdout = std::fopen("/dev/null", "w");
    auto t0 = Clock::now();
    ScalarField2D m;
    Report report;
    bool ok = read_ply_field(path, "y", "float", m, report, meter);
    const double t_read = since(t0);
    t0 = Clock::now();
    ok = ok && ply_checkmesh(&m, report);
    m.normals = ply_compute_normals(m, 0);
    const double t_check = since(t0);
    t0 = Clock::now();
    std::vector<Vertex> P;
    compute_critical_points(m, P, meter);
    const double t_crit = since(t0);
    t0 = Clock::now();
    MultiresTree jt, st, ct;
    ok = ok && compute_merge_trees(m, P, jt, st, report, meter);
    const double t_trees = since(t0);
    t0 = Clock::now();
    if (ok) compute_multires_contour_tree(jt, st, ct, report, meter);
    const double t_ct = since(t0);
    std::fclose(stdout);
    stdout = saved;
    std::filesystem::remove(path);
    if (!ok) return 1;
    rusage u;
    getrusage(RUSAGE_SELF, &u);
    std::printf(
        "%ldx%ld %s (%zu triangles): read %.2f s, checks+normals %.2f s, critical points %.2f s, merge trees "
        "%.2f s, contour tree %.2f s, total %.2f s; %zu critical points, %zu branches; peak %ld MiB\n",
        n, n, binary ? "binary" : "ascii", m.triangles.size(), t_read, t_check, t_crit, t_trees, t_ct,
        t_read + t_check + t_crit + t_trees + t_ct, P.size(), ct.branches.size(), u.ru_maxrss / 1024);
  }
  return 0;
}
