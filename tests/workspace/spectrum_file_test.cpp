// The spectrum cache file: bytes written by hand, round trips, and files
// that do not fit their header.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
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
  EXPECT_TRUE(d.nTimes == 2 && d.nSamples == 3 && d.nSignatures == 2);
  EXPECT_EQ(d.at(1, 2, 1), 121);
  EXPECT_EQ(d.at(0, 1, 0), 10);
  EXPECT_EQ(sample_isovalue(d, 1), 1.5f);
  EXPECT_EQ(signature_ranges(d), (std::vector<std::pair<float, float>>{{0.0f, 120.0f}, {1.0f, 121.0f}}));

  ASSERT_TRUE(write_spectrum_file(dir.file("b.spectrum"), d, error)) << error;
  EXPECT_EQ(testutil::read_file(dir.file("b.spectrum")), std::string(bytes.begin(), bytes.end()));
  // No temporary file stays behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}

TEST(SpectrumFile, files_that_do_not_fit_their_header_or_hold_values_not_finite_are_refused) {
  testutil::TempDir dir;
  SpectrumData d;
  std::string error;
  auto refused = [&](std::vector<float> v, size_t values, const char* what) {
    v.resize(v.size() + values, 1.0f);
    testutil::write_bytes(dir.file("x.spectrum"), floats(v));
    error.clear();
    EXPECT_FALSE(read_spectrum_file(dir.file("x.spectrum"), d, error)) << what;
    EXPECT_NE(error.find("x.spectrum"), std::string::npos) << what << ": " << error;
  };
  refused({0, 1, 2, 3, 4}, 23, "truncated values");
  refused({0, 1, 1e9f, 1e9f, 4}, 24, "counts far beyond the file");
  refused({NAN, 1, 1, 2, 1}, 2, "NaN range");
  refused({0, 1, 1, 1, 4}, 4, "one sample per signature: no isovalue step");
  EXPECT_NE(error.find("at least 2"), std::string::npos) << error;
  EXPECT_FALSE(read_spectrum_file(dir.file("none.spectrum"), d, error));
  EXPECT_NE(error.find("none.spectrum"), std::string::npos);
  // T = 2, S = 2, G = 2; value 6 is (time index 1, sample 1, signature 0).
  for (float bad : {NAN, INFINITY, -INFINITY}) {
    refused({0, 1, 2, 2, 2, 1, 2, 3, 4, 5, 6, bad, 8}, 0, "not finite");
    EXPECT_NE(error.find("x.spectrum: spectrum value 6 (time index 1, sample 1) is not a finite number"),
              std::string::npos)
        << error;
    EXPECT_TRUE(d.values.empty());
  }

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

// A cache of another shape or another value range is not the run's; with
// only some steps loaded, the file's range must hold theirs.
TEST(SpectrumFile, a_cache_must_have_the_runs_shape_and_value_range) {
  const SpectrumData d{-1.5f, 2.5f, 1, 16, 4, std::vector<float>(64, 1.0f)};
  SpectrumShape run;
  run.nTimes = 1, run.nSamples = 16, run.nSignatures = 4, run.minValue = -1.5f, run.maxValue = 2.5f;
  EXPECT_EQ(spectrum_mismatch("c", d, run), "");
  SpectrumShape steps = run, samples = run, low = run, high = run, part = run;
  steps.nTimes = 4, samples.nSamples = 8, low.minValue = -2, high.maxValue = std::nextafter(2.5f, 3.0f);
  const std::pair<const SpectrumShape*, const char*> cases[] = {
      {&steps,
       "c: the spectrum file holds 1 time step, 16 samples, 4 signatures, the run needs 4 time steps, 16 samples, 4 signatures"},
      {&samples, "the run needs 1 time step, 8 samples"},
      {&low, "c: the spectrum file covers values -1.5 .. 2.5, the data -2 .. 2.5"},
      {&high, "covers values"}};
  for (auto& [shape, says] : cases) EXPECT_NE(spectrum_mismatch("c", d, *shape).find(says), std::string::npos) << says;
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
    std::vector<float> v = good;
    const int kind = trial % 4;
    if (kind == 1) {  // a header of another shape over the same values
      const float shapes[][3] = {{4, 16, 1}, {1, 64, 1}, {2, 8, 4}, {1, 32, 2}, {16, 4, 1}, {1, 16, 4}};
      const float* s = shapes[rng() % 6];
      std::copy(s, s + 3, v.begin() + 2);
    } else if (kind == 2) {  // a value or the range replaced by a special or shifted number
      const float specials[] = {NAN, INFINITY, -INFINITY, 1e30f, -2.0f, 3.0f, 2.5f};
      v[rng() % 2 ? rng() % 2 : 5 + rng() % 64] = specials[rng() % 7];
    }
    std::vector<unsigned char> b = floats(v);
    if (kind == 0)
      for (int k = 0; k < 1 + int(rng() % 3); ++k) b[rng() % b.size()] = (unsigned char)rng();
    if (kind == 3) b.resize(rng() % b.size());
    const std::string name = dir.file("m.spectrum");
    std::remove(name.c_str());
    const bool not_a_file = trial % 100 == 99;
    if (not_a_file) {
      // A cache that is not a file: refused at once, never waited on.
      ASSERT_EQ(trial % 200 == 99 ? mkfifo(name.c_str(), 0600) : symlink("/dev/zero", name.c_str()), 0);
    } else {
      testutil::write_bytes(name, b);
    }
    SpectrumData d, checked;
    std::string error, checked_error;
    const bool fits = read_spectrum_file(name, d, error) && spectrum_mismatch("m", d, run).empty();
    // Checked against the run while reading: the same verdict.
    EXPECT_EQ(read_spectrum_file(name, checked, checked_error, &run), fits) << "trial " << trial;
    if (not_a_file) {
      EXPECT_FALSE(fits);
    }
    if (!fits) {
      ++refused;
      continue;
    }
    ++kept;
    // Independently of the reader: the bytes are the 5 header floats and
    // 64 finite values under the run's header.
    ASSERT_EQ(b.size(), bytes.size()) << "trial " << trial;
    float f[69];
    std::memcpy(f, b.data(), sizeof f);  // little-endian host
    EXPECT_EQ(f[0], -1.5f);
    EXPECT_EQ(f[1], 2.5f);
    EXPECT_TRUE(int(f[2]) == 1 && int(f[3]) == 16 && int(f[4]) == 4) << "trial " << trial;
    for (int i = 5; i < 69; ++i) EXPECT_TRUE(std::isfinite(f[i])) << "trial " << trial;
  }
  EXPECT_GT(refused, 1500);
  EXPECT_GT(kept, 200);
}

