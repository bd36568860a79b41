// The spectrum cache file: bytes written by hand, round trips, and files
// that do not fit their header.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>

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

TEST(SpectrumFile, values_that_are_not_finite_are_refused_with_their_place) {
  testutil::TempDir dir;
  // T = 2, S = 2, G = 2; value 6 is (time index 1, sample 1, signature 0).
  for (float bad : {NAN, INFINITY, -INFINITY}) {
    std::vector<float> v = {0, 1, 2, 2, 2, 1, 2, 3, 4, 5, 6, 7, 8};
    v[5 + 6] = bad;
    testutil::write_bytes(dir.file("x.spectrum"), floats(v));
    SpectrumData d;
    std::string error;
    EXPECT_FALSE(read_spectrum_file(dir.file("x.spectrum"), d, error));
    EXPECT_NE(error.find("x.spectrum: spectrum value 6 (time index 1, sample 1) is not a finite number"),
              std::string::npos)
        << error;
    EXPECT_TRUE(d.values.empty());
  }
}

// A cache of another shape or another value range is not the run's.
TEST(SpectrumFile, a_cache_must_have_the_runs_shape_and_value_range) {
  const SpectrumData d{-1.5f, 2.5f, 1, 16, 4, std::vector<float>(64, 1.0f)};
  SpectrumShape run;
  run.nTimes = 1, run.nSamples = 16, run.nSignatures = 4, run.minValue = -1.5f, run.maxValue = 2.5f;
  EXPECT_EQ(spectrum_mismatch("c", d, run), "");
  SpectrumShape any_samples = run;
  any_samples.nSamples = 0;
  EXPECT_EQ(spectrum_mismatch("c", d, any_samples), "");
  struct Case {
    const char* what;
    SpectrumShape shape;
    const char* says;
  };
  std::vector<Case> cases;
  auto with = [&](const char* what, auto change, const char* says) {
    SpectrumShape s = run;
    change(s);
    cases.push_back({what, s, says});
  };
  with("four steps", [](SpectrumShape& s) { s.nTimes = 4; }, "c: the spectrum file holds 1 time step, 16 samples, 4 signatures, the run needs 4 time steps, 16 samples, 4 signatures");
  with("samples", [](SpectrumShape& s) { s.nSamples = 8; }, "the run needs 1 time step, 8 samples");
  with("signatures", [](SpectrumShape& s) { s.nSignatures = 1; }, "1 signatures");
  with("lower minimum", [](SpectrumShape& s) { s.minValue = -2; }, "c: the spectrum file covers values -1.5 .. 2.5, the data -2 .. 2.5");
  with("higher minimum", [](SpectrumShape& s) { s.minValue = -1; }, "the data -1 .. 2.5");
  with("maximum", [](SpectrumShape& s) { s.maxValue = std::nextafter(2.5f, 3.0f); }, "covers values");
  for (const Case& c : cases) {
    const std::string says = spectrum_mismatch("c", d, c.shape);
    EXPECT_NE(says.find(c.says), std::string::npos) << c.what << ": " << says;
  }
  // With only some steps loaded, the file's range must hold theirs.
  SpectrumShape part = run;
  part.rangeComplete = false;
  part.minValue = -1, part.maxValue = 2;
  EXPECT_EQ(spectrum_mismatch("c", d, part), "");
  part.maxValue = 3;
  EXPECT_NE(spectrum_mismatch("c", d, part), "");
}

// Mutated caches (bytes changed, headers of other shapes, truncation): each
// is refused or read, and every cache read is whole, finite and fits the
// run's shape and range when spectrum_mismatch accepts it; that is checked
// here against the bytes directly.
TEST(SpectrumFile, mutated_caches_are_refused_or_fit_the_run) {
  testutil::TempDir dir;
  std::vector<float> good = {-1.5f, 2.5f, 1, 16, 4};
  for (int i = 0; i < 64; ++i) good.push_back(float(i % 7) * 0.5f);
  SpectrumShape run;
  run.nTimes = 1, run.nSamples = 16, run.nSignatures = 4, run.minValue = -1.5f, run.maxValue = 2.5f;
  const std::vector<unsigned char> bytes = floats(good);
  std::mt19937 rng(41);
  int kept = 0, refused = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    std::vector<unsigned char> b = bytes;
    switch (trial % 4) {
      case 0:
        for (int k = 0; k < 1 + int(rng() % 3); ++k) b[rng() % b.size()] = (unsigned char)rng();
        break;
      case 1: {  // a header of another shape over the same values
        const float shapes[][3] = {{4, 16, 1}, {1, 64, 1}, {2, 8, 4}, {1, 32, 2}, {16, 4, 1}, {1, 16, 4}};
        const auto& s = shapes[rng() % 6];
        std::vector<float> v = good;
        v[2] = s[0], v[3] = s[1], v[4] = s[2];
        b = floats(v);
        break;
      }
      case 2: {  // a value or the range replaced by a special or shifted number
        std::vector<float> v = good;
        const float specials[] = {NAN, INFINITY, -INFINITY, 1e30f, -2.0f, 3.0f, 2.5f};
        v[rng() % 2 ? rng() % 2 : 5 + rng() % 64] = specials[rng() % 7];
        b = floats(v);
        break;
      }
      default: b.resize(rng() % b.size());
    }
    testutil::write_bytes(dir.file("m.spectrum"), b);
    SpectrumData d;
    std::string error;
    if (!read_spectrum_file(dir.file("m.spectrum"), d, error) || !spectrum_mismatch("m", d, run).empty()) {
      ++refused;
      continue;
    }
    ++kept;
    // Independently of the reader: the bytes are the 5 header floats and
    // 64 finite values under the run's header.
    ASSERT_EQ(b.size(), bytes.size()) << "trial " << trial;
    float v[69];
    std::memcpy(v, b.data(), sizeof v);  // little-endian host
    EXPECT_EQ(v[0], -1.5f);
    EXPECT_EQ(v[1], 2.5f);
    EXPECT_EQ(int(v[2]) * int(v[3]) * int(v[4]), 64);
    EXPECT_EQ(int(v[2]), 1);
    EXPECT_EQ(int(v[3]), 16);
    for (int i = 5; i < 69; ++i) EXPECT_TRUE(std::isfinite(v[i])) << "trial " << trial;
  }
  EXPECT_GT(refused, 1500);
  EXPECT_GT(kept, 200);
}
