#pragma once
// The start of a run: from parsed options to a loaded dataset.

#include "app/options.h"

namespace ctree {

class MainData;

// The windows of a run. check runs before the dataset is loaded (a missing
// display is reported before any work); start opens the windows on the
// loaded dataset and runs the event loop, returning only on failure with
// the exit status.
struct ViewerStart {
  bool (*check)(const Options& options);
  int (*start)(int argc, char** argv, MainData& data, const Options& options);
};

// Checks the options that depend on the dataset kind and loads the first time
// step, then runs --batch or hands the dataset to viewer (null: a build
// without windows). Returns the process exit status (0 after a successful
// run, -1 after a reported failure).
int run_startup(int argc, char** argv, const Options& options, const ViewerStart* viewer = nullptr);

}  // namespace ctree
