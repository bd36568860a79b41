#pragma once
// The number of workers a computation runs on.

#include <algorithm>
#include <thread>

namespace ctree {

// requested, or every core the machine reports when it is 0 (at least 1).
inline unsigned worker_count(unsigned requested) {
  if (requested > 0) return requested;
  // The hardware query reads a system file: ask once.
  static const unsigned hardware = std::max(1u, std::thread::hardware_concurrency());
  return hardware;
}

}  // namespace ctree
