#pragma once
// Console progress meter for long loops.
//
// init() writes a banner (80 asterisks, the centred label) and a status line;
// update(k) rewrites the status line in place ("time = ... percent = ...")
// at most once a second, and always on the last step k = total - 1, after
// which it ends the line. One object serves one loop at a time.
//
// A loop that stops early (on an error) leaves its status line open; the
// next banner, and every message that goes through end_progress_line()
// first, starts on a line of its own.

#include <cstdio>
#include <string>
#include <sys/time.h>

#include "core/types.h"

namespace ctree {

// Where a long loop reports how far it is. A library function that runs
// long takes one (by reference, borrowed for the call) and never writes to
// the console itself; the program passes a Progress meter, tests and
// library callers that want silence pass no_progress(). Messages other
// than progress go to a MessageSink (core/messages.h). One sink serves
// one loop at a time: init, then update with rising k.
class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  // A loop of total steps starts.
  virtual void init(const std::string& label, Size total) = 0;
  // k: number of the step just done, 0 .. total-1.
  virtual void update(Index k) = 0;
};

// A sink that shows nothing; shared, stateless, safe from any thread.
ProgressSink& no_progress();

class Progress : public ProgressSink {
 public:
  using Clock = void (*)(timeval*);

  // out: where the meter writes (the program passes its standard output);
  // clock: time-of-day source, replaceable in tests.
  explicit Progress(std::FILE* out, Clock clock = nullptr);

  void init(const std::string& label, Size total) override;
  void update(Index k) override;

  static constexpr int WIDTH = 80;

 private:
  void writeStatus(const timeval& now, Index k);

  std::FILE* out_;
  Clock clock_;
  bool open_ = false;  // the status line waits for its newline
  timeval start{0, 0};
  timeval last{0, 0};
  std::string label;
  Size total = 0;
  int percent = 0;
};

// Names the console: the stream whose open status line end_progress_line()
// ends (the program passes its standard output, where its meters and
// status messages go). Until then, and for null, no line is tracked: other
// streams (files in tests) may be closed before anyone would end their line.
void set_progress_console(std::FILE* console);

// Ends the status line that a meter on the console left open, so that
// what is printed next begins a line; does nothing when no line is open.
// Safe from any thread.
void end_progress_line();

// "%4d:%02d:%02d.%06d" of an elapsed time in seconds and microseconds.
std::string format_elapsed(long seconds, long microseconds);

}  // namespace ctree
