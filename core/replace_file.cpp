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

bool write_file_whole(const std::string& name, const std::string& bytes, std::string& reason) {
  std::string temp = name + ".tmpXXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) {
    reason = std::string("cannot create a file beside it: ") + std::strerror(errno);
    return false;
  }
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  size_t done = 0;
  int failure = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      failure = n < 0 ? errno : ENOSPC;
      break;
    }
    done += size_t(n);
  }
  if (!failure && fsync(fd) != 0) failure = errno;
  if (::close(fd) != 0 && !failure) failure = errno;
  if (failure) {
    std::remove(temp.c_str());
    reason = std::strerror(failure);
    return false;
  }
  return replace_file(temp, name, reason);
}

}  // namespace ctree
