#include "core/replace_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace ctree {

static const char* kind_of(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISFIFO(mode)) return "a pipe";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

bool replace_file(const std::string& temp, const std::string& name, std::string& reason) {
  struct stat st;
  // stat follows a link: a link to a device is refused like the device.
  if (::stat(name.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    reason = std::string("it is ") + kind_of(st.st_mode);
    std::remove(temp.c_str());
    return false;
  }
  if (std::rename(temp.c_str(), name.c_str()) != 0) {
    reason = std::strerror(errno);
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace ctree
