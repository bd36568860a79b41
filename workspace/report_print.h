#pragma once
// The console form of a library call's report.

#include "core/report.h"

namespace ctree {

// The notes on standard output, then every warning and the error when
// there is one on standard error, a line each; returns !report.failed().
bool print_report(const Report& report);

}  // namespace ctree
