#pragma once
// The program's console: where the libraries' messages, reports and
// meters end up when orrery runs from a terminal or a script.

#include "core/messages.h"
#include "core/progress.h"

namespace ctree {

// Makes standard output the meters' console (core/progress.h) and from then
// on ends an open status line before every write to standard error (stdio
// and std::cerr, std::clog): error messages never trail a meter. Called
// once at program start, before anything is printed.
void start_console();

// Status messages on standard output, warnings and errors on standard
// error, a line each, exactly as the program's transcript has them.
MessageSink& console_messages();

// The meter on standard output that the run's long loops report to, one
// loop at a time.
ProgressSink& console_meter();

}  // namespace ctree
