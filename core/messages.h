#pragma once
// Where a library's messages go. A library that has something to say for
// the run's transcript (a phase begun or done, a count, a refused argument,
// a failure) hands each message to the MessageSink it was given and never
// writes to the console itself; long loops report to a ProgressSink
// (core/progress.h) and a call's outcome comes back in a Report
// (core/report.h), which print_report hands on. The program and the tools
// pass a ConsoleMessages on their standard output and error; tests and
// other callers pass no_messages() for silence or a CapturedMessages to
// read what was said.

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "core/report.h"

namespace ctree {

// (Not "Status": X11's headers, which the windows include, define that.)
enum class MessageKind {
  Note,     // a status line of the run's transcript: what is being done, what was found
  Warning,  // done anyway, but the caller should know
  Error     // why something failed
};

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // One message: its text without the final newline (it may hold inner
  // newlines and ends with whatever blanks it has).
  virtual void say(MessageKind kind, const std::string& text) = 0;

  void status(const std::string& text) { say(MessageKind::Note, text); }
  void warning(const std::string& text) { say(MessageKind::Warning, text); }
  void error(const std::string& text) { say(MessageKind::Error, text); }
};

// A sink that drops everything; shared, stateless, safe from any thread.
MessageSink& no_messages();

// Keeps every message, in the order said; safe from any thread.
class CapturedMessages : public MessageSink {
 public:
  struct Message {
    MessageKind kind;
    std::string text;
  };
  void say(MessageKind kind, const std::string& text) override;
  // Copies of what was said so far: all of it, or the texts of one kind.
  std::vector<Message> all() const;
  std::vector<std::string> texts(MessageKind kind) const;

 private:
  mutable std::mutex mutex_;
  std::vector<Message> messages_;
};

// Prints each message as one line as it comes: status messages to out
// (flushed line by line), warnings and errors to err after flushing out.
// The creator names the streams (the program: its standard output and
// error); both must outlive the sink.
class ConsoleMessages : public MessageSink {
 public:
  ConsoleMessages(std::FILE* out, std::FILE* err) : out_(out), err_(err) {}
  void say(MessageKind kind, const std::string& text) override;

 private:
  std::FILE* out_;
  std::FILE* err_;
};

// Hands report on to sink: the notes as status messages (after ending a
// status line a meter left open, see end_progress_line), then the warnings
// and the error. Returns !report.failed(), for
// "if (!print_report(report, sink)) return ...".
bool print_report(const Report& report, MessageSink& sink);

// printf into a string, for building message texts.
std::string format_message(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace ctree
