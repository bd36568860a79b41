#include "app/console.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <iostream>
#include <streambuf>

#include "core/progress.h"

namespace ctree {

namespace {

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

void start_console() {
  set_progress_console(stdout);
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

MessageSink& console_messages() {
  // Made at first use, after start_console has hooked standard error.
  static ConsoleMessages console(stdout, stderr);
  return console;
}

ProgressSink& console_meter() {
  static Progress meter(stdout);
  return meter;
}

}  // namespace ctree
