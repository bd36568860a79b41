#pragma once
// Runs body(a, b) over [0, n) cut into `threads` contiguous runs of about
// equal length, one per worker (the calling thread takes the first run).
// The runs depend on n and threads only; body must write only what its own
// run owns. threads <= 1 or n small: body(0, n) on the calling thread.

#include <algorithm>
#include <cstdint>
#include <thread>
#include <vector>

namespace contour {

template <class Body>
void parallel_for(int n, int threads, Body body) {
  const int T = std::max(1, std::min(threads, n));
  if (T == 1) {
    if (n > 0) body(0, n);
    return;
  }
  auto lo = [&](int w) { return int(int64_t(n) * w / T); };
  std::vector<std::thread> pool;
  for (int w = 1; w < T; ++w) pool.emplace_back([&, w] { body(lo(w), lo(w + 1)); });
  body(lo(0), lo(1));
  for (std::thread& t : pool) t.join();
}

}  // namespace contour
