// orrery: contour trees of scalar fields.
#include <cstdio>
#include <new>

#include "app/options.h"
#include "app/console.h"
#include "app/startup.h"
#ifdef ORRERY_WITH_VIEWER
#include "app/viewer_start.h"
#endif
#ifdef ORRERY_WITH_MPI
#include "app/mpi_batch.h"
#endif

int main(int argc, char** argv) {
  // Standard output and error are the console of the libraries' messages
  // and meters; a message never trails a progress line a failed loop left open.
  ctree::start_console();
  ctree::Options options;
  switch (ctree::parse_options(argc, argv, options)) {
    case ctree::ParseResult::ExitOk: return 0;
    case ctree::ParseResult::ExitError: return -1;
    case ctree::ParseResult::Run: break;
  }
#ifdef ORRERY_WITH_MPI
  ctree::MpiRun mpi;
  if (ctree::mpi_start(&argc, &argv, mpi)) {
    if (mpi.size > 1 && !options.batch) {
      if (mpi.rank == 0) std::fprintf(stderr, "Error: several processes work together only with --batch\n");
      ctree::mpi_finish();
      return -1;
    }
    // Ranks other than 0 keep quiet on standard output (their errors still
    // reach standard error).
    if (mpi.rank != 0 && !std::freopen("/dev/null", "w", stdout)) return -1;
    const int status = mpi.size > 1 ? ctree::mpi_compute_trees(argc, argv, options, mpi) : 0;
    ctree::mpi_finish();
    if (status != 0 || mpi.rank != 0) return status;
  }
#endif
  // What the readers cannot foresee (a tree larger than memory) ends the
  // run with a message instead of an abort.
  try {
#ifdef ORRERY_WITH_VIEWER
    return ctree::run_startup(argc, argv, options, &ctree::VIEWER);
#else
    return ctree::run_startup(argc, argv, options);
#endif
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "Error: out of memory: the data needs more memory than this machine can give the run\n");
    return -1;
  }
}
