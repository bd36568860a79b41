// The command line as a user meets it: the built program run with arguments,
// judged by its exit status and what it prints.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <sstream>

#include "test_util.h"

using testutil::run_orrery;
using testutil::TempDir;

namespace {

bool has(const std::string& out, const std::string& text) { return out.find(text) != std::string::npos; }

const std::string help_start = std::string(ORRERY_EXE) + " Arguments:\n \n";

}  // namespace

TEST(CommandLine, help_with_no_arguments_or_with_help_anywhere) {
  auto r = run_orrery("");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output.rfind(help_start, 0), 0u) << r.output;
  EXPECT_TRUE(has(r.output, "time-dep.%02d.bin")) << "one percent sign, as the user types it";
  EXPECT_FALSE(has(r.output, "--openscene"));
  EXPECT_TRUE(has(r.output, "press h or ? in a window to see its keys")) << "where the keys are told";

  r = run_orrery("--bogus --dim 1 2 3 --help --data x");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output.rfind("Unknown parameter --bogus\n" + help_start, 0), 0u) << r.output;
}

TEST(CommandLine, missing_data_or_grid_size_prints_help_and_fails) {
  auto r = run_orrery("--dim 4 4 4");
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.output.rfind("Error: --data not specified\n" + help_start, 0), 0u) << r.output;

  r = run_orrery("--data field.PLY");
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.output.rfind("Error specify volumetric grid dimension\n" + help_start, 0), 0u) << r.output;
}

TEST(CommandLine, malformed_values_are_reported_by_option_and_fail) {
  struct Case {
    const char* args;
    const char* says;
  } cases[] = {
      {"--data f.raw --dim 4 4", "--dim needs 3 values"},
      {"--data f.raw --dim 4 x 4", "--dim value \"x\" is not a whole number"},
      {"--data f.raw --dim 4 -4 4", "must not be negative"},
      {"--data f.raw --dim 4 4 99999999999", "--dim value \"99999999999\""},
      {"--data f.raw --dim 2000 2000 2000", "32-bit"},
      {"--data f.raw --dim 1 64 64", "at least 2"},
      {"--data f.raw --dim 4 4 4 --time 5 2 1", "--time 5 2 1"},
      {"--data f.raw --dim 4 4 4 --datatype Float", "char|uchar|short|ushort|long|ulong|float|double"},
      {"--data f.raw --dim 4 4 4 --ct %d%d.ply", "--ct"},
  };
  for (const Case& c : cases) {
    auto r = run_orrery(c.args);
    EXPECT_EQ(r.status, 255) << c.args << "\n" << r.output;
    EXPECT_TRUE(has(r.output, c.says)) << c.args << "\n" << r.output;
    EXPECT_FALSE(has(r.output, "Scalar field value")) << c.args;
  }
}

TEST(CommandLine, reads_a_grid_with_the_default_byte_swap_and_reports_its_range) {
  TempDir dir;
  // 2x2x2 floats written big-endian by hand: 0.5, 1, ..., 4.
  std::vector<unsigned char> big;
  for (int i = 1; i <= 8; ++i) {
    float v = 0.5f * i;
    unsigned char b[4];
    std::memcpy(b, &v, 4);
    big.insert(big.end(), {b[3], b[2], b[1], b[0]});
  }
  testutil::write_bytes(dir.file("g.raw"), big);
  auto r = run_orrery("--batch --data " + dir.file("g.raw") + " --dim 2 2 2 --aspect 1.0f --spectrum 0");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(has(r.output, "Reading field values")) << r.output;
  EXPECT_TRUE(has(r.output, "percent = 100%")) << r.output;
  EXPECT_TRUE(has(r.output, "Scalar field value 5.000000e-01 4.000000e+00\n")) << r.output;

  // The same bytes read unswapped are other numbers entirely.
  r = run_orrery("--batch --data " + dir.file("g.raw") + " --dim 2 2 2 --swapbyte 0");
  EXPECT_EQ(r.status, 0);
  EXPECT_FALSE(has(r.output, "Scalar field value 5.000000e-01 4.000000e+00")) << r.output;
}

TEST(CommandLine, file_problems_name_the_file) {
  TempDir dir;
  testutil::write_bytes(dir.file("s.raw"), std::vector<unsigned char>(20, 0));
  auto r = run_orrery("--batch --data " + dir.file("s.raw") + " --dim 2 2 2 --datatype float");
  EXPECT_EQ(r.status, 255);
  EXPECT_TRUE(has(r.output, "--dim 2 2 2 --datatype float needs 32 bytes; " + dir.file("s.raw") + " holds 20"))
      << r.output;

  testutil::write_bytes(dir.file("l.raw"), std::vector<unsigned char>(40, 0));
  r = run_orrery("--batch --data " + dir.file("l.raw") + " --dim 2 2 2");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(has(r.output, "WARNING: not eof of file " + dir.file("l.raw") +
                                ". Are you sure about datafield dimension?"))
      << r.output;
  EXPECT_TRUE(has(r.output, "Scalar field value 0.000000e+00 0.000000e+00"));
}

