#pragma once
// Temporary files of the PLY writer (core/whole_file.h): a file is written as NAME.tmp-XXXXXX
// beside NAME and renamed into place when complete; its writer holds a
// lock on it until then. A writer killed on the way leaves the temporary
// behind, unlocked.

#include <string>

namespace ctree {

// Removes every NAME.tmp-XXXXXX beside NAME (".ply" appended to a name
// without it, as the writer does) that no live writer holds; a writer
// still at work keeps its file. Returns how many went.
int remove_stale_temporaries(const std::string& name);

}  // namespace ctree
