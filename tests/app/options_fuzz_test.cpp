// Mutated --dim and --time values run through the program's own parse and
// start-up in one process (so the sanitizer run sees every wrap and
// overread): a run either reads exactly what its files hold or ends with a
// message and status -1, never a crash, a huge allocation or a hang.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "app/options.h"
#include "app/startup.h"
#include "silence.h"
#include "test_util.h"

using namespace ctree;

namespace {

int run(const std::vector<std::string>& args, bool& parsed) {
  std::vector<std::string> all = {"orrery"};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  Options o;
  const ParseResult p = parse_options(int(all.size()), argv.data(), o);
  parsed = p == ParseResult::Run;
  if (!parsed) return p == ParseResult::ExitOk ? 0 : -1;
  return run_startup(int(all.size()), argv.data(), o);
}

std::string pick(std::mt19937& rng) {
  static const long long edge[] = {0, 1, 2, 3, 4, 5, -1, -2, 16, 1073741824, 2147483647, -2147483647 - 1LL,
                                   2147483648LL, 1290, 65536, 100000, 99999};
  if (rng() % 3) return std::to_string(long(rng() % 7) - 1);
  return std::to_string(edge[rng() % (sizeof edge / sizeof edge[0])]);
}

}  // namespace

TEST(OptionsFuzz, mutated_dim_and_time_values_are_read_or_refused) {
  testutil::TempDir dir;
  // Steps 0..3 of a template, 64 bytes each: 4x4x4 uchar, 4x4x2 short, 2x2x4 float...
  for (int t = 0; t < 4; ++t) {
    std::vector<unsigned char> bytes(64);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = (unsigned char)((i * 7 + t) % 13);
    testutil::write_bytes(dir.file("m." + std::to_string(t) + ".raw"), bytes);
  }
  const char* types[] = {"uchar", "short", "float", "double"};
  const int widths[] = {1, 2, 4, 8};
  std::mt19937 rng(27);
  int accepted = 0;
  for (int round = 0; round < 2500; ++round) {
    const int type = int(rng() % 4);
    std::vector<std::string> args = {"--batch", "--data", dir.file(rng() % 5 ? "m.%d.raw" : "m.0.raw"),
                                     "--datatype", types[type], "--swapbyte", "0"};
    std::string dim[3], time[3];
    for (std::string& d : dim) d = pick(rng);
    for (std::string& t : time) t = pick(rng);
    args.insert(args.end(), {"--dim", dim[0], dim[1], dim[2]});
    if (rng() % 4) args.insert(args.end(), {"--time", time[0], time[1], time[2]});
    int status;
    bool parsed;
    {
      testutil::Silence quiet;
      status = run(args, parsed);
    }
    ASSERT_TRUE(status == 0 || status == -1) << round;
    if (status == 0 && parsed) {
      ++accepted;
      // Only grids the 64-byte files hold are read.
      const long long n = std::stoll(dim[0]) * std::stoll(dim[1]) * std::stoll(dim[2]) * widths[type];
      ASSERT_LE(n, 64) << dim[0] << " " << dim[1] << " " << dim[2] << " " << types[type];
    }
  }
  EXPECT_GT(accepted, 10) << "the sizes that fit must still be read";
}
