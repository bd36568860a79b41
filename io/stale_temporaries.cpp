#include "io/stale_temporaries.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace ctree {

int remove_stale_temporaries(const std::string& filename) {
  std::string name = filename;
  if (name.size() < 4 || name.compare(name.size() - 4, 4, ".ply") != 0) name += ".ply";
  const size_t slash = name.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : name.substr(0, slash);
  const std::string prefix = (slash == std::string::npos ? name : name.substr(slash + 1)) + ".tmp-";
  DIR* dir = opendir(folder.c_str());
  if (!dir) return 0;
  int removed = 0;
  while (const dirent* e = readdir(dir)) {
    const std::string leaf = e->d_name;
    // mkstemp's six characters follow the prefix.
    if (leaf.size() != prefix.size() + 6 || leaf.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string path = folder + "/" + leaf;
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;
    // A live writer holds the lock; the lock of a dead one went with it.
    if (flock(fd, LOCK_EX | LOCK_NB) == 0 && std::remove(path.c_str()) == 0) ++removed;
    close(fd);
  }
  closedir(dir);
  return removed;
}

}  // namespace ctree
