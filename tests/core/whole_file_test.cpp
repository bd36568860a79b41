// Files written whole: what a failure half-way leaves (nothing new), what a
// killed writer leaves (a temporary the next write removes), and two
// writers of one name (one whole file, never a mix).
#include "core/whole_file.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string scratch_dir() {
  char name[] = "/tmp/orrery-whole-XXXXXX";
  const char* dir = mkdtemp(name);
  EXPECT_NE(dir, nullptr);
  return dir ? dir : "/tmp";
}

std::string contents(const std::string& path) {
  std::stringstream s;
  s << std::ifstream(path).rdbuf();
  return s.str();
}

std::vector<std::string> listing(const std::string& dir) {
  std::vector<std::string> names;
  DIR* d = opendir(dir.c_str());
  while (const dirent* e = readdir(d))
    if (e->d_name[0] != '.') names.push_back(e->d_name);
  closedir(d);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

TEST(WholeFile, writes_with_the_usual_permissions_and_leaves_no_temporary) {
  const std::string dir = scratch_dir();
  std::string reason;
  ASSERT_TRUE(ctree::write_file_whole(dir + "/a.txt", "first", reason)) << reason;
  ASSERT_TRUE(ctree::write_file_whole(dir + "/a.txt", "second", reason)) << reason;
  EXPECT_EQ(contents(dir + "/a.txt"), "second");
  EXPECT_EQ(listing(dir), std::vector<std::string>{"a.txt"});
  const mode_t mask = umask(0);
  umask(mask);
  struct stat st;
  ASSERT_EQ(stat((dir + "/a.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);

  // The temporary is private while it is written.
  ctree::WholeFile f;
  ASSERT_TRUE(f.open(dir + "/b.txt", reason)) << reason;
  ASSERT_EQ(stat(f.temporary().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  f.abandon();
  EXPECT_EQ(listing(dir), std::vector<std::string>{"a.txt"});

  // A device under the name is refused, not replaced, and nothing stays.
  EXPECT_FALSE(ctree::write_file_whole("/dev/full", "x", reason));
  EXPECT_FALSE(ctree::write_file_whole(dir + "/no-such-folder/c.txt", "x", reason));
  EXPECT_NE(reason.find("cannot create"), std::string::npos) << reason;
}

// Under a file-size limit the write fails in the middle: the old file
// stays as it was, the temporary goes, and the writer says so (the signal
// the limit raises does not end the process).
TEST(WholeFile, a_write_past_the_file_size_limit_fails_and_keeps_the_old_file) {
  const std::string dir = scratch_dir();
  const std::string name = dir + "/big.bin";
  std::string reason;
  ASSERT_TRUE(ctree::write_file_whole(name, "old contents", reason)) << reason;
  const pid_t child = fork();
  if (child == 0) {
    rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    std::string why;
    const bool wrote = ctree::write_file_whole(name, std::string(100000, 'x'), why);
    _exit(wrote ? 1 : why.find("too large") != std::string::npos ? 0 : 2);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(contents(name), "old contents");
  EXPECT_EQ(listing(dir), std::vector<std::string>{"big.bin"});
}

TEST(WholeFile, the_next_write_removes_a_dead_writers_temporary_but_not_a_live_ones) {
  const std::string dir = scratch_dir();
  const std::string name = dir + "/s.spectrum";
  // A live writer: holds its lock.
  const int held = open((name + ".tmp-live01").c_str(), O_CREAT | O_WRONLY, 0600);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  // A dead one: its lock went with it.
  const pid_t child = fork();
  if (child == 0) {
    const int fd = open((name + ".tmp-dead01").c_str(), O_CREAT | O_WRONLY, 0600);
    flock(fd, LOCK_EX);
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  // A pipe under such a name neither stops the write nor is removed.
  ASSERT_EQ(mkfifo((name + ".tmp-pipe01").c_str(), 0600), 0);
  std::ofstream(dir + "/other.tmp-AbC123") << "not ours";
  std::string reason;
  ASSERT_TRUE(ctree::write_file_whole(name, "new", reason)) << reason;
  EXPECT_EQ(listing(dir), (std::vector<std::string>{"other.tmp-AbC123", "s.spectrum", "s.spectrum.tmp-live01",
                                                    "s.spectrum.tmp-pipe01"}));
  close(held);
  EXPECT_EQ(ctree::remove_stale_temporaries_of(name), 1);
}

// Two processes writing one name over and over: every version read is one
// writer's whole file.
TEST(WholeFile, two_writers_of_one_name_never_mix) {
  const std::string dir = scratch_dir();
  const std::string name = dir + "/p.inc";
  const std::string a(200000, 'a'), b(150000, 'b');
  pid_t writers[2];
  for (int w = 0; w < 2; ++w) {
    writers[w] = fork();
    if (writers[w] == 0) {
      std::string reason;
      for (int k = 0; k < 20; ++k)
        if (!ctree::write_file_whole(name, w ? b : a, reason)) _exit(1);
      _exit(0);
    }
  }
  int seen = 0;
  for (int k = 0; k < 200; ++k) {
    const std::string now = contents(name);
    if (now.empty()) continue;
    ++seen;
    ASSERT_TRUE(now == a || now == b) << "a mixed file of " << now.size() << " bytes";
  }
  for (pid_t w : writers) {
    int status = 0;
    waitpid(w, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const std::string last = contents(name);
  EXPECT_TRUE(last == a || last == b);
  EXPECT_EQ(listing(dir), std::vector<std::string>{"p.inc"});
}
