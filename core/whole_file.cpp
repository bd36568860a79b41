#include "core/whole_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "core/replace_file.h"

namespace ctree {

static void ignore_file_size_signal() {
  static const bool once = [] {
    struct sigaction old;
    if (sigaction(SIGXFSZ, nullptr, &old) == 0 && !(old.sa_flags & SA_SIGINFO) && old.sa_handler == SIG_DFL)
      std::signal(SIGXFSZ, SIG_IGN);
    return true;
  }();
  (void)once;
}

int remove_stale_temporaries_of(const std::string& name) {
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
    // O_NONBLOCK: a pipe planted under such a name must not stop us.
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) continue;
    struct stat st;
    // A live writer holds the lock; the lock of a dead one went with it.
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        std::remove(path.c_str()) == 0)
      ++removed;
    close(fd);
  }
  closedir(dir);
  return removed;
}

WholeFile::~WholeFile() { abandon(); }

bool WholeFile::open(const std::string& target, std::string& reason) {
  abandon();
  ignore_file_size_signal();
  remove_stale_temporaries_of(target);
  name = target;
  for (int attempt = 0;; ++attempt) {
    temp = target + ".tmp-XXXXXX";
    fd = mkstemp(temp.data());
    if (fd < 0) {
      reason = std::string("cannot create a file beside it: ") + std::strerror(errno);
      temp.clear();
      return false;
    }
    // Held until the file is renamed and closed: a temporary nobody holds
    // is a dead writer's.
    flock(fd, LOCK_EX);
    // Another writer may have taken it for a dead one's between mkstemp
    // and the lock, and removed it; once locked it stays.
    struct stat held, named;
    if (fstat(fd, &held) == 0 && held.st_nlink > 0 && stat(temp.c_str(), &named) == 0 && named.st_ino == held.st_ino &&
        named.st_dev == held.st_dev)
      break;
    close(fd);
    fd = -1;
    if (attempt == 16) {
      reason = "cannot create a file beside it: its temporaries are removed by another writer";
      temp.clear();
      return false;
    }
  }
  out = fdopen(fd, "wb");
  if (!out) {
    reason = std::string("cannot create a file beside it: ") + std::strerror(errno);
    abandon();
    return false;
  }
  return true;
}

bool WholeFile::commit(std::string& reason) {
  if (!out) {
    reason = "nothing was written";
    return false;
  }
  int failure = 0;
  if (std::fflush(out) != 0 || std::ferror(out)) failure = errno ? errno : EIO;
  if (!failure && fsync(fd) != 0) failure = errno;
  if (!failure) {
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
  }
  if (failure) {
    reason = std::strerror(failure);
    abandon();
    return false;
  }
  // Renamed while still locked, so that no one takes it for a dead
  // writer's; closed after.
  const bool placed = replace_file(temp, name, reason);
  if (!placed) std::remove(temp.c_str());
  temp.clear();
  const int closed = std::fclose(out);
  out = nullptr;
  fd = -1;
  if (placed && closed != 0) {
    reason = std::strerror(errno);
    return false;
  }
  return placed;
}

void WholeFile::abandon() {
  if (!temp.empty()) std::remove(temp.c_str());
  temp.clear();
  if (out)
    std::fclose(out);
  else if (fd >= 0)
    close(fd);
  out = nullptr;
  fd = -1;
}

bool write_file_whole(const std::string& name, const std::string& bytes, std::string& reason) {
  WholeFile file;
  if (!file.open(name, reason)) return false;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file.stream()) != bytes.size()) {
    reason = std::strerror(errno ? errno : EIO);
    return false;
  }
  return file.commit(reason);
}

}  // namespace ctree
