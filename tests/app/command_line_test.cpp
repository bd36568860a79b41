// The command line as a user meets it: the built program run with arguments,
// judged by its exit status and what it prints.
#include <gtest/gtest.h>

#include <cstring>

#include "fields/byte_swap.h"
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
  EXPECT_TRUE(has(r.output, "scene.%03d.txt"));
  EXPECT_TRUE(has(r.output, "char|uchar|short|ushort|long|ulong|float|double"));
  EXPECT_FALSE(has(r.output, "--openscene"));

  r = run_orrery("--bogus --dim 1 2 3 --help --data x");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output.rfind("Unknown parameter --bogus\n" + help_start, 0), 0u) << r.output;
}

TEST(CommandLine, missing_data_or_grid_size_prints_help_and_fails) {
  auto r = run_orrery("--dim 4 4 4");
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.output.rfind("Error: --data not specified\n" + help_start, 0), 0u) << r.output;

  for (const char* args : {"--data f.raw", "--data f.raw --dim 64 64 0", "--data field.PLY",
                           "--data field.ply.gz", "--data noext"}) {
    r = run_orrery(args);
    EXPECT_EQ(r.status, 255) << args;
    EXPECT_EQ(r.output.rfind("Error specify volumetric grid dimension\n" + help_start, 0), 0u) << args;
  }
}

TEST(CommandLine, malformed_values_are_reported_by_option_and_fail) {
  struct Case {
    const char* args;
    const char* says;
  } cases[] = {
      {"--data f.raw --dim 4 4", "--dim needs 3 values"},
      {"--dim 4 4 4 --data", "--data needs 1 value"},
      {"--data f.raw --scene", "--scene needs 1 value"},
      {"--data f.raw --dim 4 x 4", "--dim value \"x\" is not a whole number"},
      {"--data f.raw --dim 4 4 4 --time 0 1 a", "--time value \"a\""},
      {"--data f.raw --dim 4 4 4 --swapbyte yes", "--swapbyte value \"yes\""},
      {"--data f.raw --dim 4 4 4 --spectrum 1.5", "--spectrum value \"1.5\""},
      {"--data f.raw --dim 4 4 4 --spectrum -2", "--spectrum"},
      {"--data f.raw --dim 4 -4 4", "must not be negative"},
      {"--data f.raw --dim 4 4 99999999999", "--dim value \"99999999999\""},
      {"--data f.raw --dim 2000 2000 2000", "32-bit"},
      {"--data f.raw --dim 1 64 64", "at least 2"},
      {"--data f.raw --dim 4 4 4 --time 0 4 0", "--time 0 4 0"},
      {"--data f.raw --dim 4 4 4 --time 5 2 1", "--time 5 2 1"},
      {"--data f.raw --dim 4 4 4 --aspect wide", "--aspect value \"wide\""},
      {"--data f.raw --dim 4 4 4 --datatype Float", "char|uchar|short|ushort|long|ulong|float|double"},
      {"--data %s.raw --dim 4 4 4", "--data"},
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
  EXPECT_TRUE(has(r.output, dir.file("s.raw") + ": the file holds 20 bytes, a 2x2x2 grid of float needs 32"))
      << r.output;

  testutil::write_bytes(dir.file("l.raw"), std::vector<unsigned char>(40, 0));
  r = run_orrery("--batch --data " + dir.file("l.raw") + " --dim 2 2 2");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(has(r.output, "WARNING: not eof of file " + dir.file("l.raw") +
                                ". Are you sure about datafield dimension?"))
      << r.output;
  EXPECT_TRUE(has(r.output, "Scalar field value 0.000000e+00 0.000000e+00"));

  r = run_orrery("--batch --data " + dir.file("none.%02d.raw") + " --dim 2 2 2 --time 3 5 1");
  EXPECT_EQ(r.status, 255);
  EXPECT_TRUE(has(r.output, "error. can't open " + dir.file("none.03.raw"))) << r.output;
  EXPECT_TRUE(has(r.output, "Error. can't set time to 3")) << r.output;
}

TEST(CommandLine, generated_sample_reads_with_the_range_the_generator_reports) {
  TempDir dir;
  std::string f = dir.file("v.raw");
  ASSERT_EQ(testutil::run_gen("volume --dim 20 16 12 --bumps 5 --out " + f).status, 0);
  auto r = run_orrery("--batch --data " + f + " --dim 20 16 12");
  ASSERT_EQ(r.status, 0) << r.output;
  std::string info = testutil::read_file(f + ".info");
  double lo = std::stod(info.substr(info.find("min ") + 4)), hi = std::stod(info.substr(info.find("max ") + 4));
  char expected[128];
  std::snprintf(expected, sizeof expected, "Scalar field value %e %e\n", double(float(lo)), double(float(hi)));
  EXPECT_TRUE(has(r.output, expected)) << r.output;
}
