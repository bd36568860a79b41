#pragma once
// The last step of a file written whole (core/whole_file.h): the finished
// temporary renamed over its name.

#include <string>

namespace ctree {

// Renames the finished temporary `temp` to `name`. Refuses, leaving `name`
// untouched, when `name` exists and is not a regular file (a directory, a
// device such as /dev/full, a pipe, a socket): renaming over it would replace
// the device or the pipe instead of writing through it. On failure `reason`
// says why (errno's text or what `name` is) and `temp` is removed.
bool replace_file(const std::string& temp, const std::string& name, std::string& reason);

}  // namespace ctree
