#include "core/replace_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string scratch_dir() {
  char name[] = "/tmp/orrery-replace-XXXXXX";
  const char* dir = mkdtemp(name);
  EXPECT_NE(dir, nullptr);
  return dir ? dir : "/tmp";
}

void put(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

std::string contents(const std::string& path) {
  std::stringstream s;
  s << std::ifstream(path).rdbuf();
  return s.str();
}

// The file type of path without following a link, or 0 if there is none.
mode_t kind(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 ? (st.st_mode & S_IFMT) : 0;
}

}  // namespace

TEST(ReplaceFile, replaces_regular_files_says_why_a_rename_fails_and_leaves_other_kinds_of_name) {
  const std::string dir = scratch_dir();
  put(dir + "/old", "old");
  put(dir + "/t1", "new");
  std::string reason;
  ASSERT_TRUE(ctree::replace_file(dir + "/t1", dir + "/old", reason)) << reason;
  EXPECT_EQ(contents(dir + "/old"), "new");
  EXPECT_EQ(kind(dir + "/t1"), 0u);

  put(dir + "/t2", "fresh");
  ASSERT_TRUE(ctree::replace_file(dir + "/t2", dir + "/fresh", reason)) << reason;
  EXPECT_EQ(contents(dir + "/fresh"), "fresh");

  EXPECT_FALSE(ctree::replace_file(dir + "/no-such-temp", dir + "/name", reason));
  EXPECT_NE(reason.find("No such file"), std::string::npos) << reason;

  // Renaming over a device or a pipe would replace it (as root, /dev/full
  // became a plain file this way): such names are refused and left as they are.
  ASSERT_EQ(mkfifo((dir + "/pipe").c_str(), 0600), 0);
  ASSERT_EQ(mkdir((dir + "/folder").c_str(), 0700), 0);
  ASSERT_EQ(symlink((dir + "/pipe").c_str(), (dir + "/link").c_str()), 0);
  for (auto [name, says] : {std::pair{"pipe", "a pipe"}, {"folder", "a directory"}, {"link", "a pipe"}}) {
    put(dir + "/temp", "text");
    EXPECT_FALSE(ctree::replace_file(dir + "/temp", dir + "/" + name, reason)) << name;
    EXPECT_NE(reason.find(says), std::string::npos) << name << ": " << reason;
    EXPECT_EQ(kind(dir + "/temp"), 0u) << name << ": the temporary stays";
  }
  EXPECT_EQ(kind(dir + "/pipe"), mode_t(S_IFIFO));
  EXPECT_EQ(kind(dir + "/link"), mode_t(S_IFLNK));
}
