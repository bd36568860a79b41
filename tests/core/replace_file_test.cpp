#include "core/replace_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
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
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

bool is_fifo(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
}

}  // namespace

TEST(ReplaceFile, puts_the_finished_file_over_a_regular_file_or_a_new_name) {
  const std::string dir = scratch_dir();
  put(dir + "/old", "old");
  put(dir + "/t1", "new");
  std::string reason;
  ASSERT_TRUE(ctree::replace_file(dir + "/t1", dir + "/old", reason)) << reason;
  EXPECT_EQ(contents(dir + "/old"), "new");
  EXPECT_FALSE(exists(dir + "/t1"));

  put(dir + "/t2", "fresh");
  ASSERT_TRUE(ctree::replace_file(dir + "/t2", dir + "/fresh", reason)) << reason;
  EXPECT_EQ(contents(dir + "/fresh"), "fresh");
}

// Renaming over a device or a pipe would replace it (as root, /dev/full
// became a plain file this way): such names are refused and left as they are.
TEST(ReplaceFile, refuses_names_that_are_not_regular_files_and_leaves_them) {
  const std::string dir = scratch_dir();
  ASSERT_EQ(mkfifo((dir + "/pipe").c_str(), 0600), 0);
  ASSERT_EQ(mkdir((dir + "/folder").c_str(), 0700), 0);
  ASSERT_EQ(symlink((dir + "/pipe").c_str(), (dir + "/link").c_str()), 0);
  struct Case {
    const char* name;
    const char* says;
  } cases[] = {{"pipe", "a pipe"}, {"folder", "a directory"}, {"link", "a pipe"}};
  for (const Case& c : cases) {
    const std::string temp = dir + "/temp";
    put(temp, "text");
    std::string reason;
    EXPECT_FALSE(ctree::replace_file(temp, dir + "/" + c.name, reason)) << c.name;
    EXPECT_NE(reason.find(c.says), std::string::npos) << c.name << ": " << reason;
    EXPECT_FALSE(exists(temp)) << c.name << ": the temporary stays";
  }
  EXPECT_TRUE(is_fifo(dir + "/pipe"));
  struct stat st;
  ASSERT_EQ(lstat((dir + "/link").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST(ReplaceFile, says_why_a_rename_fails) {
  const std::string dir = scratch_dir();
  std::string reason;
  EXPECT_FALSE(ctree::replace_file(dir + "/no-such-temp", dir + "/name", reason));
  EXPECT_NE(reason.find("No such file"), std::string::npos) << reason;
}
