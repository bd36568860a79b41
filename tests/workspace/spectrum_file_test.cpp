// The spectrum cache file: bytes written by hand, round trips, and files
// that do not fit their header.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>

#include "workspace/spectrum_file.h"
#include "test_util.h"

using namespace ctree;

namespace {

// Little-endian float32 bytes of the given values.
std::vector<unsigned char> floats(const std::vector<float>& v) {
  std::vector<unsigned char> out;
  for (float f : v) {
    std::uint32_t u;
    std::memcpy(&u, &f, 4);
    for (int k = 0; k < 4; ++k) out.push_back((unsigned char)(u >> (8 * k)));
  }
  return out;
}

}  // namespace

TEST(SpectrumFile, hand_written_bytes_read_in_their_order_and_round_trip) {
  testutil::TempDir dir;
  // T = 2, S = 3, G = 2: value (t, s, g) = 100t + 10s + g.
  std::vector<float> v = {-1.5f, 4.5f, 2, 3, 2};
  for (int t = 0; t < 2; ++t)
    for (int s = 0; s < 3; ++s)
      for (int g = 0; g < 2; ++g) v.push_back(float(100 * t + 10 * s + g));
  const std::vector<unsigned char> bytes = floats(v);
  testutil::write_bytes(dir.file("a.spectrum"), bytes);
  SpectrumData d;
  std::string error;
  ASSERT_TRUE(read_spectrum_file(dir.file("a.spectrum"), d, error)) << error;
  EXPECT_EQ(d.minValue, -1.5f);
  EXPECT_EQ(d.maxValue, 4.5f);
  EXPECT_EQ(d.nTimes, 2);
  EXPECT_EQ(d.nSamples, 3);
  EXPECT_EQ(d.nSignatures, 2);
  EXPECT_EQ(d.at(1, 2, 1), 121);
  EXPECT_EQ(d.at(0, 1, 0), 10);
  EXPECT_EQ(sample_isovalue(d, 0), -1.5f);
  EXPECT_EQ(sample_isovalue(d, 1), 1.5f);
  EXPECT_EQ(sample_isovalue(d, 2), 4.5f);
  const auto ranges = signature_ranges(d);
  ASSERT_EQ(ranges.size(), 2u);
  EXPECT_EQ(ranges[0], std::make_pair(0.0f, 120.0f));
  EXPECT_EQ(ranges[1], std::make_pair(1.0f, 121.0f));

  ASSERT_TRUE(write_spectrum_file(dir.file("b.spectrum"), d, error)) << error;
  const std::string written = testutil::read_file(dir.file("b.spectrum"));
  EXPECT_EQ(written, std::string(bytes.begin(), bytes.end()));
  // No temporary file stays behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}

TEST(SpectrumFile, files_that_do_not_fit_their_header_are_refused) {
  testutil::TempDir dir;
  SpectrumData d;
  std::string error;
  auto refused = [&](const std::vector<float>& header, size_t values, const char* what) {
    std::vector<float> v = header;
    v.resize(header.size() + values, 1.0f);
    std::vector<unsigned char> b = floats(v);
    testutil::write_bytes(dir.file("x.spectrum"), b);
    error.clear();
    EXPECT_FALSE(read_spectrum_file(dir.file("x.spectrum"), d, error)) << what;
    EXPECT_NE(error.find("x.spectrum"), std::string::npos) << what << ": " << error;
  };
  refused({0, 1, 2, 3, 4}, 23, "truncated values");
  refused({0, 1, 1e9f, 1e9f, 4}, 24, "counts far beyond the file");
  refused({0, 1, NAN, 3, 4}, 24, "NaN count");
  refused({NAN, 1, 1, 2, 1}, 2, "NaN range");
  refused({0, 1, 1, 1, 4}, 4, "one sample per signature: no isovalue step");
  EXPECT_NE(error.find("at least 2"), std::string::npos) << error;
  testutil::write_bytes(dir.file("x.spectrum"), {1, 2, 3});
  EXPECT_FALSE(read_spectrum_file(dir.file("x.spectrum"), d, error));
  EXPECT_FALSE(read_spectrum_file(dir.file("none.spectrum"), d, error));
  EXPECT_NE(error.find("none.spectrum"), std::string::npos);

  // A target that cannot be replaced: the message names it, no temporary
  // file stays.
  d = SpectrumData{0, 1, 1, 1, 1, {5}};
  std::filesystem::create_directory(dir.file("dir.spectrum"));
  EXPECT_FALSE(write_spectrum_file(dir.file("dir.spectrum"), d, error));
  EXPECT_NE(error.find("dir.spectrum"), std::string::npos);
  int entries = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.path())) entries += e.path().filename() != "x.spectrum";
  EXPECT_EQ(entries, 1);  // dir.spectrum alone
}
