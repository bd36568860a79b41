#include "core/progress.h"

#include <algorithm>
#include <mutex>

namespace ctree {

namespace {

// The console, and whether a meter's status line is open on it.
std::mutex open_mutex;
std::FILE* console = nullptr;
bool console_open = false;

void set_open(std::FILE* out, bool open) {
  std::lock_guard<std::mutex> lock(open_mutex);
  if (out == console) console_open = open;
}

}  // namespace

void set_progress_console(std::FILE* out) {
  std::lock_guard<std::mutex> lock(open_mutex);
  console = out;
  console_open = false;
}

void end_progress_line() {
  std::FILE* out;
  {
    std::lock_guard<std::mutex> lock(open_mutex);
    if (!console_open) return;
    console_open = false;
    out = console;
  }
  // Written outside the lock: the newline may itself pass through a hooked stream.
  std::fputc('\n', out);
  std::fflush(out);
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

Progress::Progress(std::FILE* out, Clock clock) : out_(out), clock_(clock ? clock : system_clock) {}

std::string format_elapsed(long seconds, long microseconds) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%4d:%02d:%02d.%06d", int(seconds / 3600), int((seconds / 60) % 60), int(seconds % 60),
                int(microseconds));
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
  bool on_console;
  {
    std::lock_guard<std::mutex> lock(open_mutex);
    on_console = out_ == console;
  }
  if (on_console)
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
