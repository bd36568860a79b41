#include "core/threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using ctree::run_tasks;

// Every task runs exactly once, whatever the thread count (0 and counts
// beyond the tasks included), and at most `threads` distinct threads run
// them, the caller among them for task 0.
TEST(RunTasks, every_task_runs_once_on_at_most_the_threads_asked) {
  for (unsigned tasks : {0u, 1u, 2u, 5u, 17u}) {
    for (unsigned threads : {0u, 1u, 2u, 3u, 8u, 40u}) {
      std::vector<std::atomic<int>> runs(tasks);
      std::vector<std::thread::id> by(tasks);
      run_tasks(tasks, threads, [&](unsigned t) {
        ++runs[t];
        by[t] = std::this_thread::get_id();
      });
      std::vector<std::thread::id> distinct;
      for (unsigned t = 0; t < tasks; ++t) {
        EXPECT_EQ(runs[t].load(), 1) << tasks << " tasks, " << threads << " threads, task " << t;
        bool seen = false;
        for (const std::thread::id& d : distinct) seen |= d == by[t];
        if (!seen) distinct.push_back(by[t]);
      }
      if (tasks > 0) {
        EXPECT_EQ(by[0], std::this_thread::get_id());
      }
      EXPECT_LE(distinct.size(), std::max(1u, threads)) << tasks << " tasks, " << threads << " threads";
    }
  }
}

// A task that throws on a thread of its own (memory running out in one half
// of a merge) reaches the caller as the exception, after every other task
// has run and every thread is joined, instead of ending the program.
TEST(RunTasks, an_exception_of_any_task_reaches_the_caller_after_all_tasks_ran) {
  for (unsigned thrower : {0u, 1u, 3u}) {
    std::atomic<int> ran(0);
    bool caught = false;
    try {
      run_tasks(4, 2, [&](unsigned t) {
        if (t == thrower) throw std::bad_alloc();
        ++ran;
      });
    } catch (const std::bad_alloc&) {
      caught = true;
    }
    EXPECT_TRUE(caught) << "task " << thrower;
    EXPECT_EQ(ran.load(), 3) << "task " << thrower;
  }
  // Two failures: the caller gets one of them, not a terminate.
  EXPECT_THROW(run_tasks(2, 2, [](unsigned t) { throw std::runtime_error("task " + std::to_string(t)); }),
               std::runtime_error);
}

}  // namespace
