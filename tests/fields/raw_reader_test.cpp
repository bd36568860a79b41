#include "fields/raw_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <algorithm>

#include "fields/byte_swap.h"
#include "test_util.h"

using namespace ctree;
using testutil::TempDir;
using testutil::write_bytes;

namespace {

// The report of the last read_whole call.
Report last;

const Index origin_start[3] = {0, 0, 0};
const Real zero[3] = {0, 0, 0}, unit[3] = {1, 1, 1};

Real one_sample(const std::vector<unsigned char>& bytes, const char* type, bool swap) {
  std::istringstream in(std::string(bytes.begin(), bytes.end()));
  last = Report();
  return get_real_value(in, type_from_string(type), swap, last);
}

bool read_whole(const std::string& path, const char* type, Size x, Size y, Size z, bool swap, ScalarField3DGrid& g) {
  const Size dim[3] = {x, y, z};
  last = Report();
  return read_raw_field(path, type, origin_start, dim, dim, zero, unit, swap, g, last, no_progress());
}

}  // namespace

TEST(RawReader, sample_conversions_and_byte_swaps) {
  ASSERT_TRUE(machine_is_little_endian()) << "the byte orders below assume a little-endian machine";
  EXPECT_EQ(one_sample({0x01, 0x00}, "short", false), 1);
  EXPECT_EQ(one_sample({0x01, 0x00}, "short", true), 256);
  EXPECT_EQ(one_sample({0xFF}, "char", true), -1);
  EXPECT_EQ(one_sample({0xFF}, "uchar", true), 255);
  EXPECT_EQ(one_sample({0xFF, 0xFF, 0xFF, 0xFF}, "ulong", false), 4294967295.0);
  EXPECT_EQ(one_sample({0xFF, 0x7F}, "ushort", true), 65407);
  EXPECT_EQ(one_sample({0x3F, 0xC0, 0x00, 0x00}, "float", true), 1.5);
  EXPECT_EQ(one_sample({0xC0, 0x04, 0, 0, 0, 0, 0, 0}, "double", true), -2.5);
  testing::internal::CaptureStderr();
  EXPECT_EQ(one_sample({1, 2, 3, 4}, "Float", false), -1.0) << "type names are case-sensitive";
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "the library does not print";
  EXPECT_EQ(last.warnings.size(), 1u) << "the unknown type is said in the report";
}

TEST(RawReader, trailing_bytes_are_ignored_and_short_files_refused) {
  TempDir dir;
  std::vector<unsigned char> bytes;
  for (int i = 0; i < 8; ++i) {
    double v = i * 0.25 - 1;
    unsigned char b[8];
    std::memcpy(b, &v, 8);
    bytes.insert(bytes.end(), b, b + 8);
  }
  bytes.insert(bytes.end(), {1, 2, 3});
  write_bytes(dir.file("long.raw"), bytes);
  ScalarField3DGrid g;
  ASSERT_TRUE(read_whole(dir.file("long.raw"), "double", 2, 2, 2, false, g));
  ASSERT_EQ(g.values.size(), 8u);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(g.values[size_t(i)], i * 0.25 - 1);
  EXPECT_EQ(last.warnings, std::vector<std::string>{"WARNING: not eof of file " + dir.file("long.raw") +
                                                    ". Are you sure about datafield dimension?"});

  bytes.resize(8 * 8 - 1);
  write_bytes(dir.file("short.raw"), bytes);
  EXPECT_FALSE(read_whole(dir.file("short.raw"), "double", 2, 2, 2, false, g));
  EXPECT_EQ(last.error, "error reading field " + dir.file("short.raw") +
                            ": the file holds 63 bytes, a 2x2x2 grid of double needs 64");
  EXPECT_FALSE(read_whole(dir.file("missing.raw"), "double", 2, 2, 2, false, g));
  EXPECT_EQ(last.error.rfind("error opening file " + dir.file("missing.raw") + ": ", 0), 0u) << last.error;
}

TEST(RawReader, sub_box_keeps_its_samples_in_file_order) {
  TempDir dir;
  write_bytes(dir.file("b.raw"), {10, 11, 12, 13, 14, 15, 16, 17});  // uchar 2x2x2
  const Size file[3] = {2, 2, 2}, block[3] = {1, 2, 2};
  const Index start[3] = {1, 0, 0};
  const Real org[3] = {1, 2, 3}, sp[3] = {0.5, 0.5, 2};
  ScalarField3DGrid g;
  Report report;
  ASSERT_TRUE(read_raw_field(dir.file("b.raw"), "uchar", start, file, block, org, sp, false, g, report, no_progress()));
  EXPECT_EQ(g.values, (std::vector<Real>{11, 13, 15, 17}));
  EXPECT_EQ(g.dim[0], 1u);
  EXPECT_EQ(g.origin[2], 3);
  EXPECT_EQ(g.spacing[2], 2);

  const Index outside[3] = {2, 0, 0};
  EXPECT_FALSE(
      read_raw_field(dir.file("b.raw"), "uchar", outside, file, block, org, sp, false, g, report, no_progress()));
  EXPECT_EQ(report.error,
            "error reading field " + dir.file("b.raw") + ": block 2+1 along axis 0 does not fit the grid size 2");
}

// Every element type in both byte orders, written by the sample generator:
// the big-endian file read with swapping and the little-endian file read as
// it is give the same values, with the range the generator reports.
TEST(RawReader, generated_volumes_of_every_type_agree_across_byte_orders) {
  TempDir dir;
  for (const char* type : {"char", "uchar", "short", "ushort", "long", "ulong", "float", "double"}) {
    std::string big = dir.file(std::string(type) + "-be.raw"), little = dir.file(std::string(type) + "-le.raw");
    std::string common = std::string(" --dim 9 7 5 --bumps 3 --seed 5 --type ") + type;
    ASSERT_EQ(testutil::run_gen("volume --endian big --out " + big + common).status, 0);
    ASSERT_EQ(testutil::run_gen("volume --endian little --out " + little + common).status, 0);
    ScalarField3DGrid a, b;
    ASSERT_TRUE(read_whole(big, type, 9, 7, 5, true, a));
    ASSERT_TRUE(read_whole(little, type, 9, 7, 5, false, b));
    EXPECT_EQ(a.values, b.values) << type;
    const std::string info = testutil::read_file(big + ".info");
    const double lo = std::stod(info.substr(info.find("\nmin ") + 5)),
                 hi = std::stod(info.substr(info.find("\nmax ") + 5));
    EXPECT_EQ(*std::min_element(a.values.begin(), a.values.end()), lo) << type;
    EXPECT_EQ(*std::max_element(a.values.begin(), a.values.end()), hi) << type;
  }
}
