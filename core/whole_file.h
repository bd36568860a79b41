#pragma once
// The one road by which the program writes a file: whole or not at all.
//
// A file NAME is written as NAME.tmp-XXXXXX beside it (mkstemp: created
// private, 0600), locked (flock) for as long as its writer lives, synced,
// given the usual permissions (0666 less the umask) and renamed over NAME.
// A writer killed on the way leaves its temporary unlocked; the next write
// of NAME removes it (remove_stale_temporaries_of). A write that fails on the
// way (a full disk, the file-size limit, a name that is a directory or a
// device) leaves NAME as it was, removes its temporary and says why.
//
// Writing past the file-size limit (RLIMIT_FSIZE, `ulimit -f`) raises
// SIGXFSZ, which ends a process by default; the first WholeFile opened
// ignores that signal (when nobody has set its disposition), so that the
// write fails with EFBIG and is reported like any other.

#include <cstdio>
#include <string>

namespace ctree {

class WholeFile {
 public:
  WholeFile() = default;
  WholeFile(const WholeFile&) = delete;
  WholeFile& operator=(const WholeFile&) = delete;
  ~WholeFile();  // an open file not committed is abandoned

  // Removes the stale temporaries of name, then creates and locks a new
  // one. false with reason ("cannot create a file beside it: ...").
  bool open(const std::string& name, std::string& reason);

  // The buffered stream to write to while open; null otherwise.
  std::FILE* stream() const { return out; }
  const std::string& temporary() const { return temp; }

  // Flushes and syncs what was written, then puts it in place of name.
  // false with reason (errno's text, or what name is instead of a regular
  // file), name untouched and the temporary removed.
  bool commit(std::string& reason);

  // Drops what was written: the temporary is removed, name untouched.
  void abandon();

 private:
  std::string name, temp;
  std::FILE* out = nullptr;
  int fd = -1;
};

// Writes bytes as the whole of name through a WholeFile.
bool write_file_whole(const std::string& name, const std::string& bytes, std::string& reason);

// Removes every NAME.tmp-XXXXXX beside name that no live writer holds
// locked (a writer at work keeps its file). Returns how many went.
int remove_stale_temporaries_of(const std::string& name);

}  // namespace ctree
