// Several processes under mpirun: the same tree files as one process, and a
// failing rank fails the whole run instead of leaving it hanging.
#include <gtest/gtest.h>

#include "test_util.h"

using testutil::run;
using testutil::TempDir;

namespace {

// Root may run the launcher here (test machines and containers).
const std::string MPIRUN =
    "OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1 timeout 120 mpirun --oversubscribe -np ";

// A machine whose launcher cannot start two local processes at all (no
// shared memory in a container, say) cannot run these tests.
bool launcher_works() {
  static const int status = run(MPIRUN + "2 true").status;
  return status == 0;
}

}  // namespace

TEST(Mpi, two_and_three_ranks_write_the_files_of_one_process) {
  if (!launcher_works()) GTEST_SKIP() << "mpirun cannot start two processes here: " << run(MPIRUN + "2 true").output;
  TempDir dir;
  ASSERT_EQ(testutil::run_gen("series --dim 33 20 17 --bumps 7 --steps 2 --out " + dir.file("s.%d.raw")).status, 0);
  auto args = [&](const std::string& tag, int threads) {
    return std::string(ORRERY_EXE) + " --batch --data " + dir.file("s.%d.raw") + " --dim 33 20 17 --time 0 1 1 --ct " +
           dir.file(tag + ".%d.ct.ply") + " --ctl " + dir.file(tag + ".%d.ctl.ply") + " --threads " +
           std::to_string(threads);
  };
  const auto one = run(args("one", 1));
  ASSERT_EQ(one.status, 0) << one.output;
  // Ranks by threads per rank (1 rank: one process, no launcher).
  const int runs[][2] = {{1, 2}, {1, 3}, {1, 7}, {2, 1}, {2, 7}, {3, 2}, {3, 3}};
  for (const auto& rt : runs) {
    const int np = rt[0], threads = rt[1];
    const std::string tag = "np" + std::to_string(np) + "t" + std::to_string(threads);
    const auto r = run(np == 1 ? args(tag, threads) : MPIRUN + std::to_string(np) + " " + args(tag, threads));
    ASSERT_EQ(r.status, 0) << r.output;
    for (int t = 0; t < 2; ++t) {
      const std::string s = "." + std::to_string(t);
      EXPECT_EQ(testutil::read_file(dir.file(tag + s + ".ct.ply")),
                testutil::read_file(dir.file("one" + s + ".ct.ply")))
          << np << " ranks, " << threads << " threads, step " << t;
      EXPECT_EQ(testutil::read_file(dir.file(tag + s + ".ctl.ply")),
                testutil::read_file(dir.file("one" + s + ".ctl.ply")))
          << np << " ranks, " << threads << " threads, step " << t;
    }
    EXPECT_NE(r.output.find("step 1:"), std::string::npos) << r.output;
  }
}

TEST(Mpi, a_rank_that_cannot_read_its_slab_fails_the_run) {
  if (!launcher_works()) GTEST_SKIP() << "mpirun cannot start two processes here";
  TempDir dir;
  ASSERT_EQ(testutil::run_gen("volume --dim 20 10 10 --out " + dir.file("v.raw")).status, 0);
  // Cut off the end of the file: the upper slab is not there.
  ASSERT_EQ(run("truncate -s 4000 " + dir.file("v.raw")).status, 0);
  const auto r = run(MPIRUN + "2 " + std::string(ORRERY_EXE) + " --batch --data " + dir.file("v.raw") +
                     " --dim 20 10 10 --ct " + dir.file("v.ct.ply"));
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.status, 124) << "timed out: " << r.output;
  EXPECT_NE(r.output.find("could not read its part"), std::string::npos) << r.output;
}
