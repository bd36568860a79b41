// The orrery layout of random trees of 10^5 and 10^6 branches.
//
//   bench_layout [BRANCHES ...]
//
// Prints the seconds of the layout (with scaling) and the peak memory, and
// the time per branch, whose ratio between sizes shows how close to linear
// the layout stays.

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <cmath>

#include "layout/orrery_layout.h"

using namespace ctree;

static long peak_mib() {
  rusage u;
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss / 1024;
}

static double run(size_t n) {
  // Branch i runs from its extremum 2i+1 to vertex 2i+2 on a random
  // earlier branch (the root from 1 to 0).
  FlatTree t;
  t.vertices.resize(2 * n + 2);
  unsigned s = 7;
  for (size_t i = 0; i < n; ++i) {
    s = s * 1103515245u + 12345u;
    FlatBranch x;
    x.ends[0] = Index(2 * i + 1);
    x.ends[1] = Index(i == 0 ? 0 : 2 * i + 2);
    Vertex& e = t.vertices[size_t(x.ends[0])];
    e.field = i == 0 ? 0 : double(s % 1000) + 1;
    t.vertices[size_t(x.ends[1])].field = i == 0 ? 2000 : e.field * 0.5;
    x.persistence = std::fabs(t.vertices[size_t(x.ends[1])].field - e.field);
    x.parent = i > 0 ? Index((s >> 8) % i) : NULL_INDEX;
    t.branches.push_back(x);
  }
  t.finish();
  auto t0 = std::chrono::steady_clock::now();
  layout_multires_tree(t, 1.0, true);
  double sec = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::printf("\n%zu branches: layout %.3f s (%.2f us per branch), peak memory %ld MiB\n", n, sec, sec / double(n) * 1e6,
              peak_mib());
  return sec / double(n);
}

int main(int argc, char** argv) {
  std::vector<size_t> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(size_t(std::atol(argv[i])));
  if (sizes.empty()) sizes = {100000, 1000000};
  double first = 0;
  for (size_t n : sizes) {
    double per = run(n);
    if (first == 0)
      first = per;
    else
      std::printf("time per branch relative to the first size: %.2f\n", per / first);
  }
  return 0;
}
