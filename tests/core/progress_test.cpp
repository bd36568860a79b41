#include "core/progress.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

timeval fake_now{1000, 0};
void fake_clock(timeval* tv) { *tv = fake_now; }

// Runs body against a meter that writes into a temporary file; returns what it wrote.
template <class F>
std::string captured(F body) {
  std::FILE* f = std::tmpfile();
  ctree::Progress prog(f, fake_clock);
  body(prog);
  std::fflush(f);
  std::string out;
  std::rewind(f);
  int c;
  while ((c = std::fgetc(f)) != EOF) out.push_back(char(c));
  std::fclose(f);
  return out;
}

std::string status_line(const std::string& elapsed, int percent) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "time = %s       percent = %3d%%", elapsed.c_str(), percent);
  std::string s = buf;
  s.resize(80, ' ');
  return s;
}

const std::string backspaces(80, '\b');

}  // namespace

TEST(Progress, fast_loop_writes_banner_initial_line_one_final_line_and_newline) {
  fake_now = {1000, 0};
  std::string out = captured([](ctree::Progress& p) {
    p.init("Computing join tree", 1000);
    for (int k = 0; k < 1000; ++k) {
      fake_now.tv_usec = k * 500;  // all within one second
      p.update(k);
    }
  });
  std::string expected = std::string(80, '*') + "\n" + std::string(30, ' ') + "Computing join tree\n" +
                         status_line("   0:00:00.000000", 0) + backspaces +
                         status_line("   0:00:00.499500", 100) + "\n";
  EXPECT_EQ(out, expected);
}

TEST(Progress, rewrites_after_a_whole_second_with_truncated_percent_and_borrowed_microseconds) {
  fake_now = {1000, 0};
  std::string out = captured([](ctree::Progress& p) {
    p.init("x", 1000);
    fake_now = {1001, 200000};
    p.update(499);  // 499/999 = 49.95 %
  });
  EXPECT_NE(out.find(status_line("   0:00:01.200000", 49)), std::string::npos) << out;
  EXPECT_EQ(out.back(), ' ') << "no newline before the last step";

  // Updates within the same second are skipped; microseconds borrow.
  fake_now = {1000, 900000};
  out = captured([](ctree::Progress& p) {
    p.init("x", 10);
    fake_now = {1001, 100000};  // 0.2 s later: less than a whole second
    p.update(1);
    fake_now = {1001, 950000};  // 1.05 s after init
    p.update(2);
  });
  EXPECT_EQ(out.find(status_line("   0:00:00.200000", 11)), std::string::npos);
  EXPECT_NE(out.find(status_line("   0:00:01.050000", 22)), std::string::npos) << out;
}

TEST(Progress, totals_of_zero_and_one_end_at_100_percent) {
  for (unsigned total : {0u, 1u}) {
    fake_now = {1000, 0};
    std::string out = captured([&](ctree::Progress& p) {
      p.init("tiny", total);
      p.update(0);
    });
    EXPECT_NE(out.find(status_line("   0:00:00.000000", 100) + "\n"), std::string::npos) << total;
  }
}

// A loop that stops early leaves its status line open: the next banner of
// the same meter, and a message after end_progress_line() for the meters
// on standard output, start a line of their own, and only one newline is
// added however often the line is ended.
TEST(Progress, what_follows_an_unfinished_loop_starts_a_line) {
  fake_now = {1000, 0};
  std::string out = captured([](ctree::Progress& p) {
    p.init("first", 10);
    p.update(3);  // within the first second: nothing written
    p.init("second", 2);
    p.update(1);
  });
  const std::string stars(80, '*');
  EXPECT_NE(out.find(status_line("   0:00:00.000000", 0) + "\n" + stars + "\n"), std::string::npos) << out;
  EXPECT_EQ(out.find("\n\n"), std::string::npos) << out;

  testing::internal::CaptureStdout();
  {
    ctree::Progress p(stdout, fake_clock);
    p.init("on the console", 10);
    p.update(2);
    ctree::end_progress_line();
    ctree::end_progress_line();
    std::printf("message\n");
    p.init("finished", 2);
    p.update(1);
    ctree::end_progress_line();  // nothing open: nothing written
    std::printf("after\n");
  }
  const std::string console = testing::internal::GetCapturedStdout();
  EXPECT_NE(console.find(status_line("   0:00:00.000000", 0) + "\nmessage\n" + stars + "\n"), std::string::npos)
      << console;
  EXPECT_NE(console.find(status_line("   0:00:00.000000", 100) + "\nafter\n"), std::string::npos) << console;
}
