#pragma once
// The number of workers a computation runs on, and running tasks on them.

#include <algorithm>
#include <exception>
#include <mutex>
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
// the calling thread, so every task runs whatever the system allows. An
// exception a task throws (memory running out, most likely) ends that task
// only; once every thread is joined the first one caught is rethrown to the
// caller, as if the tasks had run on the calling thread.
template <class Body>
void run_tasks(unsigned tasks, unsigned threads, Body body) {
  const unsigned started_at_most = std::max(1u, std::min(tasks, threads));
  std::exception_ptr failure;
  std::mutex failing;
  auto guarded = [&](unsigned t) {
    try {
      body(t);
    } catch (...) {
      std::lock_guard<std::mutex> lock(failing);
      if (!failure) failure = std::current_exception();
    }
  };
  std::vector<std::thread> pool;
  pool.reserve(started_at_most);  // before any thread runs: no throw after
  unsigned started = 1;
  try {
    for (; started < started_at_most; ++started) pool.emplace_back(guarded, started);
  } catch (const std::system_error&) {
  }
  if (tasks > 0) guarded(0u);
  for (unsigned t = started; t < tasks; ++t) guarded(t);
  for (std::thread& t : pool) t.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace ctree
