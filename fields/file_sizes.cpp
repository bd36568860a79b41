#include "fields/file_sizes.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace ctree {

bool checked_product(std::uint64_t a, std::uint64_t b, std::uint64_t c, std::uint64_t width, std::uint64_t limit,
                     std::uint64_t& product) {
  std::uint64_t p = 0;
  if (__builtin_mul_overflow(a, b, &p) || __builtin_mul_overflow(p, c, &p) || __builtin_mul_overflow(p, width, &p))
    return false;
  product = p;
  return p <= limit;
}

bool regular_file_size(const std::string& name, std::uint64_t& bytes, Report& report) {
  struct stat st;
  if (stat(name.c_str(), &st) != 0) return report.fail("error opening file " + name + ": " + std::strerror(errno));
  if (S_ISDIR(st.st_mode)) return report.fail(name + " is a directory, not a volume file");
  if (!S_ISREG(st.st_mode)) {
    const char* what = S_ISCHR(st.st_mode)    ? "a character device"
                       : S_ISBLK(st.st_mode)  ? "a block device"
                       : S_ISFIFO(st.st_mode) ? "a pipe"
                       : S_ISSOCK(st.st_mode) ? "a socket"
                                              : "not a regular file";
    return report.fail(name + " is " + what + "; volumes are read from regular files, whose size can be checked");
  }
  bytes = std::uint64_t(st.st_size);
  return true;
}

}  // namespace ctree
