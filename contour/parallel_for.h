#pragma once
// Runs body(a, b) over [0, n) cut into `threads` contiguous runs of about
// equal length, one per worker (the calling thread takes the first run, and
// any run whose thread the system refuses to start). The runs depend on n
// and threads only; body must write only what its own run owns. threads <= 1
// or n small: body(0, n) on the calling thread.

#include <algorithm>
#include <cstdint>

#include "core/threads.h"

namespace contour {

template <class Body>
void parallel_for(int n, int threads, Body body) {
  const int T = std::max(1, std::min(threads, n));
  if (T == 1) {
    if (n > 0) body(0, n);
    return;
  }
  auto lo = [&](int w) { return int(int64_t(n) * w / T); };
  ctree::run_tasks(unsigned(T), unsigned(T), [&](unsigned w) { body(lo(int(w)), lo(int(w) + 1)); });
}

}  // namespace contour
