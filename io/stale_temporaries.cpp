#include "io/stale_temporaries.h"

#include "core/whole_file.h"

namespace ctree {

int remove_stale_temporaries(const std::string& filename) {
  std::string name = filename;
  if (name.size() < 4 || name.compare(name.size() - 4, 4, ".ply") != 0) name += ".ply";
  return remove_stale_temporaries_of(name);
}

}  // namespace ctree
