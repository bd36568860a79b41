#pragma once
// The control of a timed round: arithmetic for about 30 ms of one core on
// each of `threads` threads. Two threads take as long as one only when two
// cores are free, so the ratio tells a busy machine from a pass that does
// not scale.

#include <chrono>
#include <thread>
#include <vector>

// Where the arithmetic goes, so that it is not optimised away.
inline volatile double spin_control_sink;

inline double spin_control(int threads) {
  const auto t0 = std::chrono::steady_clock::now();
  auto body = [] {
    double x = 0;
    for (long i = 0; i < 30000000; ++i) x += double(i) * 1e-9;
    spin_control_sink = x;
  };
  std::vector<std::thread> pool;
  for (int k = 1; k < threads; ++k) pool.emplace_back(body);
  body();
  for (std::thread& t : pool) t.join();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}
