#include "core/progress.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <mutex>
#include <streambuf>

namespace ctree {

namespace {

// The standard-output meter whose status line is open, if any. Only
// standard output is tracked: other streams (files in tests) may be closed
// before anyone would end their line.
std::mutex open_mutex;
bool stdout_open = false;

void set_open(std::FILE* out, bool open) {
  if (out != stdout) return;
  std::lock_guard<std::mutex> lock(open_mutex);
  stdout_open = open;
}

// std::cerr and std::clog end the meter line before each write.
class AfterMeterBuf : public std::streambuf {
 public:
  explicit AfterMeterBuf(std::streambuf* to) : to_(to) {}

 protected:
  int overflow(int c) override {
    if (c == traits_type::eof()) return traits_type::not_eof(c);
    end_progress_line();
    return to_->sputc(traits_type::to_char_type(c));
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    end_progress_line();
    return to_->sputn(s, n);
  }
  int sync() override { return to_->pubsync(); }

 private:
  std::streambuf* to_;
};

ssize_t write_after_meter(void*, const char* buf, size_t n) {
  end_progress_line();
  size_t done = 0;
  while (done < n) {
    const ssize_t w = ::write(STDERR_FILENO, buf + done, n - done);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return done ? ssize_t(done) : -1;
    done += size_t(w);
  }
  return ssize_t(n);
}

}  // namespace

void end_progress_line() {
  {
    std::lock_guard<std::mutex> lock(open_mutex);
    if (!stdout_open) return;
    stdout_open = false;
  }
  // Written outside the lock: the newline may itself pass through a hooked stream.
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void end_progress_line_before_errors() {
  static std::FILE* hooked = nullptr;
  if (hooked) return;
  cookie_io_functions_t io{nullptr, write_after_meter, nullptr, nullptr};
  hooked = fopencookie(nullptr, "w", io);
  if (!hooked) return;
  std::setvbuf(hooked, nullptr, _IONBF, 0);
  std::fflush(stderr);
  stderr = hooked;
  // Never freed: the streams flush through them until the very end of the
  // process, after every static object is gone.
  static AfterMeterBuf* const cerr_buf = new AfterMeterBuf(std::cerr.rdbuf());
  static AfterMeterBuf* const clog_buf = new AfterMeterBuf(std::clog.rdbuf());
  std::cerr.rdbuf(cerr_buf);
  std::clog.rdbuf(clog_buf);
}

namespace {
class NoProgress : public ProgressSink {
 public:
  void init(const std::string&, Size) override {}
  void update(Index) override {}
};
}  // namespace

ProgressSink& no_progress() {
  static NoProgress none;
  return none;
}

static void system_clock(timeval* tv) { gettimeofday(tv, nullptr); }

Progress::Progress(std::FILE* out, Clock clock)
    : out_(out), clock_(clock ? clock : system_clock) {}

std::string format_elapsed(long seconds, long microseconds) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%4d:%02d:%02d.%06d", int(seconds / 3600),
                int((seconds / 60) % 60), int(seconds % 60), int(microseconds));
  return buf;
}

// Pads text with blanks to the meter's width and writes it without a newline.
static void write_padded(std::FILE* out, const std::string& text) {
  std::string line = text;
  if (line.size() < size_t(Progress::WIDTH)) line.append(Progress::WIDTH - line.size(), ' ');
  std::fputs(line.c_str(), out);
}

static std::string status_text(const std::string& elapsed, int percent) {
  char buf[160];
  std::snprintf(buf, sizeof buf, "time = %s       percent = %3d%%", elapsed.c_str(), percent);
  return buf;
}

void Progress::init(const std::string& text, Size steps) {
  label = text;
  total = steps;
  percent = 0;
  clock_(&start);
  // The status line just written counts as the last write, so a loop that
  // ends within its first second rewrites the line once, at its last step.
  last = start;
  // A banner after a loop that stopped early starts a line of its own.
  if (out_ == stdout)
    end_progress_line();
  else if (open_)
    std::fputc('\n', out_);
  std::string stars(WIDTH, '*');
  std::fprintf(out_, "%s\n", stars.c_str());
  // A label longer than the line is written from the left margin.
  int pad = label.size() < size_t(WIDTH) ? (WIDTH - int(label.size())) / 2 : 0;
  std::fprintf(out_, "%*s%s\n", pad, "", label.c_str());
  write_padded(out_, status_text(format_elapsed(0, 0), 0));
  std::fflush(out_);
  open_ = true;
  set_open(out_, true);
}

void Progress::update(Index k) {
  // The last step is total - 1; a loop of 0 or 1 steps ends at its first update.
  const bool is_last = k == (total <= 1 ? 0 : Index(total - 1));
  timeval now;
  clock_(&now);
  long since = long(now.tv_sec - last.tv_sec) - (now.tv_usec < last.tv_usec ? 1 : 0);
  if (since >= 1 || is_last) writeStatus(now, k);
  if (is_last) {
    set_open(out_, false);
    open_ = false;
    std::fputc('\n', out_);
    std::fflush(out_);
  }
}

void Progress::writeStatus(const timeval& now, Index k) {
  if (total <= 1)
    percent = 100;
  else
    percent = std::min(100, int(double(k) / double(total - 1) * 100.0));  // loops may outrun an estimated total
  std::string backspaces(WIDTH, '\b');
  std::fputs(backspaces.c_str(), out_);
  std::fflush(out_);
  long s = long(now.tv_sec - start.tv_sec);
  long u = long(now.tv_usec) - long(start.tv_usec);
  if (u < 0) {
    u += 1000000;
    --s;
  }
  write_padded(out_, status_text(format_elapsed(s, u), percent));
  std::fflush(out_);
  open_ = true;
  set_open(out_, true);
  last = now;
}

}  // namespace ctree
