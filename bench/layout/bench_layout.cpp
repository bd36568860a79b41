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

#include "layout/orrery_layout.h"

using namespace ctree;

static long peak_mib() {
  rusage u;
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss / 1024;
}

static double run(size_t n) {
  std::vector<Vertex> v(2 * n + 2);
  MultiresTree t;
  t.vertices = v.data();
  t.nodes.resize(v.size());
  std::vector<BranchI> b;
  b.reserve(n);
  unsigned s = 7;
  for (size_t i = 0; i < n; ++i) {
    s = s * 1103515245u + 12345u;
    BranchI x = t.branches.emplace(t.branches.end());
    Vertex* e = &v[2 * i + 1];
    Vertex* a = &v[i == 0 ? 0 : 2 * i + 2];
    e->field = i == 0 ? 0 : double(s % 1000) + 1;
    a->field = i == 0 ? 2000 : e->field * 0.5;
    x->ends[0] = t.newNode(e, x, 0);
    x->ends[1] = t.newNode(a, x, 0);
    if (i > 0) {
      x->parent = b[(s >> 8) % i];
      x->parent->attachBranch(*x);
    }
    b.push_back(x);
  }
  t.computePersistence();
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
