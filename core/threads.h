#pragma once
// The number of workers a computation runs on, and running tasks on them.

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

namespace ctree {

// requested, or every core the machine reports when it is 0 (at least 1).
inline unsigned worker_count(unsigned requested) {
  if (requested > 0) return requested;
  // The hardware query reads a system file: ask once.
  static const unsigned hardware = std::max(1u, std::thread::hardware_concurrency());
  return hardware;
}

// body(t) once for every task t in [0, tasks), on at most `threads`
// threads, all done before the return: tasks 1 .. threads - 1 on threads of
// their own, the calling thread taking task 0 and then every task beyond
// them, in order. A thread the system refuses to start leaves its task to
// the calling thread, so every task runs whatever the system allows.
template <class Body>
void run_tasks(unsigned tasks, unsigned threads, Body body) {
  const unsigned started_at_most = std::max(1u, std::min(tasks, threads));
  std::vector<std::thread> pool;
  unsigned started = 1;
  try {
    for (; started < started_at_most; ++started) pool.emplace_back(body, started);
  } catch (const std::system_error&) {
  }
  if (tasks > 0) body(0u);
  for (unsigned t = started; t < tasks; ++t) body(t);
  for (std::thread& t : pool) t.join();
}

}  // namespace ctree
