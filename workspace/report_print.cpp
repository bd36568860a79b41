#include "workspace/report_print.h"

#include <cstdio>

namespace ctree {

bool print_report(const Report& report) {
  for (const std::string& w : report.warnings) std::fprintf(stderr, "%s\n", w.c_str());
  if (report.failed()) std::fprintf(stderr, "%s\n", report.error.c_str());
  return !report.failed();
}

}  // namespace ctree
