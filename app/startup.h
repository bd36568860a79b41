#pragma once
// The start of a run: from parsed options to a loaded dataset.

#include "app/options.h"

namespace ctree {

// Dataset kind by the text after the last '.' of the data name: exactly "ply"
// is a triangle mesh, anything else a raw grid.
bool is_mesh_name(const std::string& data);

// Checks the options that depend on the dataset kind and loads the first time
// step. Returns the process exit status (0 after a successful run, -1 after a
// reported failure).
int run_startup(int argc, char** argv, const Options& options);

}  // namespace ctree
