#pragma once
// Start-up of the windows: the contour bridge, the windows in their order,
// and the event loop.

#include "app/startup.h"

namespace ctree {

// Refuses a run without a display (one line, before any work) and checks
// the snapshot folder.
bool check_viewer(const Options& options);
// Creates the bridge and the windows for data and enters the event loop.
int start_viewer(int argc, char** argv, MainData& data, const Options& options);

inline const ViewerStart VIEWER{check_viewer, start_viewer};

}  // namespace ctree
