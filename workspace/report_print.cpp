#include "workspace/report_print.h"

#include <cstdio>

#include "core/progress.h"

namespace ctree {

bool print_report(const Report& report) {
  // A meter that stopped early leaves its status line open.
  if (!report.notes.empty()) end_progress_line();
  for (const std::string& n : report.notes) std::printf("%s\n", n.c_str());
  std::fflush(stdout);
  for (const std::string& w : report.warnings) std::fprintf(stderr, "%s\n", w.c_str());
  if (report.failed()) std::fprintf(stderr, "%s\n", report.error.c_str());
  return !report.failed();
}

}  // namespace ctree
