#include "workspace/step_names.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

using ctree::check_step_template;
using ctree::step_filename;

TEST(StepNames, integer_templates_format_with_the_step) {
  std::string err;
  ASSERT_TRUE(check_step_template("time-dep.%02d.bin", err));
  EXPECT_EQ(step_filename("time-dep.%02d.bin", 7), "time-dep.07.bin");
  ASSERT_TRUE(check_step_template("plain.raw", err));
  EXPECT_EQ(step_filename("plain.raw", 3), "plain.raw");
  ASSERT_TRUE(check_step_template("100%%-%03x.raw", err));
  EXPECT_EQ(step_filename("100%%-%03x.raw", 255), "100%-0ff.raw");
}

TEST(StepNames, templates_printf_would_misread_are_refused) {
  std::string err;
  for (const char* bad : {"a%s.raw", "%d-%d.raw", "%n", "x%", "%*d", "%f.raw", "%99999999d"}) {
    EXPECT_FALSE(check_step_template(bad, err)) << bad;
    EXPECT_FALSE(err.empty());
  }
}

TEST(StepNames, mesh_is_judged_by_the_last_dot_only) {
  EXPECT_TRUE(ctree::is_mesh_name("field.ply"));
  EXPECT_TRUE(ctree::is_mesh_name("time-dep.%02d.ply"));
  EXPECT_FALSE(ctree::is_mesh_name("field.PLY"));
  EXPECT_FALSE(ctree::is_mesh_name("field.ply.gz"));
}

// Whether a file is there is told without opening it: a pipe (a spectrum
// cache replaced by one) answers at once instead of waiting for a writer.
TEST(StepNames, a_pipe_is_there_without_being_opened) {
  char folder[] = "/tmp/orrery-exist-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string pipe = std::string(folder) + "/d.spectrum";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_TRUE(ctree::fileExist(pipe));
  EXPECT_FALSE(ctree::fileExist(std::string(folder) + "/none"));
  std::remove(pipe.c_str());
  rmdir(folder);
}
