#pragma once
// Files written whole or not at all are written beside their name and then
// renamed over it. replace_file() is that last step, shared by every writer;
// write_file_whole() is the whole road for a file held in memory.

#include <string>

namespace ctree {

// Renames the finished temporary `temp` to `name`. Refuses, leaving `name`
// untouched, when `name` exists and is not a regular file (a directory, a
// device such as /dev/full, a pipe, a socket): renaming over it would replace
// the device or the pipe instead of writing through it. On failure `reason`
// says why (errno's text or what `name` is) and `temp` is removed.
bool replace_file(const std::string& temp, const std::string& name, std::string& reason);

// Writes bytes to a new file beside name (permissions as umask allows, not
// mkstemp's private ones), syncs it and replaces name with it. On failure
// name is untouched, no temporary stays, and reason says why.
bool write_file_whole(const std::string& name, const std::string& bytes, std::string& reason);

}  // namespace ctree
