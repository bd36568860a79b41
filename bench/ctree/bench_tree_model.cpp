// Building, editing and freeing a tree of 10^6 branches.
//
//   bench_tree_model [BRANCHES]
//
// Builds a path of 2·BRANCHES branches, one per arc, removes every second
// vertex (each removal merges two branches), computes persistence and boxes
// and frees the tree. Prints the seconds of each step and the peak memory.

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "ctree/multires_tree.h"

using namespace ctree;
using Clock = std::chrono::steady_clock;

static double since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

static long peak_mib() {
  rusage u;
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss / 1024;
}

int main(int argc, char** argv) {
  const int n = argc > 1 ? std::atoi(argv[1]) : 1000000;
  std::vector<Vertex> v(size_t(3 * n + 1));
  for (size_t i = 0; i < v.size(); ++i) v[i] = Vertex{double(i), 0, 0, double(i)};
  auto t0 = Clock::now();
  auto* tree = new MultiresTree;
  tree->vertices = v.data();
  tree->nodes.resize(v.size());
  const int base = n;
  std::vector<BranchI> chain;
  chain.reserve(size_t(2 * n));
  for (int k = 0; k < 2 * n; ++k) {
    BranchI b = tree->branches.emplace(tree->branches.end());
    b->ends[0] = tree->newNode(&v[size_t(base + k)], b, 0);
    b->ends[1] = tree->newNode(&v[size_t(base + k + 1)], b, 0);
    chain.push_back(b);
  }
  double t_build = since(t0);

  t0 = Clock::now();
  // Remove the odd chain vertices: every removal merges two branches.
  for (int k = 1; k < 2 * n; k += 2) tree->removeVertex(&v[size_t(base + k)], true);
  double t_edit = since(t0);
  std::printf("branches after merging: %zu\n", tree->branches.size());

  t0 = Clock::now();
  tree->computePersistence();
  tree->computeBbox();
  double t_pers = since(t0);

  t0 = Clock::now();
  delete tree;
  double t_free = since(t0);
  std::printf("%d branches: build %.3f s, %d merges %.3f s, persistence+boxes %.3f s, free %.3f s, peak %ld MiB\n",
              2 * n, t_build, n, t_edit, t_pers, t_free, peak_mib());
  return 0;
}
