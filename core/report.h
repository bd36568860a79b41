#pragma once
// What a library call has to tell besides its result. Libraries fill one
// and never print or stop the process; the caller decides where the
// sentences go (print_report in core/messages.h hands the notes, warnings
// and the error to a message sink).

#include <string>
#include <utility>
#include <vector>

namespace ctree {

struct Report {
  // Why the call failed: one sentence that names the file or the thing;
  // empty while all is well.
  std::string error;
  // What the call did anyway and the caller should know (faces dropped, a
  // file longer than its grid), in the order they happened.
  std::vector<std::string> warnings;
  // What the call found on the way, for the run's transcript (a file's
  // header, a value range); each may hold several lines.
  std::vector<std::string> notes;

  bool failed() const { return !error.empty(); }
  // Records the failure; false, for "return report.fail(...)".
  bool fail(std::string what) {
    error = std::move(what);
    return false;
  }
  void warn(std::string what) { warnings.push_back(std::move(what)); }
  void note(std::string what) { notes.push_back(std::move(what)); }
  // Takes over another call's warnings (a part of this one).
  void take(std::vector<std::string>& more) {
    for (std::string& w : more) warnings.push_back(std::move(w));
    more.clear();
  }
};

}  // namespace ctree
