#include "core/progress.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

timeval fake_now{1000, 0};
void fake_clock(timeval* tv) { *tv = fake_now; }

// Runs body against a meter that writes into memory (starting the clock at
// start); returns what it wrote.
template <class F>
std::string captured(timeval start, F body) {
  fake_now = start;
  char* buf = nullptr;
  size_t n;
  std::FILE* f = open_memstream(&buf, &n);
  ctree::Progress prog(f, fake_clock);
  body(prog);
  std::fclose(f);
  std::string out(buf, n);
  std::free(buf);
  return out;
}

// The status line after the given elapsed time ("0:00:01.200000" form).
std::string status_line(const char* elapsed, int percent) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "time =    %s       percent = %3d%%", elapsed, percent);
  return (std::string(buf) + std::string(80, ' ')).substr(0, 80);
}

}  // namespace

TEST(Progress, writes_banner_status_lines_and_newline_with_truncated_percent_and_borrowed_microseconds) {
  std::string out = captured({1000, 0}, [](ctree::Progress& p) {
    p.init("Computing join tree", 1000);
    for (int k = 0; k < 1000; ++k) {
      fake_now.tv_usec = k * 500;  // all within one second
      p.update(k);
    }
  });
  EXPECT_EQ(out, std::string(80, '*') + "\n" + std::string(30, ' ') + "Computing join tree\n" +
                     status_line("0:00:00.000000", 0) + std::string(80, '\b') + status_line("0:00:00.499500", 100) +
                     "\n");

  // Rewritten after a whole second, with the percentage truncated.
  out = captured({1000, 0}, [](ctree::Progress& p) {
    p.init("x", 1000), fake_now = {1001, 200000}, p.update(499);  // 499/999 = 49.95 %
  });
  EXPECT_NE(out.find(status_line("0:00:01.200000", 49)), std::string::npos) << out;
  EXPECT_EQ(out.back(), ' ') << "no newline before the last step";

  // Updates within the same second are skipped; microseconds borrow.
  out = captured({1000, 900000}, [](ctree::Progress& p) {
    p.init("x", 10), fake_now = {1001, 100000}, p.update(1);  // 0.2 s later: less than a whole second
    fake_now = {1001, 950000}, p.update(2);                   // 1.05 s after init
  });
  EXPECT_EQ(out.find(status_line("0:00:00.200000", 11)), std::string::npos);
  EXPECT_NE(out.find(status_line("0:00:01.050000", 22)), std::string::npos) << out;

  for (unsigned total : {0u, 1u}) {  // totals of zero and one end at 100 %
    out = captured({1000, 0}, [&](ctree::Progress& p) { p.init("tiny", total), p.update(0); });
    EXPECT_NE(out.find(status_line("0:00:00.000000", 100) + "\n"), std::string::npos) << total;
  }
}

// A loop that stops early leaves its status line open: the next banner of
// the same meter, and a message after end_progress_line() for the meters
// on the console, start a line of their own, and only one newline is
// added however often the line is ended.
TEST(Progress, what_follows_an_unfinished_loop_starts_a_line) {
  std::string out = captured({1000, 0}, [](ctree::Progress& p) {
    p.init("first", 10), p.update(3);  // within the first second: nothing written
    p.init("second", 2), p.update(1);
  });
  const std::string stars(80, '*');
  EXPECT_NE(out.find(status_line("0:00:00.000000", 0) + "\n" + stars + "\n"), std::string::npos) << out;
  EXPECT_EQ(out.find("\n\n"), std::string::npos) << out;

  testing::internal::CaptureStdout();
  {
    ctree::set_progress_console(stdout);
    ctree::Progress p(stdout, fake_clock);
    p.init("on the console", 10), p.update(2);
    ctree::end_progress_line(), ctree::end_progress_line();
    std::printf("message\n");
    p.init("finished", 2), p.update(1);
    ctree::end_progress_line();  // nothing open: nothing written
    std::printf("after\n");
  }
  const std::string console = testing::internal::GetCapturedStdout();
  EXPECT_NE(console.find(status_line("0:00:00.000000", 0) + "\nmessage\n" + stars + "\n"), std::string::npos)
      << console;
  EXPECT_NE(console.find(status_line("0:00:00.000000", 100) + "\nafter\n"), std::string::npos) << console;
}