// A cache whose header claims another shape is set aside on its header:
// no value is read (here a sparse file of 2^28 signatures, 1 GiB, whose
// size matches its header), and the reason names the file.
TEST(SpectrumFile, a_cache_of_another_shape_is_set_aside_before_its_values_are_read) {
  testutil::TempDir dir;
  const std::string name = dir.file("s.spectrum");
  const std::vector<unsigned char> header = floats({0, 1, 1, 2, float(1 << 28)});
  testutil::write_bytes(name, header);
  ASSERT_EQ(truncate(name.c_str(), off_t(20) + off_t(8) * (off_t(1) << 28)), 0);
  SpectrumShape run;
  run.nTimes = 1, run.nSamples = 2, run.nSignatures = 4, run.minValue = 0, run.maxValue = 1;
  SpectrumData d;
  std::string error;
  EXPECT_FALSE(read_spectrum_file(name, d, error, &run));
  EXPECT_EQ(error, name +
                       ": the spectrum file holds 1 time step, 2 samples, 268435456 signatures, the run needs 1 "
                       "time step, 2 samples, 4 signatures");
  EXPECT_EQ(d.values.capacity(), 0u) << "no value was read";

  // Pipes, devices and folders are refused without waiting on them.
  std::remove(name.c_str());
  ASSERT_EQ(mkfifo(name.c_str(), 0600), 0);
  EXPECT_FALSE(read_spectrum_file(name, d, error, &run));
  EXPECT_EQ(error, name + ": the spectrum file is a pipe, not a regular file");
  EXPECT_FALSE(read_spectrum_file(dir.path(), d, error));
  EXPECT_NE(error.find("a directory"), std::string::npos) << error;
  EXPECT_FALSE(read_spectrum_file("/dev/zero", d, error));
  EXPECT_NE(error.find("a character device"), std::string::npos) << error;
}

// A cache written whole or not at all: a write that fails midway (the
// file-size limit, in a child process) keeps the old cache and leaves no
// temporary; a temporary of a writer killed before is removed by the next
// write of the cache.
TEST(SpectrumFile, a_failed_or_killed_write_leaves_the_old_cache_and_no_temporary) {
  testutil::TempDir dir;
  const std::string name = dir.file("d.spectrum");
  SpectrumData small;
  small.minValue = 0, small.maxValue = 1, small.nTimes = 1, small.nSamples = 2, small.nSignatures = 1;
  small.values = {0.5f, 0.25f};
  std::string error;
  ASSERT_TRUE(write_spectrum_file(name, small, error)) << error;
  const std::string before = testutil::read_file(name);
  SpectrumData big = small;
  big.nSignatures = 4096;
  big.values.assign(2 * 4096, 1.0f);
  const pid_t child = fork();
  if (child == 0) {
    rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    std::string why;
    _exit(write_spectrum_file(name, big, why) ? 1 : why.find(name) != std::string::npos ? 0 : 2);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(testutil::read_file(name), before);
  // A killed writer's temporary: unlocked, removed by the next write.
  testutil::write_text(name + ".tmp-Kil1ed", "half");
  ASSERT_TRUE(write_spectrum_file(name, small, error)) << error;
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}