// A sample count of 1 has no isovalue step: refused before anything is
// read, and no spectrum file appears; 2 is the smallest spectrum.
TEST(CommandLine, a_spectrum_of_one_sample_is_refused_before_any_work) {
  TempDir dir;
  ASSERT_EQ(testutil::run_gen("volume --dim 6 5 4 --bumps 2 --out " + dir.file("v.raw")).status, 0);
  auto r = run_orrery("--batch --data " + dir.file("v.raw") + " --dim 6 5 4 --spectrum 1");
  EXPECT_EQ(r.status, 255) << r.output;
  EXPECT_TRUE(has(r.output, "Error: --spectrum needs a sample count of at least 2 (or 0 for none), not 1")) << r.output;
  EXPECT_FALSE(has(r.output, "Reading field values")) << r.output;
  EXPECT_FALSE(std::filesystem::exists(dir.file("v.raw.spectrum")));

  r = run_orrery("--batch --data " + dir.file("v.raw") + " --dim 6 5 4 --spectrum 2");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(std::filesystem::exists(dir.file("v.raw.spectrum"))) << r.output;
}

// A tree-file name without the ".ply" ending would be written under the
// completed name and then looked for under the given one: refused before
// any work, with the option and the reason.
TEST(CommandLine, tree_file_names_must_end_in_ply) {
  TempDir dir;
  ASSERT_EQ(testutil::run_gen("volume --dim 6 5 4 --bumps 2 --out " + dir.file("v.raw")).status, 0);
  const std::string data = "--batch --data " + dir.file("v.raw") + " --dim 6 5 4";
  for (const char* option : {"--ct", "--ctl"}) {
    for (const char* name : {"cube.%02d.tree", "cube.PLY"}) {
      auto r = run_orrery(data + " " + option + " " + dir.file(name));
      EXPECT_EQ(r.status, 255) << option << " " << name << "\n" << r.output;
      EXPECT_TRUE(has(r.output, std::string("Error: ") + option + " \"" + dir.file(name) + "\" does not end in \".ply\""))
          << r.output;
      EXPECT_FALSE(has(r.output, "Reading field values")) << r.output;
    }
  }
  size_t files = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.path())) files += e.is_regular_file();
  EXPECT_EQ(files, 2u) << "only the volume and its sidecar";
}

// A loop that stops on bad input leaves its meter's status line open; the
// message that follows starts a line of its own, on a terminal as in a log.
TEST(CommandLine, an_error_after_a_progress_meter_starts_a_line) {
  TempDir dir;
  ASSERT_EQ(testutil::run_gen("volume --dim 6 5 4 --bumps 2 --out " + dir.file("v.raw")).status, 0);
  const std::string args = "--batch --data " + dir.file("v.raw") + " --dim 6 5 4 --ct " + dir.file("v.ctree.ply");
  ASSERT_EQ(run_orrery(args).status, 0);
  // The tree file with one value cut from its third data line.
  std::string tree = testutil::read_file(dir.file("v.ctree.ply"));
  size_t line = tree.find("end_header\n") + 11;
  for (int k = 0; k < 2; ++k) line = tree.find('\n', line) + 1;
  const size_t end = tree.find('\n', line);
  ASSERT_NE(end, std::string::npos);
  tree.erase(tree.rfind(' ', end - 2) + 1, end - tree.rfind(' ', end - 2) - 1);
  testutil::write_text(dir.file("v.ctree.ply"), tree);

  auto r = run_orrery(args);
  EXPECT_EQ(r.status, 255) << r.output;
  const std::string says = dir.file("v.ctree.ply") + ": data line 3 (element \"branch\"): too few values";
  const size_t at = r.output.find(says);
  ASSERT_NE(at, std::string::npos) << r.output;
  EXPECT_EQ(r.output[at - 1], '\n') << r.output;
  EXPECT_TRUE(has(r.output, "percent =   0%")) << "the meter had started: " << r.output;
  // Every message line begins at the margin: no line holds a meter and more.
  std::istringstream lines(r.output);
  for (std::string l; std::getline(lines, l);) {
    const size_t meter = l.find("time = ");
    if (meter == std::string::npos) continue;
    EXPECT_EQ(l.find_first_not_of(" \b%0123456789:.=timepercn", meter), std::string::npos) << "meter line: " << l;
  }
}
