#include "core/messages.h"

#include <cstdarg>

#include "core/progress.h"

namespace ctree {

namespace {
class NoMessages : public MessageSink {
 public:
  void say(MessageKind, const std::string&) override {}
};
}  // namespace

MessageSink& no_messages() {
  static NoMessages none;
  return none;
}

void CapturedMessages::say(MessageKind kind, const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  messages_.push_back({kind, text});
}

std::vector<CapturedMessages::Message> CapturedMessages::all() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return messages_;
}

std::vector<std::string> CapturedMessages::texts(MessageKind kind) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> out;
  for (const Message& m : messages_)
    if (m.kind == kind) out.push_back(m.text);
  return out;
}

void ConsoleMessages::say(MessageKind kind, const std::string& text) {
  if (kind == MessageKind::Note) {
    std::fwrite(text.data(), 1, text.size(), out_);
    std::fputc('\n', out_);
    std::fflush(out_);
    return;
  }
  // What was said on out comes first wherever both streams end up.
  std::fflush(out_);
  std::fwrite(text.data(), 1, text.size(), err_);
  std::fputc('\n', err_);
  std::fflush(err_);
}

bool print_report(const Report& report, MessageSink& sink) {
  // A meter that stopped early leaves its status line open.
  if (!report.notes.empty()) end_progress_line();
  for (const std::string& n : report.notes) sink.status(n);
  for (const std::string& w : report.warnings) sink.warning(w);
  if (report.failed()) sink.error(report.error);
  return !report.failed();
}

std::string format_message(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text(n > 0 ? size_t(n) : 0, '\0');
  if (n > 0) std::vsnprintf(&text[0], size_t(n) + 1, format, again);
  va_end(again);
  return text;
}

}  // namespace ctree
