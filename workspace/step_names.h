#pragma once
// File names per time step: printf templates with at most one integer
// conversion ("time-dep.%02d.bin"), formatted with the step number.

#include <string>

namespace ctree {

// Checks that templ holds no conversion other than one integer conversion
// (%d %i %u %x %X %o with flags, width and precision of at most
// MAX_STEP_WIDTH) and "%%". A template
// from the command line is never handed to printf unchecked. On failure
// returns false with a reason in error.
bool check_step_template(const std::string& templ, std::string& error);

// Widest width or precision a conversion may ask for: a file name's limit.
constexpr size_t MAX_STEP_WIDTH = 255;

// True when templ (checked) holds a conversion, so that its steps name
// different files.
bool is_step_template(const std::string& templ);

// Checks that a tree-file template (--ct, --ctl) ends in ".ply": the PLY
// writer completes any other name with that ending, so the file written
// would never be the one read. On failure returns false with a reason.
bool check_tree_file_name(const std::string& templ, std::string& error);

// templ formatted with t; templ must have passed check_step_template.
std::string step_filename(const std::string& templ, int t);

// Dataset kind by the text after the last '.' of the data name: exactly "ply"
// is a triangle mesh, anything else a raw grid.
bool is_mesh_name(const std::string& data);

// True when the file can be opened for binary reading.
bool fileExist(const std::string& name);

}  // namespace ctree
