// The command line as a user meets it: the built program run with arguments,
// judged by its exit status and what it prints.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>

#include "test_util.h"

using testutil::run_orrery;
using testutil::TempDir;

namespace {

bool has(const std::string& out, const std::string& text) { return out.find(text) != std::string::npos; }

const std::string help_start = std::string(ORRERY_EXE) + " Arguments:\n \n";

}  // namespace

TEST(CommandLine, help_and_malformed_values_are_reported_by_option) {
  auto r = run_orrery("--bogus --dim 1 2 3 --help --data x");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output.rfind("Unknown parameter --bogus\n" + help_start, 0), 0u) << r.output;
  r = run_orrery("--dim 4 4 4");
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.output.rfind("Error: --data not specified\n" + help_start, 0), 0u) << r.output;
  // --dim and --time values are the mutation test's; here the other options.
  for (auto [args, says] : {std::pair{"--datatype Float", "char|uchar|short|ushort|long|ulong|float|double"},
                            std::pair{"--ct %d%d.ply", "--ct"}}) {
    r = run_orrery(std::string("--data f.raw --dim 4 4 4 ") + args);
    EXPECT_EQ(r.status, 255) << args << "\n" << r.output;
    EXPECT_TRUE(has(r.output, says)) << args << "\n" << r.output;
    EXPECT_FALSE(has(r.output, "Scalar field value")) << args;
  }
}

TEST(CommandLine, the_help_lists_every_option_the_parser_takes_and_no_other) {
  // The options the parser compares arguments with, from its source.
  const std::string source = testutil::read_file(std::string(ORRERY_SOURCE_DIR) + "/app/options.cpp");
  std::set<std::string> parsed;
  const std::regex compared("strcmp\\(a, \"(--[a-z]+)\"\\)");
  for (auto m = std::sregex_iterator(source.begin(), source.end(), compared); m != std::sregex_iterator(); ++m)
    parsed.insert((*m)[1]);
  ASSERT_GE(parsed.size(), 20u);
  EXPECT_TRUE(parsed.count("--openscene"));
  // The options the help text introduces: the ones at the start of its
  // entries (" --data", " [--var", " [--spacing ...] [--origin ...]").
  const auto r = run_orrery("--help");
  ASSERT_EQ(r.status, 0);
  std::set<std::string> helped;
  std::istringstream lines(r.output);
  const std::regex entry("(?:^ \\[?| \\[)(--[a-z]+)");
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind(" --", 0) != 0 && line.rfind(" [--", 0) != 0) continue;
    for (auto m = std::sregex_iterator(line.begin(), line.end(), entry); m != std::sregex_iterator(); ++m)
      helped.insert((*m)[1]);
  }
  EXPECT_EQ(helped, parsed);
  // And each one the help names is taken by the program, not reported as
  // unknown.
  for (const std::string& option : helped) {
    if (option == "--help") continue;
    const auto run = run_orrery(option + " 1 1 1 --help");
    EXPECT_FALSE(has(run.output, "Unknown parameter " + option)) << run.output;
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
  EXPECT_TRUE(has(r.output, "Scalar field value 5.000000e-01 4.000000e+00\n")) << r.output;

  // The same bytes read unswapped are other numbers entirely.
  r = run_orrery("--batch --data " + dir.file("g.raw") + " --dim 2 2 2 --swapbyte 0");
  EXPECT_EQ(r.status, 0);
  EXPECT_FALSE(has(r.output, "Scalar field value 5.000000e-01 4.000000e+00")) << r.output;
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
}

// A tree-file name without the ".ply" ending would be written under the
// completed name and then looked for under the given one: refused before
// any work, with the option and the reason.
TEST(CommandLine, tree_file_names_must_end_in_ply) {
  TempDir dir;
  ASSERT_EQ(testutil::run_gen("volume --dim 6 5 4 --bumps 2 --out " + dir.file("v.raw")).status, 0);
  const std::string data = "--batch --data " + dir.file("v.raw") + " --dim 6 5 4";
  auto r = run_orrery(data + " --ctl " + dir.file("cube.PLY"));
  EXPECT_EQ(r.status, 255) << r.output;
  EXPECT_TRUE(has(r.output, "Error: --ctl \"" + dir.file("cube.PLY") + "\" does not end in \".ply\"")) << r.output;
  EXPECT_FALSE(has(r.output, "Reading field values")) << r.output;
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
