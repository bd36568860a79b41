#pragma once
// The console form of a library call's report.

#include "core/report.h"

namespace ctree {

// Every warning, then the error when there is one, a line each on standard
// error; returns !report.failed().
bool print_report(const Report& report);

}  // namespace ctree
